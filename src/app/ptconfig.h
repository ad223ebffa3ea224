#pragma once

#include "app/framingsettings.h"
#include "base/xmldoc.h"

#include <QString>
#include <QStringList>
#include <climits>
#include <optional>

// The user's settings carried from one run to the next in "config.xml" in
// the working directory: window layout, view switches, column visibility,
// the command line and the parser choice. Read once at the first show and
// written once at close.
struct TPtSettings {
  std::optional<int> top, left, width, height;
  bool compact = true; // written only
  bool viewPacket = true;
  bool viewPresets = true;
  bool viewCommonicationLog = true;
  bool viewStatusBar = true;
  std::optional<int> packetFrameWidth;
  std::optional<int> rxBufferHeight;
  int presetPageIndex = 0;
  // The active preset tab's group (its file's name and its caption): files
  // that come or go shift the positions, so the group is looked for first.
  QString presetPageFile;
  QString presetPageGroup;
  bool column_index = true;
  bool column_timestamp = true;
  bool column_address = false;

  QString lngFileName;

  QString LastCommand;
  bool CR = true;

  QString Parser = QStringLiteral("S97");
  QString ModbusType = QStringLiteral("RTU");
  QString CustomType = QStringLiteral("Sufix");
  QString CustomSufix = QStringLiteral("{0x0D}");
  int CustomLength = 10;
  int MaxLength = 1024;
  TFramingSettings Framing;

  // A recording goes on in a new numbered file at this size; 0: no limit.
  int RecordLimitMB = 0;
};

class TPtConfig {
public:
  static QString DefaultFileName() { return QStringLiteral("config.xml"); }

  // A larger file is not read at all: ours stays far below it.
  static constexpr qint64 kMaxFileBytes = 4 * 1024 * 1024;
  // Elements and attributes the program does not use are kept for whoever
  // wrote them up to this much text in all; the rest is not held or written.
  static constexpr qsizetype kMaxUnknownBytes = 64 * 1024;
  // Window coordinates and sizes beyond what any screen can show.
  static constexpr int kMaxCoordinate = 32767;
  // The largest size limit of a recording file, in MB (1 TB).
  static constexpr int kMaxRecordLimitMB = 1024 * 1024;

  // Reads the file. A missing file gives the defaults and a fresh document;
  // a file that does not parse or is too large, or values that do not
  // convert or are out of range, give the defaults for what could not be
  // read and a message per problem in Problems(). Save keeps a file that was
  // not read, or whose unknown content was cut, as "<name>.bak".
  TPtSettings Load(const QString &fileName = DefaultFileName());
  // Puts the settings into the document (keeping the attributes and
  // elements it already had) and writes it through a temporary file.
  bool Save(const TPtSettings &settings, QString *error = nullptr);

  const QStringList &Problems() const { return fProblems; }
  TXmlDocument &Document() { return xmlConfig; }
  QString FileName() const { return fFileName; }

  // "true"/"false" in any case, or a decimal integer (0 is false).
  static std::optional<bool> ParseBool(const QString &text);

private:
  void ReadBool(const TXmlElement &e, const char *name, bool &value);
  void ReadInt(const TXmlElement &e, const char *name, int &value);
  void ReadInt(const TXmlElement &e, const char *name, std::optional<int> &value, int min = INT_MIN,
               int max = INT_MAX);
  void DropUnknownContent(TXmlElement root);

  TXmlDocument xmlConfig;
  QString fFileName;
  QStringList fProblems;
  bool fKeepOriginal = false; // the file was not read whole: keep it as ".bak"
};

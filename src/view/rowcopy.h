#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QString>

class QTimer;
class TVexlinDataObject;
class TVexlinTree;

// How selected rows are copied: as saved-log lines (a paste into a file
// loads back as a log), as hexadecimal bytes ("2A 61 00 05"), as command
// text (what the command line accepts) or as C arrays.
enum class TCopyFormat { Log, Hex, Command, CArray };

// Appends the text of one row; false when the row has nothing to give in
// that format (a log line has no bytes). `number` names a C array.
bool AppendCopyText(QByteArray &out, const TVexlinDataObject &row, TCopyFormat format,
                    size_t number);

// Makes the text of the selected rows in short slices on the UI thread, so
// a million rows are copied without the list freezing. Removing rows ends a
// copy under way.
class TRowCopier : public QObject {
  Q_OBJECT
public:
  static constexpr int kSliceMs = 8;

  explicit TRowCopier(TVexlinTree &tree, QObject *parent = nullptr);
  void Start(TCopyFormat format);
  bool Busy() const;

signals:
  // The text, made in the code page the format is read back in.
  void done(const QString &text, size_t rows);

private:
  void Step();

  TVexlinTree &fTree;
  QTimer *fWork;
  TCopyFormat fFormat = TCopyFormat::Log;
  size_t fRange = 0; // the selection range being copied
  size_t fRow = 0;   // the next row of it
  size_t fCopied = 0;
  bool fActive = false;
  QByteArray fText;
};

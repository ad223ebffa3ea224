#pragma once

#include "app/framingsettings.h"
#include "codecs/modbus.h"

#include <QWidget>
#include <optional>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class TIntEdit;
class TPtDialogs;
class TSilenceTimer;
class TVexlinReceiver;

// The "Parser" page: which parser cuts received bytes into packets, its
// suffix or length, and the shared maximum packet length.
class TParserPage : public QWidget {
  Q_OBJECT
public:
  TParserPage(TVexlinReceiver &receiver, TPtDialogs &dialogs, QWidget *parent = nullptr);

  // The values "config.xml" keeps, as its attribute texts.
  // "S97", "Modbus", "CustomParser", "Gap" or "LengthField"
  QString ParserName() const;
  QString ModbusTypeName() const; // "RTU", "ASCII" or "TCP"
  TModbusType SelectedModbusType() const;
  // The Modbus type while the Modbus parser cuts the received bytes.
  std::optional<TModbusType> ModbusParserType() const;
  QString CustomTypeName() const; // "Sufix" or "Length"
  // Applies saved values in the order the window's first show does.
  void ApplySettings(const QString &parser, const QString &modbusType, const QString &customType,
                     const QString &sufix, int length, int maxLength);

  void rbProtocolPelmar97Click();
  void rbProtocolModbusClick();
  void rbProtocolCustomParserClick();
  void rbProtocolCustomParserSufixClick();
  void rbProtocolCustomParserLengthClick();
  void edtProtocolCustomParsertSufixChange();
  void ieProtocolCustomParserLengthChange();
  void ieMaxLenChange();
  void CheckProtocolsControls();

  // The silence and length-field parsers' settings.
  TFramingSettings FramingSettings() const;
  // Applied before ApplySettings, which makes the chosen parser current.
  void ApplyFramingSettings(const TFramingSettings &settings);
  // The serial line's speed in Bd, 0 without a line: the Modbus RTU pause
  // and "3,5 znaku podle rychlosti" are measured in its characters.
  void SetLineSpeed(int baudrate);
  // Bytes arrived (any thread): a packet that silence ends is closed by a
  // timer when no further byte comes.
  void BytesArrived();

  void rbProtocolModbusTypeClick();
  void rbProtocolGapClick();
  void rbProtocolLengthFieldClick();
  void ieProtocolGapChange();
  void LengthFieldChange();

  QRadioButton *rbProtocolPelmar97;
  QRadioButton *rbProtocolModbus;
  QGroupBox *grpProtocolModbus;
  QRadioButton *rbProtocolModbusRTU;
  QRadioButton *rbProtocolModbusASCII;
  QRadioButton *rbProtocolModbusTCP;
  QRadioButton *rbProtocolCustomParser;
  QGroupBox *grpCustomParser;
  QRadioButton *rbProtocolCustomParserSufix;
  QLineEdit *edtProtocolCustomParsertSufix;
  QRadioButton *rbProtocolCustomParserLength;
  TIntEdit *ieProtocolCustomParserLength;
  QLabel *lblProtocolCustomParserLengthBytes;
  TIntEdit *ieMaxLen;

  QRadioButton *rbProtocolGap;
  QGroupBox *grpProtocolGap;
  TIntEdit *ieProtocolGap;
  QLabel *lblProtocolGapMs;
  QCheckBox *chkProtocolGapChars;
  QRadioButton *rbProtocolLengthField;
  QGroupBox *grpProtocolLengthField;
  QLineEdit *edtProtocolLengthFieldStart;
  TIntEdit *ieProtocolLengthFieldOffset;
  QComboBox *cbProtocolLengthFieldSize;
  QRadioButton *rbProtocolLengthFieldBigEndian;
  QRadioButton *rbProtocolLengthFieldLittleEndian;
  TIntEdit *ieProtocolLengthFieldAdd;

signals:
  // The Modbus type was chosen or loaded, so the protocol panel can follow.
  void modbusTypeChanged(TModbusType type);

private:
  TVexlinReceiver &fReceiver;
  TPtDialogs &fDialogs;
  TSilenceTimer *fSilence;
  int fLineSpeed = 0;
  // The top-level choices, which uncheck each other.
  void SelectOnly(QRadioButton *choice);
  // Turns the text of a command-text field into bytes; marks the field and
  // shows the error in its balloon when it does not convert.
  bool ConvertField(QLineEdit *field, QByteArray &bytes);
};

#pragma once

#include <QWidget>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class TIntEdit;
class TPtDialogs;
class TVexlinReceiver;

// The "Parser" page: which parser cuts received bytes into packets, its
// suffix or length, and the shared maximum packet length.
class TParserPage : public QWidget {
  Q_OBJECT
public:
  TParserPage(TVexlinReceiver &receiver, TPtDialogs &dialogs, QWidget *parent = nullptr);

  // The values "config.xml" keeps, as its attribute texts.
  QString ParserName() const;     // "S97", "Modbus" or "CustomParser"
  QString ModbusTypeName() const; // "RTU", "ASCII" or "TCP"
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

private:
  TVexlinReceiver &fReceiver;
  TPtDialogs &fDialogs;
};

#include "app/parserpage.h"

#include "base/ansicodepage.h"
#include "base/pterror.h"
#include "codecs/commandtext.h"
#include "pipeline/receivepath.h"
#include "widgets/dialogs.h"
#include "widgets/endis.h"
#include "widgets/named.h"
#include "widgets/numedit.h"

#include <QApplication>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

QRadioButton *Radio(const QString &caption, const char *name) {
  auto *rb = Named(new QRadioButton(caption), name);
  // The three top-level buttons sit in separate panels and uncheck each
  // other in their handlers.
  rb->setAutoExclusive(false);
  return rb;
}

} // namespace

TParserPage::TParserPage(TVexlinReceiver &receiver, TPtDialogs &dialogs, QWidget *parent)
    : QWidget(parent), fReceiver(receiver), fDialogs(dialogs) {
  setObjectName(QStringLiteral("tsProtocol"));
  auto *layout = new QVBoxLayout(this);

  rbProtocolPelmar97 = Radio(QStringLiteral("Pelmar"), "rbProtocolPelmar97");
  rbProtocolPelmar97->setChecked(true);
  layout->addWidget(rbProtocolPelmar97);

  rbProtocolModbus = Radio(QStringLiteral("Modbus"), "rbProtocolModbus");
  rbProtocolModbus->setVisible(false);
  layout->addWidget(rbProtocolModbus);
  grpProtocolModbus = Named(new QGroupBox, "grpProtocolModbus");
  auto *modbusLayout = new QHBoxLayout(grpProtocolModbus);
  rbProtocolModbusRTU = Named(new QRadioButton(QStringLiteral("RTU")), "rbProtocolModbusRTU");
  rbProtocolModbusASCII = Named(new QRadioButton(QStringLiteral("ASCII")), "rbProtocolModbusASCII");
  rbProtocolModbusTCP = Named(new QRadioButton(QStringLiteral("TCP")), "rbProtocolModbusTCP");
  rbProtocolModbusRTU->setChecked(true);
  for (auto *rb : {rbProtocolModbusRTU, rbProtocolModbusASCII, rbProtocolModbusTCP})
    modbusLayout->addWidget(rb);
  grpProtocolModbus->setVisible(false);
  layout->addWidget(grpProtocolModbus);

  rbProtocolCustomParser = Radio(QStringLiteral("Custom parser"), "rbProtocolCustomParser");
  layout->addWidget(rbProtocolCustomParser);
  grpCustomParser = Named(new QGroupBox, "grpCustomParser");
  auto *customLayout = new QVBoxLayout(grpCustomParser);
  auto *sufixRow = new QHBoxLayout;
  rbProtocolCustomParserSufix =
      Named(new QRadioButton(QStringLiteral("Sufix:")), "rbProtocolCustomParserSufix");
  rbProtocolCustomParserSufix->setChecked(true);
  edtProtocolCustomParsertSufix =
      Named(new QLineEdit(QStringLiteral("{0x0D}")), "edtProtocolCustomParsertSufix");
  sufixRow->addWidget(rbProtocolCustomParserSufix);
  sufixRow->addWidget(edtProtocolCustomParsertSufix);
  customLayout->addLayout(sufixRow);
  auto *lengthRow = new QHBoxLayout;
  rbProtocolCustomParserLength =
      Named(new QRadioButton(QStringLiteral("Length:")), "rbProtocolCustomParserLength");
  ieProtocolCustomParserLength = Named(new TIntEdit, "ieProtocolCustomParserLength");
  ieProtocolCustomParserLength->SetMinValue(0);
  ieProtocolCustomParserLength->SetMaxValue(65536);
  ieProtocolCustomParserLength->SetValue(10);
  lblProtocolCustomParserLengthBytes =
      Named(new QLabel(QStringLiteral("Bytes")), "lblProtocolCustomParserLengthBytes");
  lengthRow->addWidget(rbProtocolCustomParserLength);
  lengthRow->addWidget(ieProtocolCustomParserLength);
  lengthRow->addWidget(lblProtocolCustomParserLengthBytes);
  customLayout->addLayout(lengthRow);
  layout->addWidget(grpCustomParser);
  layout->addStretch(1);

  auto *pnlMaxBufferSettings = Named(new QWidget, "pnlMaxBufferSettings");
  auto *maxLayout = new QVBoxLayout(pnlMaxBufferSettings);
  auto *maxRow = new QHBoxLayout;
  maxRow->addWidget(Named(new QLabel(QStringLiteral("Maximální délka paketu:")), "lblMaxLen"));
  ieMaxLen = Named(new TIntEdit, "ieMaxLen");
  ieMaxLen->SetMinValue(0);
  ieMaxLen->SetMaxValue(65536);
  ieMaxLen->SetValue(1024);
  maxRow->addWidget(ieMaxLen);
  maxRow->addWidget(Named(new QLabel(QStringLiteral("B")), "lblBytes"));
  maxLayout->addLayout(maxRow);
  auto *info = Named(
      new QLabel(QStringLiteral(
          "Tato hodnota slouží pro ošetření přetečení přijímacího bufferu. V případě, že velkost "
          "nerozpoznaných přijatých dat přesáhne tuto hodnotu, jsou data prohlášena za binární a "
          " buffer je smazán. Nastavení protokolu nemá na význam vliv.")),
      "lblMaxBufferInfo");
  info->setWordWrap(true);
  maxLayout->addWidget(info);
  layout->addWidget(pnlMaxBufferSettings);

  connect(rbProtocolPelmar97, &QRadioButton::clicked, this, &TParserPage::rbProtocolPelmar97Click);
  connect(rbProtocolModbus, &QRadioButton::clicked, this, &TParserPage::rbProtocolModbusClick);
  connect(rbProtocolCustomParser, &QRadioButton::clicked, this,
          &TParserPage::rbProtocolCustomParserClick);
  connect(rbProtocolCustomParserSufix, &QRadioButton::clicked, this,
          &TParserPage::rbProtocolCustomParserSufixClick);
  connect(rbProtocolCustomParserLength, &QRadioButton::clicked, this,
          &TParserPage::rbProtocolCustomParserLengthClick);
  connect(edtProtocolCustomParsertSufix, &QLineEdit::textChanged, this,
          &TParserPage::edtProtocolCustomParsertSufixChange);
  connect(ieProtocolCustomParserLength, &QLineEdit::textChanged, this,
          &TParserPage::ieProtocolCustomParserLengthChange);
  connect(ieMaxLen, &QLineEdit::textChanged, this, &TParserPage::ieMaxLenChange);

  // The fields' values reach the parsers now, as the window is set up.
  edtProtocolCustomParsertSufixChange();
  ieProtocolCustomParserLengthChange();
  ieMaxLenChange();
  CheckProtocolsControls();
}

void TParserPage::rbProtocolPelmar97Click() {
  rbProtocolPelmar97->setChecked(true);
  rbProtocolModbus->setChecked(false);
  rbProtocolCustomParser->setChecked(false);
  CheckProtocolsControls();
  fReceiver.SetParser(&fReceiver.fVexlinParser_Pelmar);
}

void TParserPage::rbProtocolModbusClick() {
  // No Modbus parser exists: the current parser stays.
  rbProtocolModbus->setChecked(true);
  rbProtocolPelmar97->setChecked(false);
  rbProtocolCustomParser->setChecked(false);
  CheckProtocolsControls();
}

void TParserPage::rbProtocolCustomParserClick() {
  rbProtocolCustomParser->setChecked(true);
  rbProtocolPelmar97->setChecked(false);
  rbProtocolModbus->setChecked(false);
  if (rbProtocolCustomParserSufix->isChecked())
    rbProtocolCustomParserSufixClick();
  else if (rbProtocolCustomParserLength->isChecked())
    rbProtocolCustomParserLengthClick();
}

void TParserPage::rbProtocolCustomParserSufixClick() {
  fReceiver.SetParser(&fReceiver.fVexlinParser_Sufix);
  edtProtocolCustomParsertSufixChange();
  CheckProtocolsControls();
}

void TParserPage::rbProtocolCustomParserLengthClick() {
  fReceiver.SetParser(&fReceiver.fVexlinParser_Length);
  ieProtocolCustomParserLengthChange();
  CheckProtocolsControls();
}

void TParserPage::edtProtocolCustomParsertSufixChange() {
  QPalette palette = edtProtocolCustomParsertSufix->palette();
  try {
    const QByteArray sufix =
        ConvertToBinnaryEx(AnsiFromText(edtProtocolCustomParsertSufix->text()), true);
    fReceiver.fVexlinParser_Sufix.SetSufix(sufix);
    palette.setColor(QPalette::Base, QApplication::palette().color(QPalette::Base));
    fDialogs.ShowBalloon(edtProtocolCustomParsertSufix, QString(), QString());
  } catch (const EPtError &e) {
    // The suffix keeps its previous value until the text converts again.
    palette.setColor(QPalette::Base, QColor(0xFF, 0xEF, 0xEF));
    fDialogs.ShowBalloon(edtProtocolCustomParsertSufix, InputErrorTitle(), e.Message());
  }
  edtProtocolCustomParsertSufix->setPalette(palette);
}

void TParserPage::ieProtocolCustomParserLengthChange() {
  fReceiver.fVexlinParser_Length.SetDataLength(ieProtocolCustomParserLength->GetValue());
}

void TParserPage::ieMaxLenChange() {
  TVexlinParser::MaxLength = ieMaxLen->GetValue();
}

void TParserPage::CheckProtocolsControls() {
  const bool modbus = rbProtocolModbus->isChecked();
  EnDis({rbProtocolModbusRTU, rbProtocolModbusASCII, rbProtocolModbusTCP}, modbus);
  EnDis({rbProtocolModbusTCP}, false);
  const bool custom = rbProtocolCustomParser->isChecked();
  EnDis({rbProtocolCustomParserSufix, rbProtocolCustomParserLength}, custom);
  EnDis({edtProtocolCustomParsertSufix}, custom && rbProtocolCustomParserSufix->isChecked());
  EnDis({ieProtocolCustomParserLength, lblProtocolCustomParserLengthBytes},
        custom && rbProtocolCustomParserLength->isChecked());
}

QString TParserPage::ParserName() const {
  if (rbProtocolModbus->isChecked())
    return QStringLiteral("Modbus");
  if (rbProtocolCustomParser->isChecked())
    return QStringLiteral("CustomParser");
  return QStringLiteral("S97");
}

QString TParserPage::ModbusTypeName() const {
  if (rbProtocolModbusTCP->isChecked())
    return QStringLiteral("TCP");
  if (rbProtocolModbusASCII->isChecked())
    return QStringLiteral("ASCII");
  return QStringLiteral("RTU");
}

QString TParserPage::CustomTypeName() const {
  return rbProtocolCustomParserLength->isChecked() ? QStringLiteral("Length")
                                                   : QStringLiteral("Sufix");
}

void TParserPage::ApplySettings(const QString &parser, const QString &modbusType,
                                const QString &customType, const QString &sufix, int length,
                                int maxLength) {
  // Values are compared exactly; anything else selects the group's default.
  if (customType == QLatin1String("Length")) {
    rbProtocolCustomParserLength->setChecked(true);
    rbProtocolCustomParserLengthClick();
  } else {
    rbProtocolCustomParserSufix->setChecked(true);
    rbProtocolCustomParserSufixClick();
  }
  edtProtocolCustomParsertSufix->setText(sufix);
  ieProtocolCustomParserLength->SetValue(length);
  ieMaxLen->SetValue(maxLength);
  edtProtocolCustomParsertSufixChange();
  ieProtocolCustomParserLengthChange();
  ieMaxLenChange();
  if (modbusType == QLatin1String("TCP"))
    rbProtocolModbusTCP->setChecked(true);
  else if (modbusType == QLatin1String("ASCII"))
    rbProtocolModbusASCII->setChecked(true);
  else
    rbProtocolModbusRTU->setChecked(true);
  if (parser == QLatin1String("CustomParser"))
    rbProtocolCustomParserClick();
  else if (parser == QLatin1String("Modbus"))
    rbProtocolModbusClick();
  else
    rbProtocolPelmar97Click();
}

#include "app/parserpage.h"

#include "base/ansicodepage.h"
#include "base/pterror.h"
#include "codecs/commandtext.h"
#include "connections/silencetimer.h"
#include "pipeline/receivepath.h"
#include "widgets/dialogs.h"
#include "widgets/endis.h"
#include "widgets/named.h"
#include "widgets/numedit.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QScrollArea>
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
    : QWidget(parent), fReceiver(receiver), fDialogs(dialogs),
      fSilence(new TSilenceTimer(receiver, this)) {
  setObjectName(QStringLiteral("tsProtocol"));
  // A tab too short for all the parsers' settings scrolls rather than
  // squeeze them.
  auto *outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  auto *scroll = Named(new QScrollArea, "sbProtocol");
  scroll->setFrameShape(QFrame::NoFrame);
  scroll->setWidgetResizable(true);
  outer->addWidget(scroll);
  auto *content = Named(new QWidget, "pnlProtocol");
  scroll->setWidget(content);
  auto *layout = new QVBoxLayout(content);

  rbProtocolPelmar97 = Radio(QStringLiteral("Pelmar"), "rbProtocolPelmar97");
  rbProtocolPelmar97->setChecked(true);
  layout->addWidget(rbProtocolPelmar97);

  rbProtocolModbus = Radio(QStringLiteral("Modbus"), "rbProtocolModbus");
  layout->addWidget(rbProtocolModbus);
  grpProtocolModbus = Named(new QGroupBox, "grpProtocolModbus");
  auto *modbusLayout = new QHBoxLayout(grpProtocolModbus);
  rbProtocolModbusRTU = Named(new QRadioButton(QStringLiteral("RTU")), "rbProtocolModbusRTU");
  rbProtocolModbusASCII = Named(new QRadioButton(QStringLiteral("ASCII")), "rbProtocolModbusASCII");
  rbProtocolModbusTCP = Named(new QRadioButton(QStringLiteral("TCP")), "rbProtocolModbusTCP");
  rbProtocolModbusRTU->setChecked(true);
  for (auto *rb : {rbProtocolModbusRTU, rbProtocolModbusASCII, rbProtocolModbusTCP})
    modbusLayout->addWidget(rb);
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

  rbProtocolGap = Radio(QStringLiteral("Pauza"), "rbProtocolGap");
  layout->addWidget(rbProtocolGap);
  grpProtocolGap = Named(new QGroupBox, "grpProtocolGap");
  auto *gapLayout = new QVBoxLayout(grpProtocolGap);
  auto *gapRow = new QHBoxLayout;
  ieProtocolGap = Named(new TIntEdit, "ieProtocolGap");
  ieProtocolGap->SetMinValue(0);
  ieProtocolGap->SetMaxValue(1000000000);
  ieProtocolGap->SetValue(5);
  lblProtocolGapMs = Named(new QLabel(QStringLiteral("ms")), "lblProtocolGapMs");
  gapRow->addWidget(ieProtocolGap);
  gapRow->addWidget(lblProtocolGapMs);
  gapRow->addStretch(1);
  gapLayout->addLayout(gapRow);
  chkProtocolGapChars =
      Named(new QCheckBox(QStringLiteral("3,5 znaku podle rychlosti")), "chkProtocolGapChars");
  gapLayout->addWidget(chkProtocolGapChars);
  layout->addWidget(grpProtocolGap);

  rbProtocolLengthField = Radio(QStringLiteral("Délková položka"), "rbProtocolLengthField");
  layout->addWidget(rbProtocolLengthField);
  grpProtocolLengthField = Named(new QGroupBox, "grpProtocolLengthField");
  auto *fieldLayout = new QGridLayout(grpProtocolLengthField);
  auto addRow = [fieldLayout](const QString &caption, const char *name, QWidget *field) {
    const int row = fieldLayout->rowCount();
    fieldLayout->addWidget(Named(new QLabel(caption), name), row, 0);
    fieldLayout->addWidget(field, row, 1);
  };
  edtProtocolLengthFieldStart = Named(new QLineEdit, "edtProtocolLengthFieldStart");
  addRow(QStringLiteral("Začátek:"), "lblProtocolLengthFieldStart", edtProtocolLengthFieldStart);
  ieProtocolLengthFieldOffset = Named(new TIntEdit, "ieProtocolLengthFieldOffset");
  ieProtocolLengthFieldOffset->SetMinValue(0);
  ieProtocolLengthFieldOffset->SetMaxValue(65535);
  addRow(QStringLiteral("Pozice:"), "lblProtocolLengthFieldOffset", ieProtocolLengthFieldOffset);
  cbProtocolLengthFieldSize = Named(new QComboBox, "cbProtocolLengthFieldSize");
  cbProtocolLengthFieldSize->addItems(
      {QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("4")});
  addRow(QStringLiteral("Velikost:"), "lblProtocolLengthFieldSize", cbProtocolLengthFieldSize);
  auto *orderRow = new QHBoxLayout;
  rbProtocolLengthFieldBigEndian =
      Named(new QRadioButton(QStringLiteral("MSB první")), "rbProtocolLengthFieldBigEndian");
  rbProtocolLengthFieldLittleEndian =
      Named(new QRadioButton(QStringLiteral("LSB první")), "rbProtocolLengthFieldLittleEndian");
  rbProtocolLengthFieldBigEndian->setChecked(true);
  orderRow->addWidget(rbProtocolLengthFieldBigEndian);
  orderRow->addWidget(rbProtocolLengthFieldLittleEndian);
  fieldLayout->addLayout(orderRow, fieldLayout->rowCount(), 0, 1, 2);
  ieProtocolLengthFieldAdd = Named(new TIntEdit, "ieProtocolLengthFieldAdd");
  ieProtocolLengthFieldAdd->SetMinValue(-65536);
  ieProtocolLengthFieldAdd->SetMaxValue(65536);
  addRow(QStringLiteral("Přičíst:"), "lblProtocolLengthFieldAdd", ieProtocolLengthFieldAdd);
  layout->addWidget(grpProtocolLengthField);
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
  for (auto *rb : {rbProtocolModbusRTU, rbProtocolModbusASCII, rbProtocolModbusTCP})
    connect(rb, &QRadioButton::clicked, this, &TParserPage::rbProtocolModbusTypeClick);
  connect(rbProtocolGap, &QRadioButton::clicked, this, &TParserPage::rbProtocolGapClick);
  connect(rbProtocolLengthField, &QRadioButton::clicked, this,
          &TParserPage::rbProtocolLengthFieldClick);
  connect(ieProtocolGap, &QLineEdit::textChanged, this, &TParserPage::ieProtocolGapChange);
  connect(chkProtocolGapChars, &QCheckBox::toggled, this, [this] {
    ieProtocolGapChange();
    CheckProtocolsControls();
  });
  connect(edtProtocolLengthFieldStart, &QLineEdit::textChanged, this,
          &TParserPage::LengthFieldChange);
  connect(ieProtocolLengthFieldOffset, &QLineEdit::textChanged, this,
          &TParserPage::LengthFieldChange);
  connect(cbProtocolLengthFieldSize, &QComboBox::currentIndexChanged, this,
          &TParserPage::LengthFieldChange);
  connect(rbProtocolLengthFieldBigEndian, &QRadioButton::toggled, this,
          &TParserPage::LengthFieldChange);
  connect(ieProtocolLengthFieldAdd, &QLineEdit::textChanged, this, &TParserPage::LengthFieldChange);

  // The fields' values reach the parsers now, as the window is set up.
  edtProtocolCustomParsertSufixChange();
  ieProtocolCustomParserLengthChange();
  ieMaxLenChange();
  ieProtocolGapChange();
  LengthFieldChange();
  CheckProtocolsControls();
}

void TParserPage::SelectOnly(QRadioButton *choice) {
  for (QRadioButton *rb : {rbProtocolPelmar97, rbProtocolModbus, rbProtocolCustomParser,
                           rbProtocolGap, rbProtocolLengthField})
    rb->setChecked(rb == choice);
}

void TParserPage::rbProtocolPelmar97Click() {
  SelectOnly(rbProtocolPelmar97);
  CheckProtocolsControls();
  fReceiver.SetParser(&fReceiver.fVexlinParser_Pelmar);
}

void TParserPage::rbProtocolModbusClick() {
  SelectOnly(rbProtocolModbus);
  rbProtocolModbusTypeClick();
  CheckProtocolsControls();
  fReceiver.SetParser(&fReceiver.fVexlinParser_Modbus);
}

void TParserPage::rbProtocolModbusTypeClick() {
  const TModbusType type = SelectedModbusType();
  fReceiver.fVexlinParser_Modbus.SetModbusType(type);
  emit modbusTypeChanged(type);
}

TModbusType TParserPage::SelectedModbusType() const {
  return rbProtocolModbusTCP->isChecked()     ? mbtTCP
         : rbProtocolModbusASCII->isChecked() ? mbtASCII
                                              : mbtRTU;
}

std::optional<TModbusType> TParserPage::ModbusParserType() const {
  if (!rbProtocolModbus->isChecked())
    return std::nullopt;
  return SelectedModbusType();
}

void TParserPage::rbProtocolGapClick() {
  SelectOnly(rbProtocolGap);
  ieProtocolGapChange();
  CheckProtocolsControls();
  fReceiver.SetParser(&fReceiver.fVexlinParser_Gap);
}

void TParserPage::rbProtocolLengthFieldClick() {
  SelectOnly(rbProtocolLengthField);
  LengthFieldChange();
  CheckProtocolsControls();
  fReceiver.SetParser(&fReceiver.fVexlinParser_LengthField);
}

void TParserPage::ieProtocolGapChange() {
  if (chkProtocolGapChars->isChecked()) {
    const int64_t pause = TVexlinParser_Modbus::RtuPause(fLineSpeed);
    fReceiver.fVexlinParser_Gap.SetPause(pause);
    // The field shows what the speed gives, in whole milliseconds.
    const QSignalBlocker quiet(ieProtocolGap);
    ieProtocolGap->SetValue(static_cast<int>((pause + kArrivalPerMs - 1) / kArrivalPerMs));
    return;
  }
  fReceiver.fVexlinParser_Gap.SetPause(int64_t{ieProtocolGap->GetValue()} * kArrivalPerMs);
}

void TParserPage::LengthFieldChange() {
  TLengthFieldFormat format;
  ConvertField(edtProtocolLengthFieldStart, format.Start);
  format.Offset = ieProtocolLengthFieldOffset->GetValue();
  format.Size = cbProtocolLengthFieldSize->currentText().toInt();
  format.BigEndian = rbProtocolLengthFieldBigEndian->isChecked();
  format.Add = ieProtocolLengthFieldAdd->GetValue();
  fReceiver.fVexlinParser_LengthField.SetFormat(format);
}

void TParserPage::SetLineSpeed(int baudrate) {
  fLineSpeed = baudrate;
  fReceiver.fVexlinParser_Modbus.SetBaudrate(baudrate);
  ieProtocolGapChange();
}

void TParserPage::BytesArrived() {
  fSilence->Arrived();
}

TFramingSettings TParserPage::FramingSettings() const {
  TFramingSettings s;
  s.GapMs = ieProtocolGap->GetValue();
  s.GapChars = chkProtocolGapChars->isChecked();
  s.LengthFieldStart = edtProtocolLengthFieldStart->text();
  s.LengthFieldOffset = ieProtocolLengthFieldOffset->GetValue();
  s.LengthFieldSize = cbProtocolLengthFieldSize->currentText().toInt();
  s.LengthFieldLittleEndian = rbProtocolLengthFieldLittleEndian->isChecked();
  s.LengthFieldAdd = ieProtocolLengthFieldAdd->GetValue();
  return s;
}

void TParserPage::ApplyFramingSettings(const TFramingSettings &s) {
  ieProtocolGap->SetValue(s.GapMs);
  chkProtocolGapChars->setChecked(s.GapChars);
  edtProtocolLengthFieldStart->setText(s.LengthFieldStart);
  ieProtocolLengthFieldOffset->SetValue(s.LengthFieldOffset);
  const int sizeIndex = cbProtocolLengthFieldSize->findText(QString::number(s.LengthFieldSize));
  cbProtocolLengthFieldSize->setCurrentIndex(std::max(0, sizeIndex));
  (s.LengthFieldLittleEndian ? rbProtocolLengthFieldLittleEndian : rbProtocolLengthFieldBigEndian)
      ->setChecked(true);
  ieProtocolLengthFieldAdd->SetValue(s.LengthFieldAdd);
  ieProtocolGapChange();
  LengthFieldChange();
}

void TParserPage::rbProtocolCustomParserClick() {
  SelectOnly(rbProtocolCustomParser);
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

bool TParserPage::ConvertField(QLineEdit *field, QByteArray &bytes) {
  QPalette palette = field->palette();
  bool converted = false;
  try {
    bytes = ConvertToBinnaryEx(AnsiFromText(field->text()), true);
    palette.setColor(QPalette::Base, QApplication::palette().color(QPalette::Base));
    fDialogs.ShowBalloon(field, QString(), QString());
    converted = true;
  } catch (const EPtError &e) {
    palette.setColor(QPalette::Base, QColor(0xFF, 0xEF, 0xEF));
    fDialogs.ShowBalloon(field, InputErrorTitle(), e.Message());
  }
  field->setPalette(palette);
  return converted;
}

void TParserPage::edtProtocolCustomParsertSufixChange() {
  // The suffix keeps its previous value until the text converts again.
  if (QByteArray sufix; ConvertField(edtProtocolCustomParsertSufix, sufix))
    fReceiver.fVexlinParser_Sufix.SetSufix(sufix);
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
  const bool gap = rbProtocolGap->isChecked();
  EnDis({chkProtocolGapChars, lblProtocolGapMs}, gap);
  EnDis({ieProtocolGap}, gap && !chkProtocolGapChars->isChecked());
  EnDis({edtProtocolLengthFieldStart, ieProtocolLengthFieldOffset, cbProtocolLengthFieldSize,
         rbProtocolLengthFieldBigEndian, rbProtocolLengthFieldLittleEndian,
         ieProtocolLengthFieldAdd},
        rbProtocolLengthField->isChecked());
  const bool custom = rbProtocolCustomParser->isChecked();
  EnDis({rbProtocolCustomParserSufix, rbProtocolCustomParserLength}, custom);
  EnDis({edtProtocolCustomParsertSufix}, custom && rbProtocolCustomParserSufix->isChecked());
  EnDis({ieProtocolCustomParserLength, lblProtocolCustomParserLengthBytes},
        custom && rbProtocolCustomParserLength->isChecked());
}

QString TParserPage::ParserName() const {
  if (rbProtocolModbus->isChecked())
    return QStringLiteral("Modbus");
  if (rbProtocolGap->isChecked())
    return QStringLiteral("Gap");
  if (rbProtocolLengthField->isChecked())
    return QStringLiteral("LengthField");
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
  rbProtocolModbusTypeClick();
  if (parser == QLatin1String("CustomParser"))
    rbProtocolCustomParserClick();
  else if (parser == QLatin1String("Modbus"))
    rbProtocolModbusClick();
  else if (parser == QLatin1String("Gap"))
    rbProtocolGapClick();
  else if (parser == QLatin1String("LengthField"))
    rbProtocolLengthFieldClick();
  else
    rbProtocolPelmar97Click();
}

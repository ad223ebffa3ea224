#include "tools/bustools.h"

#include "base/languagetext.h"
#include "codecs/pelmar97.h"
#include "tools/addresscombo.h"
#include "widgets/named.h"
#include "widgets/numedit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

namespace {

TComboBoxPelmarAddress *AddressBox(const char *name, uint8_t to, int select) {
  auto *box = Named(new TComboBoxPelmarAddress, name);
  CombbBoxAddressItemsFill(box, 0, to, select, true, true);
  return box;
}

const QColor kNavy(0, 0, 128);

} // namespace

TBusTools::TBusTools(QWidget *parent)
    : QWidget(parent), cbbScanAdrFrom(AddressBox("cbbScanAdrFrom", 255, 0)),
      cbbScanAdrTo(AddressBox("cbbScanAdrTo", 255, 253)),
      cbbOldADR(AddressBox("cbbOldADR", 253, 49)), cbbNewADR(AddressBox("cbbNewADR", 253, 49)),
      cbbProtokolChangeAdr(AddressBox("cbbProtokolChangeAdr", 253, 49)),
      cbbADRChanger(AddressBox("cbbADRChanger", 255, 49)),
      ieScanWait(Named(new TIntEdit, "ieScanWait")), lblScanInfo(Named(new QLabel, "lblScanInfo")),
      btnScan(Named(new QPushButton(QStringLiteral("Scan")), "btnScan")),
      tmrScan(Named(new QTimer(this), "tmrScan")), cbbNewSpeed(Named(new QComboBox, "cbbNewSpeed")),
      cbbProtocolChangeFrom(Named(new QComboBox, "cbbProtocolChangeFrom")),
      cbbProtocolChangeTo(Named(new QComboBox, "cbbProtocolChangeTo")),
      btnSendReaddr(Named(new QPushButton(QStringLiteral("Set")), "btnSendReaddr")),
      btnProtocolChange(Named(new QPushButton(QStringLiteral("Set")), "btnProtocolChange")),
      chkADRChanger(
          Named(new QCheckBox(QStringLiteral("Nahrazovat adresu u přednastavených instrukcí")),
                "chkADRChanger")),
      lblADRChanger(Named(new QLabel(QStringLiteral("ADR:")), "lblADRChanger")) {
  setObjectName(QStringLiteral("fBusTools"));
  ieScanWait->SetMaxValue(99999);
  ieScanWait->SetMinValue(10);
  ieScanWait->SetValue(100);

  auto *scan = Named(new QGroupBox(QStringLiteral("Vyhledávání zařízení (SCAN)")), "gbScan");
  auto *scanGrid = new QGridLayout(scan);
  auto *lblFrom = Named(new QLabel(QStringLiteral("From ADR:")), "lblScanFrom");
  auto *lblTo = Named(new QLabel(QStringLiteral("To ADR:")), "lblScanTo");
  auto *lblWait = Named(new QLabel(QStringLiteral("Interval:")), "lblScanWait");
  scanGrid->addWidget(lblFrom, 0, 0);
  scanGrid->addWidget(cbbScanAdrFrom, 0, 1, 1, 2);
  scanGrid->addWidget(lblTo, 1, 0);
  scanGrid->addWidget(cbbScanAdrTo, 1, 1, 1, 2);
  scanGrid->addWidget(lblWait, 2, 0);
  scanGrid->addWidget(ieScanWait, 2, 1);
  scanGrid->addWidget(Named(new QLabel(QStringLiteral("ms")), "lblScanWaitUnit"), 2, 2);
  scanGrid->addWidget(lblScanInfo, 3, 0, 1, 2);
  scanGrid->addWidget(btnScan, 3, 2);
  fScanControls = {cbbScanAdrFrom, cbbScanAdrTo, ieScanWait, lblFrom, lblTo, lblWait};

  auto *readdr =
      Named(new QGroupBox(QStringLiteral("Přenastavení komunikačních parametrů")), "gbReaddr");
  auto *readdrGrid = new QGridLayout(readdr);
  readdrGrid->addWidget(Named(new QLabel(QStringLiteral("Old ADR:")), "lblOldADR"), 0, 0);
  readdrGrid->addWidget(cbbOldADR, 0, 1);
  readdrGrid->addWidget(Named(new QLabel(QStringLiteral("New ADR:")), "lblNewADR"), 1, 0);
  readdrGrid->addWidget(cbbNewADR, 1, 1);
  readdrGrid->addWidget(Named(new QLabel(QStringLiteral("New speed:")), "lblNewSpeed"), 2, 0);
  readdrGrid->addWidget(cbbNewSpeed, 2, 1);
  readdrGrid->addWidget(btnSendReaddr, 3, 1, Qt::AlignRight);
  cbbNewSpeed->addItems({"110 ", "300 ", "600 ", "1 200 ", "2 400 ", "4 800 ", "9 600 ", "19 200 ",
                         "38 400 ", "57 600 ", "115 200 ", "230 400"});
  cbbNewSpeed->setCurrentIndex(6);

  auto *protocol =
      Named(new QGroupBox(QStringLiteral("Přepnutí komunikačního protokolu")), "gbProtocolChange");
  auto *protocolGrid = new QGridLayout(protocol);
  protocolGrid->addWidget(Named(new QLabel(QStringLiteral("ADR:")), "lblProtocolChangeAdr"), 0, 0);
  protocolGrid->addWidget(cbbProtokolChangeAdr, 0, 1);
  // The protocols' names are long: each list has a row of its own under
  // its label, so the panel need not be as wide as label and list together.
  protocolGrid->addWidget(Named(new QLabel(QStringLiteral("Old protocol:")), "lblOldProtocol"), 1,
                          0, 1, 2);
  protocolGrid->addWidget(cbbProtocolChangeFrom, 2, 0, 1, 2);
  protocolGrid->addWidget(Named(new QLabel(QStringLiteral("New protocol:")), "lblNewProtocol"), 3,
                          0, 1, 2);
  protocolGrid->addWidget(cbbProtocolChangeTo, 4, 0, 1, 2);
  protocolGrid->addWidget(btnProtocolChange, 5, 1, Qt::AlignRight);
  for (QComboBox *box : {cbbProtocolChangeFrom, cbbProtocolChangeTo})
    box->addItems({QStringLiteral("Pelmar, formát 97 (binární) i 66 (ascii)"),
                   QStringLiteral("MODBUS RTU (jen u variant Ordel RS a Ordel USB)"),
                   QStringLiteral("Pelmar, pouze formát 97 (binární)")});
  cbbProtocolChangeFrom->setCurrentIndex(0);
  cbbProtocolChangeTo->setCurrentIndex(1);

  auto *changer = new QGroupBox;
  auto *changerGrid = new QGridLayout(changer);
  changerGrid->addWidget(chkADRChanger, 0, 0, 1, 2);
  changerGrid->addWidget(lblADRChanger, 1, 0);
  changerGrid->addWidget(cbbADRChanger, 1, 1);

  auto *layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  for (QGroupBox *group : {scan, readdr, protocol, changer})
    layout->addWidget(group);

  connect(btnScan, &QPushButton::clicked, this, &TBusTools::btnScanClick);
  connect(tmrScan, &QTimer::timeout, this, &TBusTools::tmrScanTimer);
  connect(cbbScanAdrFrom, &QComboBox::currentIndexChanged, this, &TBusTools::cbbScanAdrFromChange);
  connect(cbbScanAdrTo, &QComboBox::currentIndexChanged, this, &TBusTools::cbbScanAdrFromChange);
  connect(ieScanWait, &QLineEdit::textChanged, this, &TBusTools::cbbScanAdrFromChange);
  connect(btnSendReaddr, &QPushButton::clicked, this, &TBusTools::btnSendReaddrClick);
  connect(btnProtocolChange, &QPushButton::clicked, this, &TBusTools::btnProtocolChangeClick);
  connect(chkADRChanger, &QCheckBox::toggled, this, &TBusTools::chkADRChangerClick);
  chkADRChangerClick();
  cbbScanAdrFromChange();
}

std::optional<uint8_t> TBusTools::ReplacementAddress() const {
  if (!chkADRChanger->isChecked() || cbbADRChanger->Address() < 0)
    return std::nullopt;
  return uint8_t(cbbADRChanger->Address());
}

bool TBusTools::ScanRunning() const {
  return tmrScan->isActive();
}

void TBusTools::Log(const QString &text) {
  if (LogInfoMsg)
    LogInfoMsg(text, kNavy);
}

void TBusTools::SetScanControlsEnabled(bool enabled) {
  for (QWidget *w : fScanControls)
    w->setEnabled(enabled);
}

void TBusTools::EndScan() {
  tmrScan->stop();
  btnScan->setText(QStringLiteral("Scan"));
  SetScanControlsEnabled(true);
}

void TBusTools::btnScanClick() {
  if (tmrScan->isActive()) {
    EndScan();
    Log(LanguageText(QStringLiteral("ScanCancelled"),
                     QStringLiteral("Scan zařízení přerušen uživatelem")));
    cbbScanAdrFromChange();
    return;
  }
  const int from = cbbScanAdrFrom->Address();
  const int to = cbbScanAdrTo->Address();
  Log(LanguageText(QStringLiteral("ScanStarted"),
                   QStringLiteral("Spuštěn scan zažízení protokolu pelmar v adresovém rozsahu: "
                                  "%1-%2 "))
          .arg(from)
          .arg(to));
  fScanIndex = uint8_t(from);
  tmrScan->setInterval(ieScanWait->GetValue());
  tmrScan->start();
  btnScan->setText(QStringLiteral("Stop"));
  SetScanControlsEnabled(false);
  cbbScanAdrFromChange();
}

void TBusTools::tmrScanTimer() {
  emit sendRequested(sEncode_S97(fScanIndex, 0xF3, 0xF3, {}));
  if (fScanIndex < cbbScanAdrTo->Address()) {
    ++fScanIndex;
  } else {
    Log(LanguageText(QStringLiteral("ScanFinished"), QStringLiteral("Scan zařízení dokončen")));
    EndScan();
  }
  cbbScanAdrFromChange();
}

void TBusTools::cbbScanAdrFromChange() {
  const int from = cbbScanAdrFrom->Address();
  const int count = cbbScanAdrTo->Address() - from;
  const int interval = ieScanWait->GetValue();
  const int total = std::max(1, int(qint64(count) * interval / 1000));
  if (!tmrScan->isActive()) {
    lblScanInfo->setText(QStringLiteral("%1 items [cca %2 s]").arg(count).arg(total));
    return;
  }
  const int done = fScanIndex - from;
  const int doneSec = std::max(1, int(qint64(done) * interval / 1000));
  lblScanInfo->setText(QStringLiteral("%1/%2 items [cca %3/%4 s]")
                           .arg(done)
                           .arg(count)
                           .arg(total - doneSec + 1)
                           .arg(total));
}

void TBusTools::SendPair(const QByteArray &first, const QByteArray &second) {
  // A second click while the pair is on its way would interleave two
  // sequences on the bus; the buttons wait until this one is done.
  fSequenceRunning = true;
  btnSendReaddr->setEnabled(false);
  btnProtocolChange->setEnabled(false);
  emit sendRequested(first);
  // Two 100 ms halves with the event loop running between them: the device
  // gets its pause and the window never freezes.
  QTimer::singleShot(100, this, [this, second] {
    QTimer::singleShot(100, this, [this, second] {
      emit sendRequested(second);
      fSequenceRunning = false;
      btnSendReaddr->setEnabled(true);
      btnProtocolChange->setEnabled(true);
    });
  });
}

void TBusTools::btnSendReaddrClick() {
  if (fSequenceRunning)
    return;
  const auto adrOld = uint8_t(cbbOldADR->Address());
  const char data[2] = {char(cbbNewADR->Address()), char(cbbNewSpeed->currentIndex())};
  SendPair(sEncode_S97(adrOld, 0x00, 0xE4, {}),
           sEncode_S97(adrOld, 0x01, 0xE0, QByteArray(data, 2)));
}

void TBusTools::btnProtocolChangeClick() {
  if (fSequenceRunning)
    return;
  const int from = cbbProtocolChangeFrom->currentIndex();
  if (from != 0 && from != 2)
    return; // a device speaking Modbus RTU does not understand these frames
  const auto adr = uint8_t(cbbProtokolChangeAdr->Address());
  const char to = char(cbbProtocolChangeTo->currentIndex() + 1);
  SendPair(sEncode_S97(adr, 0x00, 0xE4, {}), sEncode_S97(adr, 0x01, 0xED, QByteArray(1, to)));
}

void TBusTools::chkADRChangerClick() {
  lblADRChanger->setEnabled(chkADRChanger->isChecked());
  cbbADRChanger->setEnabled(chkADRChanger->isChecked());
}

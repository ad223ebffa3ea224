#include "tools/modbuspanel.h"

#include "base/ansicodepage.h"
#include "codecs/devovavo.h"
#include "codecs/modbus.h"
#include "widgets/named.h"
#include "widgets/numedit.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

TIntEdit *IntEdit(const char *name, int value, int max = 0) {
  auto *edit = Named(new TIntEdit, name);
  if (max)
    edit->SetMaxValue(max);
  else
    edit->SetMaxValue(255);
  edit->SetValue(value);
  return edit;
}

} // namespace

TfModBusPanel::TfModBusPanel(QWidget *parent)
    : QWidget(parent, Qt::Tool),
      btnCmdSend(Named(new QPushButton(QStringLiteral("Send")), "btnCmdSend")),
      edt2(Named(new QLineEdit(QStringLiteral("@20*160120")), "edt2")),
      btn2(Named(new QPushButton(QStringLiteral("Send")), "btn2")),
      gbModBus(Named(new QGroupBox(QStringLiteral("ModBus")), "gbModBus")),
      ieDeviceAddress(IntEdit("ieDeviceAddress", 0)), ieFrom(IntEdit("ieFrom", 10001, 999999)),
      ieCount(IntEdit("ieCount", 10, 65535)), cbbProtocol(Named(new QComboBox, "cbbProtocol")),
      cbbInstruction(Named(new QComboBox, "cbbInstruction")),
      btn1(Named(new QPushButton(QStringLiteral("Send")), "btn1")),
      btnDanfodd(Named(new QPushButton(QStringLiteral("Danfoss ping broadcast")), "btnDanfodd")) {
  setObjectName(QStringLiteral("fModBusPanel"));
  setWindowTitle(QStringLiteral("Protocol Panel"));

  auto *first = new QGroupBox;
  auto *firstGrid = new QGridLayout(first);
  firstGrid->addWidget(Named(new QLabel(QStringLiteral("CMD:")), "lblCmd"), 0, 0);
  firstGrid->addWidget(Named(new QLineEdit(QStringLiteral("{$FF}")), "edtCmd"), 0, 1);
  firstGrid->addWidget(Named(new QLabel(QStringLiteral("DATA:")), "lblCmdData"), 1, 0);
  firstGrid->addWidget(Named(new QLineEdit(QStringLiteral("$80")), "edtCmdData"), 1, 1);
  firstGrid->addWidget(btnCmdSend, 1, 2);

  auto *epnp =
      Named(new QGroupBox(QStringLiteral("EPNP (Encapsulated PesNet Protocol)")), "gbEpnp");
  auto *epnpGrid = new QGridLayout(epnp);
  epnpGrid->addWidget(Named(new QLabel(QStringLiteral("Data:")), "lblEpnpData"), 0, 0);
  epnpGrid->addWidget(edt2, 0, 1);
  epnpGrid->addWidget(btn2, 0, 2);

  auto *modbusGrid = new QGridLayout(gbModBus);
  modbusGrid->addWidget(Named(new QLabel(QStringLiteral("Device address:")), "lblDeviceAddress"), 0,
                        0);
  modbusGrid->addWidget(ieDeviceAddress, 0, 1);
  modbusGrid->addWidget(Named(new QLabel(QStringLiteral("From:")), "lblFrom"), 1, 0);
  modbusGrid->addWidget(ieFrom, 1, 1);
  modbusGrid->addWidget(Named(new QLabel(QStringLiteral("Count:")), "lblCount"), 2, 0);
  modbusGrid->addWidget(ieCount, 2, 1);
  modbusGrid->addWidget(Named(new QLabel(QStringLiteral("Protokol:")), "lblProtocol"), 3, 0);
  modbusGrid->addWidget(cbbProtocol, 3, 1);
  modbusGrid->addWidget(Named(new QLabel(QStringLiteral("Instrukce:")), "lblInstruction"), 4, 0);
  modbusGrid->addWidget(cbbInstruction, 4, 1);
  modbusGrid->addWidget(btn1, 5, 1, Qt::AlignRight);
  cbbProtocol->addItems({QStringLiteral("Modbus TCP"), QStringLiteral("Modbus RTU"),
                         QStringLiteral("Modbus ASCII"), QStringLiteral("Modbus custom")});
  cbbProtocol->setCurrentIndex(1);
  cbbInstruction->addItems({
      QStringLiteral("01\tRead Coils\tČtení jednoho nebo více bitů"),
      QStringLiteral("02\tRead Discrete Inputs\tČtení jednoho nebo více bitů"),
      QStringLiteral("03\tRead Holding Registers\tČtení jednoho nebo více 16bitových registrů"),
      QStringLiteral("04\tRead Input Registers\tČtení jednoho nebo více 16bitových registrů"),
      QStringLiteral("05\tWrite Single Coil\tZápis jednoho bitu"),
      QStringLiteral("06\tWrite Single Register\tZápis jednoho 16bitového registru"),
      QStringLiteral("15\tWrite Multiple Coils\tZápis více bitů"),
      QStringLiteral("16\tWrite Multiple Registers\tZápis více 16bitových registrů"),
  });
  cbbInstruction->view()->setMinimumWidth(400);
  gbModBus->setEnabled(false);

  auto *layout = new QVBoxLayout(this);
  layout->addWidget(first);
  layout->addWidget(epnp);
  layout->addWidget(gbModBus);
  layout->addWidget(btnDanfodd);
  layout->addStretch(1);

  // The first group's fields are not read: its button sends an empty record.
  connect(btnCmdSend, &QPushButton::clicked, this, [this] { emit sendRequested(QByteArray()); });
  connect(btn2, &QPushButton::clicked, this, &TfModBusPanel::btn2Click);
  connect(btnDanfodd, &QPushButton::clicked, this, &TfModBusPanel::btnDanfoddClick);
  connect(btn1, &QPushButton::clicked, this, &TfModBusPanel::btn1Click);
}

void TfModBusPanel::btn2Click() {
  emit sendRequested(AnsiFromText(DevovAVO_EncodePacket(edt2->text())));
}

void TfModBusPanel::btnDanfoddClick() {
  emit sendRequested(QByteArray::fromHex("7EFF030002FFFF0015B18B7E"));
}

void TfModBusPanel::btn1Click() {
  // The encoder gives one character per byte.
  emit sendRequested((MODBUS_EncodeReadDigitalInput(ieFrom->GetValue(), ieCount->GetValue(), mbtRTU,
                                                    uint8_t(ieDeviceAddress->GetValue())))
                         .toLatin1());
}

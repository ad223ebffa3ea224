#include "tools/modbuspanel.h"

#include "base/ansicodepage.h"
#include "base/pterror.h"
#include "codecs/devovavo.h"
#include "widgets/messages.h"
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
#include <algorithm>
#include <iterator>

namespace {

// The items of "Protokol:" in their order.
constexpr int kProtocolTcp = 0;
constexpr int kProtocolRtu = 1;
constexpr int kProtocolAscii = 2;
constexpr int kProtocolCustom = 3;

// The function codes of the "Instrukce:" items in their order.
constexpr uint8_t kFunctions[] = {
    MODBUS_INST_Read_Coils,
    MODBUS_INST_Read_Discrete_Inputs,
    MODBUS_INST_Read_Holding_Registers,
    MODBUS_INST_Read_Input_Registers,
    MODBUS_INST_Write_Single_Coil,
    MODBUS_INST_Write_Single_Register,
    MODBUS_INST_Write_Multiple_Coils,
    MODBUS_INST_Write_Multiple_Registers,
};

bool IsWrite(uint8_t function) {
  return function >= MODBUS_INST_Write_Single_Coil;
}

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

TfModBusPanel::TfModBusPanel(TMessageSink &sink, QWidget *parent)
    : QWidget(parent, Qt::Tool),
      btnCmdSend(Named(new QPushButton(QStringLiteral("Send")), "btnCmdSend")),
      edt2(Named(new QLineEdit(QStringLiteral("@20*160120")), "edt2")),
      btn2(Named(new QPushButton(QStringLiteral("Send")), "btn2")),
      gbModBus(Named(new QGroupBox(QStringLiteral("ModBus")), "gbModBus")),
      ieDeviceAddress(IntEdit("ieDeviceAddress", 0)), ieFrom(IntEdit("ieFrom", 10001, 999999)),
      ieCount(IntEdit("ieCount", 10, 65535)), cbbProtocol(Named(new QComboBox, "cbbProtocol")),
      cbbInstruction(Named(new QComboBox, "cbbInstruction")),
      edtValues(Named(new QLineEdit, "edtValues")),
      edtPdu(Named(new QLineEdit(QStringLiteral("{0x03,0x00,0x00,0x00,0x0A}")), "edtPdu")),
      btn1(Named(new QPushButton(QStringLiteral("Send")), "btn1")),
      btnDanfodd(Named(new QPushButton(QStringLiteral("Danfoss ping broadcast")), "btnDanfodd")),
      fSink(sink) {
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
  modbusGrid->addWidget(Named(new QLabel(QStringLiteral("Hodnoty:")), "lblValues"), 3, 0);
  modbusGrid->addWidget(edtValues, 3, 1);
  modbusGrid->addWidget(Named(new QLabel(QStringLiteral("Protokol:")), "lblProtocol"), 4, 0);
  modbusGrid->addWidget(cbbProtocol, 4, 1);
  modbusGrid->addWidget(Named(new QLabel(QStringLiteral("Instrukce:")), "lblInstruction"), 5, 0);
  modbusGrid->addWidget(cbbInstruction, 5, 1);
  modbusGrid->addWidget(Named(new QLabel(QStringLiteral("PDU:")), "lblPdu"), 6, 0);
  modbusGrid->addWidget(edtPdu, 6, 1);
  modbusGrid->addWidget(btn1, 7, 1, Qt::AlignRight);
  cbbProtocol->addItems({QStringLiteral("Modbus TCP"), QStringLiteral("Modbus RTU"),
                         QStringLiteral("Modbus ASCII"), QStringLiteral("Modbus custom")});
  cbbProtocol->setCurrentIndex(kProtocolRtu);
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
  UpdateModbusFields();

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
  connect(cbbProtocol, &QComboBox::currentIndexChanged, this, &TfModBusPanel::UpdateModbusFields);
  connect(cbbInstruction, &QComboBox::currentIndexChanged, this,
          &TfModBusPanel::UpdateModbusFields);
}

void TfModBusPanel::btn2Click() {
  emit sendRequested(AnsiFromText(DevovAVO_EncodePacket(edt2->text())));
}

void TfModBusPanel::btnDanfoddClick() {
  emit sendRequested(QByteArray::fromHex("7EFF030002FFFF0015B18B7E"));
}

void TfModBusPanel::btn1Click() {
  QWidget *anchor = nullptr;
  QByteArray request;
  try {
    request = ModbusRequestBytes(anchor);
  } catch (const EPtError &error) {
    fSink.ShowError(anchor, InputErrorTitle(), error.Message());
    if (anchor)
      anchor->setFocus();
    return;
  }
  emit modbusSendRequested(request, ModbusType());
}

void TfModBusPanel::SetModbusType(TModbusType type) {
  switch (type) {
  case mbtRTU:
    cbbProtocol->setCurrentIndex(kProtocolRtu);
    break;
  case mbtTCP:
    cbbProtocol->setCurrentIndex(kProtocolTcp);
    break;
  case mbtASCII:
    cbbProtocol->setCurrentIndex(kProtocolAscii);
    break;
  }
}

TModbusType TfModBusPanel::ModbusType() const {
  switch (cbbProtocol->currentIndex()) {
  case kProtocolTcp:
    return mbtTCP;
  case kProtocolAscii:
    return mbtASCII;
  default:
    return mbtRTU;
  }
}

uint8_t TfModBusPanel::SelectedFunction() const {
  const int index = std::clamp(cbbInstruction->currentIndex(), 0, int(std::size(kFunctions)) - 1);
  return kFunctions[index];
}

bool TfModBusPanel::CustomSelected() const {
  return cbbProtocol->currentIndex() == kProtocolCustom;
}

QByteArray TfModBusPanel::ModbusRequestBytes(QWidget *&anchor) {
  const auto unit = static_cast<uint8_t>(ieDeviceAddress->GetValue());
  if (CustomSelected()) {
    anchor = edtPdu;
    return ModbusRtuFrame(QByteArray(1, static_cast<char>(unit)) + ModbusCustomPdu(edtPdu->text()));
  }
  TModbusRequest request;
  request.Function = SelectedFunction();
  qsizetype count = 0;
  if (IsWrite(request.Function)) {
    anchor = edtValues;
    request.Values = ParseModbusValues(edtValues->text(), request.Function);
    count = request.Values.size();
  } else {
    anchor = ieCount;
    request.Count = ModbusReadCount(request.Function, ieCount->GetValue());
    count = request.Count;
  }
  anchor = ieFrom;
  request.Address = ModbusStartAddress(request.Function, ieFrom->GetValue(), count);
  anchor = nullptr;
  return fFramer.Frame(ModbusType(), unit, ModbusRequestPdu(request));
}

void TfModBusPanel::UpdateModbusFields() {
  const bool custom = CustomSelected();
  const bool write = IsWrite(SelectedFunction());
  for (QWidget *w : {static_cast<QWidget *>(ieFrom), static_cast<QWidget *>(cbbInstruction)})
    w->setEnabled(!custom);
  ieCount->setEnabled(!custom && !write);
  edtValues->setEnabled(!custom && write);
  edtPdu->setEnabled(custom);
}

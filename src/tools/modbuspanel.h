#pragma once

// Senders for protocols other than Pelmar: a DevovAVO (EPNP) packet, a fixed
// Danfoss broadcast frame, and Modbus requests of the eight common functions
// in RTU, ASCII or TCP, or a PDU typed by hand.

#include "codecs/modbus.h"
#include "codecs/modbusrequest.h"

#include <QByteArray>
#include <QWidget>

class QComboBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class TIntEdit;
class TMessageSink;

class TfModBusPanel : public QWidget {
  Q_OBJECT
public:
  // Problems with what was typed go to `sink`.
  explicit TfModBusPanel(TMessageSink &sink, QWidget *parent = nullptr);

  void btn2Click();
  void btnDanfoddClick();
  // Builds the selected Modbus request and sends it; a field that does not
  // read is reported and nothing is sent.
  void btn1Click();

  // Selects the protocol the requests are framed in, as the receiving side
  // reads them; "Modbus custom" stays for the user to pick.
  void SetModbusType(TModbusType type);
  // The protocol of the "Protokol:" list; RTU for "Modbus custom".
  TModbusType ModbusType() const;

  QPushButton *btnCmdSend;
  QLineEdit *edt2;
  QPushButton *btn2;
  QGroupBox *gbModBus;
  TIntEdit *ieDeviceAddress, *ieFrom, *ieCount;
  QComboBox *cbbProtocol, *cbbInstruction;
  QLineEdit *edtValues, *edtPdu;
  QPushButton *btn1;
  QPushButton *btnDanfodd;

signals:
  void sendRequested(const QByteArray &data);
  // A Modbus request of the group, framed in `type`, so its Tx row can be
  // read as Modbus.
  void modbusSendRequested(const QByteArray &frame, TModbusType type);

private:
  uint8_t SelectedFunction() const;
  bool CustomSelected() const;
  // The request's bytes; on an error `anchor` is the field at fault.
  QByteArray ModbusRequestBytes(QWidget *&anchor);
  // Offers the fields the selected function and protocol read.
  void UpdateModbusFields();

  TMessageSink &fSink;
  TModbusFramer fFramer;
};

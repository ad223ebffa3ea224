#pragma once

// Senders for protocols other than Pelmar: a DevovAVO (EPNP) packet, a fixed
// Danfoss broadcast frame, and a Modbus request group that is shown but not
// yet offered.

#include <QByteArray>
#include <QWidget>

class QComboBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class TIntEdit;

class TfModBusPanel : public QWidget {
  Q_OBJECT
public:
  explicit TfModBusPanel(QWidget *parent = nullptr);

  void btn2Click();
  void btnDanfoddClick();
  void btn1Click();

  QPushButton *btnCmdSend;
  QLineEdit *edt2;
  QPushButton *btn2;
  QGroupBox *gbModBus;
  TIntEdit *ieDeviceAddress, *ieFrom, *ieCount;
  QComboBox *cbbProtocol, *cbbInstruction;
  QPushButton *btn1;
  QPushButton *btnDanfodd;

signals:
  void sendRequested(const QByteArray &data);
};

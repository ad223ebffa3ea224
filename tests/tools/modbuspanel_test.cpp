#include "tools/modbuspanel.h"
#include "widgets/messages.h"
#include "widgets/numedit.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <gtest/gtest.h>

namespace {

struct PanelSink : TMessageSink {
  QStringList errors;
  QList<QWidget *> anchors;
  void ShowError(QWidget *anchor, const QString &, const QString &text) override {
    errors << text;
    anchors << anchor;
  }
  void ShowBalloon(QWidget *, const QString &, const QString &) override {}
};

class ModBusPanelTest : public ::testing::Test {
protected:
  ModBusPanelTest() {
    QObject::connect(&panel, &TfModBusPanel::sendRequested,
                     [this](const QByteArray &data) { sent.append(data); });
    QObject::connect(&panel, &TfModBusPanel::modbusSendRequested,
                     [this](const QByteArray &data, TModbusType type) {
                       sent.append(data);
                       types.append(type);
                     });
  }
  // Fills the Modbus group as a user does and presses its "Send".
  void Send(int instruction, int device, int from, int count, const QString &values) {
    panel.cbbInstruction->setCurrentIndex(instruction);
    panel.ieDeviceAddress->SetValue(device);
    panel.ieFrom->SetValue(from);
    panel.ieCount->SetValue(count);
    panel.edtValues->setText(values);
    panel.btn1->click();
  }

  PanelSink sink;
  TfModBusPanel panel{sink};
  QList<QByteArray> sent;
  QList<TModbusType> types; // of the Modbus group's requests
};

TEST_F(ModBusPanelTest, SendersGiveTheirFrames) {
  panel.btnCmdSend->click();
  panel.btn2->click();
  panel.btnDanfodd->click();
  EXPECT_TRUE(panel.gbModBus->isEnabled());
  panel.btn1->click(); // Read Coils of device 0 from coil 10001, as it opens
  ASSERT_EQ(sent.size(), 4);
  EXPECT_EQ(sent[0], QByteArray());
  EXPECT_EQ(sent[1], "@20*160120#F6\r");
  EXPECT_EQ(sent[2], QByteArray::fromHex("7EFF030002FFFF0015B18B7E"));
  EXPECT_EQ(sent[3].toHex(), "00012710000ab6ad");
  EXPECT_TRUE(sink.errors.isEmpty());
}

TEST_F(ModBusPanelTest, EveryFunctionInEveryProtocol) {
  struct Case {
    int from;
    int count;
    const char *values;
    const char *rtu;
    const char *ascii;
    const char *tcp; // the transaction id counts one up per request
  };
  const Case cases[] = {
      {20, 37, "", "1101001300250e84", ":110100130025B6\r\n", "000100000006110100130025"},
      {10197, 22, "", "110200c40016baa9", ":110200C4001613\r\n", "000200000006110200c40016"},
      {40108, 3, "", "1103006b00037687", ":1103006B00037E\r\n", "0003000000061103006b0003"},
      {30009, 1, "", "110400080001b298", ":110400080001E2\r\n", "000400000006110400080001"},
      {173, 5, "1", "110500acff004e8b", ":110500ACFF003F\r\n", "000500000006110500acff00"},
      {40002, 5, "3", "1106000100039a9b", ":110600010003E5\r\n", "000600000006110600010003"},
      {20, 5, "1,0,1,1,0,0,1,1,1,0", "110f0013000a02cd01bf0b", ":110F0013000A02CD01F3\r\n",
       "000700000009110f0013000a02cd01"},
      {40002, 5, "0x000A, 258", "11100001000204000a0102c6f0", ":11100001000204000A0102CB\r\n",
       "00080000000b11100001000204000a0102"},
  };
  for (const TModbusType type : {mbtRTU, mbtASCII, mbtTCP}) {
    panel.SetModbusType(type);
    EXPECT_EQ(panel.ModbusType(), type);
    for (int i = 0; i < int(std::size(cases)); ++i) {
      const Case &c = cases[i];
      sent.clear();
      types.clear();
      Send(i, 17, c.from, c.count, QString::fromLatin1(c.values));
      ASSERT_EQ(sent.size(), 1) << i << " " << sink.errors.join('\n').toStdString();
      ASSERT_EQ(types, QList<TModbusType>{type}) << i;
      if (type == mbtRTU)
        EXPECT_EQ(sent[0].toHex(), c.rtu) << i;
      else if (type == mbtASCII)
        EXPECT_EQ(sent[0], c.ascii) << i;
      else
        EXPECT_EQ(sent[0].toHex(), c.tcp) << i;
    }
  }
  EXPECT_TRUE(sink.errors.isEmpty());

  // Device 1, inputs from 10001, eight of them.
  panel.SetModbusType(mbtRTU);
  sent.clear();
  Send(1, 1, 10001, 8, QString());
  ASSERT_EQ(sent.size(), 1);
  EXPECT_EQ(sent[0].toHex(), "01020000000879cc");
}

TEST_F(ModBusPanelTest, ACustomPduGoesOutAsRtuWithTheDeviceAddress) {
  panel.cbbProtocol->setCurrentText(QStringLiteral("Modbus custom"));
  EXPECT_EQ(panel.ModbusType(), mbtRTU);
  panel.ieDeviceAddress->SetValue(1);
  panel.btn1->click();
  panel.edtPdu->setText(QStringLiteral("{$03,0,0}{0,10}"));
  panel.btn1->click();
  ASSERT_EQ(sent.size(), 2) << sink.errors.join('\n').toStdString();
  EXPECT_EQ(sent[0].toHex(), "01030000000ac5cd");
  EXPECT_EQ(sent[1], sent[0]);
  EXPECT_EQ(types, (QList<TModbusType>{mbtRTU, mbtRTU}));
  // Choosing a Modbus type leaves the custom choice for the user.
  panel.SetModbusType(mbtTCP);
  EXPECT_EQ(panel.cbbProtocol->currentText(), "Modbus TCP");
}

TEST_F(ModBusPanelTest, FieldsFollowTheFunctionAndProtocol) {
  struct Case {
    const char *protocol;
    int instruction;
    bool from, count, values, pdu;
  };
  const Case cases[] = {
      {"Modbus RTU", 0, true, true, false, false},     {"Modbus TCP", 3, true, true, false, false},
      {"Modbus ASCII", 4, true, false, true, false},   {"Modbus RTU", 7, true, false, true, false},
      {"Modbus custom", 7, false, false, false, true},
  };
  for (const Case &c : cases) {
    panel.cbbProtocol->setCurrentText(QLatin1String(c.protocol));
    panel.cbbInstruction->setCurrentIndex(c.instruction);
    EXPECT_EQ(panel.ieFrom->isEnabled(), c.from) << c.protocol << c.instruction;
    EXPECT_EQ(panel.cbbInstruction->isEnabled(), c.from) << c.protocol << c.instruction;
    EXPECT_EQ(panel.ieCount->isEnabled(), c.count) << c.protocol << c.instruction;
    EXPECT_EQ(panel.edtValues->isEnabled(), c.values) << c.protocol << c.instruction;
    EXPECT_EQ(panel.edtPdu->isEnabled(), c.pdu) << c.protocol << c.instruction;
  }
}

TEST_F(ModBusPanelTest, ABadFieldIsShownAtItsPlaceAndNothingIsSent) {
  struct Case {
    const char *protocol;
    int instruction;
    int from;
    int count;
    const char *text; // the values, or the PDU for "Modbus custom"
    QWidget *anchor;
    const char *error;
  };
  const Case cases[] = {
      {"Modbus RTU", 7, 40001, 1, "1,x", panel.edtValues, "\"x\" není číslo"},
      {"Modbus TCP", 5, 40001, 1, "65536", panel.edtValues, "mimo rozsah 0–65535"},
      {"Modbus ASCII", 4, 1, 1, "1,1", panel.edtValues, "Příliš mnoho hodnot: 2, nejvýše 1"},
      {"Modbus RTU", 6, 1, 1, "", panel.edtValues, "Zadejte hodnoty k zápisu"},
      {"Modbus RTU", 2, 40001, 126, "", panel.ieCount, "Počet 126 je mimo rozsah 1–125"},
      {"Modbus RTU", 2, 30001, 1, "", panel.ieFrom, "Číslo 30001 neleží v rozsahu"},
      {"Modbus TCP", 7, 465536, 1, "1,2", panel.ieFrom, "přesahuje adresu 65535"},
      {"Modbus custom", 0, 1, 1, "", panel.edtPdu, "Zadejte PDU"},
      {"Modbus custom", 0, 1, 1, "{0x03", panel.edtPdu, "}"},
  };
  for (const Case &c : cases) {
    sink.errors.clear();
    sink.anchors.clear();
    panel.cbbProtocol->setCurrentText(QLatin1String(c.protocol));
    if (QLatin1String(c.protocol) == QLatin1String("Modbus custom"))
      panel.edtPdu->setText(QString::fromUtf8(c.text));
    Send(c.instruction, 1, c.from, c.count, QString::fromUtf8(c.text));
    ASSERT_EQ(sink.errors.size(), 1) << c.text;
    EXPECT_TRUE(sink.errors[0].contains(QString::fromUtf8(c.error)))
        << sink.errors[0].toStdString();
    EXPECT_EQ(sink.anchors[0], c.anchor) << c.text;
  }
  EXPECT_TRUE(sent.isEmpty());
  // A TCP request that was not sent took no transaction id.
  panel.SetModbusType(mbtTCP);
  Send(2, 1, 40001, 1, QString());
  ASSERT_EQ(sent.size(), 1);
  EXPECT_EQ(sent[0].left(2).toHex(), "0001");
}

} // namespace

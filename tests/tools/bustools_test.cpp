#include "codecs/pelmar97.h"
#include "tools/addresscombo.h"
#include "tools/bustools.h"
#include "waitfor.h"
#include "widgets/numedit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

class BusToolsTest : public ::testing::Test {
protected:
  BusToolsTest() {
    QObject::connect(&tools, &TBusTools::sendRequested, [this](const QByteArray &data) {
      sent.append(data);
      sentAt.append(clock.elapsed());
    });
    tools.LogInfoMsg = [this](const QString &text, QColor colour) {
      log << text;
      EXPECT_EQ(colour, QColor(0, 0, 128));
    };
    clock.start();
  }

  TBusTools tools;
  QList<QByteArray> sent;
  QList<qint64> sentAt;
  QStringList log;
  QElapsedTimer clock;
};

TEST_F(BusToolsTest, ScanSendsOneIdentificationPerAddressAndLogsItsEnds) {
  EXPECT_EQ(tools.lblScanInfo->text(), "253 items [cca 25 s]");
  tools.cbbScanAdrTo->setCurrentIndex(2);
  EXPECT_EQ(tools.lblScanInfo->text(), "2 items [cca 1 s]");
  tools.ieScanWait->SetValue(10);
  tools.btnScan->click();
  EXPECT_EQ(tools.btnScan->text(), "Stop");
  EXPECT_FALSE(tools.cbbScanAdrFrom->isEnabled());
  ASSERT_TRUE(WaitFor([&] { return !tools.ScanRunning(); }));
  ASSERT_EQ(sent.size(), 3);
  for (int adr = 0; adr < 3; ++adr)
    EXPECT_EQ(sent[adr], sEncode_S97(uint8_t(adr), 0xF3, 0xF3, {}));
  EXPECT_EQ(sent[1], QByteArray::fromHex("2A61000501F3F3880D"));
  EXPECT_EQ(log, QStringList({"Spuštěn scan zažízení protokolu pelmar v adresovém rozsahu: 0-2 ",
                              "Scan zařízení dokončen"}));
  EXPECT_EQ(tools.btnScan->text(), "Scan");
  EXPECT_TRUE(tools.cbbScanAdrFrom->isEnabled());
  EXPECT_EQ(tools.lblScanInfo->text(), "2 items [cca 1 s]");
}

TEST_F(BusToolsTest, StopEndsTheScanAndAReversedRangeSendsOneFrame) {
  tools.ieScanWait->SetValue(10);
  tools.btnScan->click();
  ASSERT_TRUE(WaitFor([&] { return sent.size() >= 2; }));
  tools.btnScan->click();
  const qsizetype count = sent.size();
  Settle(50);
  EXPECT_EQ(sent.size(), count);
  EXPECT_EQ(log.last(), "Scan zařízení přerušen uživatelem");

  sent.clear();
  tools.cbbScanAdrFrom->setCurrentIndex(5);
  tools.cbbScanAdrTo->setCurrentIndex(3);
  tools.btnScan->click();
  ASSERT_TRUE(WaitFor([&] { return !tools.ScanRunning(); }));
  ASSERT_EQ(sent.size(), 1);
  EXPECT_EQ(sent[0], sEncode_S97(5, 0xF3, 0xF3, {}));
}

TEST_F(BusToolsTest, ReaddressAndProtocolChangeSendTwoFramesWithAPause) {
  tools.cbbNewADR->setCurrentIndex(12);
  tools.btnSendReaddr->click();
  EXPECT_EQ(sent, QList<QByteArray>({QByteArray::fromHex("2A6100053100E45A0D")}));
  // The window keeps working meanwhile, and a second click waits its turn.
  tools.btnProtocolChange->click();
  ASSERT_TRUE(WaitFor([&] { return !tools.SequenceRunning(); }));
  ASSERT_EQ(sent.size(), 2);
  EXPECT_EQ(sent[1], sEncode_S97(49, 0x01, 0xE0, QByteArray::fromHex("0C06")));
  EXPECT_GE(sentAt[1] - sentAt[0], 190);

  sent.clear();
  tools.btnProtocolChange->click();
  ASSERT_TRUE(WaitFor([&] { return !tools.SequenceRunning(); }));
  EXPECT_EQ(sent, QList<QByteArray>({sEncode_S97(49, 0x00, 0xE4, {}),
                                     sEncode_S97(49, 0x01, 0xED, QByteArray(1, 2))}));
  // A device speaking Modbus RTU is left alone.
  sent.clear();
  tools.cbbProtocolChangeFrom->setCurrentIndex(1);
  tools.btnProtocolChange->click();
  Settle(250);
  EXPECT_TRUE(sent.isEmpty());
}

TEST_F(BusToolsTest, ReplacementAddressOnlyWhileChecked) {
  EXPECT_FALSE(tools.ReplacementAddress());
  EXPECT_FALSE(tools.cbbADRChanger->isEnabled());
  tools.chkADRChanger->setChecked(true);
  EXPECT_TRUE(tools.cbbADRChanger->isEnabled());
  EXPECT_TRUE(tools.lblADRChanger->isEnabled());
  tools.cbbADRChanger->setCurrentIndex(255);
  EXPECT_EQ(tools.ReplacementAddress(), std::optional<uint8_t>(255));
}

TEST(AddressCombo, SpecialAddressesAreTwoLinesTallAndItemsShowTheirCharacter) {
  TComboBoxPelmarAddress box;
  CombbBoxAddressItemsFill(&box, 0, 255, 49, true, true);
  EXPECT_EQ(box.count(), 256);
  EXPECT_EQ(box.Address(), 49);
  EXPECT_EQ(box.itemText(65), "65");
  QAbstractItemDelegate *delegate = box.itemDelegate();
  const QStyleOptionViewItem option;
  const int single = delegate->sizeHint(option, box.model()->index(253, 0)).height();
  EXPECT_EQ(delegate->sizeHint(option, box.model()->index(254, 0)).height(), 2 * single);
  EXPECT_EQ(delegate->sizeHint(option, box.model()->index(255, 0)).height(), 2 * single);

  const auto navyPixels = [&](int address, int height) {
    QImage image(200, height, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    ComboBoxAddressPaintItem(painter, image.rect(), single, address, false, true);
    painter.end();
    int navy = 0, black = 0;
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x) {
        const QColor c = image.pixelColor(x, y);
        navy += c.blue() > 100 && c.red() < 60 && c.green() < 60;
        black += c.red() < 40 && c.green() < 40 && c.blue() < 40;
      }
    return std::pair(navy, black);
  };
  EXPECT_GT(navyPixels(65, single).first, 0);       // "A" in navy
  EXPECT_EQ(navyPixels(20, single).first, 0);       // no ascii column
  EXPECT_EQ(navyPixels(255, single).second, 0);     // closed: one line
  EXPECT_GT(navyPixels(255, 2 * single).second, 0); // open list: the black note
}

} // namespace

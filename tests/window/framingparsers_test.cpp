#include "app/parserpage.h"
#include "codecs/modbus.h"
#include "codecs/modbusrequest.h"
#include "pipeline/datamodbus.h"
#include "redpixels.h"
#include "tools/modbuspanel.h"
#include "widgets/numedit.h"
#include "windowfixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

namespace {

QByteArray Rtu(const char *hex) {
  return ModbusRtuFrame(QByteArray::fromHex(hex));
}

TEST_F(WindowTest, ModbusTypesCutTheirFramesIntoModbusRows) {
  TParserPage *page = window->ParserPage();
  ASSERT_FALSE(page->rbProtocolModbus->isHidden());
  page->rbProtocolModbus->click();
  EXPECT_TRUE(page->rbProtocolModbusTCP->isEnabled());
  EXPECT_FALSE(page->rbProtocolPelmar97->isChecked());
  EXPECT_EQ(window->Receiver().Parser(), &window->Receiver().fVexlinParser_Modbus);

  const QByteArray rtu = Rtu("010300000002");
  const QByteArray ascii = ModbusAsciiFrame(QByteArray::fromHex("010300000002"));
  const QByteArray tcp = QByteArray::fromHex("000100000006010300000002");
  struct Case {
    QRadioButton *type;
    QByteArray frame;
    TModbusType expected;
  };
  const Case cases[] = {{page->rbProtocolModbusRTU, rtu, mbtRTU},
                        {page->rbProtocolModbusASCII, ascii, mbtASCII},
                        {page->rbProtocolModbusTCP, tcp, mbtTCP}};
  size_t rows = 0;
  for (const Case &c : cases) {
    SCOPED_TRACE(c.expected);
    c.type->click();
    // Split: the first piece waits, the second completes the frame.
    window->Receive(c.frame.left(3), {});
    window->Receive(c.frame.mid(3), {});
    ASSERT_TRUE(WaitFor([&] { return window->vstTerminal()->RowCount() == rows + 1; }));
    auto *row = dynamic_cast<TVexlinDataBinary_Modbus *>(window->vstTerminal()->NodeAt(rows)->Data);
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->Data, c.frame);
    EXPECT_EQ(row->ModbusType, c.expected);
    ++rows;
  }
  // The rows keep their kind through a saved log, and load back as such.
  window->aSaveDataExecute();
  const QStringList saved = QDir(dir.path()).entryList({"*_log.txt"});
  ASSERT_EQ(saved.size(), 1);
  QFile file(dir.filePath(saved[0]));
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_EQ(file.readAll().count("\tmbs\t"), 3);
  dialogs.openName = dir.filePath(saved[0]);
  window->aOpenDataExecute();
  ASSERT_GE(window->vstTerminal()->RowCount(), 2 * rows);
  for (size_t i = 0; i < rows; ++i) {
    auto *back =
        dynamic_cast<TVexlinDataBinary_Modbus *>(window->vstTerminal()->NodeAt(rows + i)->Data);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->Data, cases[i].frame);
    EXPECT_EQ(back->ModbusType, cases[i].expected);
  }
}

TEST_F(WindowTest, APausedPacketIsClosedByTheTimerWithoutFurtherBytes) {
  TParserPage *page = window->ParserPage();
  page->rbProtocolGap->click();
  EXPECT_EQ(window->Receiver().Parser(), &window->Receiver().fVexlinParser_Gap);
  page->ieProtocolGap->SetValue(20);
  window->Receive("abc", {});
  window->Receive("de", {});
  // No byte follows: only the timer can close the packet.
  ASSERT_TRUE(WaitFor([&] { return window->vstTerminal()->RowCount() == 1; }));
  EXPECT_EQ(Rows(window->vstTerminal())[0].bytes, "abcde");
  EXPECT_TRUE(WaitFor([&] { return window->vstRxBuffer()->RowCount() == 0; }));
}

TEST_F(WindowTest, LengthFieldSettingsShapeTheParser) {
  TParserPage *page = window->ParserPage();
  page->rbProtocolLengthField->click();
  EXPECT_EQ(window->Receiver().Parser(), &window->Receiver().fVexlinParser_LengthField);
  page->edtProtocolLengthFieldStart->setText("{0xAA,0x55}");
  page->ieProtocolLengthFieldOffset->SetValue(2);
  page->cbProtocolLengthFieldSize->setCurrentText("2");
  page->rbProtocolLengthFieldLittleEndian->click();
  page->ieProtocolLengthFieldAdd->SetValue(4);
  EXPECT_EQ(window->Receiver().fVexlinParser_LengthField.Format(),
            (TLengthFieldFormat{QByteArray("\xAA\x55"), 2, 2, false, 4}));
  window->Receive(QByteArray::fromHex("01AA5502000102"), {});
  ASSERT_TRUE(WaitFor([&] { return window->vstTerminal()->RowCount() == 2; }));
  EXPECT_EQ(Rows(window->vstTerminal())[0].bytes, QByteArray::fromHex("01"));
  EXPECT_EQ(Rows(window->vstTerminal())[1].bytes, QByteArray::fromHex("AA5502000102"));

  // Start bytes that do not convert mark the field, as the suffix field does.
  page->edtProtocolLengthFieldStart->setText("{0xAA");
  EXPECT_FALSE(dialogs.balloon.isEmpty());
}

TEST_F(WindowTest, FramingChoicesSurviveARestart) {
  TParserPage *page = window->ParserPage();
  page->rbProtocolGap->click();
  page->ieProtocolGap->SetValue(12);
  page->chkProtocolGapChars->click();
  EXPECT_FALSE(page->ieProtocolGap->isEnabled()) << "the speed gives the pause";
  page->edtProtocolLengthFieldStart->setText("{0x7E}");
  page->cbProtocolLengthFieldSize->setCurrentText("4");
  page->ieProtocolLengthFieldAdd->SetValue(-3);
  page->rbProtocolModbusASCII->setChecked(true);
  Close();
  Open();
  page = window->ParserPage();
  EXPECT_TRUE(page->rbProtocolGap->isChecked());
  EXPECT_TRUE(page->chkProtocolGapChars->isChecked());
  EXPECT_EQ(window->Receiver().Parser(), &window->Receiver().fVexlinParser_Gap);
  // No serial line: 3.5 characters give the 2 ms floor.
  EXPECT_EQ(window->Receiver().fVexlinParser_Gap.Pause(), 2'000'000);
  EXPECT_EQ(page->edtProtocolLengthFieldStart->text(), "{0x7E}");
  EXPECT_EQ(page->cbProtocolLengthFieldSize->currentText(), "4");
  EXPECT_EQ(page->ieProtocolLengthFieldAdd->GetValue(), -3);
  EXPECT_TRUE(page->rbProtocolModbusASCII->isChecked());
  page->SetLineSpeed(1200);
  EXPECT_EQ(window->Receiver().fVexlinParser_Gap.Pause(), 32'083'333);
  EXPECT_EQ(page->ieProtocolGap->GetValue(), 33);
}

TEST_F(WindowTest, AModbusFrameWithAWrongCrcHasItsCrcFramedInRed) {
  window->ParserPage()->rbProtocolModbus->click();
  const QByteArray good = Rtu("01030400010002");
  QByteArray damaged = good;
  damaged[4] = static_cast<char>(damaged[4] ^ 0x10);
  // Each closed by the pause after it, as on a line.
  window->Receive(good, {});
  ASSERT_TRUE(WaitFor([&] { return window->vstTerminal()->RowCount() == 1; }));
  window->Receive(damaged, {});
  ASSERT_TRUE(WaitFor([&] { return window->vstTerminal()->RowCount() == 2; }));
  TVexlinTree *list = window->vstTerminal();
  list->viewport()->grab(); // rows are measured as they are painted
  const QImage image = list->viewport()->grab().toImage();
  auto red = [&](const QRect &r) { return RedPixels(image, r); };
  EXPECT_EQ(red(list->NodeCellRect(list->NodeAt(0), DataColumn)), 0);
  // The CRC, bytes 8 and 9, framed on the hexadecimal side of the damaged
  // row; a narrow list wraps the frame.
  const QRect row = list->NodeCellRect(list->NodeAt(1), DataColumn);
  auto hexCell = [&](int position) {
    const int w = TVexlinDataBinary::HexCharWidth;
    const int perLine = TVexlinDataBinary::CharsPerLine;
    const int pitch = TVexlinDataBinary::HexCharHeight + 3;
    return QRect(row.left() + TVexlinDataObject::LeftDataOffset + (position - 1) % perLine * 3 * w,
                 row.top() + (position - 1) / perLine * pitch, 3 * w, pitch);
  };
  for (int position : {8, 9})
    EXPECT_GE(red(hexCell(position)), hexCell(position).width()) << "byte " << position;
  for (int position = 1; position <= 6; ++position)
    EXPECT_EQ(red(hexCell(position)), 0) << "byte " << position;
  auto *frame = dynamic_cast<TVexlinDataBinary_Modbus *>(list->NodeAt(1)->Data);
  ASSERT_NE(frame, nullptr);
  EXPECT_TRUE(frame->GetTextInfo().contains(QStringLiteral("očekáváno")));
}

TEST_F(WindowTest, ThePanelsRequestAndItsAnswerAreModbusRowsPairedInTheList) {
  TParserPage *page = window->ParserPage();
  TfModBusPanel *panel = window->ModBusPanel();
  page->rbProtocolModbus->click();
  // The panel frames its requests as the page reads the answers.
  page->rbProtocolModbusTCP->click();
  EXPECT_EQ(panel->ModbusType(), mbtTCP);
  page->rbProtocolModbusRTU->click();
  EXPECT_EQ(panel->ModbusType(), mbtRTU);

  panel->ieDeviceAddress->SetValue(1);
  panel->cbbInstruction->setCurrentIndex(2); // Read Holding Registers
  panel->ieFrom->SetValue(40011);
  panel->ieCount->SetValue(2);
  panel->btn1->click();
  TVexlinTree *list = window->vstTerminal();
  ASSERT_TRUE(WaitFor([&] { return list->RowCount() == 1; }));
  auto *request = dynamic_cast<TVexlinDataBinary_Modbus *>(list->NodeAt(0)->Data);
  ASSERT_NE(request, nullptr);
  EXPECT_EQ(request->Direction, spTx);
  EXPECT_EQ(request->Data, Rtu("0103000A0002"));

  window->Receive(Rtu("0103040102FFFF"), {});
  ASSERT_TRUE(WaitFor([&] { return list->RowCount() == 2; }));
  auto *answer = dynamic_cast<TVexlinDataBinary_Modbus *>(list->NodeAt(1)->Data);
  ASSERT_NE(answer, nullptr);
  EXPECT_TRUE(answer->Paired());
  const QString info = answer->GetTextInfo();
  EXPECT_TRUE(info.contains(QStringLiteral("40011: 258 (0x0102)\r40012: 65535 (0xFFFF)")))
      << info.toStdString();
  EXPECT_TRUE(info.contains(QStringLiteral("Odpověď za ")));

  // A Modbus frame typed by hand is a Modbus row too; other bytes are not.
  window->Send(Rtu("010600050007"));
  window->Send("AT\r");
  ASSERT_TRUE(WaitFor([&] { return list->RowCount() == 4; }));
  EXPECT_NE(dynamic_cast<TVexlinDataBinary_Modbus *>(list->NodeAt(2)->Data), nullptr);
  EXPECT_EQ(dynamic_cast<TVexlinDataBinary_Modbus *>(list->NodeAt(3)->Data), nullptr);

  // Without the Modbus parser, the panel's request still reads as one.
  page->rbProtocolPelmar97->click();
  panel->btn1->click();
  ASSERT_TRUE(WaitFor([&] { return list->RowCount() == 5; }));
  EXPECT_NE(dynamic_cast<TVexlinDataBinary_Modbus *>(list->NodeAt(4)->Data), nullptr);
  window->Send(Rtu("010600050007"));
  ASSERT_TRUE(WaitFor([&] { return list->RowCount() == 6; }));
  EXPECT_EQ(dynamic_cast<TVexlinDataBinary_Modbus *>(list->NodeAt(5)->Data), nullptr);
}

} // namespace

#include "pipeline/databinary.h"
#include "pipeline/datapelmar97.h"
#include "trackingview.h"

#include <QImage>
#include <QPainter>
#include <QRegion>
#include <algorithm>
#include <gtest/gtest.h>
#include <vector>

namespace {

TVexlinNode *FakeNode(int &storage) {
  return reinterpret_cast<TVexlinNode *>(&storage);
}

QByteArray Bytes(std::initializer_list<uint8_t> values) {
  QByteArray out;
  for (uint8_t v : values)
    out.append(static_cast<char>(v));
  return out;
}

// The layout and tracking state is class-level: every test starts from the
// text's reference layout (7-pixel digits, 16-pixel lines, 17 bytes a line)
// with nothing under the mouse.
class BinaryLayout : public ::testing::Test {
protected:
  void SetUp() override {
    TVexlinDataObject::LeftDataOffset = 0;
    // A view of an earlier test may be gone: forget it before leaving.
    TVexlinDataBinary::LastSender = nullptr;
    TVexlinDataBinary().DoMouseLeave(nullptr, nullptr);
    TVexlinDataBinary_Pelmar97().DoMouseLeave(nullptr, nullptr);
    TVexlinDataBinary::HexCharWidth = 7;
    TVexlinDataBinary::HexCharHeight = 13;
    TVexlinDataBinary::RecountColumnSize(563);
  }
};

TEST_F(BinaryLayout, ColumnSplit) {
  struct Case {
    int charWidth, width, hexWidth, asciiWidth, perLine;
  };
  const Case cases[] = {
      {7, 563, 370, 193, 17},                     // the reference list
      {7, 600, 395, 205, 18}, {7, 40, 22, 18, 1}, // one byte is the least a line holds
      {7, 3, 0, 3, 1},                            // narrower than one digit: no negative area
      {8, 563, 370, 193, 15},
  };
  for (const Case &c : cases) {
    TVexlinDataBinary::HexCharWidth = c.charWidth;
    TVexlinDataBinary::RecountColumnSize(c.width);
    EXPECT_EQ(TVexlinDataBinary::HexColumnWidth, c.hexWidth) << c.width;
    EXPECT_EQ(TVexlinDataBinary::ASCIIColumnWidth, c.asciiWidth) << c.width;
    EXPECT_EQ(TVexlinDataBinary::CharsPerLine, c.perLine) << c.width;
  }
}

TEST_F(BinaryLayout, ResizeMeasuresTheFontOnlyOnce) {
  TTrackingView view;
  TVexlinDataBinary::HexCharWidth = 0;
  TVexlinDataBinary::ResizeVirtualTree(view, 563);
  const int measured = TVexlinDataBinary::HexCharWidth;
  ASSERT_GT(measured, 0);
  EXPECT_GT(TVexlinDataBinary::HexCharHeight, 0);
  EXPECT_EQ(TVexlinDataBinary::CharsPerLine,
            qMax(1, TVexlinDataBinary::HexColumnWidth / measured / 3));

  view.font.setPixelSize(40);
  TVexlinDataBinary::ResizeVirtualTree(view, 300);
  EXPECT_EQ(TVexlinDataBinary::HexCharWidth, measured);
}

TEST_F(BinaryLayout, RowHeightFollowsTheLineCount) {
  TTrackingView view;
  const std::pair<int, int> cases[] = {{0, 16}, {1, 16}, {17, 16}, {18, 32}, {40, 48}};
  for (const auto &[bytes, height] : cases) {
    TVexlinDataBinary packet(QByteArray(bytes, 'x'), spRx);
    int measured = -1;
    packet.MeasureHeight(view, nullptr, nullptr, measured);
    EXPECT_EQ(measured, height) << bytes << " bytes";
  }
}

TEST(BinaryDetailText, NotationsOfOneByteAndOfNone) {
  EXPECT_EQ(TVexlinDataBinary(Bytes({0x41}), spRx).GetTextInfo(),
            "ASCII:\rA\r\rHEX:\r41 \r\r0x41 \r\r41h \r\r41\r\r0x41\r\r41h");
  EXPECT_EQ(TVexlinDataBinary(QByteArray(), spRx).GetTextInfo(),
            "ASCII:\r\r\rHEX:\r\r\r\r\r\r\r\r\r\r\r");
}

TEST(BinaryDetailText, CommandTextGroupsRunsOfUnprintableBytes) {
  const std::pair<QByteArray, QString> cases[] = {
      {Bytes({0x01, 0x02, 0x41, 0x20}), "{$01,$02}A{$20}"},
      {Bytes({0x26, 0x7F, 0x25}), "&\x7F{$25}"},
      {Bytes({0xE9}), "{$E9}"},
      {Bytes({0x00, 0xFF}), "{$00,$FF}"},
      {Bytes({0x41, 0x01, 0x42, 0x02, 0x03}), "A{$01}B{$02,$03}"},
      {QByteArray("\x01Z").repeated(40), QString("{$01}Z").repeated(40)},
  };
  for (const auto &[data, ascii] : cases) {
    const QStringList lines = TVexlinDataBinary(data, spTx).GetTextInfo().split(u'\r');
    ASSERT_GE(lines.size(), 2);
    EXPECT_EQ(lines[1], ascii);
  }
  // The comma notations lose only their last separator.
  const QStringList lines = TVexlinDataBinary(Bytes({0x0A, 0xB0}), spTx).GetTextInfo().split(u'\r');
  EXPECT_EQ(lines.mid(4), (QStringList{"0A B0 ", "", "0x0A 0xB0 ", "", "0Ah B0h ", "", "0A,B0", "",
                                       "0x0A,0xB0", "", "0Ah,B0h"}));
}

// --- hit testing, focus frame and the information window ---------------------

class BinaryMouse : public BinaryLayout {
protected:
  void TearDown() override { TVexlinDataBinary().DoMouseLeave(&view, nullptr); }

  TTrackingView view;
  int storageA = 0, storageB = 0;
  TVexlinNode *nodeA = FakeNode(storageA);
  TVexlinNode *nodeB = FakeNode(storageB);

  // A point in the hexadecimal cell of byte position `col` (0-based) of `line`.
  QPoint HexCell(int col, int line) const {
    return view.dataCell.topLeft() + QPoint(col * 21 + 10, line * 16 + 5);
  }
  QPoint CharCell(int col, int line) const {
    return view.dataCell.topLeft() + QPoint(370 + col * 21 / 2 + 5, line * 16 + 5);
  }
  void Move(TVexlinDataBinary &packet, TVexlinNode *node, QPoint p) {
    packet.DoMouseMove(view, node, Qt::NoModifier, p.x(), p.y());
  }
};

TEST_F(BinaryMouse, FindsTheByteUnderTheMouse) {
  TVexlinDataBinary packet(QByteArray(40, 'x'), spRx);
  struct Case {
    QPoint at;
    int position;
  };
  const Case cases[] = {
      {view.dataCell.topLeft(), 1},
      {HexCell(2, 0), 3},
      {CharCell(2, 0), 3},
      {HexCell(0, 1), 18},
      {CharCell(16, 1), 34},
      {HexCell(5, 2), 40},
      {HexCell(6, 2), 41},                            // past the last byte of the row
      {view.dataCell.topLeft() + QPoint(360, 5), -1}, // gap right of the last hex cell
      {QPoint(50, 55), -1},                           // the index column
  };
  for (const Case &c : cases) {
    Move(packet, nodeA, c.at);
    EXPECT_EQ(TVexlinDataBinary::LastDataIndex, c.position) << c.at.x() << "," << c.at.y();
  }
}

TEST_F(BinaryMouse, FramesTheHexAndCharacterCellsOfTheByte) {
  TVexlinDataBinary packet(QByteArray(10, 'x'), spRx);
  Move(packet, nodeA, HexCell(2, 0));
  ASSERT_EQ(view.frames.size(), 1u);
  EXPECT_EQ(view.frames[0].first, QRect(142, 50, 21, 16));
  EXPECT_EQ(view.frames[0].second, QRect(492, 50, 11, 16));
  EXPECT_EQ(TVexlinDataBinary::fr1, view.frames[0].first);

  // Past the last byte the frame goes and the window hides.
  Move(packet, nodeA, HexCell(12, 0));
  ASSERT_EQ(view.frames.size(), 2u);
  EXPECT_TRUE(view.frames[1].first.isEmpty() && view.frames[1].second.isEmpty());
  EXPECT_EQ(view.info.hides, 1);
}

TEST_F(BinaryMouse, InformationWindowShowsTheByteBelowRightOfTheMouse) {
  QByteArray data(10, '\0');
  data[2] = 0x41;
  TVexlinDataBinary packet(data, spRx);
  const QPoint at = HexCell(2, 0);
  Move(packet, nodeA, at);
  EXPECT_EQ(view.info.LastAttributes(),
            (QStringList{"index=3", "valueDEC=65", "valueHEX=41", "valueBIN=0100 0001", "length=10",
                         "title=Position: 3/10"}));
  ASSERT_EQ(view.info.shownAt.size(), 1u);
  EXPECT_EQ(view.info.shownAt[0], at + QPoint(1000 + 7, 2000 + 15));
}

TEST_F(BinaryMouse, RebuildsOnlyWhenTheByteChanges) {
  TVexlinDataBinary packet(QByteArray(10, 'x'), spRx);
  Move(packet, nodeA, HexCell(2, 0));
  Move(packet, nodeA, HexCell(2, 0) + QPoint(3, 2)); // same byte
  EXPECT_EQ(view.frames.size(), 1u);
  EXPECT_EQ(view.info.fills.size(), 1u);
  EXPECT_EQ(view.info.shownAt.size(), 2u);

  Move(packet, nodeA, HexCell(3, 0)); // next byte, same value
  EXPECT_EQ(view.frames.size(), 2u);
  EXPECT_EQ(view.info.fills.size(), 2u);

  // Leaving forgets the cache, so coming back fills the window again.
  packet.DoMouseLeave(&view, nodeA);
  EXPECT_EQ(TVexlinDataBinary::LastNode, nullptr);
  EXPECT_TRUE(TVexlinDataBinary::fr1.isEmpty());
  EXPECT_EQ(view.invalidatedNodes, std::vector<TVexlinNode *>{nodeA});
  Move(packet, nodeA, HexCell(3, 0));
  EXPECT_EQ(view.info.fills.size(), 3u);
}

TEST_F(BinaryMouse, FailedFillIsSwallowedAndRetried) {
  TVexlinDataBinary packet(QByteArray(10, 'x'), spRx);
  view.info.failFills = true;
  EXPECT_NO_THROW(Move(packet, nodeA, HexCell(2, 0)));
  EXPECT_TRUE(view.info.shownAt.empty());
  view.info.failFills = false;
  Move(packet, nodeA, HexCell(2, 0) + QPoint(1, 0));
  EXPECT_EQ(view.info.fills.size(), 1u);
  EXPECT_EQ(view.info.shownAt.size(), 1u);
}

TEST_F(BinaryMouse, ListWithoutColumnsNeverFindsAByte) {
  view.hasColumns = false;
  TVexlinDataBinary packet(QByteArray(10, 'x'), spRx);
  Move(packet, nodeA, HexCell(2, 0));
  EXPECT_EQ(TVexlinDataBinary::LastDataIndex, -1);
  EXPECT_TRUE(view.frames.empty());
  EXPECT_TRUE(view.info.fills.empty());
}

TEST_F(BinaryMouse, EnteringOverAnotherColumnKeepsDataPositions) {
  TVexlinDataBinary packet(QByteArray(10, 'x'), spRx);
  Move(packet, nodeA, QPoint(50, 55)); // enters the row over the index column
  Move(packet, nodeA, HexCell(2, 0));
  EXPECT_EQ(TVexlinDataBinary::LastDataIndex, 3);
}

TEST_F(BinaryMouse, AnotherRowTakesItsOwnRectangle) {
  TVexlinDataBinary first(QByteArray(10, 'x'), spRx);
  TVexlinDataBinary second(QByteArray(10, 'x'), spRx);
  Move(first, nodeA, HexCell(2, 0));
  first.DoMouseLeave(&view, nodeA);
  view.dataCell.translate(0, 48);
  Move(second, nodeB, HexCell(4, 0));
  EXPECT_EQ(TVexlinDataBinary::LastNode, nodeB);
  EXPECT_EQ(TVexlinDataBinary::LastDataIndex, 5);
  EXPECT_EQ(view.info.LastAttributes().last(), "title=Position: 5/10");
}

// --- Pelmar 97 rows ------------------------------------------------------------

TEST(Pelmar97Row, FieldTitles) {
  const QStringList ten{"PRE", "FRM",  "LEN <hi>", "LEN <lo>", "ADR",
                        "SIG", "INST", "DATA [1]", "SUM",      "CR"};
  for (int p = 1; p <= 10; ++p)
    EXPECT_EQ(TVexlinDataBinary_Pelmar97::FieldTitle(p, 10), ten[p - 1]) << p;
  EXPECT_EQ(TVexlinDataBinary_Pelmar97::FieldTitle(8, 9), "SUM");
  EXPECT_EQ(TVexlinDataBinary_Pelmar97::FieldTitle(9, 9), "CR");
  EXPECT_EQ(TVexlinDataBinary_Pelmar97::FieldTitle(10, 14), "DATA [3]");
  // The header names hold also in a row too short for them.
  EXPECT_EQ(TVexlinDataBinary_Pelmar97::FieldTitle(6, 6), "SIG");
}

TEST_F(BinaryMouse, Pelmar97WindowNamesTheFieldAndTheDataLength) {
  struct Case {
    int length, col;
    QStringList tail; // the attributes after "length"
  };
  const Case cases[] = {
      // Rows of "x" are no frames: PRE is already wrong.
      {10,
       7,
       {"length_SDATA=1", "frame_error_label=Chyba rámce", "frame_error=PRE 78, očekáváno 2A",
        "title=DATA [1]"}},
      {10,
       8,
       {"length_SDATA=1", "frame_error_label=Chyba rámce", "frame_error=PRE 78, očekáváno 2A",
        "title=SUM"}},
      {9,
       7,
       {"length_SDATA=0", "frame_error_label=Chyba rámce", "frame_error=PRE 78, očekáváno 2A",
        "title=SUM"}},
      {8, 4, {"frame_error_label=Chyba rámce", "frame_error=PRE 78, očekáváno 2A", "title=ADR"}},
  };
  for (const Case &c : cases) {
    TVexlinDataBinary_Pelmar97 frame(QByteArray(c.length, 'x'), spRx);
    Move(frame, nodeA, HexCell(c.col, 0));
    const QStringList attributes = view.info.LastAttributes();
    ASSERT_GE(attributes.size(), 5) << c.length;
    EXPECT_EQ(attributes.mid(0, 5),
              (QStringList{QStringLiteral("index=%1").arg(c.col + 1), "valueDEC=120", "valueHEX=78",
                           "valueBIN=0111 1000", QStringLiteral("length=%1").arg(c.length)}));
    EXPECT_EQ(attributes.mid(5), c.tail) << c.length;
    frame.DoMouseLeave(&view, nodeA);
  }
}

// 2A 61 00 08 01 02 23 14 81 07 AA 0D
const QByteArray kGoodFrame = QByteArray::fromHex("2A610008010223148107AA0D");

QByteArray WithByte(QByteArray frame, qsizetype at, uint8_t value) {
  frame[at] = static_cast<char>(value);
  return frame;
}

TEST_F(BinaryMouse, Pelmar97WindowSaysWhatIsWrongOnEveryByteOfAFaultyFrame) {
  TVexlinDataBinary_Pelmar97 good(kGoodFrame, spRx);
  TVexlinDataBinary_Pelmar97 bad(WithByte(kGoodFrame, 10, 0x2D), spRx);
  for (int col : {0, 10}) {
    Move(good, nodeA, HexCell(col, 0));
    EXPECT_FALSE(view.info.LastAttributes().join(u'|').contains("frame_error")) << col;
    good.DoMouseLeave(&view, nodeA);
    Move(bad, nodeB, HexCell(col, 0));
    const QStringList attributes = view.info.LastAttributes();
    ASSERT_GE(attributes.size(), 2);
    EXPECT_EQ(attributes.at(attributes.size() - 2), "frame_error=SUM 2D, očekáváno AA") << col;
    EXPECT_TRUE(attributes.last().startsWith("title=")) << col;
    bad.DoMouseLeave(&view, nodeB);
  }
}

TEST(Pelmar97Row, DetailTextOfAFaultyFrameEndsWithTheFault) {
  const QString plain = TVexlinDataBinary(kGoodFrame, spRx).GetTextInfo();
  EXPECT_EQ(TVexlinDataBinary_Pelmar97(kGoodFrame, spRx).GetTextInfo(), plain);
  const QByteArray bad = WithByte(kGoodFrame, 10, 0x2D);
  EXPECT_EQ(TVexlinDataBinary_Pelmar97(bad, spRx).GetTextInfo(),
            TVexlinDataBinary(bad, spRx).GetTextInfo() + "\r\rChyba rámce:\rSUM 2D, očekáváno AA");
}

TEST_F(BinaryMouse, Pelmar97KeepsItsOwnCache) {
  TVexlinDataBinary_Pelmar97 frame(QByteArray(10, 'x'), spRx);
  TVexlinDataBinary packet(QByteArray(10, 'x'), spRx);
  Move(frame, nodeA, HexCell(2, 0));
  frame.DoMouseLeave(&view, nodeA);
  // The plain packet must not reuse the frame's content for the same byte.
  Move(packet, nodeB, HexCell(2, 0));
  EXPECT_EQ(view.info.fills.size(), 2u);
  EXPECT_EQ(view.info.LastAttributes().last(), "title=Position: 3/10");
}

// --- drawing -------------------------------------------------------------------

class BinaryDrawing : public ::testing::Test {
protected:
  void SetUp() override {
    TVexlinDataObject::LeftDataOffset = 0;
    image.fill(Qt::black);
    TVexlinDataBinary::HexCharWidth = 0;
    // Measure on the image so the test knows the cell size DrawNode uses.
    TVexlinDataBinary::RecountCharSize(QFontMetrics(view.font, &image));
  }
  void Draw(TVexlinDataBinary &packet, QRect cell) {
    QPainter painter(&image);
    TVexlinPaintInfo info;
    info.Canvas = &painter;
    info.CellRect = cell;
    info.ContentRect = cell;
    info.Column = DataColumn;
    packet.DrawNode(view, info);
  }
  QColor At(int x, int y) const { return image.pixelColor(x, y); }
  // Pixels of exactly `color` inside `r`.
  int Count(const QRect &r, const QColor &color) const {
    int n = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
      for (int x = r.left(); x <= r.right(); ++x)
        n += image.pixelColor(x, y) == color;
    return n;
  }

  TTrackingView view;
  QImage image{700, 100, QImage::Format_RGB32};
};

TEST_F(BinaryDrawing, AreasSeparatorAndTextColours) {
  const QColor white(255, 255, 255), lightYellow(255, 255, 224), silver(192, 192, 192),
      blue(0, 0, 255), green(0, 128, 0);
  const QRect cell(0, 0, 563, 48);
  TVexlinDataBinary rx(QByteArray("ABC"), spRx);
  Draw(rx, cell);
  ASSERT_TRUE(view.font.styleStrategy() & QFont::NoAntialias);
  const int split = TVexlinDataBinary::HexColumnWidth;
  EXPECT_EQ(At(5, 40), white);
  EXPECT_EQ(At(split - 2, 40), white);
  EXPECT_EQ(At(split + 5, 40), lightYellow);
  EXPECT_EQ(At(cell.right(), 40), lightYellow);
  EXPECT_EQ(At(split, 0), silver);
  EXPECT_EQ(At(split, 47), silver);
  EXPECT_EQ(At(600, 40), QColor(Qt::black)); // nothing outside the cell

  const QRect hexText(0, 0, split, 16), charText(split + 1, 0, cell.width() - split - 1, 16);
  EXPECT_GT(Count(hexText, blue), 0);
  EXPECT_GT(Count(charText, blue), 0);
  EXPECT_EQ(Count(cell, green), 0);

  TVexlinDataBinary tx(QByteArray("ABC"), spTx);
  Draw(tx, cell);
  EXPECT_GT(Count(hexText, green), 0);
  EXPECT_GT(Count(charText, green), 0);
  EXPECT_EQ(Count(cell, blue), 0);
}

TEST_F(BinaryDrawing, UnprintableBytesShowAsADot) {
  const QRect cell(0, 0, 563, 16);
  const QColor blue(0, 0, 255);
  auto charInk = [&](uint8_t byte) {
    image.fill(Qt::black);
    TVexlinDataBinary packet(Bytes({byte}), spRx);
    Draw(packet, cell);
    const int split = TVexlinDataBinary::HexColumnWidth;
    return Count(QRect(split + 1, 0, 2 * TVexlinDataBinary::HexCharWidth, 16), blue);
  };
  const int dot = charInk('.');
  ASSERT_GT(dot, 0);
  for (uint8_t b : {0x00, 0x20, 0x7F, 0xA0})
    EXPECT_EQ(charInk(b), dot) << int(b);
  for (uint8_t b : {0x41, 0xE9})
    EXPECT_NE(charInk(b), dot) << int(b);
}

TEST_F(BinaryDrawing, Pelmar97AddressAndInstructionAreBoldOnEveryLine) {
  // Four bytes a line, so the address byte opens the second line.
  const int w = TVexlinDataBinary::HexCharWidth;
  const QRect cell(0, 0, static_cast<int>(w + 4.5 * w * 4) + 2, 48);
  TVexlinDataBinary_Pelmar97 frame(QByteArray(10, char(0x88)), spRx);
  Draw(frame, cell);
  ASSERT_EQ(TVexlinDataBinary::CharsPerLine, 4);
  const int pitch = TVexlinDataBinary::HexCharHeight + 3;
  const QColor blue(0, 0, 255);
  std::vector<int> ink;
  for (int p = 0; p < 10; ++p) {
    const QRect hexCell((p % 4) * 3 * w, (p / 4) * pitch, 3 * w, pitch);
    ink.push_back(Count(hexCell, blue));
  }
  for (int p = 0; p < 10; ++p) {
    if (p == 4 || p == 6)
      EXPECT_GT(ink[p], ink[0]) << "position " << p + 1;
    else
      EXPECT_EQ(ink[p], ink[0]) << "position " << p + 1;
  }
}

TEST_F(BinaryDrawing, Pelmar97FaultyBytesAreFramedInRed) {
  const QColor red(255, 0, 0);
  const int w = TVexlinDataBinary::HexCharWidth;
  const int pitch = TVexlinDataBinary::HexCharHeight + 3;
  // Five bytes a line, so a two-byte field and the end of the frame wrap.
  const QRect cell(0, 0, static_cast<int>(w + 4.5 * w * 5) + 2, 3 * pitch);
  QByteArray dropped = kGoodFrame;
  dropped.remove(8, 1);
  struct Case {
    const char *name;
    QByteArray frame;
    std::vector<int> marked; // 1-based
  };
  const Case cases[] = {
      {"valid", kGoodFrame, {}},
      {"wrong SUM", WithByte(kGoodFrame, 10, 0x2D), {11}},
      {"wrong CR", WithByte(kGoodFrame, 11, 0x0A), {12}},
      {"wrong LEN", dropped, {3, 4}},
  };
  for (const Case &c : cases) {
    image.fill(Qt::black);
    TVexlinDataBinary_Pelmar97 frame(c.frame, spRx);
    Draw(frame, cell);
    ASSERT_EQ(TVexlinDataBinary::CharsPerLine, 5);
    const int split = TVexlinDataBinary::HexColumnWidth;
    QRegion markedCells;
    for (int p = 1; p <= c.frame.size(); ++p) {
      const int col = (p - 1) % 5, line = (p - 1) / 5;
      const QRect hex(col * 3 * w, line * pitch, 3 * w, pitch);
      const int left2 = static_cast<int>(split + col * 1.5 * w) + 1;
      const int right2 = static_cast<int>(split + (col + 1) * 1.5 * w) + 2;
      const QRect chars(left2, line * pitch, right2 - left2, pitch);
      const bool marked = std::find(c.marked.begin(), c.marked.end(), p) != c.marked.end();
      if (marked) {
        // The whole outline of both cells: top and bottom rows, left and right columns.
        EXPECT_EQ(Count(QRect(hex.left(), hex.top(), hex.width(), 1), red), hex.width())
            << c.name << " " << p;
        EXPECT_EQ(Count(QRect(hex.left(), hex.top(), 1, hex.height()), red), hex.height())
            << c.name << " " << p;
        EXPECT_EQ(Count(QRect(chars.right(), chars.top(), 1, chars.height()), red), chars.height())
            << c.name << " " << p;
        markedCells += hex;
        markedCells += chars;
      }
    }
    // Nothing else is red: the valid frame not at all.
    int redElsewhere = 0;
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x)
        redElsewhere += image.pixelColor(x, y) == red && !markedCells.contains(QPoint(x, y));
    EXPECT_EQ(redElsewhere, 0) << c.name;
  }
}

TEST_F(BinaryDrawing, Pelmar97ValidFrameLooksAsBefore) {
  // A valid frame draws exactly what it drew before frames were checked: the
  // same as a faulty frame with the same bytes apart from the SUM, outside
  // the SUM's cells.
  const QRect cell(0, 0, 563, 32);
  TVexlinDataBinary_Pelmar97 good(kGoodFrame, spRx);
  Draw(good, cell);
  const QImage goodImage = image;
  image.fill(Qt::black);
  TVexlinDataBinary_Pelmar97 bad(WithByte(kGoodFrame, 10, 0x2D), spRx);
  Draw(bad, cell);
  const int w = TVexlinDataBinary::HexCharWidth;
  const int split = TVexlinDataBinary::HexColumnWidth;
  const QRect sumHex(10 * 3 * w, 0, 3 * w, TVexlinDataBinary::HexCharHeight + 3);
  const QRect sumChars(static_cast<int>(split + 10 * 1.5 * w), 0, 2 * w + 2, sumHex.height());
  int differing = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (!sumHex.contains(x, y) && !sumChars.contains(x, y))
        differing += image.pixel(x, y) != goodImage.pixel(x, y);
  EXPECT_EQ(differing, 0);
}

} // namespace

#include "pipeline/databinary.h"

#include "base/utils.h"
#include "pipeline/bytefinder.h"
#include "pipeline/savedtexttokens.h"

#include <QFontMetrics>
#include <QPainter>
#include <QStaticText>
#include <algorithm>
#include <array>
#include <cstring>

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

constexpr TColor kHexAreaColor = RGBColor(255, 255, 255);
constexpr TColor kCharAreaColor = RGBColor(255, 255, 224);
constexpr TColor kRxTextColor = RGBColor(0, 0, 255);
constexpr TColor kTxTextColor = RGBColor(0, 128, 0);
constexpr TColor kSeparatorColor = RGBColor(192, 192, 192);

// Bytes that the command text shows as themselves; all others go into a
// "{$XX,$YY}" group.
constexpr bool IsPlainAscii(uint8_t b) {
  return b >= 0x26 && b <= 0x7F;
}

// Room the command text of `n` bytes can take at most.
qsizetype CommandTextMaxSize(qsizetype n) {
  return 4 * n + 2 * (n + 1);
}

constexpr std::array<std::array<char, 4>, 256> MakeSpacedHex() {
  std::array<std::array<char, 4>, 256> table{};
  for (int b = 0; b < 256; ++b)
    table[b] = {' ', kHexDigits[b >> 4], kHexDigits[b & 0x0F], 0};
  return table;
}
// " XX" per byte.
constexpr std::array<std::array<char, 4>, 256> kSpacedHex = MakeSpacedHex();

// Per byte: what it adds after its separator, as four bytes of which the
// first `length` count: the character itself, or "$XX" in a group.
struct TCommandPiece {
  char text[4];
  uint8_t length;
};

constexpr std::array<TCommandPiece, 256> MakeCommandPieces() {
  std::array<TCommandPiece, 256> pieces{};
  for (int b = 0; b < 256; ++b) {
    if (IsPlainAscii(static_cast<uint8_t>(b)))
      pieces[b] = {{static_cast<char>(b), 0, 0, 0}, 1};
    else
      pieces[b] = {{'$', kHexDigits[b >> 4], kHexDigits[b & 0x0F], 0}, 3};
  }
  return pieces;
}
constexpr std::array<TCommandPiece, 256> kCommandPieces = MakeCommandPieces();

// Writes the command text of the bytes at `o` and returns the end. Random
// data switches between plain bytes and groups at random, so the loop does
// not branch on it: the separator ('}' closing a group, '{' opening one, ','
// inside one) is always written and counted only when due, and every piece is
// written as four bytes; the room is CommandTextMaxSize.
char *WriteCommandText(const uint8_t *bytes, qsizetype n, char *o) {
  // [plain][in a group]
  static constexpr char kSeparator[2][2] = {{'{', ','}, {'}', '}'}};
  static constexpr uint8_t kSeparatorLength[2][2] = {{1, 1}, {0, 1}};
  int inGroup = 0;
  for (qsizetype i = 0; i < n; ++i) {
    const TCommandPiece &piece = kCommandPieces[bytes[i]];
    const int plain = piece.length == 1;
    *o = kSeparator[plain][inGroup];
    o += kSeparatorLength[plain][inGroup];
    std::memcpy(o, piece.text, 4);
    o += piece.length;
    inGroup = !plain;
  }
  if (inGroup)
    *o++ = '}';
  return o;
}

// Every byte as prefix + two digits + suffix; the comma-separated notations
// drop the comma after the last byte.
QString HexRendering(const QByteArray &data, const char *prefix, const char *suffix,
                     bool dropLastComma) {
  const qsizetype prefixLength = static_cast<qsizetype>(std::strlen(prefix));
  const qsizetype suffixLength = static_cast<qsizetype>(std::strlen(suffix));
  QByteArray out;
  out.reserve(data.size() * (prefixLength + 2 + suffixLength));
  for (const char c : data) {
    const auto b = static_cast<uint8_t>(c);
    out.append(prefix, prefixLength);
    out.append(kHexDigits[b >> 4]);
    out.append(kHexDigits[b & 0x0F]);
    out.append(suffix, suffixLength);
  }
  if (dropLastComma && out.endsWith(','))
    out.chop(1);
  return QString::fromLatin1(out);
}

// The texts drawn into the cells, made once instead of for every byte drawn.
const QString &HexDigitText(int value) {
  static const std::array<QString, 16> texts = [] {
    std::array<QString, 16> t;
    for (int i = 0; i < 16; ++i)
      t[i] = QString(QLatin1Char(kHexDigits[i]));
    return t;
  }();
  return texts[value];
}

// Printable bytes as the character of the same code point (ISO 8859-1),
// control characters, space, DEL and the C1 range as a dot.
const QString &CharCellText(uint8_t b) {
  static const std::array<QString, 256> texts = [] {
    std::array<QString, 256> t;
    for (int i = 0; i < 256; ++i) {
      const bool printable = (i >= 0x21 && i <= 0x7E) || i >= 0xA1;
      t[i] = printable ? QString(QChar(i)) : QStringLiteral(".");
    }
    return t;
  }();
  return texts[b];
}

// Shaping text is the dear part of drawing a byte: every digit and character
// cell is laid out once per font and then only placed.
struct TGlyphCache {
  QFont Font;
  bool Valid = false;
  std::array<QStaticText, 16> Hex;
  std::array<QStaticText, 256> Chars;
  std::array<int, 256> CharAdvance{};

  void Prepare(const QFont &font, const QFontMetrics &metrics) {
    if (Valid && font == Font)
      return;
    Font = font;
    for (int i = 0; i < 16; ++i) {
      Hex[i] = QStaticText(HexDigitText(i));
      Hex[i].setTextFormat(Qt::PlainText);
      Hex[i].prepare(QTransform(), font);
    }
    for (int i = 0; i < 256; ++i) {
      Chars[i] = QStaticText(CharCellText(static_cast<uint8_t>(i)));
      Chars[i].setTextFormat(Qt::PlainText);
      Chars[i].prepare(QTransform(), font);
      CharAdvance[i] = metrics.horizontalAdvance(CharCellText(static_cast<uint8_t>(i)));
    }
    Valid = true;
  }
};

int HexValue(QChar c) {
  const char16_t u = c.unicode();
  if (u >= '0' && u <= '9')
    return u - '0';
  if (u >= 'A' && u <= 'F')
    return u - 'A' + 10;
  if (u >= 'a' && u <= 'f')
    return u - 'a' + 10;
  return -1;
}

} // namespace

TVexlinDataBinary::TVexlinDataBinary(const QByteArray &aData, TspDirection direction) {
  Direction = direction;
  CopyData(aData);
}

TVexlinDataBinary::TVexlinDataBinary(QByteArray &&aData, TspDirection direction)
    : Data(std::move(aData)) {
  Direction = direction;
}

void TVexlinDataBinary::CopyData(const QByteArray &aData) {
  // Implicit sharing makes this a copy for every purpose, without copying
  // bytes that the caller (a parser) does not keep anyway.
  Data = aData;
  Invalidate();
}

QByteArray TVexlinDataBinary::GetText4Save() const {
  return PacketSaveText(Data, Direction);
}

void TVexlinDataBinary::AppendText4Save(QByteArray &out) const {
  AppendPacketSaveText(out, Data, Direction);
}

bool TVexlinDataBinary::LoadFromSavedFile(const QString &data) {
  return ReadPacketSaveText(data, Data, Direction);
}

void AppendPacketSaveText(QByteArray &out, const QByteArray &data, TspDirection direction) {
  const auto *bytes = reinterpret_cast<const uint8_t *>(data.constData());
  const qsizetype n = data.size();
  const qsizetype start = out.size();
  // "xx hex:" + 3 per byte + "\tascii:" + the command text.
  out.resize(start + 7 + 3 * n + 7 + CommandTextMaxSize(n));
  char *o = out.data() + start;
  std::memcpy(o, direction == spTx ? "tx hex:" : "rx hex:", 7);
  o += 7;
  // Every byte but the first as " XX", written four bytes at a time: the
  // spare one lands where the next piece goes.
  if (n > 0) {
    std::memcpy(o, kSpacedHex[bytes[0]].data() + 1, 2);
    o += 2;
  }
  for (qsizetype i = 1; i < n; ++i) {
    std::memcpy(o, kSpacedHex[bytes[i]].data(), 4);
    o += 3;
  }
  std::memcpy(o, "\tascii:", 7);
  o += 7;
  o = WriteCommandText(bytes, n, o);
  out.truncate(o - out.constData());
}

QByteArray PacketSaveText(const QByteArray &data, TspDirection direction) {
  QByteArray out;
  AppendPacketSaveText(out, data, direction);
  return out;
}

bool ReadPacketSaveText(const QString &text, QByteArray &data, TspDirection &direction) {
  data.clear();
  TSavedTextTokens tokens(text, TSavedTextTokens::LettersAndDigits);
  QStringView token;
  while (tokens.Next(token)) {
    if (token == u"rx") {
      direction = spRx;
    } else if (token == u"tx") {
      direction = spTx;
    } else if (token == u"hex") {
      while (tokens.Next(token)) {
        if (token.size() != 2)
          break;
        const int hi = HexValue(token[0]);
        const int lo = HexValue(token[1]);
        if (hi < 0 || lo < 0)
          break;
        data.append(static_cast<char>(hi * 16 + lo));
      }
      return true;
    }
  }
  return false;
}

QByteArray PacketCommandText(QByteArrayView data) {
  QByteArray out(CommandTextMaxSize(data.size()), Qt::Uninitialized);
  const char *end =
      WriteCommandText(reinterpret_cast<const uint8_t *>(data.data()), data.size(), out.data());
  out.truncate(end - out.constData());
  return out;
}

// --- layout and drawing --------------------------------------------------------

int TVexlinDataBinary::HexCharWidth = 0;
int TVexlinDataBinary::HexCharHeight = 0;
int TVexlinDataBinary::HexColumnWidth = 0;
int TVexlinDataBinary::ASCIIColumnWidth = 0;
int TVexlinDataBinary::CharsPerLine = 0;

TVexlinView *TVexlinDataBinary::LastSender = nullptr;
TVexlinNode *TVexlinDataBinary::LastNode = nullptr;
QRect TVexlinDataBinary::LastNodeRect;
int TVexlinDataBinary::LastDataIndex = -1;
QRect TVexlinDataBinary::fr1;
QRect TVexlinDataBinary::fr2;
const TByteFinder *TVexlinDataBinary::FindMarks = nullptr;
const TVexlinDataObject *TVexlinDataBinary::FindCurrent = nullptr;
int TVexlinDataBinary::LastColumn = NoColumn;
TVexlinDataBinary::TInfoHintCache TVexlinDataBinary::HintCache;

void TVexlinDataBinary::RecountCharSize(const QFontMetrics &Metrics) {
  HexCharWidth = 0;
  HexCharHeight = 0;
  // Every character gets a cell as wide as the widest digit, so a
  // proportional font still lines up in columns.
  for (const char c : QByteArrayView("1234567890ABCDEF")) {
    HexCharWidth = qMax(HexCharWidth, Metrics.horizontalAdvance(QLatin1Char(c)));
    HexCharHeight = qMax(HexCharHeight, Metrics.height());
  }
}

void TVexlinDataBinary::RecountColumnSize(int Width) {
  const int available = Width - LeftDataOffset;
  // Three character widths per byte on the hexadecimal side for every one and
  // a half on the character side.
  HexColumnWidth = qMax(0, static_cast<int>((available - HexCharWidth) / 4.5 * 3));
  ASCIIColumnWidth = available - HexColumnWidth;
  CharsPerLine = HexCharWidth > 0 ? HexColumnWidth / HexCharWidth / 3 : 1;
  if (CharsPerLine < 1)
    CharsPerLine = 1;
}

void TVexlinDataBinary::ResizeVirtualTree(TVexlinView &Sender, int Width) {
  if (HexCharWidth == 0) {
    QFont font = Sender.Font();
    font.setBold(false);
    font.setItalic(false);
    font.setUnderline(false);
    font.setStrikeOut(false);
    RecountCharSize(QFontMetrics(font));
  }
  RecountColumnSize(Width);
}

void TVexlinDataBinary::MeasureHeight(TVexlinView &Sender, QPainter *, TVexlinNode *,
                                      int &NodeHeight) {
  // Arithmetic only: a width change measures every row of the list.
  const qsizetype perLine = qMax(1, CharsPerLine);
  // A packet without bytes (an empty send) is a row like any other: one line
  // with its number and time, its data cells empty.
  const qsizetype lines = qMax<qsizetype>(1, (Data.size() + perLine - 1) / perLine);
  NodeHeight = static_cast<int>(lines * Sender.DefaultNodeHeight());
}

void TVexlinDataBinary::DrawNode(TVexlinView &Sender, const TVexlinPaintInfo &PaintInfo) {
  DrawBytes(Sender, PaintInfo, {});
}

void TVexlinDataBinary::DrawBytes(TVexlinView &Sender, const TVexlinPaintInfo &PaintInfo,
                                  std::initializer_list<qsizetype> BoldPositions) {
  ParentVDT = &Sender;
  QPainter *canvas = PaintInfo.Canvas;
  if (!canvas)
    return;
  canvas->save();
  QFont normal = Sender.Font();
  normal.setBold(false);
  normal.setItalic(false);
  normal.setUnderline(false);
  normal.setStrikeOut(false);
  QFont bold = normal;
  bold.setBold(true);
  canvas->setFont(bold);
  const QFontMetrics boldMetrics = canvas->fontMetrics();
  canvas->setFont(normal);
  const QFontMetrics normalMetrics = canvas->fontMetrics();

  if (HexCharWidth == 0)
    RecountCharSize(normalMetrics);
  static TGlyphCache normalGlyphs;
  static TGlyphCache boldGlyphs;
  normalGlyphs.Prepare(normal, normalMetrics);
  boldGlyphs.Prepare(bold, boldMetrics);
  RecountColumnSize(PaintInfo.CellRect.width());

  QRect area = PaintInfo.ContentRect;
  area.setLeft(area.left() + LeftDataOffset);
  canvas->fillRect(area, ToQColor(kHexAreaColor));
  area.setLeft(area.left() + HexColumnWidth);
  canvas->fillRect(area, ToQColor(kCharAreaColor));

  canvas->setBackgroundMode(Qt::TransparentMode);
  canvas->setPen(ToQColor(Direction == spTx ? kTxTextColor : kRxTextColor));
  const QRect &cell = PaintInfo.CellRect;
  const int indent = HexCharWidth / 2 + 1;
  const int pitch = HexCharHeight + 3;
  const int hexLeft = cell.left() + LeftDataOffset + indent;
  const int charLeft = cell.left() + 2 + LeftDataOffset + HexColumnWidth;
  // A long packet makes a tall row of which only a part is visible.
  const QRect clip = canvas->hasClipping() ? canvas->clipBoundingRect().toAlignedRect() : QRect();
  const auto *bytes = reinterpret_cast<const uint8_t *>(Data.constData());
  const qsizetype count = Data.size();
  const qsizetype perLine = qMax(1, CharsPerLine);
  bool drawingBold = false;
  // Only the lines inside the clip are visited: a remainder of megabytes is
  // a row of a million lines.
  const qsizetype lines = (count + perLine - 1) / perLine;
  qsizetype firstLine = 0;
  qsizetype endLine = lines;
  if (clip.isValid()) {
    const qint64 fromTop = static_cast<qint64>(clip.top()) - cell.top() - 1 - pitch;
    const qint64 toBottom = static_cast<qint64>(clip.bottom()) - cell.top() - 1;
    firstLine = qBound<qint64>(0, fromTop >= 0 ? fromTop / pitch : 0, lines);
    endLine = qBound<qint64>(firstLine, toBottom >= 0 ? toBottom / pitch + 1 : 0, lines);
  }
  if (FindMarks)
    MarkFound(*canvas, cell, firstLine * perLine, qMin(count, endLine * perLine));
  for (qsizetype line = firstLine; line < endLine; ++line) {
    const qsizetype lineStart = line * perLine;
    const int top = static_cast<int>(cell.top() + 1 + line * pitch);
    const qsizetype lineEnd = qMin(count, lineStart + perLine);
    for (qsizetype p = lineStart; p < lineEnd; ++p) {
      const int c = static_cast<int>(p - lineStart);
      const bool isBold =
          std::find(BoldPositions.begin(), BoldPositions.end(), p + 1) != BoldPositions.end();
      if (isBold != drawingBold) {
        canvas->setFont(isBold ? bold : normal);
        drawingBold = isBold;
      }
      const TGlyphCache &glyphs = isBold ? boldGlyphs : normalGlyphs;
      const int x = hexLeft + c * 3 * HexCharWidth;
      canvas->drawStaticText(QPoint(x, top), glyphs.Hex[bytes[p] >> 4]);
      canvas->drawStaticText(QPoint(x + HexCharWidth, top), glyphs.Hex[bytes[p] & 0x0F]);
      const int centred = static_cast<int>(c * 1.5 * HexCharWidth + 0.75 * HexCharWidth -
                                           glyphs.CharAdvance[bytes[p]] / 2.0);
      canvas->drawStaticText(QPoint(charLeft + centred, top), glyphs.Chars[bytes[p]]);
    }
  }

  canvas->setPen(ToQColor(kSeparatorColor));
  const int separator = cell.left() + HexColumnWidth + LeftDataOffset;
  canvas->drawLine(separator, cell.top(), separator, cell.bottom());
  canvas->restore();
}

void TVexlinDataBinary::MarkFound(QPainter &canvas, const QRect &cell, qsizetype from,
                                  qsizetype to) const {
  const qsizetype n = FindMarks->Pattern().size();
  const qsizetype perLine = qMax(1, CharsPerLine);
  // Occurrences that reach into the drawn lines from either side count too.
  const qsizetype start = qMax<qsizetype>(0, from - n + 1);
  const QByteArrayView window =
      QByteArrayView(Data).sliced(start, qMin(Data.size(), to + n - 1) - start);
  const QColor mark = FoundColor(this);
  FindMarks->ForEachRunIn(window, [&](qsizetype begin, qsizetype end) {
    for (qsizetype p = qMax(from, start + begin); p < qMin(to, start + end); ++p) {
      QRect hex, chars;
      ByteCellRects(cell, static_cast<int>(p % perLine), static_cast<int>(p / perLine), hex, chars);
      canvas.fillRect(hex, mark);
      canvas.fillRect(chars, mark);
    }
  });
}

int TVexlinDataBinary::FoundOffset(bool last) const {
  if (!FindMarks)
    return -1;
  const qsizetype at = last ? FindMarks->LastIndexIn(Data, Data.size()) : FindMarks->IndexIn(Data);
  if (at < 0)
    return -1;
  // The line pitch ByteCellRects draws with.
  return static_cast<int>(at / qMax(1, CharsPerLine)) * (HexCharHeight + 3);
}

// --- mouse tracking and the information window -----------------------------------

void TVexlinDataBinary::DoMouseMove(TVexlinView &Sender, TVexlinNode *Node, Qt::KeyboardModifiers,
                                    int X, int Y) {
  const int column = Sender.ColumnAt(QPoint(X, Y));
  if (LastSender && LastSender != &Sender) {
    // The mouse went to another list without leaving the row first.
    LastSender->SetFocusFrame(QRect(), QRect());
    fr1 = fr2 = QRect();
    LastDataIndex = -1;
  }
  // The rectangle is taken again when the column changes too: entering a row
  // over another column must not shift the byte positions of the data column.
  if (!LastNode || LastNode != Node || LastSender != &Sender || LastColumn != column) {
    LastSender = &Sender;
    LastNode = Node;
    LastColumn = column;
    LastNodeRect = column == NoColumn ? QRect() : Sender.NodeCellRect(Node, column);
  }

  int col = -1;
  int line = 0;
  int position = -1;
  const int x = X - LastNodeRect.left() - LeftDataOffset;
  const int y = Y - LastNodeRect.top();
  if (column == DataColumn && x >= 0 && y >= 0 && HexCharWidth > 0) {
    col = x < HexColumnWidth ? x / (3 * HexCharWidth)
                             : static_cast<int>((x - HexColumnWidth) / (1.5 * HexCharWidth));
    line = y / (HexCharHeight + 3);
    if (col < CharsPerLine)
      position = line * CharsPerLine + col + 1;
  }
  if (position != LastDataIndex) {
    ChangeFocusDataByte(Sender, Node, position, col, line);
    LastDataIndex = position;
  }
  const QPoint global = Sender.MapToGlobal(QPoint(X, Y));
  ShowInfoHint(position, global.x() + 12, global.y() + 20);
}

void TVexlinDataBinary::ChangeFocusDataByte(TVexlinView &Sender, TVexlinNode *, int Index, int Col,
                                            int Row) {
  const bool wasShown = !fr1.isEmpty() || !fr2.isEmpty();
  fr1 = fr2 = QRect();
  if (Col < 0 || Col > CharsPerLine - 1 || Index < 1 || Index > Data.size()) {
    LastDataIndex = -1;
    if (wasShown)
      Sender.SetFocusFrame(fr1, fr2);
    return;
  }
  LastDataIndex = Index;
  ByteCellRects(LastNodeRect, Col, Row, fr1, fr2);
  Sender.SetFocusFrame(fr1, fr2);
}

void TVexlinDataBinary::ByteCellRects(const QRect &CellRect, int Col, int Row, QRect &Hex,
                                      QRect &Chars) {
  const int base = CellRect.left() + LeftDataOffset;
  const int top = CellRect.top() + Row * (HexCharHeight + 3);
  const int bottom = top + HexCharHeight + 3; // exclusive
  const int left1 = base + Col * 3 * HexCharWidth;
  const int right1 = base + (Col + 1) * 3 * HexCharWidth; // exclusive
  const int left2 = static_cast<int>(base + HexColumnWidth + Col * 1.5 * HexCharWidth) + 1;
  const int right2 = static_cast<int>(base + HexColumnWidth + (Col + 1) * 1.5 * HexCharWidth) + 2;
  Hex = QRect(left1, top, right1 - left1, bottom - top);
  Chars = QRect(left2, top, right2 - left2, bottom - top);
}

void TVexlinDataBinary::FrameBytes(const TVexlinPaintInfo &PaintInfo, qsizetype FirstPosition,
                                   qsizetype Count, const QColor &Color) const {
  QPainter *canvas = PaintInfo.Canvas;
  if (!canvas || Count <= 0)
    return;
  const qsizetype perLine = qMax(1, CharsPerLine);
  const qsizetype last = qMin(Data.size(), FirstPosition + Count - 1);
  canvas->save();
  canvas->setBrush(Qt::NoBrush);
  canvas->setPen(QPen(Color, 1));
  for (qsizetype p = qMax<qsizetype>(1, FirstPosition); p <= last; ++p) {
    QRect hex, chars;
    ByteCellRects(PaintInfo.CellRect, static_cast<int>((p - 1) % perLine),
                  static_cast<int>((p - 1) / perLine), hex, chars);
    canvas->drawRect(hex.adjusted(0, 0, -1, -1));
    canvas->drawRect(chars.adjusted(0, 0, -1, -1));
  }
  canvas->restore();
}

void TVexlinDataBinary::DoMouseLeave(TVexlinView *Sender, TVexlinNode *Node) {
  HintCache.Reset();
  TVexlinView *remembered = LastSender;
  LastSender = nullptr;
  LastNode = nullptr;
  LastNodeRect = QRect();
  LastDataIndex = -1;
  LastColumn = NoColumn;
  if (remembered)
    remembered->SetFocusFrame(QRect(), QRect());
  fr1 = fr2 = QRect();
  TVexlinDataObject::DoMouseLeave(Sender, Node);
}

QList<TXmlAttribute> TVexlinDataBinary::ByteAttributes(int Index, uint8_t Value) const {
  return {
      {QStringLiteral("index"), QString::number(Index)},
      {QStringLiteral("valueDEC"), QString::number(Value)},
      {QStringLiteral("valueHEX"), QString::number(Value, 16).toUpper().rightJustified(2, u'0')},
      {QStringLiteral("valueBIN"), IntToBin(Value)},
      {QStringLiteral("length"), QString::number(Data.size())},
  };
}

void TVexlinDataBinary::ShowInfoHint(int Index, int X, int Y) {
  FillInfoHint(Index, X, Y, HintCache, [this, Index](uint8_t Value) {
    QList<TXmlAttribute> attributes = ByteAttributes(Index, Value);
    attributes.append(
        {QStringLiteral("title"), QStringLiteral("Position: %1/%2").arg(Index).arg(Data.size())});
    return attributes;
  });
}

void TVexlinDataBinary::FillInfoHint(
    int Index, int X, int Y, TInfoHintCache &Cache,
    const std::function<QList<TXmlAttribute>(uint8_t Value)> &Describe) {
  TVexlinInfoWindow *window = LastSender ? LastSender->InfoWindow() : nullptr;
  if (!window)
    return;
  try {
    if (Index < 1 || Index > Data.size()) {
      window->Hide();
      return;
    }
    const auto value = static_cast<uint8_t>(Data[Index - 1]);
    // Rebuilt only when the byte changes: the mouse moves over a byte in many
    // small steps.
    if (Cache.ByteIndex != Index || Cache.DataByte != value) {
      TXmlDocument doc;
      doc.Create(QStringLiteral("data"));
      TXmlElement root = doc.DocumentElement();
      for (const TXmlAttribute &attribute : Describe(value))
        root.SetAttribute(attribute.Name, attribute.Value);
      window->ShowInstInfo({root});
      Cache.ByteIndex = Index;
      Cache.DataByte = value;
    }
    window->ShowAt(QPoint(X - 5, Y - 5));
  } catch (const std::exception &) {
    // A broken style sheet must not break mouse tracking: the window keeps
    // its previous content and the next move tries again.
  }
}

QString TVexlinDataBinary::GetTextInfo() const {
  struct TRendering {
    const char *Prefix;
    const char *Suffix;
    bool DropLastComma;
  };
  static constexpr TRendering kRenderings[] = {
      {"", " ", false}, {"0x", " ", false}, {"", "h ", false},
      {"", ",", true},  {"0x", ",", true},  {"", "h,", true},
  };
  QString text = QStringLiteral("ASCII:\r") + QString::fromLatin1(PacketCommandText(Data)) +
                 QStringLiteral("\r\rHEX:\r");
  bool first = true;
  for (const TRendering &r : kRenderings) {
    if (!first)
      text += QStringLiteral("\r\r");
    first = false;
    text += HexRendering(Data, r.Prefix, r.Suffix, r.DropLastComma);
  }
  return text;
}

#pragma once

#include "base/xmldoc.h"
#include "pipeline/dataobject.h"

#include <QByteArrayView>
#include <QList>
#include <QRect>
#include <cstdint>
#include <functional>
#include <initializer_list>

class QFontMetrics;
class TByteFinder;

// One packet of raw bytes, received or transmitted. A row shows it as a
// hexadecimal area (three character widths per byte) beside a character area
// (one and a half per byte), wrapping onto further lines of the same row.
class TVexlinDataBinary : public TVexlinDataObject {
public:
  static constexpr const char *ClassName = "TVexlinDataBinary";
  TVexlinDataObjectClass ClassType() const override { return ClassOf<TVexlinDataBinary>(); }

  TVexlinDataBinary() = default;
  TVexlinDataBinary(const QByteArray &aData, TspDirection direction);
  // Takes the bytes over: a parser's fresh packet is not shared once more.
  TVexlinDataBinary(QByteArray &&aData, TspDirection direction);

  // Takes a copy of the bytes and repaints the view that shows the packet.
  void CopyData(const QByteArray &aData);

  // Class-level: the data column of `Sender` is now `Width` pixels wide.
  static void ResizeVirtualTree(TVexlinView &Sender, int Width);
  // Default node height per line; a packet without bytes takes one line.
  void MeasureHeight(TVexlinView &Sender, QPainter *TargetCanvas, TVexlinNode *Node,
                     int &NodeHeight) override;
  void DrawNode(TVexlinView &Sender, const TVexlinPaintInfo &PaintInfo) override;
  // Finds the byte under the mouse, frames it and shows its information window.
  void DoMouseMove(TVexlinView &Sender, TVexlinNode *Node, Qt::KeyboardModifiers Shift, int X,
                   int Y) override;
  void DoMouseLeave(TVexlinView *Sender, TVexlinNode *Node) override;
  // The packet as command text and in six hexadecimal notations, lines
  // separated by a single carriage return.
  QString GetTextInfo() const override;
  QByteArray GetText4Save() const override;
  void AppendText4Save(QByteArray &out) const override;
  // Reads the direction and the bytes of a saved packet text; true when the
  // text had a byte list.
  bool LoadFromSavedFile(const QString &data) override;
  QByteArrayView SearchBytes(QByteArray &) const override { return Data; }

  // Fills the information window for the 1-based byte `Index` and puts its
  // top-left corner at (X - 5, Y - 5) in screen coordinates; hides it when
  // `Index` names no byte. Errors while filling are swallowed.
  virtual void ShowInfoHint(int Index, int X, int Y);

  // Measures the character cell from the sixteen hexadecimal digits.
  static void RecountCharSize(const QFontMetrics &Metrics);
  // Splits a data column of `Width` pixels into the two areas.
  static void RecountColumnSize(int Width);
  // Moves the focus frame to the byte `Index` (1-based) at cell `Col` of line
  // `Row`, or removes it when that names no byte of this packet.
  void ChangeFocusDataByte(TVexlinView &Sender, TVexlinNode *Node, int Index, int Col, int Row);

  QByteArray Data;

  // Layout shared by every binary row, valid for the cell width last measured.
  static int HexCharWidth; // 0 until the font has been measured
  static int HexCharHeight;
  static int HexColumnWidth;
  static int ASCIIColumnWidth;
  static int CharsPerLine; // 0 until first computed, then at least 1

  // Only one byte can be under the mouse, so the tracking state is shared.
  static TVexlinView *LastSender;
  static TVexlinNode *LastNode;
  static QRect LastNodeRect;
  static int LastDataIndex; // 1-based, -1 for none
  static QRect fr1;         // frame around the byte's hexadecimal cell
  static QRect fr2;         // frame around the byte's character cell
  // What the find bar looks for: its occurrences are marked in every row
  // drawn; none when null.
  static const TByteFinder *FindMarks;
  // The row the find bar is at: its occurrences get a colour of their own.
  static const TVexlinDataObject *FindCurrent;
  static constexpr TColor kFoundColor = RGBColor(255, 230, 0);
  static constexpr TColor kCurrentFoundColor = RGBColor(255, 140, 0);
  // The colour of the found bytes in `row`.
  static QColor FoundColor(const TVexlinDataObject *row) {
    return ToQColor(row == FindCurrent ? kCurrentFoundColor : kFoundColor);
  }

  // How far below the row's top the first (or the last) found bytes lie in
  // the layout last computed; -1 when the row holds none.
  int FoundOffset(bool last) const;

protected:
  // The byte position and value the information window was last filled for.
  struct TInfoHintCache {
    int ByteIndex = -1;
    int DataByte = -1;
    void Reset() { ByteIndex = DataByte = -1; }
  };

  // Draws the row; the bytes at the 1-based positions in `BoldPositions` are
  // drawn bold.
  void DrawBytes(TVexlinView &Sender, const TVexlinPaintInfo &PaintInfo,
                 std::initializer_list<qsizetype> BoldPositions);
  // Marks the found bytes among the positions [from, to) behind their cells.
  void MarkFound(QPainter &canvas, const QRect &cell, qsizetype from, qsizetype to) const;
  // Frames `Count` bytes from the 1-based `FirstPosition` in `Color`, hexadecimal
  // and character cell alike, in the cells DrawBytes last laid out.
  void FrameBytes(const TVexlinPaintInfo &PaintInfo, qsizetype FirstPosition, qsizetype Count,
                  const QColor &Color) const;
  // The common part of every ShowInfoHint: range check, cache, building the
  // "data" element from `Describe`'s attributes, showing and placing.
  void FillInfoHint(int Index, int X, int Y, TInfoHintCache &Cache,
                    const std::function<QList<TXmlAttribute>(uint8_t Value)> &Describe);
  // "index", "valueDEC", "valueHEX", "valueBIN" and "length" of a byte.
  QList<TXmlAttribute> ByteAttributes(int Index, uint8_t Value) const;

  static TInfoHintCache HintCache;

private:
  // The hexadecimal and character cells of the byte at cell `Col` of line
  // `Row` in a row whose data cell is `CellRect`.
  static void ByteCellRects(const QRect &CellRect, int Col, int Row, QRect &Hex, QRect &Chars);

  static int LastColumn; // the column LastNodeRect was taken for
};

// "rx hex:41 42 0D<TAB>ascii:AB{$0D}": the saved text of a packet.
QByteArray PacketSaveText(const QByteArray &data, TspDirection direction);
void AppendPacketSaveText(QByteArray &out, const QByteArray &data, TspDirection direction);
// Reads a text written by PacketSaveText back; the part after the byte list
// is not interpreted.
bool ReadPacketSaveText(const QString &text, QByteArray &data, TspDirection &direction);
// The bytes as command text: 0x26 to 0x7F as themselves, every run of other
// bytes as "{$XX,$YY}". 01 02 41 20 gives "{$01,$02}A{$20}".
QByteArray PacketCommandText(QByteArrayView data);

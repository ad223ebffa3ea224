#pragma once

#include <QFont>
#include <QPainter>
#include <QPoint>
#include <QRect>
#include <cstdint>
#include <vector>

class TXmlElement;

// What a data object needs of the list that shows it. The packet list and
// the unparsed-data view implement it; the pipeline knows nothing of widgets.

// An opaque row handle owned by the view.
struct TVexlinNode;

// A colour as 0xBBGGRR: red in the low byte.
using TColor = uint32_t;

inline QColor ToQColor(TColor c) {
  return QColor(static_cast<int>(c & 0xFF), static_cast<int>((c >> 8) & 0xFF),
                static_cast<int>((c >> 16) & 0xFF));
}
constexpr TColor RGBColor(uint8_t r, uint8_t g, uint8_t b) {
  return static_cast<TColor>(r) | (static_cast<TColor>(g) << 8) | (static_cast<TColor>(b) << 16);
}

// Mouse cursor identifiers, with the values the saved layouts and link menus use.
using TCursor = int16_t;
constexpr TCursor crDefault = 0;
constexpr TCursor crDrag = -12;
constexpr TCursor crHandPoint = -21;

// One cell to paint.
struct TVexlinPaintInfo {
  QPainter *Canvas = nullptr;
  TVexlinNode *Node = nullptr;
  QRect CellRect;    // the whole cell
  QRect ContentRect; // the cell without its margins
  int Column = 0;
};

// The small HTML window that follows the mouse over the bytes of a packet.
class TVexlinInfoWindow {
public:
  virtual ~TVexlinInfoWindow() = default;
  // Renders the elements (transformed by the protocol style sheet) and fits
  // the window's height to them. Raises EPtError when the style sheet is
  // missing or the transform fails.
  virtual void ShowInstInfo(const std::vector<TXmlElement> &Nodes) = 0;
  // Shows the window without activating it, its top-left corner at a
  // global screen position, keeping its size.
  virtual void ShowAt(QPoint globalTopLeft) = 0;
  virtual void Hide() = 0;
};

// The column index a list reports when the point lies in no column, and the
// packet list's data column, the one the rows' objects draw into.
constexpr int NoColumn = -1;
constexpr int DataColumn = 3;

class TVexlinView {
public:
  virtual ~TVexlinView() = default;

  // Height of a row whose object does not measure itself.
  virtual int DefaultNodeHeight() const = 0;
  // The font rows are drawn with.
  virtual QFont Font() const = 0;
  // Schedules a repaint of one row, or of the whole view.
  virtual void InvalidateNode(TVexlinNode *node) = 0;
  virtual void Invalidate() = 0;
  // Marks a row's height as unknown so it is measured again.
  virtual void ResetNodeHeight(TVexlinNode *node) = 0;
  // The application's mouse cursor while over the view.
  virtual void SetCursor(TCursor cursor) = 0;
  // Hides the packet information window, when there is one.
  virtual void HideInfoWindow() = 0;

  // The column under a point in viewport coordinates, or NoColumn (lists
  // without columns, such as the unparsed-data view, always answer NoColumn).
  virtual int ColumnAt(QPoint pos) const = 0;
  // The display rectangle of a row's cell in a column, viewport coordinates.
  virtual QRect NodeCellRect(TVexlinNode *node, int column) const = 0;
  // Viewport coordinates to global screen coordinates.
  virtual QPoint MapToGlobal(QPoint pos) const = 0;
  // The frame marking the byte under the mouse: up to two rectangles drawn
  // over the rows (empty rectangles draw nothing). Setting new ones removes
  // the old ones without repainting the rows' content.
  virtual void SetFocusFrame(const QRect &hexCell, const QRect &charCell) = 0;
  // The information window, or none.
  virtual TVexlinInfoWindow *InfoWindow() = 0;
};

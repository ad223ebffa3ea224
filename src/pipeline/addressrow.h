#pragma once

#include "pipeline/dataobjectwithmenu.h"

#include <QFont>
#include <QFontMetrics>

// The pieces rows that show a network address share: the copy links over the
// drawn IP and MAC, and the one-line drawing of labels and address fields.

// The light yellow of address rows and the grey of their labels.
inline constexpr TColor kAddressRowColor = RGBColor(255, 255, 192);
inline constexpr TColor kAddressLabelGrey = RGBColor(128, 128, 128);

// Adds "Copy IP to Clipboard" and "Copy MAC to Clipboard", clicked where the
// addresses are drawn rather than in the link strip. Returns the index of
// the IP link; the MAC link follows it.
int AddAddressCopyLinks(TVexlinDataObject_WithMenu &row, TLinkNotifyEvent onIp,
                        TLinkNotifyEvent onMac);
void CopyTextToClipboard(const QString &text);

// Draws texts on the first line of a row in its light yellow cell.
class TAddressRowPainter {
public:
  TAddressRowPainter(TVexlinView &view, const TVexlinPaintInfo &info, TColor background);
  ~TAddressRowPainter();
  TAddressRowPainter(const TAddressRowPainter &) = delete;
  TAddressRowPainter &operator=(const TAddressRowPainter &) = delete;

  // Where the row's own drawing starts.
  int Left() const { return fLeft; }
  int Width(const QString &text) const { return fMetrics.horizontalAdvance(text); }
  void Text(int x, const QString &text, const QColor &color, bool underline = false);
  // An address field as wide as `widest` starting at `left`, so the columns
  // line up from row to row; it is the hot area of `link`, and the value is
  // underlined while the mouse is over it. Returns the field's right end.
  int Address(int left, const QString &widest, TLinkMenuItem *link, const QString &value,
              const QColor &color);

private:
  QPainter &fCanvas;
  QRect fCell;
  QFont fPlain;
  QFont fUnderlined;
  QFontMetrics fMetrics;
  int fLeft;
  int fTop;
};

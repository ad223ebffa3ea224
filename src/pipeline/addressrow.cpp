#include "pipeline/addressrow.h"

#include <QClipboard>
#include <QGuiApplication>

int AddAddressCopyLinks(TVexlinDataObject_WithMenu &row, TLinkNotifyEvent onIp,
                        TLinkNotifyEvent onMac) {
  const int ip = row.AddLinkMenu(QStringLiteral("Copy IP to Clipboard"), onIp);
  const int mac = row.AddLinkMenu(QStringLiteral("Copy MAC to Clipboard"), onMac);
  for (int link : {ip, mac}) {
    row.fLinkMenu[link].InRow = false;
    row.fLinkMenu[link].DontDraw = true;
    row.fLinkMenu[link].CursorOver = crDrag;
  }
  return ip;
}

void CopyTextToClipboard(const QString &text) {
  if (qGuiApp)
    QGuiApplication::clipboard()->setText(text);
}

TAddressRowPainter::TAddressRowPainter(TVexlinView &view, const TVexlinPaintInfo &info,
                                       TColor background)
    : fCanvas(*info.Canvas), fCell(info.ContentRect), fPlain(view.Font()), fUnderlined(fPlain),
      fMetrics(fPlain), fLeft(fCell.left() + TVexlinDataObject::LeftDataOffset),
      fTop(fCell.top() + 1) {
  fUnderlined.setUnderline(true);
  fCanvas.save();
  fCanvas.fillRect(fCell, ToQColor(background));
}

TAddressRowPainter::~TAddressRowPainter() {
  fCanvas.restore();
}

void TAddressRowPainter::Text(int x, const QString &text, const QColor &color, bool underline) {
  fCanvas.setFont(underline ? fUnderlined : fPlain);
  fCanvas.setPen(color);
  fCanvas.drawText(QRect(x, fTop, Width(text) + 1, qMax(0, fCell.bottom() - fTop + 1)),
                   Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine | Qt::TextDontClip, text);
}

int TAddressRowPainter::Address(int left, const QString &widest, TLinkMenuItem *link,
                                const QString &value, const QColor &color) {
  const int right = left + Width(widest);
  if (link)
    link->Rect = QRect(QPoint(left, fCell.top()), QPoint(right, fCell.bottom()));
  Text(left + 4, value, color, link && link->isMouseOver);
  return right;
}

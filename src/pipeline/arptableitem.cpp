#include "pipeline/datalog.h"
#include "pipeline/datanetitems.h"

#include <QClipboard>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QPalette>

namespace {

constexpr TColor kLightYellow = RGBColor(255, 255, 192);
constexpr TColor kLabelGrey = RGBColor(128, 128, 128);
constexpr TColor kRemovedMaroon = RGBColor(128, 0, 0);
constexpr TColor kDeletedGreen = RGBColor(0, 128, 0);
constexpr TColor kFailedRed = RGBColor(255, 0, 0);

void CopyToClipboard(const QString &text) {
  if (qGuiApp)
    QGuiApplication::clipboard()->setText(text);
}

void QueueLogLine(const QString &text, TColor color) {
  (new TVexlinDataLog(text, color))->Push();
}

} // namespace

QString ArpTypeWord(int32_t arpType) {
  switch (arpType) {
  case 1:
    return QStringLiteral("other");
  case 2:
    return QStringLiteral("invalid");
  case 3:
    return QStringLiteral("dynamic");
  case 4:
    return QStringLiteral("static");
  default:
    return {};
  }
}

QColor ArpTypeColor(int32_t arpType) {
  switch (arpType) {
  case 1:
    return ToQColor(RGBColor(255, 255, 0));
  case 2:
    return QPalette().color(QPalette::Disabled, QPalette::Text);
  case 3:
    return ToQColor(RGBColor(0, 128, 128));
  case 4:
    return ToQColor(RGBColor(0, 0, 128));
  default:
    return Qt::black;
  }
}

QString PhysAddressText(const uint8_t *bytes, size_t length) {
  QString text;
  const size_t n = qMin<size_t>(length, 8);
  for (size_t i = 0; i < n; ++i) {
    if (i)
      text += u':';
    text += QStringLiteral("%1").arg(bytes[i], 2, 16, QLatin1Char('0')).toUpper();
  }
  return text;
}

QString Ipv4Text(const std::array<uint8_t, 4> &addr) {
  return QStringLiteral("%1.%2.%3.%4").arg(addr[0]).arg(addr[1]).arg(addr[2]).arg(addr[3]);
}

TVexlinDataArpTableItem::TVexlinDataArpTableItem() {
  // The addresses are clicked where they are drawn, not in the link strip.
  link_Ip = AddLinkMenu(QStringLiteral("Copy IP to Clipboard"),
                        TLinkNotifyEvent::Bind<&TVexlinDataArpTableItem::onClickIp>(this));
  link_MAC = AddLinkMenu(QStringLiteral("Copy MAC to Clipboard"),
                         TLinkNotifyEvent::Bind<&TVexlinDataArpTableItem::onClickMac>(this));
  for (int link : {link_Ip, link_MAC}) {
    fLinkMenu[link].InRow = false;
    fLinkMenu[link].DontDraw = true;
    fLinkMenu[link].CursorOver = crDrag;
  }
}

TVexlinDataArpTableItem::TVexlinDataArpTableItem(const TArpNetRow &NetRow, TDeleteEntry deleteEntry)
    : TVexlinDataArpTableItem() {
  Time = NowDateTime();
  fNetRow = NetRow;
  fDeleteEntry = std::move(deleteEntry);
  IP = Ipv4Text(NetRow.Addr);
  MAC = PhysAddressText(NetRow.PhysAddr.data(),
                        qMin<size_t>(NetRow.PhysAddrLength, NetRow.PhysAddr.size()));
  ArpType = static_cast<int32_t>(NetRow.Type);
  AddLinkMenu(QStringLiteral("Delete"),
              TLinkNotifyEvent::Bind<&TVexlinDataArpTableItem::onClickDelete>(this));
}

void TVexlinDataArpTableItem::DrawNode(TVexlinView &Sender, const TVexlinPaintInfo &PaintInfo) {
  ParentVDT = &Sender;
  QPainter *canvas = PaintInfo.Canvas;
  if (!canvas)
    return;
  canvas->save();
  const QRect &c = PaintInfo.ContentRect;
  canvas->fillRect(c, ToQColor(kLightYellow));
  const QFont plain = Sender.Font();
  QFont underlined = plain;
  underlined.setUnderline(true);
  const QFontMetrics metrics(plain);
  const int x0 = c.left() + LeftDataOffset;
  const int top = c.top() + 1;
  const QColor typeColor = ArpTypeColor(ArpType);
  auto text = [&](int x, const QString &s, const QColor &color, bool underline) {
    canvas->setFont(underline ? underlined : plain);
    canvas->setPen(color);
    canvas->drawText(QRect(x, top, metrics.horizontalAdvance(s) + 1, qMax(0, c.bottom() - top + 1)),
                     Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine | Qt::TextDontClip, s);
  };
  // An address is drawn in a hot area as wide as the longest address, so the
  // columns line up from row to row.
  auto address = [&](int left, const QString &widest, int link, const QString &value) {
    const int right = left + metrics.horizontalAdvance(widest);
    const bool over = link >= 0 && fLinkMenu[link].isMouseOver;
    if (link >= 0)
      fLinkMenu[link].Rect = QRect(QPoint(left, c.top()), QPoint(right, c.bottom()));
    text(left + 4, value, typeColor, over);
    return right;
  };

  text(x0 + 14, QStringLiteral("IP: "), ToQColor(kLabelGrey), false);
  const int d = x0 + 10 + metrics.horizontalAdvance(QStringLiteral("IP: "));
  const int f = address(d, QStringLiteral("255.255.255.255"), link_Ip, IP) + 15;
  text(f + 4, QStringLiteral("MAC: "), ToQColor(kLabelGrey), false);
  const int g = f + metrics.horizontalAdvance(QStringLiteral("MAC: "));
  const int o = address(g, QStringLiteral("00:00:00:00:00:00"), link_MAC, MAC) + 25;
  text(o + 4, ArpTypeWord(ArpType), typeColor, false);
  int u = o + metrics.horizontalAdvance(QStringLiteral("dynamicA")) + 10;
  if (fRemoved) {
    const QString removed = QStringLiteral("removed");
    text(u, removed, ToQColor(kRemovedMaroon), false);
    u += metrics.horizontalAdvance(removed) + 15;
  }
  canvas->restore();
  DrawNodeMenu(Sender, PaintInfo, u);
}

void TVexlinDataArpTableItem::onClickIp(TVexlinDataObject *) {
  CopyToClipboard(IP);
}

void TVexlinDataArpTableItem::onClickMac(TVexlinDataObject *) {
  CopyToClipboard(MAC);
}

void TVexlinDataArpTableItem::onClickDelete(TVexlinDataObject *) {
  if (!fDeleteEntry || !fDeleteEntry(fNetRow)) {
    QueueLogLine(QStringLiteral("ARP record IP: ") + IP + QStringLiteral(" MAC: ") + MAC +
                     QStringLiteral("  - delete fails"),
                 kFailedRed);
    return;
  }
  fRemoved = true;
  QueueLogLine(QStringLiteral("ARP record   IP: ") + IP + QStringLiteral("   MAC: ") + MAC +
                   QStringLiteral("  - deleted"),
               kDeletedGreen);
  Invalidate();
  // The last thing done here: the link that called us goes away.
  RemoveLinkMenu(TLinkNotifyEvent::Bind<&TVexlinDataArpTableItem::onClickDelete>(this));
}

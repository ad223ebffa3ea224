#include "pipeline/addressrow.h"
#include "pipeline/datalog.h"
#include "pipeline/datanetitems.h"

namespace {

constexpr TColor kRemovedMaroon = RGBColor(128, 0, 0);
constexpr TColor kDeletedGreen = RGBColor(0, 128, 0);
constexpr TColor kFailedRed = RGBColor(255, 0, 0);

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
  // Every colour must read on the rows' light yellow: a dark amber rather
  // than yellow, and a grey of its own rather than the style's, which may be
  // as pale as the row.
  case 1:
    return ToQColor(RGBColor(153, 102, 0));
  case 2:
    return ToQColor(RGBColor(112, 112, 112));
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
  link_Ip =
      AddAddressCopyLinks(*this, TLinkNotifyEvent::Bind<&TVexlinDataArpTableItem::onClickIp>(this),
                          TLinkNotifyEvent::Bind<&TVexlinDataArpTableItem::onClickMac>(this));
  link_MAC = link_Ip + 1;
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
  if (!PaintInfo.Canvas)
    return;
  int u = 0;
  {
    TAddressRowPainter row(Sender, PaintInfo, kAddressRowColor);
    const QColor grey = ToQColor(kAddressLabelGrey);
    const QColor typeColor = ArpTypeColor(ArpType);
    const int x0 = row.Left();
    row.Text(x0 + 14, QStringLiteral("IP: "), grey);
    const int d = x0 + 10 + row.Width(QStringLiteral("IP: "));
    const int f =
        row.Address(d, QStringLiteral("255.255.255.255"), &fLinkMenu[link_Ip], IP, typeColor) + 15;
    row.Text(f + 4, QStringLiteral("MAC: "), grey);
    const int g = f + row.Width(QStringLiteral("MAC: "));
    const int o =
        row.Address(g, QStringLiteral("00:00:00:00:00:00"), &fLinkMenu[link_MAC], MAC, typeColor) +
        25;
    row.Text(o + 4, ArpTypeWord(ArpType), typeColor);
    u = o + row.Width(QStringLiteral("dynamicA")) + 10;
    if (fRemoved) {
      const QString removed = QStringLiteral("removed");
      row.Text(u, removed, ToQColor(kRemovedMaroon));
      u += row.Width(removed) + 15;
    }
  }
  DrawNodeMenu(Sender, PaintInfo, u);
}

void TVexlinDataArpTableItem::onClickIp(TVexlinDataObject *) {
  CopyTextToClipboard(IP);
}

void TVexlinDataArpTableItem::onClickMac(TVexlinDataObject *) {
  CopyTextToClipboard(MAC);
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

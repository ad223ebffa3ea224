#include "base/languagetext.h"
#include "pipeline/addressrow.h"
#include "pipeline/datanetitems.h"

namespace {

constexpr TColor kValueNavy = RGBColor(0, 0, 128);
constexpr TColor kInfoGreen = RGBColor(0, 128, 0);

void Call(const std::function<void(const QString &)> &hook, const QString &ip) {
  if (hook)
    hook(ip);
}

} // namespace

int TVexlinDataLantronixScanItem::MaxMenuLeft = 0;

TVexlinDataLantronixScanItem::TVexlinDataLantronixScanItem() {
  link_ip = AddAddressCopyLinks(
      *this, TLinkNotifyEvent::Bind<&TVexlinDataLantronixScanItem::onClickIp>(this),
      TLinkNotifyEvent::Bind<&TVexlinDataLantronixScanItem::onClickMac>(this));
  link_mac = link_ip + 1;
}

TVexlinDataLantronixScanItem::TVexlinDataLantronixScanItem(const QString &AIP, const QString &AMAC,
                                                           TLantronixLinks links)
    : TVexlinDataLantronixScanItem() {
  Time = NowDateTime();
  IP = AIP;
  MAC = AMAC;
  fLinks = std::move(links);
  using Self = TVexlinDataLantronixScanItem;
  AddLinkMenu(QStringLiteral("Set"), TLinkNotifyEvent::Bind<&Self::onClickSet>(this));
  AddLinkMenu(QStringLiteral("Open"), TLinkNotifyEvent::Bind<&Self::onClickOpen>(this));
  if (fLinks.TelnetAvailable)
    AddLinkMenu(QStringLiteral("Telnet"), TLinkNotifyEvent::Bind<&Self::onClickTelnet>(this));
  AddLinkMenu(QStringLiteral("Ping"), TLinkNotifyEvent::Bind<&Self::onClickPing>(this));
  AddLinkMenu(QStringLiteral("Web"), TLinkNotifyEvent::Bind<&Self::onClickWeb>(this));
}

TVexlinDataLantronixScanItem::~TVexlinDataLantronixScanItem() {
  if (fCancelQuery)
    fCancelQuery();
}

void TVexlinDataLantronixScanItem::DrawNode(TVexlinView &Sender,
                                            const TVexlinPaintInfo &PaintInfo) {
  ParentVDT = &Sender;
  if (!PaintInfo.Canvas)
    return;
  int u = 0;
  {
    TAddressRowPainter row(Sender, PaintInfo, kAddressRowColor);
    const QColor grey = ToQColor(kAddressLabelGrey);
    const QColor navy = ToQColor(kValueNavy);
    const int x0 = row.Left();
    const QString found =
        LanguageText(QStringLiteral("LantronixFound"), QStringLiteral("Nalezen modul Lantronix"));
    row.Text(x0 + 4, found, grey);
    const int d = x0 + row.Width(found);
    row.Text(d + 14, QStringLiteral("IP:"), grey);
    const int f = d + row.Width(QStringLiteral("IP:")) + 15;
    const int h =
        row.Address(f, QStringLiteral("255.255.255.255"), &fLinkMenu[link_ip], IP, navy) + 15;
    row.Text(h + 4, QStringLiteral("MAC:"), grey);
    const int l = h + row.Width(QStringLiteral("MAC:")) + 5;
    u = row.Address(l, QStringLiteral("00:00:00:00:00:00"), &fLinkMenu[link_mac], MAC, navy) + 15;
    if (!Info.isEmpty()) {
      row.Text(u + 4, Info, ToQColor(kInfoGreen));
      const int wanted = u + row.Width(Info) + 15;
      if (wanted > MaxMenuLeft) {
        MaxMenuLeft = wanted;
        Sender.Invalidate(); // the rows drawn before must move their links too
      }
    }
  }
  DrawNodeMenu(Sender, PaintInfo, qMax(u, MaxMenuLeft));
}

void TVexlinDataLantronixScanItem::onClickIp(TVexlinDataObject *) {
  CopyTextToClipboard(IP);
}

void TVexlinDataLantronixScanItem::onClickMac(TVexlinDataObject *) {
  CopyTextToClipboard(MAC);
}

void TVexlinDataLantronixScanItem::onClickSet(TVexlinDataObject *) {
  Call(fLinks.Set, IP);
}

void TVexlinDataLantronixScanItem::onClickOpen(TVexlinDataObject *) {
  Call(fLinks.Open, IP);
}

void TVexlinDataLantronixScanItem::onClickTelnet(TVexlinDataObject *) {
  Call(fLinks.Telnet, IP);
}

void TVexlinDataLantronixScanItem::onClickPing(TVexlinDataObject *) {
  Call(fLinks.Ping, IP);
}

void TVexlinDataLantronixScanItem::onClickWeb(TVexlinDataObject *) {
  Call(fLinks.Web, IP);
}

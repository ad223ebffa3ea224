#pragma once

#include "pipeline/dataobjectwithmenu.h"

#include <array>
#include <cstdint>
#include <functional>

// Rows that name a network address: found serial-to-Ethernet modules, ARP
// entries and network interfaces.

// What the links of a found module do with its IP; empty hooks do nothing.
struct TLantronixLinks {
  std::function<void(const QString &ip)> Set;  // into the TCP connection settings
  std::function<void(const QString &ip)> Open; // as Set, then connect
  std::function<void(const QString &ip)> Telnet;
  std::function<void(const QString &ip)> Ping;
  std::function<void(const QString &ip)> Web;
  bool TelnetAvailable = false; // "Telnet" is offered only when a client exists
};

// A found serial-to-Ethernet module.
class TVexlinDataLantronixScanItem : public TVexlinDataObject_WithMenu {
public:
  static constexpr const char *ClassName = "TVexlinDataLantronixScanItem";
  TVexlinDataObjectClass ClassType() const override {
    return ClassOf<TVexlinDataLantronixScanItem>();
  }

  // A row read back from a saved log: IP and MAC can be copied.
  TVexlinDataLantronixScanItem();
  // A module that has just answered, stamped now, with the whole link strip.
  TVexlinDataLantronixScanItem(const QString &AIP, const QString &AMAC, TLantronixLinks links);
  ~TVexlinDataLantronixScanItem() override;

  void DrawNode(TVexlinView &Sender, const TVexlinPaintInfo &PaintInfo) override;
  TColor GetBckColor() const override;
  // "Nalezen modul - ip: <IP><TAB>mac: <MAC>[<TAB>info: <Info>]"
  QByteArray GetText4Save() const override;
  // Reads IP and MAC back; the identification is not.
  bool LoadFromSavedFile(const QString &data) override;

  void onClickIp(TVexlinDataObject *Sender);
  void onClickMac(TVexlinDataObject *Sender);
  void onClickSet(TVexlinDataObject *Sender);
  void onClickOpen(TVexlinDataObject *Sender);
  void onClickTelnet(TVexlinDataObject *Sender);
  void onClickPing(TVexlinDataObject *Sender);
  void onClickWeb(TVexlinDataObject *Sender);

  // Where the link strips of all module rows start at the earliest, so that
  // they line up; it only grows.
  static int MaxMenuLeft;

  int link_ip = -1;
  int link_mac = -1;
  // The identification query still running for this row (0: none), and
  // what ends it when the row goes first.
  quint64 TR = 0;
  std::function<void()> fCancelQuery;
  QString IP;
  QString MAC;
  QString Info;
  uint32_t TelnetRcv = 0;

private:
  TLantronixLinks fLinks;
};

// A copy of one row of the system's ARP table, kept to delete the entry.
struct TArpNetRow {
  uint32_t InterfaceIndex = 0;
  uint32_t PhysAddrLength = 0;
  std::array<uint8_t, 8> PhysAddr{};
  std::array<uint8_t, 4> Addr{}; // IPv4 address bytes in memory order
  uint32_t Type = 0;             // 1 other, 2 invalid, 3 dynamic, 4 static
};

// Fields and saved text shared by ARP entries and network interfaces.
class TVexlinDataAddressItem : public TVexlinDataObject_WithMenu {
public:
  TColor GetBckColor() const override;
  // "mac: <MAC><TAB>ip: <IP>"
  QByteArray GetText4Save() const override;
  // Both kinds write the same text, so both read IP and MAC back.
  bool LoadFromSavedFile(const QString &data) override;

  QString IP;
  QString MAC;
  int32_t ArpType = 0;
  TArpNetRow fNetRow;
  bool fRemoved = false;
  int link_Ip = -1;
  int link_MAC = -1;
};

// One entry of the system's ARP table: IP and MAC copy to the clipboard, and
// "Delete" removes the entry from the system table.
class TVexlinDataArpTableItem : public TVexlinDataAddressItem {
public:
  static constexpr const char *ClassName = "TVexlinDataArpTableItem";
  TVexlinDataObjectClass ClassType() const override { return ClassOf<TVexlinDataArpTableItem>(); }

  // Removes an entry from the system table; true on success.
  using TDeleteEntry = std::function<bool(const TArpNetRow &)>;

  // A row read back from a saved log: IP and MAC can be copied, nothing deleted.
  TVexlinDataArpTableItem();
  // A row of the live table, stamped now; "Delete" asks `deleteEntry`.
  TVexlinDataArpTableItem(const TArpNetRow &NetRow, TDeleteEntry deleteEntry);

  void DrawNode(TVexlinView &Sender, const TVexlinPaintInfo &PaintInfo) override;

  void onClickIp(TVexlinDataObject *Sender);
  void onClickMac(TVexlinDataObject *Sender);
  void onClickDelete(TVexlinDataObject *Sender);

  TDeleteEntry fDeleteEntry;
};

class TVexlinDataNetInterface : public TVexlinDataAddressItem {
public:
  static constexpr const char *ClassName = "TVexlinDataNetInterface";
  TVexlinDataObjectClass ClassType() const override { return ClassOf<TVexlinDataNetInterface>(); }
};

// The word and colour an ARP entry of `arpType` is drawn with ("" and black
// for an unknown type).
QString ArpTypeWord(int32_t arpType);
QColor ArpTypeColor(int32_t arpType);
// A physical address as upper-case hexadecimal pairs joined by ":", at most
// 8 bytes of it; "" when it is empty.
QString PhysAddressText(const uint8_t *bytes, size_t length);
// Four address bytes in memory order as dotted decimal.
QString Ipv4Text(const std::array<uint8_t, 4> &addr);

// Reads "ip: <IP>" and "mac: <MAC>" pairs from a saved text; other tokens are
// skipped. True when either was found.
bool ReadAddressSaveText(const QString &text, QString &ip, QString &mac);

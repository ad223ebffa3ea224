#pragma once

#include "pipeline/dataobjectwithmenu.h"

#include <array>
#include <cstdint>
#include <functional>

// Rows that name a network address: found serial-to-Ethernet modules, ARP
// entries and network interfaces.

// A found serial-to-Ethernet module.
class TVexlinDataLantronixScanItem : public TVexlinDataObject_WithMenu {
public:
  static constexpr const char *ClassName = "TVexlinDataLantronixScanItem";
  TVexlinDataObjectClass ClassType() const override {
    return ClassOf<TVexlinDataLantronixScanItem>();
  }

  TColor GetBckColor() const override;
  // "Nalezen modul - ip: <IP><TAB>mac: <MAC>[<TAB>info: <Info>]"
  QByteArray GetText4Save() const override;
  // Reads IP and MAC back; the identification is not.
  bool LoadFromSavedFile(const QString &data) override;

  int link_ip = -1;
  int link_mac = -1;
  QString IP;
  QString MAC;
  QString Info;
  uint32_t TelnetRcv = 0;
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

#pragma once

#include "pipeline/dataobject.h"

// One packet of raw bytes, received or transmitted.
class TVexlinDataBinary : public TVexlinDataObject {
public:
  static constexpr const char *ClassName = "TVexlinDataBinary";
  TVexlinDataObjectClass ClassType() const override { return ClassOf<TVexlinDataBinary>(); }

  TVexlinDataBinary() = default;
  TVexlinDataBinary(const QByteArray &aData, TspDirection direction);

  // Takes a copy of the bytes and repaints the view that shows the packet.
  void CopyData(const QByteArray &aData);

  QByteArray GetText4Save() const override;
  // Reads the direction and the bytes of a saved packet text; true when the
  // text had a byte list.
  bool LoadFromSavedFile(const QString &data) override;

  QByteArray Data;
};

// "rx hex:41 42 0D<TAB>ascii:AB{$0D}": the saved text of a packet.
QByteArray PacketSaveText(const QByteArray &data, TspDirection direction);
// Reads a text written by PacketSaveText back; the part after the byte list
// is not interpreted.
bool ReadPacketSaveText(const QString &text, QByteArray &data, TspDirection &direction);

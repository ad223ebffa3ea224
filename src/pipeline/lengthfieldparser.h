#pragma once

#include "pipeline/vexlinparser.h"

#include <QByteArray>
#include <mutex>

// How a packet carries its own length.
struct TLengthFieldFormat {
  QByteArray Start;      // bytes every packet begins with; empty for none
  int32_t Offset = 0;    // where the length field begins, from the packet's start
  int32_t Size = 1;      // 1, 2 or 4 bytes
  bool BigEndian = true; // byte order of a field of 2 or 4 bytes
  int32_t Add = 0;       // added to the field's value to give the whole packet length

  bool operator==(const TLengthFieldFormat &) const = default;
};

// Packets whose length a field in their header gives. A packet that would
// be longer than the maximum length (or shorter than its own header) is not
// one: the parser resynchronises on the next start bytes, or one byte on
// where there are none, and cuts the bytes in between as one binary row. So
// garbage never makes it wait for more than the maximum length.
class TVexlinParser_LengthField : public TVexlinParser {
public:
  bool Parse(TVexlinBuffer &AtxBuffer, std::unique_ptr<TVexlinDataObject> &Ado) override;

  TLengthFieldFormat Format() const;
  void SetFormat(const TLengthFieldFormat &format);

  // The whole length of a packet whose header is at `header` (at least
  // HeaderSize bytes); -1 when it cannot be a packet under `limit`.
  static int64_t PacketLength(const TLengthFieldFormat &format, const uint8_t *header,
                              int32_t limit);
  // Bytes needed to read the start bytes and the length field.
  static int32_t HeaderSize(const TLengthFieldFormat &format);

private:
  mutable std::mutex fLock; // QByteArray assignment is not atomic
  TLengthFieldFormat fFormat;
};

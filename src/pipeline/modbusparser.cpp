#include "pipeline/modbusparser.h"

#include "base/arrivalclock.h"
#include "codecs/modbusframing.h"
#include "pipeline/datamodbus.h"
#include "pipeline/packetpool.h"

#include <algorithm>
#include <cstring>

namespace {

// What the bytes at a position make of an RTU frame.
enum TRtuStart : int32_t {
  kRtuMaybe = 0,    // a frame may start here; more bytes will tell
  kRtuNone = -1,    // every length of its function is there, no CRC holds
  kRtuUnknown = -2, // the function code tells no length: a pause ends it
};

// A frame's length (> 0) when a valid frame starts at `b`, else a TRtuStart.
int32_t RtuFrameAt(const uint8_t *b, int32_t available) {
  if (available < 2)
    return kRtuMaybe;
  const TModbusRtuShape shape = ModbusRtuShape(b, available);
  if (!shape.Known)
    return kRtuUnknown;
  bool waiting = shape.Pending;
  for (int i = 0; i < shape.Count; ++i) {
    const int32_t length = shape.Lengths[i];
    if (length > available)
      waiting = true;
    else if (ModbusRtuCrcValid(b, length))
      return length;
  }
  return waiting ? kRtuMaybe : kRtuNone;
}

// True when `length` bytes from `b` could be a frame of their function code.
bool RtuLengthFits(const uint8_t *b, int32_t length) {
  if (length < 4 || length > kModbusRtuMaxFrame)
    return false;
  const TModbusRtuShape shape = ModbusRtuShape(b, length);
  if (!shape.Known)
    return true;
  return std::find(shape.Lengths, shape.Lengths + shape.Count, length) !=
         shape.Lengths + shape.Count;
}

bool CutModbus(TVexlinBuffer &buffer, int32_t count, TModbusType type,
               std::unique_ptr<TVexlinDataObject> &Ado) {
  char *write = nullptr;
  QByteArray frame = PacketPool::Bytes(count, write);
  if (!buffer.Pop(write, count))
    return false;
  Ado = std::make_unique<TVexlinDataBinary_Modbus>(std::move(frame), spRx, type);
  buffer.Eat(count);
  return true;
}

} // namespace

int64_t TVexlinParser_Modbus::RtuPause(int32_t baudrate) {
  constexpr int64_t kMinimum = 2 * kArrivalPerMs;
  if (baudrate <= 0)
    return kMinimum;
  // 3.5 characters of 11 bits: 38.5 bit times.
  return std::max(kMinimum, int64_t{38'500'000'000} / baudrate);
}

int64_t TVexlinParser_Modbus::ClosingPause() const {
  // Only RTU falls back on silence; ASCII and TCP frames end by their bytes.
  return ModbusType() == mbtRTU ? RtuPause(Baudrate()) : -1;
}

bool TVexlinParser_Modbus::Parse(TVexlinBuffer &AtxBuffer,
                                 std::unique_ptr<TVexlinDataObject> &Ado) {
  if (AtxBuffer.UsedSize() == 0)
    return false;
  switch (ModbusType()) {
  case mbtRTU:
    return ParseRtu(AtxBuffer, Ado);
  case mbtASCII:
    return ParseAscii(AtxBuffer, Ado);
  case mbtTCP:
    return ParseTcp(AtxBuffer, Ado);
  }
  return false;
}

bool TVexlinParser_Modbus::ParseRtu(TVexlinBuffer &buffer,
                                    std::unique_ptr<TVexlinDataObject> &Ado) const {
  const int32_t limit = CutLimit();
  // A valid frame is looked for this far: the longest frame, and the bytes
  // in front of it that may pile up.
  constexpr int32_t kWindow = 2 * kModbusRtuMaxFrame;
  uint8_t b[kWindow];
  const int32_t used = buffer.UsedSize();
  // The longest frame first: in a clean stream that is all it takes.
  int32_t n = std::min(used, kModbusRtuMaxFrame);
  if (!buffer.Pop(reinterpret_cast<char *>(b), n))
    return false;
  const int32_t front = RtuFrameAt(b, n);
  if (front > 0) {
    // Its bytes are at hand already.
    char *write = nullptr;
    QByteArray frame = PacketPool::Bytes(front, write);
    std::memcpy(write, b, static_cast<size_t>(front));
    Ado = std::make_unique<TVexlinDataBinary_Modbus>(std::move(frame), spRx, mbtRTU);
    buffer.Eat(front);
    return true;
  }
  if (used > n) {
    n = std::min(used, kWindow);
    if (!buffer.Pop(reinterpret_cast<char *>(b), n))
      return false;
  }

  const int32_t pause = buffer.PauseOffset(RtuPause(Baudrate()), limit);
  if (front == kRtuMaybe && pause < 0)
    return false; // the rest of a frame is on its way
  // A valid frame further on: what lies before it is not one.
  const int32_t searchEnd = pause > 0 ? std::min(pause, n) : n;
  for (int32_t k = 1; k + 4 <= searchEnd; ++k)
    if (RtuFrameAt(b + k, searchEnd - k) > 0)
      return CutBinary(buffer, k, Ado);
  if (pause > 0) {
    // The line fell silent: what came before is one frame, damaged or of a
    // function whose length the bytes do not tell.
    if (pause <= n && RtuLengthFits(b, pause))
      return CutModbus(buffer, pause, mbtRTU, Ado);
    return CutBinary(buffer, pause, Ado);
  }
  return buffer.UsedSize() >= limit && CutBinary(buffer, limit, Ado);
}

bool TVexlinParser_Modbus::ParseAscii(TVexlinBuffer &buffer,
                                      std::unique_ptr<TVexlinDataObject> &Ado) const {
  static const QByteArray kColon(":");
  const int32_t start = buffer.FindString(kColon);
  if (start > 0)
    return CutBinary(buffer, start, Ado);
  if (start < 0)
    return buffer.UsedSize() >= CutLimit() && CutBinary(buffer, CutLimit(), Ado);
  char b[kModbusAsciiMaxFrame];
  const int32_t n = std::min(buffer.UsedSize(), kModbusAsciiMaxFrame);
  if (!buffer.Pop(b, n))
    return false;
  for (int32_t i = 1; i < n; ++i) {
    if (b[i] == ':')
      return CutBinary(buffer, i, Ado); // broken off by the next frame
    if (b[i] == '\r' && i + 1 < n && b[i + 1] == '\n')
      return CutModbus(buffer, i + 2, mbtASCII, Ado);
  }
  // No end within the longest frame: not a frame.
  return n == kModbusAsciiMaxFrame && CutBinary(buffer, n, Ado);
}

bool TVexlinParser_Modbus::ParseTcp(TVexlinBuffer &buffer,
                                    std::unique_ptr<TVexlinDataObject> &Ado) const {
  uint8_t header[kModbusMbapHeader];
  if (!buffer.Pop(reinterpret_cast<char *>(header), kModbusMbapHeader))
    return false;
  if (const int32_t length = ModbusTcpFrameLength(header); length > 0)
    return buffer.UsedSize() >= length && CutModbus(buffer, length, mbtTCP, Ado);
  // Not a header: the bytes up to the next one that could be are not a frame.
  const int32_t limit = CutLimit();
  const int32_t n = std::min(buffer.UsedSize(), std::min(limit, 64 * 1024) + kModbusMbapHeader);
  QByteArray window;
  buffer.Pop(window, n);
  const auto *b = reinterpret_cast<const uint8_t *>(window.constData());
  for (int32_t k = 1; k + kModbusMbapHeader <= n; ++k)
    if (b[k + 2] == 0 && b[k + 3] == 0 && ModbusTcpFrameLength(b + k) > 0)
      return CutBinary(buffer, k, Ado);
  return buffer.UsedSize() >= limit && CutBinary(buffer, limit, Ado);
}

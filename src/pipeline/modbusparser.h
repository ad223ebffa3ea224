#pragma once

#include "codecs/modbus.h"
#include "pipeline/vexlinparser.h"

#include <atomic>

// Modbus frames of the chosen type, each a TVexlinDataBinary_Modbus row.
//
// RTU: a frame is unit id, function code, the bytes that function carries
// and the CRC. Its length follows from the function code (the standard's
// request and response lengths, 5 bytes for an exception); where the
// request and the response of a function differ in length, the shorter one
// whose CRC holds is taken, else the longer one whose CRC holds. Where no
// length makes a valid frame, or the function code tells no length, the
// frame ends at a pause of 3.5 characters at the line's speed (at least
// 2 ms) read from the arrival stamps; a block cut so is a Modbus row when
// it could be a frame of its function (its check then shows what is wrong)
// and a binary row otherwise. Bytes in front of a valid frame are cut off
// as a binary row, and nothing piles up beyond the maximum length.
//
// ASCII: ":" up to CR LF; bytes before a ":" and a frame broken off by the
// next ":" are binary rows; a frame without CR LF waits, at most as long as
// the longest frame.
//
// TCP: the MBAP header frames each packet; a header with a protocol id
// other than 0 or a length outside 2 to 254 is not one, and the bytes up to
// the next header that could be are a binary row.
class TVexlinParser_Modbus : public TVexlinParser {
public:
  bool Parse(TVexlinBuffer &AtxBuffer, std::unique_ptr<TVexlinDataObject> &Ado) override;
  int64_t ClosingPause() const override;

  TModbusType ModbusType() const { return fType.load(std::memory_order_relaxed); }
  void SetModbusType(TModbusType type) { fType.store(type, std::memory_order_relaxed); }
  // The line speed in Bd that the RTU pause is measured in; 0 when there is
  // no line (a network transport), which leaves the 2 ms minimum.
  int32_t Baudrate() const { return fBaudrate.load(std::memory_order_relaxed); }
  void SetBaudrate(int32_t baudrate) { fBaudrate.store(baudrate, std::memory_order_relaxed); }

  // 3.5 characters of 11 bits at `baudrate`, at least 2 ms, in ArrivalNow units.
  static int64_t RtuPause(int32_t baudrate);

private:
  bool ParseRtu(TVexlinBuffer &buffer, std::unique_ptr<TVexlinDataObject> &Ado) const;
  bool ParseAscii(TVexlinBuffer &buffer, std::unique_ptr<TVexlinDataObject> &Ado) const;
  bool ParseTcp(TVexlinBuffer &buffer, std::unique_ptr<TVexlinDataObject> &Ado) const;

  std::atomic<TModbusType> fType{mbtRTU};
  std::atomic<int32_t> fBaudrate{0};
};

// Arbitrary pushes under every parser and setting: no crash, no byte lost,
// no buffer beyond the safety cap.
#include "pipeline/databinary.h"
#include "pipeline/gapparser.h"
#include "pipeline/lengthfieldparser.h"
#include "pipeline/modbusparser.h"
#include "pipeline/vexlinparser.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  constexpr size_t kHeader = 5;
  if (size < kHeader)
    return 0;
  // The first bytes choose the parser and its settings (a suffix or start
  // bytes of up to two bytes from data[3] and data[4]).
  const uint8_t kind = data[0] % 8;
  TVexlinParser::MaxLength = data[1] % 4 == 0 ? 0 : data[1] * 4;
  TVexlinParser_S97 s97;
  TVexlinParser_Length length;
  length.SetDataLength(data[2] % 40);
  TVexlinParser_Sufix sufix;
  sufix.SetSufix(QByteArray(reinterpret_cast<const char *>(data + 3), data[2] % 3));
  TVexlinParser_Modbus rtu;
  rtu.SetBaudrate(data[3] * 1200);
  TVexlinParser_Modbus ascii;
  ascii.SetModbusType(mbtASCII);
  TVexlinParser_Modbus tcp;
  tcp.SetModbusType(mbtTCP);
  TVexlinParser_Gap gap;
  gap.SetPause(int64_t{data[4]} * 100'000);
  TVexlinParser_LengthField field;
  static constexpr int32_t kSizes[] = {1, 2, 4};
  field.SetFormat({QByteArray(reinterpret_cast<const char *>(data + 3), data[2] % 3), data[4] % 16,
                   kSizes[data[4] % 3], data[4] % 2 == 0, data[3] - 128});
  TVexlinParser *parsers[] = {&s97, &length, &sufix, &rtu, &ascii, &tcp, &gap, &field};
  TVexlinParser &parser = *parsers[kind];
  // Parsers that came with the arrival stamps keep the buffer bounded by the
  // maximum length, plus at most a frame they wait for.
  const bool bounded = kind >= 3;
  const int32_t maxLength = TVexlinParser::MaxLength.load();
  const int64_t limit = maxLength > 0 ? maxLength : kParserSafetyCap;

  TVexlinBuffer buffer("Rx");
  QByteArray delivered;
  size_t at = kHeader;
  int64_t stamp = 0;
  auto parseAll = [&] {
    std::unique_ptr<TVexlinDataObject> packet;
    while (parser.Parse(buffer, packet)) {
      auto *binary = dynamic_cast<TVexlinDataBinary *>(packet.get());
      if (!binary || binary->Data.isEmpty())
        abort();
      delivered.append(binary->Data);
    }
    if (bounded && buffer.UsedSize() > limit + 1024)
      abort();
  };
  while (at < size) {
    const size_t piece = 1 + data[at] % 64;
    const size_t n = piece < size - at ? piece : size - at;
    // The piece's first byte also says how long the line was silent before it.
    stamp += int64_t{data[at]} * 50'000;
    buffer.Push(reinterpret_cast<const char *>(data + at), static_cast<qsizetype>(n), stamp);
    buffer.SetParseNow(stamp);
    at += n;
    parseAll();
  }
  // The silence after the last piece, as the timer sees it.
  buffer.SetParseNow(stamp + (int64_t{1} << 40));
  parseAll();
  QByteArray rest;
  if (buffer.UsedSize() > 0)
    buffer.Pop(rest, buffer.UsedSize());
  if (delivered + rest != QByteArray(reinterpret_cast<const char *>(data + kHeader),
                                     static_cast<qsizetype>(size - kHeader)))
    abort();
  return 0;
}

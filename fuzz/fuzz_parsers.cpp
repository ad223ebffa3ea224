// Arbitrary pushes under every parser and setting: no crash, no byte lost,
// no buffer beyond the safety cap.
#include "pipeline/databinary.h"
#include "pipeline/vexlinparser.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  constexpr size_t kHeader = 5;
  if (size < kHeader)
    return 0;
  // The first bytes choose the parser and its settings (a suffix of up to
  // two bytes from data[3] and data[4]).
  const uint8_t kind = data[0] % 3;
  TVexlinParser::MaxLength = data[1] % 4 == 0 ? 0 : data[1] * 4;
  TVexlinParser_S97 s97;
  TVexlinParser_Length length;
  length.SetDataLength(data[2] % 40);
  TVexlinParser_Sufix sufix;
  sufix.SetSufix(QByteArray(reinterpret_cast<const char *>(data + 3), data[2] % 3));
  TVexlinParser *parsers[] = {&s97, &length, &sufix};
  TVexlinParser &parser = *parsers[kind];

  TVexlinBuffer buffer("Rx");
  QByteArray delivered;
  size_t at = kHeader;
  while (at < size) {
    const size_t piece = 1 + data[at] % 64;
    const size_t n = piece < size - at ? piece : size - at;
    buffer.Push(reinterpret_cast<const char *>(data + at), static_cast<qsizetype>(n));
    at += n;
    std::unique_ptr<TVexlinDataObject> packet;
    while (parser.Parse(buffer, packet)) {
      auto *binary = dynamic_cast<TVexlinDataBinary *>(packet.get());
      if (!binary || binary->Data.isEmpty())
        abort();
      delivered.append(binary->Data);
    }
  }
  QByteArray rest;
  if (buffer.UsedSize() > 0)
    buffer.Pop(rest, buffer.UsedSize());
  if (delivered + rest != QByteArray(reinterpret_cast<const char *>(data + kHeader),
                                     static_cast<qsizetype>(size - kHeader)))
    abort();
  return 0;
}

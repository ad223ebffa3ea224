#include "pipeline/lengthfieldparser.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

// The bytes looked at for the next packet start in one call; a run of
// garbage longer than this is cut in pieces of it. Small, since garbage
// has a plausible header every few dozen bytes and each call copies it.
constexpr int32_t kScanWindow = 256;

bool StartsAt(const TLengthFieldFormat &format, const uint8_t *b) {
  return format.Start.isEmpty() ||
         std::memcmp(b, format.Start.constData(), static_cast<size_t>(format.Start.size())) == 0;
}

} // namespace

TLengthFieldFormat TVexlinParser_LengthField::Format() const {
  std::lock_guard lock(fLock);
  return fFormat;
}

void TVexlinParser_LengthField::SetFormat(const TLengthFieldFormat &format) {
  TLengthFieldFormat clean = format;
  if (clean.Size != 2 && clean.Size != 4)
    clean.Size = 1;
  clean.Offset = std::max(0, clean.Offset);
  std::lock_guard lock(fLock);
  fFormat = clean;
}

int32_t TVexlinParser_LengthField::HeaderSize(const TLengthFieldFormat &format) {
  return std::max(static_cast<int32_t>(format.Start.size()), format.Offset + format.Size);
}

int64_t TVexlinParser_LengthField::PacketLength(const TLengthFieldFormat &format,
                                                const uint8_t *header, int32_t limit) {
  if (!StartsAt(format, header))
    return -1;
  const uint8_t *field = header + format.Offset;
  uint64_t value = 0;
  for (int32_t i = 0; i < format.Size; ++i) {
    const int32_t at = format.BigEndian ? i : format.Size - 1 - i;
    value = value << 8 | field[at];
  }
  const int64_t length = static_cast<int64_t>(value) + format.Add;
  if (length < std::max(1, HeaderSize(format)) || length > limit)
    return -1;
  return length;
}

bool TVexlinParser_LengthField::Parse(TVexlinBuffer &AtxBuffer,
                                      std::unique_ptr<TVexlinDataObject> &Ado) {
  const TLengthFieldFormat format = Format();
  const int32_t limit = CutLimit();
  const int32_t header = HeaderSize(format);
  const int32_t used = AtxBuffer.UsedSize();
  if (used < header)
    return false;
  thread_local std::vector<uint8_t> window;
  const int32_t n = std::min(used, kScanWindow + header);
  window.resize(static_cast<size_t>(n));
  if (!AtxBuffer.Pop(reinterpret_cast<char *>(window.data()), n))
    return false;
  const uint8_t *b = window.data();
  if (const int64_t length = PacketLength(format, b, limit); length > 0)
    return used >= length && CutBinary(AtxBuffer, static_cast<int32_t>(length), Ado);
  // Not a packet here: the bytes up to the next place one could start go
  // as one binary row.
  for (int32_t k = 1; k + header <= n; ++k)
    if (PacketLength(format, b + k, limit) > 0)
      return CutBinary(AtxBuffer, std::min(k, limit), Ado);
  // Nothing within reach; the last bytes may still begin a header.
  const int32_t cut = n - header + 1;
  if (cut >= kScanWindow || used >= limit)
    return CutBinary(AtxBuffer, std::min(cut, limit), Ado);
  return false;
}

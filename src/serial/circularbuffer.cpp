#include "serial/circularbuffer.h"

#include <algorithm>
#include <cstring>

TAfCircularBuffer::TAfCircularBuffer(int32_t size)
    : FData(static_cast<size_t>(std::max(size, 1))), FSize(std::max(size, 1)) {}

int32_t TAfCircularBuffer::BufUsed() const {
  if (Full)
    return FSize;
  return FEnd >= FStart ? FEnd - FStart : FEnd - FStart + FSize;
}

int32_t TAfCircularBuffer::BufLinearUsed() const {
  if (Full || FEnd < FStart)
    return FSize - FStart;
  return FEnd - FStart;
}

bool TAfCircularBuffer::Write(const void *Buf, int64_t Len) {
  if (Len < 1 || Len > BufFree())
    return false;
  const auto *bytes = static_cast<const char *>(Buf);
  const int32_t len = static_cast<int32_t>(Len);
  const int32_t first = std::min(len, FSize - FEnd);
  std::memcpy(FData.data() + FEnd, bytes, static_cast<size_t>(first));
  std::memcpy(FData.data(), bytes + first, static_cast<size_t>(len - first));
  FEnd = (FEnd + len) % FSize;
  Full = FStart == FEnd;
  return true;
}

bool TAfCircularBuffer::Remove(int32_t Len) {
  if (Len < 0 || BufUsed() < Len)
    return false;
  FStart = (FStart + Len) % FSize;
  if (Len > 0)
    Full = false;
  return true;
}

void TAfCircularBuffer::Clear() {
  FStart = FEnd = 0;
  Full = false;
}

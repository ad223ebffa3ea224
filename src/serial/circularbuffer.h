#pragma once

#include <cstdint>
#include <vector>

// The write ring: a fixed byte ring that takes blocks whole or not at all.
// Not synchronised; the core guards it with its write lock.
class TAfCircularBuffer {
public:
  explicit TAfCircularBuffer(int32_t size);

  int32_t BufUsed() const;
  int32_t BufFree() const { return FSize - BufUsed(); }
  // The bytes readable in one piece from StartPtr.
  int32_t BufLinearUsed() const;
  const char *StartPtr() const { return FData.data() + FStart; }

  // All or nothing: false when `Len` is below 1 or above BufFree.
  bool Write(const void *Buf, int64_t Len);
  // Drops `Len` bytes from the front; false when fewer are held.
  bool Remove(int32_t Len);
  void Clear();

  int32_t Size() const { return FSize; }

private:
  std::vector<char> FData;
  int32_t FSize;
  int32_t FStart = 0;
  int32_t FEnd = 0;
  bool Full = false; // FStart == FEnd means full rather than empty
};

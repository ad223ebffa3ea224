#pragma once

#include <cstddef>
#include <cstdint>

// Says once when the packet list's rows pass a share of the machine's
// memory: a flood kept for minutes can take gigabytes, and the list keeps
// every row until it is cleared. Clearing the list arms it again.
class TListMemoryWatch {
public:
  // A quarter of the physical memory; none (never passed) when the system
  // does not say how much there is.
  TListMemoryWatch();

  // True exactly once, when `rowsMemory` first reaches the limit.
  bool Passed(size_t rowsMemory);
  // The list was cleared: the next pass is news again.
  void Rearm() { fWarned = false; }

  void SetLimit(uint64_t bytes) { fLimit = bytes; }
  uint64_t Limit() const { return fLimit; }

private:
  uint64_t fLimit = 0; // 0: no limit known
  bool fWarned = false;
};

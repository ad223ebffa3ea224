#include "app/listmemorywatch.h"

#include "base/physicalmemory.h"

TListMemoryWatch::TListMemoryWatch() : fLimit(PhysicalMemoryBytes() / 4) {}

bool TListMemoryWatch::Passed(size_t rowsMemory) {
  if (fWarned || fLimit == 0 || rowsMemory < fLimit)
    return false;
  fWarned = true;
  return true;
}

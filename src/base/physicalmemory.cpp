#include "base/physicalmemory.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

uint64_t PhysicalMemoryBytes() {
#ifdef _WIN32
  MEMORYSTATUSEX status{};
  status.dwLength = sizeof(status);
  return GlobalMemoryStatusEx(&status) ? status.ullTotalPhys : 0;
#else
  const long pages = sysconf(_SC_PHYS_PAGES);
  const long pageSize = sysconf(_SC_PAGE_SIZE);
  if (pages <= 0 || pageSize <= 0)
    return 0;
  return static_cast<uint64_t>(pages) * static_cast<uint64_t>(pageSize);
#endif
}

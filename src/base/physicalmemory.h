#pragma once

#include <cstdint>

// The machine's physical memory in bytes; 0 when the system does not say.
uint64_t PhysicalMemoryBytes();

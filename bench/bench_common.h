#pragma once

#include <benchmark/benchmark.h>
#include <chrono>
#include <cstddef>
#include <cstring>
#include <vector>

// memcpy throughput for blocks of `bytes` bytes, in MB/s (1 MB = 1e6 bytes),
// measured for about 50 ms on this machine at this moment. Benchmarks report
// it next to their own figures as a yardstick for the hardware.
inline double MeasureMemcpyMBps(size_t bytes) {
  if (bytes == 0) {
    return 0.0;
  }
  std::vector<char> source(bytes, 'x');
  std::vector<char> target(bytes);
  using Clock = std::chrono::steady_clock;
  const auto budget = std::chrono::milliseconds(50);
  const auto start = Clock::now();
  Clock::duration elapsed{};
  size_t copies = 0;
  do {
    for (int k = 0; k < 64; ++k) {
      std::memcpy(target.data(), source.data(), bytes);
      benchmark::DoNotOptimize(target.data());
      benchmark::ClobberMemory();
    }
    copies += 64;
    elapsed = Clock::now() - start;
  } while (elapsed < budget);
  const double seconds = std::chrono::duration<double>(elapsed).count();
  return static_cast<double>(copies) * static_cast<double>(bytes) / seconds / 1e6;
}

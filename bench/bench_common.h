#pragma once

#include <benchmark/benchmark.h>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

// A full run (PT_BENCH_FULL set) moves the full-size transfers; otherwise
// smaller ones that still show the rate, for the CI smoke run.
inline bool FullRun() {
  return std::getenv("PT_BENCH_FULL") != nullptr;
}

// An order-sensitive running checksum of a byte stream.
struct TStreamSum {
  uint64_t a = 0, b = 0, bytes = 0;
  void Add(const char *data, int64_t size) {
    for (int64_t i = 0; i < size; ++i) {
      a += static_cast<uint8_t>(data[i]);
      b += a;
    }
    bytes += static_cast<uint64_t>(size);
  }
  bool operator==(const TStreamSum &) const = default;

  // The sum of a stream made of `block` repeated until `total` bytes.
  static TStreamSum Repeated(const char *block, int64_t size, int64_t total) {
    TStreamSum sum;
    for (int64_t at = 0; at < total; at += size)
      sum.Add(block, size);
    return sum;
  }
};

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

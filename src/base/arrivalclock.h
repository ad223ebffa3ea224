#pragma once

#include <chrono>
#include <cstdint>

// When received bytes arrived: a monotonic clock in nanoseconds, read by a
// transport the moment it reads a block. Parsers that cut packets by
// silence compare these stamps, never the wall clock, so a clock change
// cannot close or merge packets.
inline int64_t ArrivalNow() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

inline constexpr int64_t kArrivalPerMs = 1'000'000;

// One block of a delivery that several reads were joined into: the bytes up
// to `End` (an offset into the delivered bytes, exclusive) that follow the
// previous block arrived at `Stamp`.
struct TArrivalMark {
  int64_t End = 0;
  int64_t Stamp = 0;
};

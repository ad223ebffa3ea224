#pragma once

// The ceiling a pty pair sets on this machine at this moment: the same
// random bytes a flood writes, carried into a reader thread that only reads.
#include "serial_support.h"
#include "window_support.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <thread>
#include <vector>

// Seconds the pair needs to carry `total` bytes into a reader thread that
// only reads; false on a broken pair.
inline bool PtyCeiling(int64_t total, double &seconds) {
  TBenchPty pty;
  if (!pty.Valid())
    return false;
  const int slave = ::open(pty.Path().toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
  if (slave < 0)
    return false;
  termios raw{};
  ::tcgetattr(slave, &raw);
  ::cfmakeraw(&raw);
  ::tcsetattr(slave, TCSANOW, &raw);
  std::atomic<int64_t> got{0};
  const auto start = std::chrono::steady_clock::now();
  std::thread reader([&] {
    std::vector<char> buffer(kPiece);
    while (got < total) {
      const ssize_t n = ::read(slave, buffer.data(), buffer.size());
      if (n <= 0 && errno != EINTR)
        break;
      if (n > 0)
        got += n;
    }
  });
  TStreamSum sent;
  WriteRandom(pty.Master(), total, sent);
  reader.join();
  seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  ::close(slave);
  return got == total;
}

// Adds the ceiling's seconds for `total` bytes to `seconds`; false, with the
// benchmark marked as failed, on a broken pair.
inline bool AddPtyCeiling(benchmark::State &state, int64_t total, double &seconds) {
  double ceiling = 0;
  if (!PtyCeiling(total, ceiling)) {
    state.SkipWithError("the reference pty pair failed");
    return false;
  }
  seconds += ceiling;
  return true;
}

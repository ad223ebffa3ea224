#pragma once

// A file size limit for the scope, the one way short of a full disk to make
// a write fail half-way without privileges: writes past the limit are cut
// short and then fail with EFBIG (the signal that would end the process is
// ignored meanwhile).
#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>

class TFileSizeLimit {
public:
  explicit TFileSizeLimit(rlim_t bytes) {
    EXPECT_EQ(getrlimit(RLIMIT_FSIZE, &fOld), 0);
    rlimit small = fOld;
    small.rlim_cur = bytes;
    fPreviousHandler = std::signal(SIGXFSZ, SIG_IGN);
    EXPECT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  }
  ~TFileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &fOld);
    std::signal(SIGXFSZ, fPreviousHandler);
  }
  TFileSizeLimit(const TFileSizeLimit &) = delete;
  TFileSizeLimit &operator=(const TFileSizeLimit &) = delete;

private:
  rlimit fOld{};
  void (*fPreviousHandler)(int) = nullptr;
};

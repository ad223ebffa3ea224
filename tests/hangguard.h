#pragma once

// Ends the test run with a message instead of letting it hang: code under
// test that may block for ever (a FIFO, /dev/zero) runs inside a guard's
// scope, and a guard not left within its time ends the process as failed.
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

class THangGuard {
public:
  THangGuard(const char *what, std::chrono::seconds limit = std::chrono::seconds(20))
      : fThread([this, what, limit] {
          std::unique_lock<std::mutex> lock(fMutex);
          if (!fLeftCondition.wait_for(lock, limit, [this] { return fLeft; })) {
            std::fprintf(stderr, "FAILED: %s did not finish within %lld s\n", what,
                         static_cast<long long>(limit.count()));
            std::fflush(stderr);
            std::_Exit(EXIT_FAILURE);
          }
        }) {}
  ~THangGuard() {
    {
      std::lock_guard<std::mutex> lock(fMutex);
      fLeft = true;
    }
    fLeftCondition.notify_all();
    fThread.join();
  }
  THangGuard(const THangGuard &) = delete;
  THangGuard &operator=(const THangGuard &) = delete;

private:
  std::mutex fMutex;
  std::condition_variable fLeftCondition;
  bool fLeft = false;
  std::thread fThread;
};

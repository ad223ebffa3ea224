#pragma once

#include "connections/hostresolver.h"

#include <atomic>
#include <mutex>
#include <vector>

// A resolver that answers only when the test says so (or never): a DNS that
// hangs, without asking any real DNS.
class TManualResolver : public THostResolver {
public:
  void Lookup(const QString &host, std::function<void(TLookupResult)> done) override {
    std::lock_guard lock(fLock);
    fHosts.push_back(host);
    fPending.push_back(std::move(done));
  }
  // Answers every lookup asked so far.
  void Answer(const TLookupResult &result) {
    std::vector<std::function<void(TLookupResult)>> pending;
    {
      std::lock_guard lock(fLock);
      pending.swap(fPending);
    }
    for (auto &done : pending)
      done(result);
  }
  std::vector<QString> Hosts() const {
    std::lock_guard lock(fLock);
    return fHosts;
  }

private:
  mutable std::mutex fLock;
  std::vector<QString> fHosts;
  std::vector<std::function<void(TLookupResult)>> fPending;
};

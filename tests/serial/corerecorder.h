#pragma once

// Records what a core reports from its event thread.
#include "serial/comportcore.h"

#include <algorithm>
#include <mutex>
#include <vector>

class TCoreRecorder {
public:
  struct TSeen {
    TAfCoreEvent Kind;
    uint32_t Data;
  };

  void Attach(TAfComPortCore &core) {
    core.SetOnPortEvent([this](TAfComPortCore &, const TAfPortEvent &event) {
      std::lock_guard lock(fLock);
      fSeen.push_back({event.Kind, event.Data});
    });
  }
  std::vector<TSeen> Seen() const {
    std::lock_guard lock(fLock);
    return fSeen;
  }
  int Count(TAfCoreEvent kind, uint32_t mask = 0) const {
    std::lock_guard lock(fLock);
    return int(std::count_if(fSeen.begin(), fSeen.end(), [&](const TSeen &s) {
      return s.Kind == kind && (mask == 0 || (s.Data & mask));
    }));
  }

private:
  mutable std::mutex fLock;
  std::vector<TSeen> fSeen;
};

#pragma once

#include "pipeline/vexlinparser.h"

#include <atomic>

// Packets framed by silence: a packet ends where no byte arrived for the
// pause. The parser only compares the arrival stamps the buffer carries with
// each other and with the buffer's ParseNow, so it is deterministic; a
// packet still open when the pause has passed is closed by the receiving
// side's timer running it again (ClosingPause). A packet that reaches the
// maximum length is cut there.
class TVexlinParser_Gap : public TVexlinParser {
public:
  bool Parse(TVexlinBuffer &AtxBuffer, std::unique_ptr<TVexlinDataObject> &Ado) override;
  int64_t ClosingPause() const override { return Pause(); }

  // The pause in ArrivalNow units (nanoseconds); 0 makes every block a packet.
  int64_t Pause() const { return fPause.load(std::memory_order_relaxed); }
  void SetPause(int64_t pause) {
    fPause.store(std::max<int64_t>(0, pause), std::memory_order_relaxed);
  }

private:
  std::atomic<int64_t> fPause{5'000'000};
};

#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <bitset>
#include <cstdint>

// The data side of a telnet session that wants nothing from its peer: every
// option the peer proposes is refused (once per option), command sequences
// are dropped and the data bytes are handed on. The state carries over from
// block to block, so a command split across two reads is still understood.
class TTelnetFilter {
public:
  // Appends the data bytes of `block` to `data` and what we owe the peer
  // (IAC DONT / IAC WONT) to `reply`.
  void Feed(QByteArrayView block, QByteArray &data, QByteArray &reply);
  void Reset() { *this = TTelnetFilter(); }

private:
  enum class TState : uint8_t { Data, Command, Option, Sub, SubCommand };
  void Refuse(uint8_t verb, uint8_t option, QByteArray &reply);

  TState fState = TState::Data;
  uint8_t fVerb = 0;
  std::bitset<256> fRefusedDo;   // options we said WONT to
  std::bitset<256> fRefusedWill; // options we said DONT to
};

#include "netutils/telnetfilter.h"

namespace {

constexpr uint8_t kIac = 255;
constexpr uint8_t kDont = 254;
constexpr uint8_t kDo = 253;
constexpr uint8_t kWont = 252;
constexpr uint8_t kWill = 251;
constexpr uint8_t kSb = 250;
constexpr uint8_t kSe = 240;

} // namespace

void TTelnetFilter::Refuse(uint8_t verb, uint8_t option, QByteArray &reply) {
  // Answering a request for the state we are already in again would let a
  // peer keep us writing; each option is refused once.
  if (verb == kDo && !fRefusedDo[option]) {
    fRefusedDo.set(option);
    reply.append(char(kIac)).append(char(kWont)).append(char(option));
  } else if (verb == kWill && !fRefusedWill[option]) {
    fRefusedWill.set(option);
    reply.append(char(kIac)).append(char(kDont)).append(char(option));
  }
}

void TTelnetFilter::Feed(QByteArrayView block, QByteArray &data, QByteArray &reply) {
  for (char ch : block) {
    const auto byte = static_cast<uint8_t>(ch);
    switch (fState) {
    case TState::Data:
      if (byte == kIac)
        fState = TState::Command;
      else
        data.append(ch);
      break;
    case TState::Command:
      if (byte == kIac) {
        data.append(ch); // an escaped 0xFF data byte
        fState = TState::Data;
      } else if (byte >= kWill) {
        fVerb = byte;
        fState = TState::Option;
      } else if (byte == kSb) {
        fState = TState::Sub;
      } else {
        fState = TState::Data; // NOP, GA and the other one-byte commands
      }
      break;
    case TState::Option:
      Refuse(fVerb, byte, reply);
      fState = TState::Data;
      break;
    case TState::Sub:
      if (byte == kIac)
        fState = TState::SubCommand;
      break;
    case TState::SubCommand:
      fState = byte == kSe ? TState::Data : TState::Sub;
      break;
    }
  }
}

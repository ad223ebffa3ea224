#include "pipeline/vexlinparser.h"

#include "pipeline/databinary.h"
#include "pipeline/datapelmar97.h"
#include "pipeline/packetpool.h"

std::atomic<int32_t> TVexlinParser::MaxLength{5};

namespace {

const QByteArray kFrameStart("\x2A\x61", 2);

} // namespace

bool TVexlinParser::CutBinary(TVexlinBuffer &buffer, int32_t count,
                              std::unique_ptr<TVexlinDataObject> &Ado) {
  if (count < 1 || buffer.UsedSize() < count)
    return false;
  char *write = nullptr;
  QByteArray bytes = PacketPool::Bytes(count, write);
  if (!buffer.Pop(write, count))
    return false;
  Ado = std::make_unique<TVexlinDataBinary>(std::move(bytes), spRx);
  buffer.Eat(count);
  return true;
}

bool TVexlinParser::CutOverflow(TVexlinBuffer &buffer, int32_t limit,
                                std::unique_ptr<TVexlinDataObject> &Ado) {
  return buffer.UsedSize() >= limit && CutBinary(buffer, kParserSafetyCut, Ado);
}

bool TVexlinParser::Parse(TVexlinBuffer &AtxBuffer, std::unique_ptr<TVexlinDataObject> &Ado) {
  const int32_t maxLength = MaxLength.load(std::memory_order_relaxed);
  if (maxLength > 0)
    return AtxBuffer.UsedSize() >= maxLength && CutBinary(AtxBuffer, maxLength, Ado);
  // The cut is switched off; the safety cap still bounds the buffer.
  return CutOverflow(AtxBuffer, kParserSafetyCap, Ado);
}

bool TVexlinParser_S97::Parse(TVexlinBuffer &AtxBuffer, std::unique_ptr<TVexlinDataObject> &Ado) {
  const int32_t p = AtxBuffer.FindString(kFrameStart);
  if (p == 0) {
    uint8_t h[4];
    if (AtxBuffer.Pop(reinterpret_cast<char *>(h), 4)) {
      const int32_t n = ((h[2] << 8) | h[3]) + 4;
      if (AtxBuffer.UsedSize() < n)
        return false; // incomplete: wait for the rest, however long it is
      char *write = nullptr;
      QByteArray frame = PacketPool::Bytes(n, write);
      if (!AtxBuffer.Pop(write, n))
        return false;
      Ado = std::make_unique<TVexlinDataBinary_Pelmar97>(std::move(frame), spRx);
      AtxBuffer.Eat(n);
      return true;
    }
  } else if (p > 0) {
    return CutBinary(AtxBuffer, p, Ado);
  }
  return TVexlinParser::Parse(AtxBuffer, Ado);
}

bool TVexlinParser_Length::Parse(TVexlinBuffer &AtxBuffer,
                                 std::unique_ptr<TVexlinDataObject> &Ado) {
  const int32_t length = DataLength();
  if (length > 0 && length <= kParserSafetyCap)
    return AtxBuffer.UsedSize() >= length && CutBinary(AtxBuffer, length, Ado);
  // Switched off, or a length beyond the cap: only the safety cut applies.
  return CutOverflow(AtxBuffer, kParserSafetyCap, Ado);
}

QByteArray TVexlinParser_Sufix::Sufix() const {
  std::lock_guard lock(fLock);
  return fSufix;
}

void TVexlinParser_Sufix::SetSufix(const QByteArray &value) {
  std::lock_guard lock(fLock);
  fSufix = value;
}

bool TVexlinParser_Sufix::Parse(TVexlinBuffer &AtxBuffer, std::unique_ptr<TVexlinDataObject> &Ado) {
  const QByteArray sufix = Sufix();
  const int32_t p = AtxBuffer.FindString(sufix);
  if (p >= 0)
    return CutBinary(AtxBuffer, p + static_cast<int32_t>(sufix.size()), Ado);
  // No terminator anywhere. The last bytes may be the start of one, so the
  // cap counts only what lies before them.
  const int32_t keep = qMax<int32_t>(0, static_cast<int32_t>(sufix.size()) - 1);
  return CutOverflow(AtxBuffer, kParserSafetyCap + keep, Ado);
}

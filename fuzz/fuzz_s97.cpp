// Pelmar 97 decoding and checking over arbitrary bytes. A packet that passes
// the check and is at least a minimal frame must decode, and encoding its
// fields must give the packet back.
#include "base/pterror.h"
#include "codecs/pelmar97.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const QByteArrayView packet(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
  const uint16_t check = sCheck_S97(packet);
  if (check > 6) {
    std::abort();
  }

  bool decoded = false;
  TPelmarFormat97 frame;
  try {
    frame = sDecode_S97(packet);
    decoded = true;
  } catch (const EPtError &) {
  }
  if (decoded && (frame.NUM + 4u > size || frame.DATA.size() != std::max(0, frame.NUM - 5))) {
    std::abort();
  }

  if (check == 0 && packet.size() >= uPelmar97::MinFrameLength) {
    if (!decoded) {
      std::abort();
    }
    const QByteArray again =
        sEncode_S97(static_cast<uint8_t>(frame.ADR), frame.SIG, frame.INST_ACK, frame.DATA);
    if (again != packet || frame.SUMA != sCountCRC(packet.first(size - 2))) {
      std::abort();
    }
  }
  return 0;
}

#include "pipeline/gapparser.h"

bool TVexlinParser_Gap::Parse(TVexlinBuffer &AtxBuffer, std::unique_ptr<TVexlinDataObject> &Ado) {
  const int32_t limit = CutLimit();
  const int32_t end = AtxBuffer.PauseOffset(Pause(), limit);
  if (end > 0)
    return CutBinary(AtxBuffer, end, Ado);
  return AtxBuffer.UsedSize() >= limit && CutBinary(AtxBuffer, limit, Ado);
}

// The saved-log time reader over arbitrary text: the non-raising mode never
// raises, the raising mode raises only EPtError, and both agree.
#include "base/pterror.h"
#include "base/utils.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const QString text =
      QString::fromUtf8(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));

  TDateTime quiet = -12345;
  const bool ok = IsoDateTimeToDateTime(text, quiet, true);
  if (ok ? !std::isfinite(quiet) : quiet != -12345)
    std::abort();

  TDateTime loud = -12345;
  bool raised = false;
  bool loudOk = false;
  try {
    loudOk = IsoDateTimeToDateTime(text, loud, false);
  } catch (const EPtError &) {
    raised = true;
  }
  if (raised ? ok : (loudOk != ok || (ok && loud != quiet)))
    std::abort();

  uint16_t word = 7;
  if (!TryStrToWord(text, word) && word != 7)
    std::abort();
  return 0;
}

#include "serial/comerrors.h"

#include "serial/comdcb.h"

#include <QStringList>
#include <utility>

bool AfIsSilentAbort(const std::exception_ptr &error) {
  try {
    std::rethrow_exception(error);
  } catch (const EAfSilentAbort &) {
    return true;
  } catch (...) {
    return false;
  }
}

QString AfErrorText(const std::exception_ptr &error) {
  try {
    std::rethrow_exception(error);
  } catch (const std::exception &e) {
    return ExceptionText(e);
  } catch (...) {
    return QStringLiteral("Unknown error");
  }
}

QString AfLineErrorText(uint32_t errors) {
  static constexpr std::pair<uint32_t, const char *> kWords[] = {
      {CE_IOE, "the line hung up (the far end closed it or the device was removed)"},
      {CE_RXOVER, "input buffer overflow"},
      {CE_OVERRUN, "overrun, bytes lost"},
      {CE_RXPARITY, "parity error"},
      {CE_FRAME, "framing error"},
      {CE_BREAK, "break received"},
  };
  QStringList words;
  for (const auto &[bit, text] : kWords)
    if (errors & bit)
      words << QLatin1String(text);
  if (words.isEmpty())
    words << QStringLiteral("unknown error");
  return QStringLiteral("Serial port data error: %1 (%2)")
      .arg(words.join(QStringLiteral(", ")))
      .arg(errors);
}

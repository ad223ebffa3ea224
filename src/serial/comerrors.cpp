#include "serial/comerrors.h"

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

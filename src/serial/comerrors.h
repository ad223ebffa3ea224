#pragma once

#include "base/pterror.h"

#include <exception>

// Raised by the engine core when a device cannot be opened or configured.
class EAfComPortCoreError : public EPtError {
public:
  using EPtError::EPtError;
};

// Raised by the port component; the text ends with " - " + the component's name.
class EAfComPortError : public EPtError {
public:
  using EPtError::EPtError;
};

// Ends the delivery of an event without telling anybody: the receiver is gone.
class EAfSilentAbort : public std::exception {
public:
  const char *what() const noexcept override { return "silent abort"; }
};

bool AfIsSilentAbort(const std::exception_ptr &error);

// The text of any error, for the error display.
QString AfErrorText(const std::exception_ptr &error);

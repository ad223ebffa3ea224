#pragma once

#include "base/pterror.h"

#include <cstdint>
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

// The log line for line-error bits (CE_*): the design's "Serial port data
// error: " followed by what happened in words and the bits in decimal, e.g.
// "Serial port data error: the line hung up (the far end closed it or the
// device was removed) (1024)".
QString AfLineErrorText(uint32_t errors);

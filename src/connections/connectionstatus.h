#pragma once

#include <cstdint>

// What a connection reports. The numeric values are part of the contract of
// the status notification. Values 1 to 4 are states, stored in the
// connection; the others are events, passed on and never stored.
enum TVexlinConnectionStatus : uint8_t {
  tcsUnknown = 0,
  tcsConnecting = 1,
  tcsConnect = 2,
  tcsDisconnecting = 3,
  tcsDisconnect = 4,
  tcsRxData = 5,
  tcsError = 6,
  tcsPropertyChange = 7,
  tcsStatusText = 8,
  // Something went wrong without ending the connection (data lost, say).
  tcsWarning = 9,
};

constexpr bool IsConnectionState(TVexlinConnectionStatus status) {
  return status >= tcsConnecting && status <= tcsDisconnect;
}

#pragma once

#include "codecs/modbus.h"

#include <QByteArray>
#include <exception>
#include <functional>
#include <optional>

class TAfCustomSerialPort;
class TVexlinConnection;

// Sends a block as the command line does: its Tx row first (made even with
// nothing open, so the log shows what was meant), then the block to the
// network connection and to the serial port, whichever are open. A refused
// block (unknown host, full write ring) goes to `onError` and never escapes.
// With `modbus`, a block that is a whole Modbus frame of that type is shown
// as a Modbus row.
void SendToTransports(const QByteArray &data, TVexlinConnection *connection,
                      TAfCustomSerialPort *port,
                      const std::function<void(const std::exception &)> &onError,
                      std::optional<TModbusType> modbus = std::nullopt);

#include "connections/transportsend.h"

#include "connections/vexlinconnection.h"
#include "pipeline/datamodbus.h"
#include "serial/customserialport.h"

void SendToTransports(const QByteArray &data, TVexlinConnection *connection,
                      TAfCustomSerialPort *port,
                      const std::function<void(const std::exception &)> &onError,
                      std::optional<TModbusType> modbus) {
  NewSentRow(data, modbus)->Push();
  if (connection) {
    try {
      connection->Send(data);
    } catch (const std::exception &error) {
      onError(error);
    }
  }
  if (port && port->Active()) {
    try {
      port->WriteString(data);
    } catch (const std::exception &error) {
      onError(error);
    }
  }
}

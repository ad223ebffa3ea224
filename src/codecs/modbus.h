#pragma once

// Modbus requests for the protocol panel. Results are text whose characters
// carry byte values 0 to 255; the caller sends one byte per character.

#include <QByteArrayView>
#include <QString>
#include <cstdint>

enum TModbusType : uint8_t { mbtRTU = 0, mbtTCP = 1, mbtASCII = 2 };

// Function codes. The odd spelling of MOSBUS_INST_Get_Com_Event_Counter is
// the established name and is kept so existing code finds it.
inline constexpr uint8_t MODBUS_INST_Read_Coils = 0x01;
inline constexpr uint8_t MODBUS_INST_Read_Discrete_Inputs = 0x02;
inline constexpr uint8_t MODBUS_INST_Read_Holding_Registers = 0x03;
inline constexpr uint8_t MODBUS_INST_Read_Input_Registers = 0x04;
inline constexpr uint8_t MODBUS_INST_Write_Single_Coil = 0x05;
inline constexpr uint8_t MODBUS_INST_Write_Single_Register = 0x06;
inline constexpr uint8_t MODBUS_INST_Read_Exception_Status = 0x07;
inline constexpr uint8_t MODBUS_INST_Diagnostics = 0x08;
inline constexpr uint8_t MOSBUS_INST_Get_Com_Event_Counter = 0x0B;
inline constexpr uint8_t MODBUS_INST_Get_Com_Event_Log = 0x0C;
inline constexpr uint8_t MODBUS_INST_Write_Multiple_Coils = 0x0F;
inline constexpr uint8_t MODBUS_INST_Write_Multiple_Registers = 0x10;
inline constexpr uint8_t MODBUS_INST_Report_Slave_ID = 0x11;
inline constexpr uint8_t MODBUS_INST_Read_File_Record = 0x14;
inline constexpr uint8_t MODBUS_INST_Write_File_Record = 0x15;
inline constexpr uint8_t MODBUS_INST_Mask_Write_Register = 0x16;
inline constexpr uint8_t MODBUS_INST_Read_Write_Multiple_Registers = 0x17;
inline constexpr uint8_t MODBUS_INST_Read_FIFO_Queue = 0x18;
inline constexpr uint8_t MODBUS_INST_Encapsulated_Interface_Transport = 0x2B;

// Exception codes; MODBUS_ACK_Acknowlidge and MODBUS_ACK_Device_Bussy keep
// their established spellings.
inline constexpr uint8_t MODBUS_ACK_Illegal_Function = 0x01;
inline constexpr uint8_t MODBUS_ACK_Illegal_Data_Address = 0x02;
inline constexpr uint8_t MODBUS_ACK_Illegal_Data_Value = 0x03;
inline constexpr uint8_t MODBUS_ACK_Slave_Device_Failure = 0x04;
inline constexpr uint8_t MODBUS_ACK_Acknowlidge = 0x05;
inline constexpr uint8_t MODBUS_ACK_Device_Bussy = 0x06;
inline constexpr uint8_t MODBUS_ACK_Memory_Parity_Error = 0x08;
inline constexpr uint8_t MODBUS_ACK_Gateway_Path_Unavailable = 0x0A;
inline constexpr uint8_t MODBUS_ACK_Gateway_Target_Device_Failed_To_Respond = 0x0B;

// Modbus RTU CRC-16 (initial 0xFFFF, reflected polynomial 0xA001) of bytes.
uint16_t ModbusCRC16(QByteArrayView data);

// Modbus ASCII LRC: the two's complement of the 8-bit sum of the bytes.
uint8_t ModbusLRC(QByteArrayView data);

// The value of an ASCII frame's hexadecimal digit (either case), -1 for any
// other character.
int ModbusHexDigit(uint8_t c);

// An ASCII frame of a message (unit id and PDU): ":", the message and its LRC
// as upper-case hexadecimal pairs, CR LF.
QByteArray ModbusAsciiFrame(QByteArrayView message);

// The bytes an ASCII frame's hexadecimal pairs stand for, the LRC last. False
// (and `bytes` empty) when the frame is not ":", a positive even number of
// hexadecimal digits (either case) and CR LF.
bool ModbusAsciiBytes(QByteArrayView frame, QByteArray &bytes);

// The CRC of msg's characters as two characters, low byte first. Raises
// EPtError when a character is above 255.
QString crc16string(const QString &msg);

// "Read Discrete Inputs" (function 2) for inputs numbered from 10001.
// Address - 10001 and Count are sent as 16-bit values and wrap: address 10000
// gives the offset 0xFFFF. RTU adds the device address in front and the CRC
// behind; ASCII frames the same message with ":", its LRC and CR LF; TCP
// gives the bare request without a TCP header. Raises EPtError for any other
// ModBusType.
QString MODBUS_EncodeReadDigitalInput(int32_t Address, int32_t Count, TModbusType ModBusType,
                                      uint8_t DeviceAddress);

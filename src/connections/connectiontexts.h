#pragma once

#include "connections/connectionstatus.h"
#include "pipeline/vexlinview.h"

#include <QString>

class TVexlinConnection;

// Fixed texts of the connections and of the main window's connection lines.
inline const QString kTcpClientDescription = QStringLiteral("TCP/IP client socket");
inline const QString kUdpDescription = QStringLiteral("UDP module");
inline const QString kNewDataText = QStringLiteral("New data");
inline const QString kCaptionConnect = QStringLiteral("Connect");
inline const QString kCaptionDisconnect = QStringLiteral("Disconnect");
inline const QString kCaptionStart = QStringLiteral("Start");
inline const QString kCaptionStop = QStringLiteral("Stop");
// The TCP and UDP buttons' captions for a running or a stopped connection.
inline QString TcpButtonCaption(bool running) {
  return running ? kCaptionDisconnect : kCaptionConnect;
}
inline QString UdpButtonCaption(bool running) {
  return running ? kCaptionStop : kCaptionStart;
}

// Colours with red in the low byte.
constexpr TColor kColorTeal = 0x808000;    // (0, 128, 128)
constexpr TColor kColorGreen = 0x008000;   // (0, 128, 0)
constexpr TColor kColorMaroon = 0x000080;  // (128, 0, 0)
constexpr TColor kColorRed = 0x0000FF;     // (255, 0, 0)
constexpr TColor kColorFuchsia = 0xFF00FF; // (255, 0, 255)
constexpr TColor kColorNavy = 0x800000;    // (0, 0, 128)
constexpr TColor kColorBlack = 0x000000;

// "XXX " + message: the error of a block that was queued but not sent.
QString QueuedSendErrorText(const QString &message);
QString NotConnectedText(int32_t byteCount);
// Prefix of the red line a failed connect or start button action writes:
// "Chyba: " in the program's language.
QString ErrorLinePrefix();
// ErrorLinePrefix() + message, shown in red.
QString ErrorLineText(const QString &message);
// The serial port's lines: "Serial port open (<settings>)" in green and
// "Serial port close" in maroon.
QString SerialPortOpenText(const QString &settings);
inline const QString kSerialPortCloseText = QStringLiteral("Serial port close");

// The line and colour the main window logs and shows for a status:
// description + " - " + the status text of the table.
struct TConnectionStatusLine {
  QString line;
  TColor color = kColorTeal;
};
TConnectionStatusLine ConnectionStatusLine(const TVexlinConnection &connection,
                                           TVexlinConnectionStatus status,
                                           const QString &AStatusText);

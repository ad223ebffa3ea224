#pragma once

#include "pipeline/lengthfieldparser.h"
#include "pipeline/responderstore.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <cstdint>

class QCommandLineParser;

// Where a capture without a window reads from.
struct TCaptureTarget {
  enum TKind { Serial, Tcp, Udp } kind = Serial;
  // serial:PATH[:SPEED[,PARITY,DATA,STOP]]
  QString path;
  uint32_t speed = 9600;
  char parity = 'N'; // N, O, E, M or S
  int dataBits = 8;
  QString stopBits = QStringLiteral("1"); // "1", "1.5" or "2"
  // tcp:HOST:PORT, and the remote end of udp:LISTENPORT[:REMOTEHOST:REMOTEPORT]
  QString host;
  int port = 0;
  int listenPort = 0;
};

// Everything "--capture" runs with.
struct TCaptureOptions {
  TCaptureTarget target;
  enum TParser { S97, Suffix, Length, ModbusRtu, ModbusAscii, ModbusTcp, Gap, LengthField };
  TParser parser = S97;
  QByteArray suffix;              // Suffix: the bytes that end a packet
  int length = 0;                 // Length: the bytes of every packet
  int gapMs = 5;                  // Gap: the silence that ends a packet
  TLengthFieldFormat lengthField; // LengthField: where a packet says how long it is
  int maxLength = 1024;
  QString log = QStringLiteral("-"); // a file name, or "-" for standard output
  QList<QByteArray> sends;           // command texts already turned into bytes
  int intervalMs = 1000;
  // --respond FILE: answer by the rules and the device of that file.
  bool respond = false;
  TResponderSettings responder;
  // How far the log may fall behind the transport, in received bytes,
  // before reading pauses; not a command-line option.
  int64_t backlogBytes = 8 * 1024 * 1024;
};

// The options of the capture mode, added to the program's parser. "--send"
// is among them: with "--capture" it takes command text.
void AddCaptureOptions(QCommandLineParser &parser);
bool CaptureRequested(const QCommandLineParser &parser);
// Reads and checks the capture options of a parsed command line; false with
// `error` saying which value is wrong.
bool ReadCaptureOptions(const QCommandLineParser &parser, TCaptureOptions &options, QString *error);
// One target ("serial:/dev/ttyUSB0:115200,E,8,1", "tcp:[::1]:10001", ...).
bool ParseCaptureTarget(const QString &text, TCaptureTarget &target, QString *error);
// The FIELD of "--parser lenfield:FIELD": comma-separated offset=N, size=1|2|4,
// order=be|le, add=N (may be negative) and start=HEX, any of them, in any
// order ("offset=2,size=2,add=4,start=AA55"); what is not given keeps
// offset 0, size 1, big-endian, add 0 and no start bytes.
bool ParseLengthFieldSpec(const QString &text, TLengthFieldFormat &format, QString *error);

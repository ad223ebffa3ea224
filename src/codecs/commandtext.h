#pragma once

// Command text: one line of 8-bit text (Windows-1250 bytes) that describes a
// byte string. Printable characters stand for themselves; "\n" and "\r" (either
// case) give 0x0A and 0x0D, any other backslash gives itself; a group in
// braces lists numbers, e.g. "AT{0x0D}", "{13,10}", "{$0D,0A}", "{14h,81h}".
//
// Positions passed to and returned by FindStringEndChar count from 1, with 0
// meaning "not found", as everywhere the command text is edited.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <functional>

// Receives the message of a conversion problem that is not raised.
using TCommandTextMessageSink = std::function<void(const QString &)>;

// Converts command text to bytes. A group without its closing brace raises
// EPtError("End character \"}\" not found in \"<AData>\" !") when ExRaise is
// true; otherwise the message goes to onMessage (when given), the "{" is
// dropped and conversion goes on with the next character. Errors inside a
// group ("'$' is not a valid integer value") are always raised.
QByteArray ConvertToBinnaryEx(QByteArrayView AData, bool ExRaise,
                              const TCommandTextMessageSink &onMessage = {});

// The position (from 1) of the first AChar at or after APos that is not
// enclosed in parentheses, or 0. An unmatched "(" on the way gives 0.
// Raises EPtError for APos below 1.
qsizetype FindStringEndChar(QByteArrayView AData, qsizetype APos, char AChar);

// Converts the text between a group's braces to bytes.
QByteArray ConvertCommands(QByteArrayView AData);

// Each byte as two upper-case hexadecimal digits: 0D 0A gives "0D0A".
QString BinStrToHex(QByteArrayView Data);

// Reads pairs of hexadecimal digits; an odd last character is ignored. A pair
// that is not two hexadecimal digits raises EPtError
// "'$<pair>' is not a valid integer value".
QByteArray HexToBinStr(const QString &Hex);

// Whole pairs of hexadecimal digits and nothing else ("0D0a"): false for an
// empty text, an odd digit or any other character.
bool HexPairsToBin(const QString &Hex, QByteArray &bytes);

#pragma once

#include <QByteArray>
#include <QString>

// The program's 8-bit "ANSI" text is Windows-1250 on every platform, so saved
// logs and typed command text stay exchangeable with Windows installations.

// UTF-16 text to Windows-1250; characters without a mapping become '?'
// (a surrogate pair becomes a single '?').
QByteArray AnsiFromText(const QString &text);

// Windows-1250 bytes to UTF-16. Every byte maps to one character; the five
// bytes the code page leaves undefined map to the C1 controls of the same
// value, as Windows does, so bytes survive a round trip.
QString TextFromAnsi(const char *data, qsizetype size);
inline QString TextFromAnsi(const QByteArray &bytes) {
  return TextFromAnsi(bytes.constData(), bytes.size());
}

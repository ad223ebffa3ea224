#pragma once

#include <QString>
#include <stdexcept>
#include <string>

// The error raised by conversion and decoding routines. It carries the text
// shown to the user (in a log line, a message box or a balloon hint). The
// text is kept whole: a NUL character in it is shown as "\0" rather than
// ending the text, since what() is a C string.
class EPtError : public std::runtime_error {
public:
  explicit EPtError(const QString &message);
  explicit EPtError(const char *message);

  QString Message() const { return QString::fromUtf8(what()); }

  // The text as it is shown: every character kept, NUL written as "\0".
  static QString ShownText(const QString &message);
};

// The text of any error, as shown to the user.
inline QString ExceptionText(const std::exception &error) {
  return QString::fromUtf8(error.what());
}

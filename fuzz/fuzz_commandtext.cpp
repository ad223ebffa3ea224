// Command text conversion over arbitrary bytes: no crash, no undefined
// behaviour, only EPtError; the group search must agree with a plain
// recursive reading of the nesting rules.
#include "base/pterror.h"
#include "codecs/commandtext.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

// One nested scan per "(", exactly as the rules read. Only used on short
// inputs so the recursion stays shallow.
qsizetype RecursiveEnd(const QByteArray &text, qsizetype pos, char endChar) {
  for (qsizetype i = pos; i <= text.size(); ++i) {
    const char c = text[i - 1];
    if (c == '(') {
      const qsizetype close = RecursiveEnd(text, i + 1, ')');
      if (close == 0) {
        return 0;
      }
      i = close;
    } else if (c == endChar) {
      return i;
    }
  }
  return 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const QByteArray text(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));

  QByteArray strict;
  bool strictOk = false;
  try {
    strict = ConvertToBinnaryEx(text, true);
    strictOk = true;
  } catch (const EPtError &) {
  }

  int messages = 0;
  try {
    const QByteArray lenient =
        ConvertToBinnaryEx(text, false, [&messages](const QString &) { ++messages; });
    // Without an unclosed group both modes must agree.
    if (strictOk && (messages != 0 || lenient != strict)) {
      std::abort();
    }
  } catch (const EPtError &) {
    // A bad number inside a group is raised in both modes.
    if (strictOk) {
      std::abort();
    }
  }

  try {
    const QByteArray bytes = HexToBinStr(QString::fromLatin1(text));
    if (bytes.size() != text.size() / 2 || HexToBinStr(BinStrToHex(bytes)) != bytes) {
      std::abort();
    }
  } catch (const EPtError &) {
  }

  try {
    (void)ConvertCommands(text);
  } catch (const EPtError &) {
  }

  // Group search: iterative result equals the recursive reading.
  const qsizetype starts = size <= 512 ? text.size() + 1 : 1;
  for (qsizetype pos = 1; pos <= starts; ++pos) {
    for (const char endChar : {'}', ')'}) {
      const qsizetype found = FindStringEndChar(text, pos, endChar);
      if (size <= 512 && found != RecursiveEnd(text, pos, endChar)) {
        std::abort();
      }
    }
  }
  return 0;
}

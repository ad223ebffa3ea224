#include "pipeline/bytefinder.h"

#include "base/ansicodepage.h"
#include "base/languagetext.h"
#include "base/pterror.h"
#include "codecs/commandtext.h"

#include <QRegularExpression>
#include <cstring>

namespace {

// Lower case of every Windows-1250 byte, so "Č" and "č" are one letter.
std::array<uint8_t, 256> FoldTable() {
  std::array<uint8_t, 256> fold{};
  for (int b = 0; b < 256; ++b) {
    const char byte = static_cast<char>(b);
    const QString lower = TextFromAnsi(&byte, 1).toLower();
    const QByteArray back = AnsiFromText(lower);
    fold[b] = back.size() == 1 && back[0] != '?' ? static_cast<uint8_t>(back[0])
                                                 : static_cast<uint8_t>(b);
  }
  return fold;
}

} // namespace

std::optional<TByteFinder> TByteFinder::FromText(const QString &text, TMode mode, bool ignoreCase,
                                                 QString *error) {
  auto fail = [error](const QString &why) -> std::optional<TByteFinder> {
    if (error)
      *error = why;
    return std::nullopt;
  };
  QByteArray bytes;
  switch (mode) {
  case TMode::Hex: {
    QString digits = text;
    digits.remove(QRegularExpression(QStringLiteral("[\\s,;:-]")));
    if (digits.size() % 2 != 0)
      return fail(LanguageText(QStringLiteral("FindOddDigits"),
                               QStringLiteral("Lichý počet šestnáctkových číslic")));
    bool ok = true;
    for (qsizetype i = 0; ok && i < digits.size(); i += 2)
      bytes.append(static_cast<char>(digits.mid(i, 2).toUInt(&ok, 16)));
    if (!ok)
      return fail(LanguageText(QStringLiteral("FindBadDigit"),
                               QStringLiteral("Neplatná šestnáctková číslice")));
    ignoreCase = false;
    break;
  }
  case TMode::Text:
    bytes = AnsiFromText(text);
    break;
  case TMode::Command:
    try {
      bytes = ConvertToBinnaryEx(AnsiFromText(text), true);
    } catch (const EPtError &e) {
      return fail(e.Message());
    }
    ignoreCase = false;
    break;
  }
  if (bytes.isEmpty())
    return fail(LanguageText(QStringLiteral("FindNothing"), QStringLiteral("Není co hledat")));
  return TByteFinder(bytes, ignoreCase);
}

TByteFinder::TByteFinder(QByteArray pattern, bool ignoreCase)
    : fPattern(std::move(pattern)), fIgnoreCase(ignoreCase) {
  if (fIgnoreCase) {
    static const std::array<uint8_t, 256> fold = FoldTable();
    fFold = fold;
    for (char &c : fPattern)
      c = static_cast<char>(fFold[static_cast<uint8_t>(c)]);
  }
}

bool TByteFinder::MatchesAt(const uint8_t *at) const {
  const auto *p = reinterpret_cast<const uint8_t *>(fPattern.constData());
  for (qsizetype i = 0; i < fPattern.size(); ++i)
    if (fFold[at[i]] != p[i])
      return false;
  return true;
}

qsizetype TByteFinder::IndexIn(QByteArrayView haystack, qsizetype from) const {
  const qsizetype n = fPattern.size();
  if (from < 0 || haystack.size() - from < n)
    return -1;
  const auto *begin = reinterpret_cast<const uint8_t *>(haystack.data());
  if (!fIgnoreCase) {
    const void *hit = memmem(begin + from, static_cast<size_t>(haystack.size() - from),
                             fPattern.constData(), static_cast<size_t>(n));
    return hit ? static_cast<const uint8_t *>(hit) - begin : -1;
  }
  for (qsizetype i = from; i + n <= haystack.size(); ++i)
    if (MatchesAt(begin + i))
      return i;
  return -1;
}

qsizetype TByteFinder::LastIndexIn(QByteArrayView haystack, qsizetype before) const {
  qsizetype last = -1;
  for (qsizetype at = IndexIn(haystack, 0); at >= 0 && at < before; at = IndexIn(haystack, at + 1))
    last = at;
  return last;
}

qsizetype TByteFinder::CountIn(QByteArrayView haystack) const {
  qsizetype count = 0;
  for (qsizetype at = IndexIn(haystack, 0); at >= 0; at = IndexIn(haystack, at + 1))
    ++count;
  return count;
}

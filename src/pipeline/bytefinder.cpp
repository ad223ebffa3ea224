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
  } else {
    for (int b = 0; b < 256; ++b)
      fFold[b] = static_cast<uint8_t>(b);
  }
  // A pattern as long as a whole row ("xxxx…") matches at almost every
  // place: comparing it afresh at each would cost its length each time.
  const qsizetype n = fPattern.size();
  fBorder.assign(static_cast<size_t>(n), 0);
  for (qsizetype i = 1, k = 0; i < n; ++i) {
    while (k > 0 && fPattern[i] != fPattern[k])
      k = fBorder[static_cast<size_t>(k - 1)];
    if (fPattern[i] == fPattern[k])
      ++k;
    fBorder[static_cast<size_t>(i)] = k;
  }
  fSelfOverlapping = n > 0 && fBorder[static_cast<size_t>(n - 1)] > 0;
}

qsizetype TByteFinder::Scan(QByteArrayView haystack, qsizetype from, qsizetype &matched) const {
  const qsizetype n = fPattern.size();
  if (n == 0)
    return -1;
  const auto *bytes = reinterpret_cast<const uint8_t *>(haystack.data());
  const auto *p = reinterpret_cast<const uint8_t *>(fPattern.constData());
  qsizetype k = matched;
  for (qsizetype i = from; i < haystack.size(); ++i) {
    const uint8_t b = fFold[bytes[i]];
    while (k > 0 && b != p[k])
      k = fBorder[static_cast<size_t>(k - 1)];
    if (b == p[k])
      ++k;
    if (k == n) {
      matched = fBorder[static_cast<size_t>(n - 1)];
      return i + 1;
    }
  }
  matched = k;
  return -1;
}

qsizetype TByteFinder::IndexIn(QByteArrayView haystack, qsizetype from) const {
  const qsizetype n = fPattern.size();
  if (from < 0 || haystack.size() - from < n)
    return -1;
  if (n == 0)
    return from;
  if (!fIgnoreCase) {
    const auto *begin = reinterpret_cast<const uint8_t *>(haystack.data());
    const void *hit = memmem(begin + from, static_cast<size_t>(haystack.size() - from),
                             fPattern.constData(), static_cast<size_t>(n));
    return hit ? static_cast<const uint8_t *>(hit) - begin : -1;
  }
  qsizetype matched = 0;
  const qsizetype end = Scan(haystack, from, matched);
  return end < 0 ? -1 : end - n;
}

qsizetype TByteFinder::LastIndexIn(QByteArrayView haystack, qsizetype before) const {
  qsizetype last = -1;
  ForEachIn(haystack, [&](qsizetype at) {
    if (at >= before)
      return false;
    last = at;
    return true;
  });
  return last;
}

qsizetype TByteFinder::CountIn(QByteArrayView haystack) const {
  qsizetype count = 0;
  ForEachIn(haystack, [&](qsizetype) {
    ++count;
    return true;
  });
  return count;
}

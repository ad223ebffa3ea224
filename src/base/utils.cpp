#include "base/utils.h"

#include "base/pterror.h"
#include "base/xmldoc.h"

#include <QDate>
#include <QLocale>

QString GetAttribute(const TXmlElement *element, const QString &name, const QString &defaultValue,
                     bool /*convertDecimalSeparator*/) {
  if (element == nullptr || element->IsNull())
    return defaultValue;
  bool found = false;
  const QString value = element->Attribute(name, &found);
  return found ? value : defaultValue;
}

bool LoadXMLDoc(const QString &fileName, TXmlDocument &doc) {
  try {
    return doc.Load(fileName);
  } catch (...) {
    doc.Clear();
    return false;
  }
}

namespace {

constexpr bool IsDigit(char16_t c) {
  return c >= u'0' && c <= u'9';
}

constexpr bool IsSeparator(char16_t c) {
  return c == u'-' || c == u' ' || c == u':' || c == u'/' || c == u'\\' || c == u'.';
}

// Two decimal digits at `i`, or -1.
int TwoDigits(const char16_t *s, qsizetype i) {
  if (!IsDigit(s[i]) || !IsDigit(s[i + 1]))
    return -1;
  return (s[i] - u'0') * 10 + (s[i + 1] - u'0');
}

// The user's short date format, read once: saved logs are read at hundreds of
// thousands of lines a second and the locale must not be consulted per line.
struct TShortDate {
  QLocale Locale;
  QString Format;
  qsizetype MaxLength = 0;    // no text longer than this can match Format
  int NumericFields = 0;      // day, month and year fields written as digits
  bool NeedsLetters = false;  // day or month names
  bool DigitLiterals = false; // quoted text might hold digits: no digit count check
  bool FormatHasColon = false;
  bool TwoDigitYear = false;
};

const TShortDate &ShortDate() {
  static const TShortDate shortDate = [] {
    TShortDate d;
    d.Locale = QLocale::system();
    d.Format = d.Locale.dateFormat(QLocale::ShortFormat);
    d.FormatHasColon = d.Format.contains(QLatin1Char(':'));
    d.TwoDigitYear =
        d.Format.contains(QLatin1String("yy")) && !d.Format.contains(QLatin1String("yyyy"));
    // Numeric fields take at most four characters, day and month names are
    // given a generous bound; anything else counts as written.
    const qsizetype n = d.Format.size();
    for (qsizetype i = 0; i < n;) {
      const QChar c = d.Format.at(i);
      qsizetype run = 1;
      while (i + run < n && d.Format.at(i + run) == c)
        ++run;
      if (c == QLatin1Char('d') || c == QLatin1Char('M')) {
        d.MaxLength += run >= 3 ? 40 : 2;
        if (run >= 3)
          d.NeedsLetters = true;
        else
          ++d.NumericFields;
      } else if (c == QLatin1Char('y')) {
        d.MaxLength += run + 1;
        ++d.NumericFields;
      } else {
        d.MaxLength += run;
        if (c == QLatin1Char('\'') || c.isDigit())
          d.DigitLiterals = true;
      }
      i += run;
    }
    return d;
  }();
  return shortDate;
}

// A text in the user's short date format gives that date at midnight.
bool TryLocaleDate(const QString &text, TDateTime &result) {
  const TShortDate &format = ShortDate();
  // The saved-log form "yyyy-mm-dd hh:nn:ss" is neither short nor free of
  // colons, so the common case never reaches the locale parser.
  if (text.isEmpty() || text.size() > format.MaxLength || format.Format.isEmpty())
    return false;
  // Cheap necessary conditions before the locale parser: every run of digits
  // fills one numeric field, and names need letters.
  const char16_t *s = reinterpret_cast<const char16_t *>(text.utf16());
  int digitRuns = 0;
  bool hasLetter = false;
  for (qsizetype i = 0; i < text.size(); ++i) {
    if (IsDigit(s[i])) {
      if (i == 0 || !IsDigit(s[i - 1]))
        ++digitRuns;
    } else if (s[i] == u':' && !format.FormatHasColon) {
      return false;
    } else if (!hasLetter && QChar(s[i]).isLetter()) {
      hasLetter = true;
    }
  }
  if (!format.DigitLiterals && digitRuns > format.NumericFields)
    return false;
  if (format.NeedsLetters && !hasLetter)
    return false;
  QDate date = format.Locale.toDate(text, format.Format);
  if (!date.isValid())
    return false;
  // Two-digit years belong to this century, as in the fixed form below.
  if (format.TwoDigitYear && date.year() >= 1900 && date.year() < 2000)
    date = date.addYears(100);
  TDateTimeParts parts;
  parts.Year = date.year();
  parts.Month = date.month();
  parts.Day = date.day();
  return TryEncodeDateTime(parts, result);
}

} // namespace

// Accepted forms, tried in this order:
//  1. the whole text as a date in the user's short date format (midnight);
//  2. a year of exactly 2 or 4 leading digits (below 100 means 2000 + it),
//     one character of any kind, then month, day, hour, minute and second as
//     two digits each, separated by any one of "- :/\." — for example
//     "2013-05-07 14:03:59", "13-05-07 14:03:59" or "2013.05.07.14.03.59".
bool IsoDateTimeToDateTime(const QString &text, TDateTime &result, bool suppressErrors) {
  const char16_t *s = reinterpret_cast<const char16_t *>(text.utf16());
  const qsizetype n = text.size();
  qsizetype digits = 0;
  while (digits < n && IsDigit(s[digits]))
    ++digits;

  if (TryLocaleDate(text, result))
    return true;

  if (digits != 2 && digits != 4)
    return false;
  // `q` indexes the character after the year; the fields follow it at fixed
  // offsets, the last ending at q + 14.
  const qsizetype q = digits;
  if (n <= 14 || n < q + 15)
    return false;
  if (!IsSeparator(s[q + 3]) || !IsSeparator(s[q + 6]) || !IsSeparator(s[q + 9]) ||
      !IsSeparator(s[q + 12]))
    return false;

  TDateTimeParts parts;
  parts.Year = 0;
  for (qsizetype i = 0; i < digits; ++i)
    parts.Year = parts.Year * 10 + (s[i] - u'0');
  if (parts.Year < 100)
    parts.Year += 2000;
  parts.Month = TwoDigits(s, q + 1);
  parts.Day = TwoDigits(s, q + 4);
  parts.Hour = TwoDigits(s, q + 7);
  parts.Minute = TwoDigits(s, q + 10);
  parts.Second = TwoDigits(s, q + 13);
  if (parts.Month < 0 || parts.Day < 0 || parts.Hour < 0 || parts.Minute < 0 || parts.Second < 0)
    return false;

  if (TryEncodeDateTime(parts, result))
    return true;
  if (suppressErrors)
    return false;
  throw EPtError(QStringLiteral("\"%1\" is not a valid date and time.").arg(text));
}

bool TryStrToWord(const QString &text, uint16_t &value) {
  if (text.isEmpty())
    return false;
  uint32_t v = 0;
  for (const QChar c : text) {
    const char16_t u = c.unicode();
    if (!IsDigit(u))
      return false;
    v = v * 10 + (u - u'0');
    if (v > 0xFFFF)
      return false;
  }
  value = static_cast<uint16_t>(v);
  return true;
}

QString IntToBin(uint8_t b) {
  QString result(9, Qt::Uninitialized);
  QChar *out = result.data();
  for (int bit = 7, pos = 0; bit >= 0; --bit) {
    out[pos++] = (b >> bit) & 1 ? QLatin1Char('1') : QLatin1Char('0');
    if (bit == 4)
      out[pos++] = QLatin1Char(' ');
  }
  return result;
}

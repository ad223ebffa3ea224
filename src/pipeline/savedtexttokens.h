#pragma once

#include <QString>
#include <QStringView>

// Splits a saved-log text into tokens: maximal runs of the token alphabet;
// every other character only separates.
class TSavedTextTokens {
public:
  enum TAlphabet {
    LettersAndDigits,  // packet texts
    AddressCharacters, // letters, digits, '.' and ':' for IP and MAC addresses
  };

  TSavedTextTokens(const QString &text, TAlphabet alphabet) : fText(text), fAlphabet(alphabet) {}

  bool Next(QStringView &token) {
    const qsizetype n = fText.size();
    while (fPos < n && !InAlphabet(fText[fPos]))
      ++fPos;
    if (fPos >= n)
      return false;
    const qsizetype start = fPos;
    while (fPos < n && InAlphabet(fText[fPos]))
      ++fPos;
    token = QStringView(fText).mid(start, fPos - start);
    return true;
  }

private:
  bool InAlphabet(QChar c) const {
    const char16_t u = c.unicode();
    const bool alnum = (u >= '0' && u <= '9') || (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z');
    return alnum || (fAlphabet == AddressCharacters && (u == '.' || u == ':'));
  }

  const QString &fText;
  TAlphabet fAlphabet;
  qsizetype fPos = 0;
};

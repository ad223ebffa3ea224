#pragma once

#include <QRegularExpression>
#include <QString>

// Czech letters, or Czech words of the built-in texts that carry none: a
// text shown so in the English interface missed its translation.
inline bool LooksCzech(const QString &text) {
  static const QRegularExpression czech(
      QStringLiteral("[áčďéěíňóřšťúůýžÁČĎÉĚÍŇÓŘŠŤÚŮÝŽ]|\\b(Chyba|Verze|Soubor|Nalezen|Odeslat|"
                     "nelze|bajt\\w*|Hledat|zadání)\\b"));
  return czech.match(text).hasMatch();
}

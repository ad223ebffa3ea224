#include "pipeline/datanetitems.h"

#include "base/ansicodepage.h"
#include "pipeline/addressrow.h"
#include "pipeline/savedtexttokens.h"

bool ReadAddressSaveText(const QString &text, QString &ip, QString &mac) {
  TSavedTextTokens tokens(text, TSavedTextTokens::AddressCharacters);
  QStringView token;
  bool found = false;
  while (tokens.Next(token)) {
    QString *target = token == u"ip:" ? &ip : token == u"mac:" ? &mac : nullptr;
    if (!target)
      continue;
    if (!tokens.Next(token))
      break;
    *target = token.toString();
    found = true;
  }
  return found;
}

TColor TVexlinDataLantronixScanItem::GetBckColor() const {
  return kAddressRowColor;
}

QByteArray TVexlinDataLantronixScanItem::GetText4Save() const {
  QString text = QStringLiteral("Nalezen modul - ip: ") + IP + QStringLiteral("\tmac: ") + MAC;
  if (!Info.isEmpty())
    text += QStringLiteral("\tinfo: ") + Info;
  return AnsiFromText(text);
}

bool TVexlinDataLantronixScanItem::LoadFromSavedFile(const QString &data) {
  return ReadAddressSaveText(data, IP, MAC);
}

TColor TVexlinDataAddressItem::GetBckColor() const {
  return kAddressRowColor;
}

QByteArray TVexlinDataAddressItem::GetText4Save() const {
  return AnsiFromText(QStringLiteral("mac: ") + MAC + QStringLiteral("\tip: ") + IP);
}

bool TVexlinDataAddressItem::LoadFromSavedFile(const QString &data) {
  return ReadAddressSaveText(data, IP, MAC);
}

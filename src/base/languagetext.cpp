#include "base/languagetext.h"

#include "base/xmldoc.h"

#include <mutex>

namespace {

std::mutex gTextsLock;
std::shared_ptr<const TLanguageTexts> gTexts;

} // namespace

std::shared_ptr<const TLanguageTexts> ReadLanguageTexts(const TXmlElement &root) {
  auto texts = std::make_shared<TLanguageTexts>();
  TXmlElement constants;
  for (const TXmlElement &child : root.ChildElements())
    if (child.LocalName().compare(QLatin1String("CONST"), Qt::CaseInsensitive) == 0) {
      constants = child;
      break;
    }
  for (const TXmlElement &entry : constants.ChildElements()) {
    bool found = false;
    const QString value = entry.Attribute(QStringLiteral("text"), &found);
    if (found && !texts->contains(entry.LocalName()))
      texts->insert(entry.LocalName(), value);
  }
  return texts;
}

std::shared_ptr<const TLanguageTexts> ReadLanguageTexts(const QString &fileName) {
  TXmlDocument document;
  if (!document.Load(fileName))
    return nullptr;
  return ReadLanguageTexts(document.DocumentElement());
}

void InstallLanguageTexts(std::shared_ptr<const TLanguageTexts> texts) {
  std::lock_guard lock(gTextsLock);
  gTexts = std::move(texts);
}

QString LanguageText(const QString &key, const QString &defaultValue) {
  std::shared_ptr<const TLanguageTexts> texts;
  {
    std::lock_guard lock(gTextsLock);
    texts = gTexts;
  }
  if (!texts)
    return defaultValue;
  const auto found = texts->constFind(key);
  return found == texts->constEnd() ? defaultValue : *found;
}

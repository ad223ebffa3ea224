#pragma once

// The message texts of the program's language, for code on every floor.
// The loaded language installs its keyed texts here; code that builds a
// text a user reads asks for it by key, with the built-in text as default.
// Any thread may ask: transports and the serial engine build their error
// texts on their own threads.

#include <QHash>
#include <QString>
#include <memory>

class TXmlElement;

using TLanguageTexts = QHash<QString, QString>;

// The keyed texts of a language file's root element: the children of its
// "CONST" element (any letter case), each named by its key (exactly) with
// the text in "text"; the first of a name counts.
std::shared_ptr<const TLanguageTexts> ReadLanguageTexts(const TXmlElement &root);
// The same from a file; null when it cannot be read.
std::shared_ptr<const TLanguageTexts> ReadLanguageTexts(const QString &fileName);

// Makes `texts` the ones LanguageText answers from; null for none.
void InstallLanguageTexts(std::shared_ptr<const TLanguageTexts> texts);
// The text of `key` in the installed language, else `defaultValue`.
QString LanguageText(const QString &key, const QString &defaultValue);

#pragma once

#include "base/languagetext.h"
#include "base/xmldoc.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

class QObject;
class QWidget;

// Language files live in this namespace; files in any other are not offered.
extern const char kLanguageNamespace[];

// One language file found in the data folder.
class TLanguageItem {
public:
  // The item when `fileName` is a readable language file, else null.
  static std::unique_ptr<TLanguageItem> CheckAndLoadLngFile(const QString &fileName);

  QString LngName() const;  // "?" when the file names none
  QString FlagName() const; // "?" when the file names none
  QString LngFileName() const { return fFileName; }

private:
  TXmlDocument XML;
  TXmlElement fLngNode;
  QString fFileName;
};

// The loaded language: translates windows by setting their properties by
// name and supplies the keyed message texts. Main thread only.
class TLanguage {
public:
  TLanguage() = default;
  TLanguage(const TLanguage &) = delete;
  TLanguage &operator=(const TLanguage &) = delete;
  ~TLanguage();

  // Rebuilds the list of languages from the files matching `filePathMask`
  // (a folder plus a wildcard name); returns how many were found.
  int RefreshLanguages(const QString &filePathMask);
  // The same for files listed one by one (a folder of the user's and the
  // shipped one), in the order given.
  int RefreshLanguages(const QStringList &files);
  const std::vector<std::unique_ptr<TLanguageItem>> &Languages() const { return FLanguages; }

  // Loads the file and applies it to every open window. A missing or
  // unreadable file raises EPtError and keeps the current language; a file
  // naming a property that does not exist raises EPtError after applying
  // what came before it.
  void LoadLngFile(const QString &fileName);
  // Applies the loaded language to a window created after it was loaded.
  void RewriteForm(QWidget *form) const;
  // A message text from the "CONST" element, or `defaultValue`.
  QString text(const QString &key, const QString &defaultValue) const;
  // Every message text of the loaded file by key; null while none is loaded.
  std::shared_ptr<const TLanguageTexts> Texts() const { return fTexts; }
  // Applies the loaded language to `part`, built inside the window `form`
  // after the window was translated (a row added to a list), as if it had
  // been there then.
  void RewritePart(QWidget *form, QWidget *part) const;

  QString FileName() const { return fFileName; }
  // Counts the files loaded; a window translated with the current one
  // carries this number (see TFormTranslator).
  int Generation() const { return fGeneration; }
  // The loaded language's name ("language" when none) and flag ("" when none).
  QString LngName() const;
  QString FlagName() const;

  // Applies `element` to `component` and the components it owns.
  void BrowseComponent(QObject *component, const TXmlElement &element) const;

private:
  TXmlElement LanguageNode() const;
  [[noreturn]] void Fail(const TXmlElement &element, const QString &attribute,
                         const QString &reason) const;

  std::vector<std::unique_ptr<TLanguageItem>> FLanguages;
  std::unique_ptr<TXmlDocument> XML;
  std::shared_ptr<const TLanguageTexts> fTexts;
  QString fFileName;
  int fGeneration = 0;
};

// Translates every window of the application the first time it is shown
// after a language was loaded, so windows built later need no call of their
// own. A file that fails on such a window is reported through `onError`.
class TFormTranslator : public QObject {
public:
  TFormTranslator(const TLanguage &language, std::function<void(const QString &)> onError,
                  QObject *parent = nullptr);
  ~TFormTranslator() override;

protected:
  bool eventFilter(QObject *watched, QEvent *event) override;

private:
  const TLanguage &fLanguage;
  std::function<void(const QString &)> fOnError;
};

// Makes `language` the one LanguageText (base/languagetext.h) answers
// from, also after it loads another file; null for none. A language that
// goes stops being asked.
void SetCurrentLanguage(const TLanguage *language);

// Translates `part`, just built inside an already translated window, with
// the current language; nothing while none is loaded.
void TranslateNewPart(QWidget *part);

// Sets the property `name` the way the language files name them ("Caption",
// "Hint", "Text" and Qt's own property names); false when the component has
// no such property or the value does not convert.
bool SetComponentProperty(QObject *component, const QString &name, const QString &value);
// Reads back what SetComponentProperty sets; false for an unknown name.
bool GetComponentProperty(const QObject *component, const QString &name, QString *value);
// The entries an "items" list sets: a list's entries, a table's or tree's
// column headers, a radio group's button texts.
QStringList ComponentItems(const QObject *component);

#pragma once

#include "base/languagetext.h"

// Installs the English language file's texts, as the capture mode does, so
// that a test reads the reasons as a user of the command line reads them.
// Uninstalls them at the end of the scope.
class TEnglishTexts {
public:
  TEnglishTexts() {
    fTexts = ReadLanguageTexts(QStringLiteral(PT_DATA_FILES_DIR "/pt.lng.en.xml"));
    InstallLanguageTexts(fTexts);
  }
  ~TEnglishTexts() { InstallLanguageTexts(nullptr); }
  TEnglishTexts(const TEnglishTexts &) = delete;
  TEnglishTexts &operator=(const TEnglishTexts &) = delete;
  bool Loaded() const { return fTexts != nullptr; }

private:
  std::shared_ptr<const TLanguageTexts> fTexts;
};

// The main window's language menu and the language remembered between runs.

#include "app/mainwindow.h"
#include "base/datafolder.h"
#include "base/pterror.h"
#include "base/utils.h"
#include "connections/connectiontexts.h"
#include "widgets/dialogs.h"
#include "widgets/flags.h"
#include "widgets/language.h"

#include <QAction>
#include <QCoreApplication>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>
#include <QPixmap>

void TfMainPelmarTerm::BuildLanguage() {
  fLanguage = std::make_unique<TLanguage>();
  // The message texts of tools without a window of their own come from here.
  SetCurrentLanguage(fLanguage.get());
  // Windows built from now on are translated when first shown.
  fFormTranslator = std::make_unique<TFormTranslator>(
      *fLanguage, [this](const QString &error) { LogInfoMsg(error, kColorMaroon); });
  // The user's own or edited files beside the shipped ones, by name.
  const TDataFolders folders = DataFolders();
  QStringList files;
  for (const QString &name : folders.Names(QStringLiteral("pt.lng.*.xml")))
    files << folders.ReadPath(name);
  fLanguage->RefreshLanguages(files);
  const auto &languages = fLanguage->Languages();
  for (int i = 0; i < int(languages.size()); ++i) {
    QAction *item = mimLng->addAction(languages[i]->LngName(), this, [this, i] { mimLngClick(i); });
    item->setIcon(QPixmap::fromImage(FlagPicture(languages[i]->FlagName())));
  }
  mimLng->setTitle(languages.empty() ? QString() : QStringLiteral("language"));
  mimLng->menuAction()->setVisible(!languages.empty());
}

void TfMainPelmarTerm::mimLngClick(int index) {
  const auto &languages = fLanguage->Languages();
  if (index < 0 || index >= int(languages.size()))
    return;
  try {
    LoadLanguage(languages[size_t(index)]->LngFileName());
  } catch (const std::exception &error) {
    fDialogs.ShowMessage(this, ExceptionText(error));
  }
}

void TfMainPelmarTerm::LoadLanguage(const QString &fileName) {
  mimAbout->setVisible(false);
  mimLng->menuAction()->setVisible(false);
  try {
    fLanguage->LoadLngFile(fileName);
  } catch (...) {
    // What was applied stays; the bar gets its entries back either way.
    ShowLanguageEntry();
    FitLeftPanel();
    pCenterResize();
    throw;
  }
  ShowLanguageEntry();
  // Other words take other widths.
  FitLeftPanel();
  pCenterResize();
}

void TfMainPelmarTerm::ShowLanguageEntry() {
  mimLng->setTitle(fLanguage->LngName());
  mimLng->menuAction()->setIcon(QPixmap::fromImage(FlagPicture(fLanguage->FlagName())));
  mimAbout->setVisible(true);
  mimLng->menuAction()->setVisible(!mimLng->isEmpty() || !fLanguage->FileName().isEmpty());
}

// A remembered file that has moved is looked for by its name beside the
// program and in the data folder. One of the data folders' is looked up by
// name too: the user's own copy, made since, takes the shipped one's place.
void TfMainPelmarTerm::LoadRememberedLanguage(const QString &fileName) {
  if (fileName.isEmpty())
    return;
  QString path = fileName;
  const TDataFolders folders = DataFolders();
  const QString folder = QFileInfo(fileName).absolutePath() + u'/';
  if (folders.user != folders.shipped && (folder == folders.shipped || folder == folders.user)) {
    path = folders.ReadPath(QFileInfo(fileName).fileName());
  } else if (!QFileInfo(path).isFile()) {
    path = QFileInfo(fileName).fileName();
    const QString beside = QCoreApplication::applicationDirPath() + u'/' + path;
    path = QFileInfo(beside).isFile() ? beside : folders.ReadPath(path);
  }
  if (!QFileInfo(path).isFile()) {
    LogInfoMsg(QStringLiteral("Lng file \"%1\" not found!").arg(path), kColorMaroon);
    return;
  }
  try {
    LoadLanguage(path);
  } catch (const std::exception &error) {
    LogInfoMsg(ExceptionText(error), kColorMaroon);
  }
}

// Drives the main window as a user would, for scripts/test-package. Run as an
// ordinary user from a copy laid out as installed (bin/ beside
// share/pelmarterm/pt.files), so it decides where files go exactly as the
// installed program does. "store" stores a preset into a new group and adds
// a command-table row, then closes the window; "find" starts it again and
// looks for both. Exit 0 when everything asked for is there.
#include "app/mainwindow.h"
#include "base/datafolder.h"
#include "pipeline/dataobjectqueue.h"
#include "pipeline/dataobjectregistry.h"
#include "pipeline/vexlinparser.h"
#include "tools/cmdline.h"
#include "tools/presetbar.h"
#include "tools/presetstablo.h"
#include "widgets/dialogs.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <cstdio>

namespace {

const QString kGroup = QStringLiteral("Package check");
const QString kCaption = QStringLiteral("Ping");
const QString kCommand = QStringLiteral("ATI{0x0D}");

// No modal dialog: anything the window would show is printed and fails the run.
class TPrintedDialogs : public TPtDialogs {
public:
  void ShowError(QWidget *, const QString &title, const QString &text) override {
    Print(title + QStringLiteral(": ") + text);
  }
  void ShowMessage(QWidget *, const QString &text) override { Print(text); }
  TAnswer AskYesNoCancel(QWidget *, const QString &, const QString &text) override {
    Print(text);
    return Cancel;
  }
  void ShowBalloon(QWidget *, const QString &, const QString &) override {}
  QString SaveFileName(QWidget *, const QString &, const QString &) override { return {}; }
  QString OpenFileName(QWidget *, const QString &) override { return {}; }
  bool AskNumber(QWidget *, const QString &, const QString &, int &, int, int) override {
    return false;
  }
  bool failed = false;

private:
  void Print(const QString &text) {
    std::fprintf(stderr, "pt_install_driver: the window said: %s\n", qPrintable(text));
    failed = true;
  }
};

bool Check(bool ok, const char *what) {
  std::printf("pt_install_driver: %s %s\n", ok ? "ok:" : "MISSING:", what);
  return ok;
}

bool Store(TfMainPelmarTerm &window) {
  window.PresetBar()->RunSaveDialog = [](TfSavePacket &dialog) {
    dialog.eName->setText(kCaption);
    dialog.cbGroup->setEditText(kGroup);
    dialog.accept();
    return dialog.result();
  };
  window.findChild<QAction *>(QStringLiteral("aSetPreset"))->trigger();
  window.findChild<QAction *>(QStringLiteral("actCommandTablo"))->trigger();
  TfPresetsTablo *tablo = window.PresetsTablo();
  tablo->AddButton()->click();
  tablo->Rows().last()->edtCommandLine->setText(kCommand);
  return Check(tablo->Rows().size() == 5, "the command table has its new row");
}

bool Find(TfMainPelmarTerm &window) {
  bool preset = false;
  QTabWidget *tabs = window.PresetTabs();
  for (int i = 0; i < tabs->count(); ++i)
    if (tabs->tabText(i) == kGroup)
      for (const TDataButton *button : tabs->widget(i)->findChildren<TDataButton *>())
        preset = preset || button->text() == kCaption;
  window.findChild<QAction *>(QStringLiteral("actCommandTablo"))->trigger();
  bool row = false;
  for (const TfrmPresetTabloItem *item : window.PresetsTablo()->Rows())
    row = row || item->edtCommandLine->text() == kCommand;
  const bool shipped = tabs->count() >= 2; // the shipped group beside the new one
  return Check(preset, "the preset in its new group") && Check(row, "the command table row") &&
         Check(shipped, "the shipped preset group");
}

} // namespace

int main(int argc, char *argv[]) {
  const QString mode = argc == 2 ? QString::fromLocal8Bit(argv[1]) : QString();
  if (mode != QLatin1String("store") && mode != QLatin1String("find")) {
    std::fprintf(stderr, "usage: pt_install_driver store|find\n");
    return 2;
  }
  VexlinDataObjects_Initialize();
  RegisterVexlinDataObjectClasses();
  TVexlinParser::MaxLength = 5;
  int rc = 1;
  {
    QApplication app(argc, argv);
    const TDataFolders folders = DataFolders();
    if (!Check(folders.installed, "the data folders of an installed program"))
      return 1;
    TPrintedDialogs dialogs;
    auto window = std::make_unique<TfMainPelmarTerm>(
        dialogs, folders.ConfigFile(TPtConfig::DefaultFileName()));
    folders.MakeUserFolders();
    window->show();
    QCoreApplication::processEvents();
    const bool ok = mode == QLatin1String("store") ? Store(*window) : Find(*window);
    window->close();
    window.reset();
    rc = ok && !dialogs.failed ? 0 : 1;
  }
  VexlinDataObjects_Finalize();
  return rc;
}

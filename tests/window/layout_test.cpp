// Every window at its default size, in each shipped language: no control is
// cut or out of reach.
#include "app/findbar.h"
#include "layoutcheck.h"
#include "tools/modbuspanel.h"
#include "tools/presetbar.h"
#include "tools/presetstablo.h"
#include "view/packetdetail.h"
#include "widgets/about.h"
#include "widgets/asciitable.h"
#include "windowfixture.h"

#include <QAction>
#include <QApplication>
#include <QTabWidget>

namespace {

class LayoutTest : public WindowTest, public ::testing::WithParamInterface<const char *> {
protected:
  void SetUp() override {
    WindowTest::SetUp();
    language = QLatin1String(GetParam());
    // Switched to at run time, from the other language, as a user does.
    const QString other =
        language == QLatin1String("cs") ? QStringLiteral("en") : QStringLiteral("cs");
    for (const QString &code : {other, language}) {
      window->LoadLanguage(dir.filePath(QStringLiteral("pt.files/pt.lng.%1.xml").arg(code)));
      Process();
    }
  }

  // Lays the window out as the user sees it and records what is wrong.
  void Check(QWidget *w, const QString &what) {
    ASSERT_NE(w, nullptr) << what.toStdString();
    w->show();
    for (int i = 0; i < 3; ++i) {
      QApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
      Process();
    }
    for (const QString &fault : layoutcheck::Faults(w))
      faults << QStringLiteral("%1, %2: %3").arg(language, what, fault);
  }

  QString language;
  QStringList faults;
};

TEST_P(LayoutTest, EveryControlOfEveryWindowIsWholeAndInSight) {
  window->findChild<QAction *>("actDataResponder")->trigger(); // the test tab too
  auto *left = window->findChild<QTabWidget *>("pgcLeftTools");
  ASSERT_NE(left, nullptr);
  for (int page = 0; page < left->count(); ++page) {
    left->setCurrentIndex(page);
    Check(window.get(), QStringLiteral("main window, page \"%1\"").arg(left->tabText(page)));
  }
  left->setCurrentIndex(0);

  window->FindBar()->Open();
  Check(window.get(), QStringLiteral("main window with the find bar"));
  window->FindBar()->Close();

  TPresetBar *presets = window->PresetBar();
  presets->RunSaveDialog = [&](TfSavePacket &dialog) {
    Check(&dialog, QStringLiteral("preset dialog \"%1\"").arg(dialog.windowTitle()));
    return int(QDialog::Rejected);
  };
  presets->aSetPresetExecute();
  presets->ShowPresetsList();
  Check(presets->PresetCheckList(), QStringLiteral("preset list"));
  presets->PresetCheckList()->hide();

  window->actCommandTabloExecute();
  Check(window->PresetsTablo(), QStringLiteral("command table"));
  window->PresetsTablo()->hide();

  window->findChild<QAction *>("actModBusPanel")->trigger();
  Check(window->ModBusPanel(), QStringLiteral("protocol panel"));
  window->ModBusPanel()->hide();

  window->aAsciiTableExecute();
  Check(window->AsciiTable(), QStringLiteral("ASCII table"));
  window->AsciiTable()->hide();

  TfAbout *about = window->ShowAbout();
  Check(about, QStringLiteral("about box"));
  about->close();

  auto *row = new TVexlinDataBinary(QByteArray::fromHex("2A6100080102231481 07AA0D"), spRx);
  row->ParentVDT = window->vstTerminal();
  emit window->vstTerminal()->doubleClicked(window->vstTerminal()->AddRow(row));
  Process();
  TForm2 *detail = window->findChild<TForm2 *>(PacketDetailName(0));
  Check(detail, QStringLiteral("detail window"));
  if (detail)
    detail->close();

  EXPECT_TRUE(faults.isEmpty()) << faults.join(QLatin1Char('\n')).toStdString();
}

INSTANTIATE_TEST_SUITE_P(Languages, LayoutTest, ::testing::Values("cs", "en"),
                         [](const ::testing::TestParamInfo<const char *> &info) {
                           return std::string(info.param);
                         });

} // namespace

// Texts the program puts together (messages, dialogs, log lines, rows added
// later, the menu bar's language entry) follow the language chosen at run
// time, like the texts the language files name.

#include "app/launcher.h"
#include "base/pterror.h"
#include "base/versioninfo.h"
#include "czechtext.h"
#include "tools/bustools.h"
#include "tools/cmdline.h"
#include "tools/presetstablo.h"
#include "widgets/about.h"
#include "widgets/language.h"
#include "windowfixture.h"

#include <QCheckBox>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>

namespace {

QString Shipped(const char *name) {
  return QStringLiteral(PT_DATA_FILES_DIR "/") + QLatin1String(name);
}

class LanguageTextsTest : public WindowTest {
protected:
  void Load(const char *file) {
    window->LoadLanguage(Shipped(file));
    Process();
  }
  QStringList LogTexts() {
    QStringList texts;
    for (const Row &row : Rows(window->vstTerminal()))
      if (row.kind == "TVexlinDataLog")
        texts << QString::fromUtf8(row.bytes);
    return texts;
  }
};

TEST_F(LanguageTextsTest, EnglishReachesMessagesDialogsAndLogLines) {
  Load("pt.lng.en.xml");

  // The about box's version line, also in a box open while switching.
  TfAbout *about = window->ShowAbout();
  EXPECT_EQ(about->History()->text(), "Version: " + GetFileVersion());
  Load("pt.lng.cs.xml");
  EXPECT_EQ(about->History()->text(), QStringLiteral("Verze: ") + GetFileVersion());
  Load("pt.lng.en.xml");
  EXPECT_EQ(about->History()->text(), "Version: " + GetFileVersion());
  about->close();

  // Message boxes are headed with the program's name.
  EXPECT_EQ(QGuiApplication::applicationDisplayName(), "Pelmar Terminal");

  window->aRecordLimitExecute();
  EXPECT_EQ(dialogs.titles.value(0), "Recording file size");
  EXPECT_EQ(dialogs.questions.value(0), "A new file after this size (MB, 0 = no limit):");

  dialogs.openName = dir.filePath("missing.vexlin.txt");
  window->aOpenDataExecute();
  ASSERT_EQ(dialogs.messages.size(), 1);
  EXPECT_EQ(dialogs.messages[0], "The file \"" + dialogs.openName + "\" could not be opened!");

  window->StartProgram = [](const TProgramStart &) { return false; };
  window->btnDeviceManagerClick(); // no tool found or it would not start
  EXPECT_EQ(dialogs.messages.size(), 2);

  window->actCommandTabloExecute();
  window->PresetsTablo()->Rows().at(0)->edtCommandLine->setText(QStringLiteral("AT{0x0D"));
  EXPECT_TRUE(dialogs.balloon.startsWith("Input error: ")) << dialogs.balloon.toStdString();

  auto *scan = window->BusTools()->findChild<QPushButton *>("btnScan");
  ASSERT_NE(scan, nullptr);
  scan->click();
  scan->click(); // cancelled
  window->LogError(EPtError(QStringLiteral("x")));
  EXPECT_TRUE(WaitFor([&] { return LogTexts().contains("Error: x"); }))
      << LogTexts().join('\n').toStdString();
  EXPECT_TRUE(LogTexts().contains("Device scan cancelled by the user"));

  QStringList czech;
  for (const QStringList &texts : {dialogs.messages, dialogs.questions, dialogs.titles,
                                   dialogs.errors, QStringList{dialogs.balloon}, LogTexts()})
    for (const QString &text : texts)
      if (LooksCzech(text))
        czech << text;
  EXPECT_TRUE(czech.isEmpty()) << czech.join('\n').toStdString();
}

TEST_F(LanguageTextsTest, CommandTableRowsAddedAfterASwitchSpeakIt) {
  window->actCommandTabloExecute();
  TfPresetsTablo *tablo = window->PresetsTablo();
  const struct {
    const char *file;
    QString send;
  } languages[] = {{"pt.lng.en.xml", "Send"}, {"pt.lng.cs.xml", QStringLiteral("Odeslat")}};
  for (const auto &language : languages) {
    Load(language.file);
    tablo->AddButton()->click();
    tablo->AddButton()->click();
    for (TfrmPresetTabloItem *row : tablo->Rows())
      EXPECT_EQ(row->btnSend->text(), language.send) << language.file;
  }
}

TEST_F(LanguageTextsTest, OverlayLabelsAreMeasuredAgainAfterEverySwitch) {
  // A language that changes nothing but the two labels, to longer texts:
  // nothing else moves, so only the labels' own change can place them.
  const QString longer = dir.filePath("longer.xml");
  QFile f(longer);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(
      QStringLiteral("<lng xmlns=\"%1\"><language><forms><fMainPelmarTerm>"
                     "<chkScroll Caption=\"Keep the newest record in view at all times\"/>"
                     "<lblBuffer Caption=\"Receive buffer, the data no parser has taken yet:\"/>"
                     "</fMainPelmarTerm></forms></language></lng>")
          .arg(kLanguageNamespace)
          .toUtf8());
  f.close();
  auto *scroll = window->findChild<QCheckBox *>("chkScroll");
  auto *buffer = window->findChild<QLabel *>("lblBuffer");
  for (const QString &file :
       {Shipped("pt.lng.en.xml"), Shipped("pt.lng.cs.xml"), longer, Shipped("pt.lng.cs.xml")}) {
    window->LoadLanguage(file);
    Process();
    EXPECT_GE(scroll->width(), scroll->sizeHint().width()) << file.toStdString();
    // The caption is whole, or cut only where the switch begins.
    const int room = scroll->x() - 6 - buffer->x();
    EXPECT_GE(buffer->width(), qMin(buffer->sizeHint().width(), room)) << file.toStdString();
    EXPECT_LT(buffer->geometry().right(), scroll->x()) << file.toStdString();
    // Still on the bar's right end after growing.
    EXPECT_LE(scroll->geometry().right(), scroll->parentWidget()->width()) << file.toStdString();
  }
}

TEST_F(LanguageTextsTest, LanguageEntryShowsTheFlagAndTheName) {
  QMenuBar *bar = window->menuBar();
  QAction *entry = window->findChild<QMenu *>("mimLng")->menuAction();
  for (const char *file : {"pt.lng.en.xml", "pt.lng.cs.xml"}) {
    Load(file);
    ASSERT_FALSE(entry->icon().isNull());
    const QRect item = bar->actionGeometry(entry);
    const QSize flag = entry->icon().actualSize(QSize(64, 16));
    EXPECT_GE(item.width(), flag.width() + bar->fontMetrics().horizontalAdvance(entry->text()))
        << file;
    // Something is drawn right of the flag: the name.
    const QImage image = bar->grab(item).toImage();
    const QColor background = image.pixelColor(0, 0);
    int drawn = 0;
    for (int y = 0; y < image.height(); ++y)
      for (int x = (image.width() + flag.width()) / 2; x < image.width(); ++x)
        drawn += image.pixelColor(x, y) != background;
    EXPECT_GT(drawn, 10) << file;
  }
}

} // namespace

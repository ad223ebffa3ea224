#include "base/pterror.h"
#include "widgets/flags.h"
#include "widgets/language.h"
#include "windowfixture.h"

#include <QComboBox>
#include <QMenu>
#include <QMenuBar>

namespace {

QString WriteFile(const QString &path, const QString &text) {
  QFile f(path);
  EXPECT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(text.toUtf8());
  return path;
}

QString LanguageFile(const QString &body, const QString &ns = kLanguageNamespace) {
  return QStringLiteral("<?xml version=\"1.0\" encoding=\"utf-8\"?><lng xmlns=\"%1\">%2</lng>")
      .arg(ns, body);
}

QMenu *Menu(QWidget *window, const char *name) {
  return window->findChild<QMenu *>(name);
}
QAction *Action(QWidget *window, const char *name) {
  return window->findChild<QAction *>(name);
}

} // namespace

TEST_F(WindowTest, LanguageMenuListsOnlyFilesInTheLanguageNamespace) {
  Close();
  const QString data = dir.filePath(QStringLiteral("pt.files/"));
  WriteFile(data + "pt.lng.xx.xml",
            LanguageFile("<language name=\"Foreign\"/>", "http://example.org/other"));
  WriteFile(data + "pt.lng.yy.xml", "<not well formed");
  Open();
  QMenu *lng = Menu(window.get(), "mimLng");
  ASSERT_NE(lng, nullptr);
  QStringList names;
  for (QAction *a : lng->actions()) {
    names << a->text();
    EXPECT_FALSE(a->icon().isNull());
  }
  EXPECT_EQ(names, (QStringList{QStringLiteral("Čeština"), QStringLiteral("English")}));
  EXPECT_EQ(lng->title(), QStringLiteral("language"));
}

TEST_F(WindowTest, LanguageSwitchTranslatesOpenAndLaterWindows) {
  QMenu *lng = Menu(window.get(), "mimLng");
  lng->actions().at(1)->trigger(); // English
  EXPECT_EQ(Menu(window.get(), "mimFile")->title(), QStringLiteral("File"));
  EXPECT_EQ(Action(window.get(), "aSaveData")->text(), QStringLiteral("Save data"));
  EXPECT_EQ(Action(window.get(), "mimAbout")->text(), QStringLiteral("About"));
  EXPECT_EQ(lng->title(), QStringLiteral("English"));
  EXPECT_TRUE(dialogs.messages.isEmpty()) << dialogs.messages.join('\n').toStdString();

  // A window built after the switch translates itself, names in any case.
  QWidget later;
  later.setObjectName(QStringLiteral("FMAINPELMARTERM"));
  QMenu *file = new QMenu(&later);
  file->setObjectName(QStringLiteral("MIMFILE"));
  window->Language().RewriteForm(&later);
  EXPECT_EQ(later.windowTitle(), QStringLiteral("Pelmar terminal"));
  EXPECT_EQ(file->title(), QStringLiteral("File"));

  lng->actions().at(0)->trigger(); // back to Czech
  EXPECT_EQ(Menu(window.get(), "mimFile")->title(), QStringLiteral("Soubor"));
  EXPECT_EQ(Action(window.get(), "aSaveData")->text(), QStringLiteral("Uložit data"));

  // The choice outlives the window.
  Close();
  Open();
  EXPECT_EQ(Menu(window.get(), "mimLng")->title(), QStringLiteral("Čeština"));
  EXPECT_TRUE(window->Language().FileName().endsWith(QStringLiteral("pt.lng.cs.xml")));
}

TEST_F(WindowTest, LanguageFileNamingAMissingPropertyStopsThereAndSaysWhere) {
  const QString path =
      WriteFile(dir.filePath("bad.xml"),
                LanguageFile("<language name=\"Bad\"><forms><fMainPelmarTerm Caption=\"First\">"
                             "<mimFile Caption=\"F\" Colour=\"red\" Hint=\"never\"/>"
                             "</fMainPelmarTerm></forms></language>"));
  try {
    window->LoadLanguage(path);
    FAIL() << "no error";
  } catch (const EPtError &error) {
    const QString text = error.Message();
    EXPECT_TRUE(text.contains(path) && text.contains("mimFile") && text.contains("Colour"))
        << text.toStdString();
  }
  EXPECT_EQ(window->windowTitle(), QStringLiteral("First"));
  EXPECT_EQ(Menu(window.get(), "mimFile")->title(), QStringLiteral("F"));
  EXPECT_TRUE(Menu(window.get(), "mimFile")->toolTip().isEmpty());
  EXPECT_TRUE(Action(window.get(), "mimAbout")->isVisible());
  EXPECT_EQ(Menu(window.get(), "mimLng")->title(), QStringLiteral("Bad"));

  // A missing file changes nothing.
  EXPECT_THROW(window->LoadLanguage(dir.filePath("none.xml")), EPtError);
  EXPECT_EQ(window->Language().FileName(), QFileInfo(path).absoluteFilePath());
}

TEST(Language, ItemsKeepTheSelectedPositionAndConstKeysAnyCase) {
  QTemporaryDir dir;
  const QString path = WriteFile(
      dir.filePath("l.xml"),
      LanguageFile("<language><forms><fForm><cb><items><item value=\"one\"/><item/>"
                   "<item value=\"three\"/></items></cb></fForm></forms></language>"
                   "<Const><PacketLine text=\"Řádek %d.\"/><preset text=\"x\"/></Const>"));
  TLanguage language;
  EXPECT_EQ(language.text("PacketLine", "Line %d."), QStringLiteral("Line %d."));
  language.LoadLngFile(path);
  EXPECT_EQ(language.text("PacketLine", "Line %d."), QStringLiteral("Řádek %d."));
  EXPECT_EQ(language.text("Preset", QStringLiteral("předvolba")), QStringLiteral("předvolba"));

  QWidget form;
  form.setObjectName("fForm");
  auto *combo = new QComboBox(&form);
  combo->setObjectName("cb");
  combo->addItems({"a", "b", "c"});
  combo->setCurrentIndex(2);
  language.RewriteForm(&form);
  EXPECT_EQ(combo->count(), 3);
  EXPECT_EQ(combo->itemText(1), QStringLiteral("<Error In Lng File>"));
  EXPECT_EQ(combo->currentIndex(), 2);
  EXPECT_EQ(combo->currentText(), QStringLiteral("three"));
}

TEST(Flags, EveryNamedFlagIsAPictureOfTheRightSize) {
  const QStringList names = FlagNames();
  EXPECT_EQ(names.size(), 52);
  for (const QString &name : names) {
    const QImage image = FlagPicture(name);
    EXPECT_EQ(image.size(), QSize(21, 13)) << name.toStdString();
  }
  EXPECT_NE(FlagPicture("FLAG_CZ"), FlagPicture("FLAG_SK"));
  EXPECT_TRUE(FlagPicture("FLAG_XX").isNull());
}

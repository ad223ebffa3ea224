#include "base/xmldoc.h"
#include "connections/connectiontexts.h"
#include "czechtext.h"
#include "tools/presetbar.h"
#include "tools/responderpage.h"
#include "widgets/about.h"
#include "widgets/asciitable.h"
#include "widgets/language.h"
#include "windowfixture.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QRegularExpression>
#include <QSet>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTableWidget>
#include <QTreeWidget>

namespace {

QString Shipped(const char *name) {
  return QStringLiteral(PT_DATA_FILES_DIR "/") + QLatin1String(name);
}

QList<QObject *> Named(QObject *owner, const QString &name) {
  QList<QObject *> found;
  for (QObject *child : owner->findChildren<QObject *>())
    if (child->objectName().compare(name, Qt::CaseInsensitive) == 0)
      found << child;
  return found;
}

// Every window the program builds, the tool windows and dialogs included.
class LanguageFilesTest : public WindowTest {
protected:
  void OpenEveryWindow() {
    window->actCommandTabloExecute();
    window->aAsciiTableExecute();
    about = window->ShowAbout();
    window->PresetBar()->ShowPresetsList();
    window->findChild<QAction *>("actDataResponder")->trigger();
    save = std::make_unique<TfSavePacket>(dialogs, window.get());
    request = std::make_unique<TRequestResponseDialog>(window.get());
    Process();
  }
  void TearDown() override {
    save.reset();
    request.reset();
    if (about)
      about->close();
    WindowTest::TearDown();
  }

  // "form/component/attribute" -> value, and "form/component/items" -> the
  // entries joined, for a whole language file; `problems` collects
  // components that are not there or texts that did not arrive.
  QMap<QString, QString> Check(const QString &file, QStringList &problems) {
    TXmlDocument xml;
    EXPECT_TRUE(xml.Load(file)) << xml.ErrorText().toStdString();
    QMap<QString, QString> texts;
    const TXmlElement forms = xml.DocumentElement().FirstChild("language").FirstChild("forms");
    for (const TXmlElement &form : forms.ChildElements()) {
      QList<QObject *> windows;
      for (QWidget *w : QApplication::topLevelWidgets())
        if (w->objectName().compare(form.LocalName(), Qt::CaseInsensitive) == 0)
          windows << w;
      if (windows.isEmpty())
        problems << "no window " + form.LocalName();
      for (QObject *w : windows)
        CheckElement(w, form, form.LocalName(), texts, problems);
    }
    return texts;
  }

  void CheckElement(QObject *component, const TXmlElement &element, const QString &path,
                    QMap<QString, QString> &texts, QStringList &problems) {
    for (const TXmlAttribute &a : element.Attributes()) {
      texts[path + '/' + a.Name] = a.Value;
      QString value;
      if (!GetComponentProperty(component, a.Name, &value) || value != a.Value)
        problems << path + '/' + a.Name + ": \"" + value + "\" instead of \"" + a.Value + "\"";
    }
    for (const TXmlElement &child : element.ChildElements()) {
      if (child.LocalName() == QLatin1String("items")) {
        QStringList values;
        for (const TXmlElement &item : child.ChildElements())
          values << item.Attribute("value");
        texts[path + "/items"] = values.join('|');
        if (ComponentItems(component) != values)
          problems << path + "/items: " + ComponentItems(component).join('|');
        continue;
      }
      const QList<QObject *> owned = Named(component, child.LocalName());
      if (owned.isEmpty())
        problems << "no component " + path + '/' + child.LocalName();
      for (QObject *o : owned)
        CheckElement(o, child, path + '/' + child.LocalName(), texts, problems);
    }
  }

  // Every text a user can read in the open windows, with where it is.
  QStringList VisibleTexts() {
    QStringList texts;
    const QSet<QString> data{"TDataButton", "TDataTabSheet"}; // the user's presets
    for (QWidget *w : QApplication::topLevelWidgets()) {
      if (qobject_cast<QMenu *>(w) && !w->parentWidget())
        continue;
      texts << w->objectName() + ": " + w->windowTitle();
      for (QObject *o : w->findChildren<QObject *>()) {
        if (data.contains(o->metaObject()->className()) ||
            (o->parent() && data.contains(o->parent()->metaObject()->className())))
          continue;
        const QString where = o->objectName() + " [" + o->metaObject()->className() + "]: ";
        auto add = [&](const QString &t) {
          if (!t.isEmpty())
            texts << where + t;
        };
        if (auto *a = qobject_cast<QAction *>(o)) {
          if (a->parent() != window->findChild<QMenu *>("mimLng")) // language names
            add(a->text());
        } else if (auto *m = qobject_cast<QMenu *>(o)) {
          add(m->title());
        } else if (auto *b = qobject_cast<QAbstractButton *>(o)) {
          add(b->text());
        } else if (auto *e = qobject_cast<QLineEdit *>(o)) {
          add(e->placeholderText());
        } else if (auto *l = qobject_cast<QLabel *>(o)) {
          add(l->text());
        } else if (auto *g = qobject_cast<QGroupBox *>(o)) {
          add(g->title());
        } else if (auto *c = qobject_cast<QComboBox *>(o)) {
          if (!c->isEditable())
            for (int i = 0; i < c->count(); ++i)
              add(c->itemText(i));
        } else if (qobject_cast<QTableWidget *>(o) || qobject_cast<QTreeWidget *>(o)) {
          for (const QString &t : ComponentItems(o))
            add(t);
        } else if (auto *t = qobject_cast<QTabWidget *>(o)) {
          for (int i = 0; i < t->count(); ++i)
            if (!data.contains(t->widget(i)->metaObject()->className()))
              add(t->tabText(i));
        }
        if (auto *wd = qobject_cast<QWidget *>(o))
          add(wd->toolTip());
      }
    }
    return texts;
  }

  QPointer<TfAbout> about;
  std::unique_ptr<TfSavePacket> save;
  std::unique_ptr<TRequestResponseDialog> request;
};

} // namespace

TEST_F(LanguageFilesTest, ShippedFilesReachEveryComponentTheyNameAndNameTheSameOnes) {
  OpenEveryWindow();
  QMap<QString, QString> texts[2];
  const char *files[2] = {"pt.lng.en.xml", "pt.lng.cs.xml"};
  for (int i = 0; i < 2; ++i) {
    window->LoadLanguage(Shipped(files[i]));
    QStringList problems;
    texts[i] = Check(Shipped(files[i]), problems);
    EXPECT_TRUE(problems.isEmpty()) << files[i] << ":\n" << problems.join('\n').toStdString();
    EXPECT_TRUE(dialogs.messages.isEmpty());
  }
  QStringList onlyInOne;
  for (int i = 0; i < 2; ++i)
    for (const QString &key : texts[i].keys())
      if (!texts[1 - i].contains(key))
        onlyInOne << QLatin1String(files[i]) + ": " + key;
  EXPECT_TRUE(onlyInOne.isEmpty()) << onlyInOne.join('\n').toStdString();
  // The message texts too: a key in one file only leaves the other
  // language's users with the built-in text.
  const auto english = ReadLanguageTexts(Shipped(files[0]));
  const auto czech = ReadLanguageTexts(Shipped(files[1]));
  ASSERT_TRUE(english && czech);
  QStringList keys[2] = {english->keys(), czech->keys()};
  keys[0].sort();
  keys[1].sort();
  EXPECT_EQ(keys[0], keys[1]);
  for (const QString &key : texts[0].keys()) {
    if (key.endsWith("/items")) {
      EXPECT_EQ(texts[0][key].count('|'), texts[1][key].count('|')) << key.toStdString();
    }
  }
  // The Czech file gives back the design texts: a new window is the same
  // with it as without any language.
  EXPECT_EQ(texts[1]["fAsciiTable/Caption"], QStringLiteral("ASCII tabulka"));
}

TEST_F(LanguageFilesTest, EnglishLeavesNoCzechTextInAnyWindow) {
  OpenEveryWindow();
  // The design's texts, some of them without any accented letter.
  QStringList problems;
  window->LoadLanguage(Shipped("pt.lng.cs.xml"));
  const QMap<QString, QString> czech = Check(Shipped("pt.lng.cs.xml"), problems);
  window->LoadLanguage(Shipped("pt.lng.en.xml"));
  const QMap<QString, QString> english = Check(Shipped("pt.lng.en.xml"), problems);
  QSet<QString> czechOnly;
  for (auto it = czech.begin(); it != czech.end(); ++it)
    for (const QString &t : it.value().split('|'))
      if (!english.value(it.key()).split('|').contains(t))
        czechOnly << t;

  QStringList left;
  for (const QString &text : VisibleTexts()) {
    const QString shown = text.mid(text.indexOf(": ") + 2);
    if (LooksCzech(shown) || czechOnly.contains(shown))
      left << text;
  }
  EXPECT_TRUE(left.isEmpty()) << left.join('\n').toStdString();
}

TEST_F(LanguageFilesTest, WindowsBuiltAfterASwitchFollowItAndTheChoiceIsKept) {
  window->LoadLanguage(Shipped("pt.lng.en.xml"));
  window->aAsciiTableExecute();
  TfAsciiTable *ascii = window->AsciiTable();
  EXPECT_EQ(ascii->windowTitle(), QStringLiteral("ASCII table"));
  EXPECT_EQ(ascii->Table()->horizontalHeaderItem(4)->text(), QStringLiteral("Abbreviation"));
  {
    TfSavePacket dialog(dialogs, window.get());
    dialog.show();
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Preset settings"));
  }
  EXPECT_EQ(LanguageText("Preset", QStringLiteral("předvolba")), QStringLiteral("preset"));
  window->findChild<QAction *>("actDataResponder")->trigger();
  auto *tabs = window->findChild<QTabWidget *>("pgcLeftTools");
  EXPECT_EQ(tabs->tabText(tabs->count() - 1), QStringLiteral("Responder"));

  window->LoadLanguage(Shipped("pt.lng.cs.xml"));
  EXPECT_EQ(ascii->windowTitle(), QStringLiteral("ASCII tabulka"));
  EXPECT_EQ(tabs->tabText(tabs->count() - 1), QStringLiteral("Odpovídač"));
  EXPECT_EQ(LanguageText("Preset", QStringLiteral("x")), QStringLiteral("předvolba"));

  window->LoadLanguage(Shipped("pt.lng.en.xml"));
  Close();
  Open();
  EXPECT_EQ(window->findChild<QMenu *>("mimFile")->title(), QStringLiteral("File"));
  window->aAsciiTableExecute();
  EXPECT_EQ(window->AsciiTable()->windowTitle(), QStringLiteral("ASCII table"));
}

TEST_F(LanguageFilesTest, AFileThatFailsOnALaterWindowIsLogged) {
  const QString path = dir.filePath("late.xml");
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(QStringLiteral("<lng xmlns=\"%1\"><language><forms><fAsciiTable Colour=\"red\"/>"
                         "</forms></language></lng>")
              .arg(kLanguageNamespace)
              .toUtf8());
  f.close();
  window->LoadLanguage(path);
  window->aAsciiTableExecute(); // the window still opens
  EXPECT_TRUE(window->AsciiTable()->isVisible());
  auto logged = [&] {
    for (const Row &row : Rows(window->vstTerminal()))
      if (row.bytes.contains("late.xml") && row.bytes.contains("fAsciiTable") &&
          row.bytes.contains("Colour"))
        return row.color == kColorMaroon;
    return false;
  };
  EXPECT_TRUE(WaitFor(logged));
}

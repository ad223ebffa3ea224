#include "codecs/commandtext.h"
#include "codecs/pelmar97.h"
#include "tools/presetstore.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

const QByteArray kNs = cXmlnsPresets;

void Write(const QString &path, const QByteArray &text) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(text);
}

QByteArray Read(const QString &path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class PresetStoreTest : public ::testing::Test {
protected:
  QString Path(const QString &name) const { return dir.filePath(name); }
  QTemporaryDir dir;
};

TEST_F(PresetStoreTest, LoadsOnlyPresetFilesInOurNamespace) {
  Write(Path("pt.presets.A.xml"),
        "<presets xmlns=\"" + kNs +
            "\"><group caption=\"Spol\"><preset caption=\"a1\" data=\"01\"/></group>"
            "<GROUP caption=\"Skryta\" visible=\"False\"><Preset data=\"02\"/></GROUP>"
            "<preset caption=\"top\" data=\"03\"/></presets>");
  Write(Path("pt.presets.B.xml"), "<presets xmlns=\"" + kNs +
                                      "\"><group caption=\"Spol\"><preset caption=\"b1\"/>"
                                      "</group></presets>");
  Write(Path("pt.presets.C.xml"), "<presets><group caption=\"bez ns\"/></presets>");
  Write(Path("pt.presets.D.xml"), "<presets xmlns=\"http://example.com/other\"><group/></presets>");
  Write(Path("other.xml"), "<presets xmlns=\"" + kNs + "\"><group caption=\"jiny\"/></presets>");

  TPresetsManager store(dir.path());
  store.LoadPresets();
  EXPECT_TRUE(store.LoadErrors().isEmpty());
  ASSERT_EQ(store.GetChildsCount(), 4);
  EXPECT_EQ(store.GetChilds(0)->GetCaption(), "Spol");
  EXPECT_EQ(store.GetChilds(1)->GetCaption(), "Skryta");
  EXPECT_FALSE(store.GetChilds(1)->GetVisible());
  ASSERT_EQ(store.GetChilds(1)->GetChildsCount(), 1);
  EXPECT_EQ(store.GetChilds(1)->GetChilds(0)->GetCaption(), "<no name>");
  EXPECT_TRUE(dynamic_cast<TPresetItem *>(store.GetChilds(2)));
  EXPECT_EQ(store.GetChilds(3)->GetCaption(), "Spol");
  EXPECT_EQ(store.GetChilds(3)->GetChilds(0)->GetCaption(), "b1");
  EXPECT_EQ(store.GetChilds(9), nullptr);
}

TEST_F(PresetStoreTest, AFileThatCannotBeReadIsReportedAndNeverOverwritten) {
  const QByteArray broken = "<presets xmlns=\"" + kNs + "\"><group caption=\"x\">";
  Write(Path("pt.presets.Broken.xml"), broken);
  {
    TPresetsManager store(dir.path());
    store.LoadPresets();
    ASSERT_EQ(store.LoadErrors().size(), 1);
    EXPECT_TRUE(store.LoadErrors()[0].contains("pt.presets.Broken.xml"));
    EXPECT_EQ(store.GetChildsCount(), 0);
  } // the store saves everything it holds when it ends
  EXPECT_EQ(Read(Path("pt.presets.Broken.xml")), broken);
}

TEST_F(PresetStoreTest, WhatWeWriteLoadsBackIdentically) {
  {
    TPresetsManager store(dir.path());
    TPreset *group = store.CreateNewPresetGroup("Měření žluťoučký");
    EXPECT_FALSE(QFile::exists(Path("pt.presets.Měření žluťoučký.xml")));
    QString error;
    store.AddPreset(group, "Čtení & zápis <1>", "2A61", &error);
    EXPECT_TRUE(error.isEmpty()) << error.toStdString();
    EXPECT_TRUE(QFile::exists(Path("pt.presets.Měření žluťoučký.xml")));
    store.AddPreset(group, "druhá", "0D")->SetVisible(false);
  }
  const QByteArray bytes = Read(Path("pt.presets.Měření žluťoučký.xml"));
  EXPECT_TRUE(bytes.startsWith("<?xml version=\"1.0\" encoding=\"windows-1250\"?>"));
  TPresetsManager store(dir.path());
  store.LoadPresets();
  ASSERT_EQ(store.GetChildsCount(), 1);
  TPreset *group = store.GetChilds(0);
  EXPECT_EQ(group->GetCaption(), "Měření žluťoučký");
  ASSERT_EQ(group->GetChildsCount(), 2);
  EXPECT_EQ(group->GetChilds(0)->GetCaption(), "Čtení & zápis <1>");
  EXPECT_EQ(group->GetChilds(0)->Node().Attribute("data"), "2A61");
  EXPECT_TRUE(group->GetChilds(0)->GetVisible());
  EXPECT_EQ(group->GetChilds(1)->GetCaption(), "druhá");
  EXPECT_FALSE(group->GetChilds(1)->GetVisible());
}

TEST_F(PresetStoreTest, GroupNamesNeverLeaveTheFolderOrShareAFile) {
  TPresetsManager store(dir.path());
  struct Case {
    QString name, file;
  } cases[] = {
      {"Test", "pt.presets.Test.xml"},
      {"../../etc/x", "pt.presets.____etc_x.xml"},
      {"a/b\\c:d*e?f\"g<h>i|j", "pt.presets.a_b_c_d_e_f_g_h_i_j.xml"},
      {"..", "pt.presets._.xml"},
      {"", "pt.presets._.xml"},
  };
  for (const Case &c : cases)
    EXPECT_EQ(store.NewGroupFileName(c.name), Path(c.file)) << c.name.toStdString();

  // A file that exists, or one a group of this run will write, is not reused.
  Write(Path("pt.presets.Test.xml"), "jiný soubor");
  TPreset *first = store.CreateNewPresetGroup("Test");
  TPreset *second = store.CreateNewPresetGroup("Test");
  EXPECT_EQ(first->File()->fileName, Path("pt.presets.Test (2).xml"));
  EXPECT_EQ(second->File()->fileName, Path("pt.presets.Test (3).xml"));
  EXPECT_EQ(first->GetCaption(), "Test");
  store.AddPreset(first, "p", "01");
  EXPECT_EQ(Read(Path("pt.presets.Test.xml")), "jiný soubor");
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 2);
}

TEST_F(PresetStoreTest, RemovingAGroupFileTakesEveryGroupOfIt) {
  Write(Path("pt.presets.A.xml"),
        "<presets xmlns=\"" + kNs + "\"><group caption=\"a\"/><group caption=\"b\"/></presets>");
  Write(Path("pt.presets.B.xml"),
        "<presets xmlns=\"" + kNs + "\"><group caption=\"c\"/></presets>");
  TPresetsManager store(dir.path());
  store.LoadPresets();
  ASSERT_EQ(store.GetChildsCount(), 3);
  ASSERT_TRUE(store.RemoveGroupFile(store.GetChilds(1)));
  EXPECT_FALSE(QFile::exists(Path("pt.presets.A.xml")));
  ASSERT_EQ(store.GetChildsCount(), 1);
  EXPECT_EQ(store.GetChilds(0)->GetCaption(), "c");

  TPreset *group = store.GetChilds(0);
  TPreset *preset = store.AddPreset(group, "x", "01");
  store.DeletePreset(preset);
  EXPECT_EQ(group->GetChildsCount(), 0);
  EXPECT_TRUE(group->Node().ChildElements().isEmpty());
}

// Installed: the shipped groups are read-only, the user's folder takes
// every change, and a removed shipped group stays removed.
TEST_F(PresetStoreTest, ShippedGroupsChangeAndGoOnlyInTheUsersFolder) {
  TDataFolders folders;
  folders.shipped = Path("shipped/");
  folders.user = Path("user/pt.files/");
  ASSERT_TRUE(QDir().mkpath(folders.shipped) && QDir().mkpath(folders.user));
  const QByteArray shipped = "<presets xmlns=\"" + kNs +
                             "\"><group caption=\"Dodané\"><preset data=\"01\"/></group>"
                             "</presets>";
  Write(folders.shipped + "pt.presets.A.xml", shipped);
  Write(folders.shipped + "pt.presets.B.xml",
        "<presets xmlns=\"" + kNs + "\"><group caption=\"Druhá\"/></presets>");
  Write(folders.user + "pt.presets.B.xml",
        "<presets xmlns=\"" + kNs + "\"><group caption=\"Moje B\"/></presets>");
  const auto Captions = [&] {
    TPresetsManager store(folders);
    store.LoadPresets();
    QStringList captions;
    for (int i = 0; i < store.GetChildsCount(); ++i)
      captions << store.GetChilds(i)->GetCaption();
    return captions;
  };
  EXPECT_EQ(Captions(), QStringList({"Dodané", "Moje B"})); // the user's B overrides

  {
    TPresetsManager store(folders);
    store.LoadPresets();
    ASSERT_TRUE(store.AddPreset(store.GetChilds(0), "novy", "02"));
    TPreset *group = store.CreateNewPresetGroup("Nová");
    ASSERT_TRUE(store.AddPreset(group, "n", "03"));
  }
  EXPECT_EQ(Read(folders.shipped + "pt.presets.A.xml"), shipped);
  EXPECT_TRUE(Read(folders.user + "pt.presets.A.xml").contains("novy"));
  EXPECT_TRUE(QFile::exists(folders.user + "pt.presets.Nová.xml"));
  EXPECT_EQ(Captions(), QStringList({"Dodané", "Moje B", "Nová"}));

  {
    TPresetsManager store(folders);
    store.LoadPresets();
    QString error;
    ASSERT_TRUE(store.RemoveGroupFile(store.GetChilds(0), &error)) << error.toStdString();
    ASSERT_TRUE(store.RemoveGroupFile(store.GetChilds(0), &error)) << error.toStdString();
  }
  // The shipped files stay; the user's copies went; both stay removed.
  EXPECT_EQ(Read(folders.shipped + "pt.presets.A.xml"), shipped);
  EXPECT_FALSE(QFile::exists(folders.user + "pt.presets.A.xml"));
  EXPECT_FALSE(QFile::exists(folders.user + "pt.presets.B.xml"));
  EXPECT_EQ(Captions(), QStringList({"Nová"}));
}

TEST(ShippedPresets, EveryShippedPresetIsAValidFrame) {
  TPresetsManager store(PT_DATA_FILES_DIR);
  store.LoadPresets();
  EXPECT_TRUE(store.LoadErrors().isEmpty());
  int presets = 0;
  for (int g = 0; g < store.GetChildsCount(); ++g)
    for (int p = 0; p < store.GetChilds(g)->GetChildsCount(); ++p, ++presets) {
      const TPreset *preset = store.GetChilds(g)->GetChilds(p);
      EXPECT_EQ(sCheck_S97(HexToBinStr(preset->Node().Attribute("data"))), 0)
          << preset->GetCaption().toStdString();
    }
  EXPECT_GE(presets, 3);
}

} // namespace

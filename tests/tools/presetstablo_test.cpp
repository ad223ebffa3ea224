#include "tools/cmdline.h"
#include "tools/presetstablo.h"
#include "tools/responderpage.h"
#include "widgets/messages.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

namespace {

struct TabloSink : TMessageSink {
  QStringList errors, balloons;
  void ShowError(QWidget *, const QString &, const QString &text) override { errors << text; }
  void ShowBalloon(QWidget *, const QString &, const QString &text) override {
    if (!text.isEmpty())
      balloons << text;
  }
};

class TabloTest : public ::testing::Test {
protected:
  std::unique_ptr<TfPresetsTablo> Open() {
    auto tablo = std::make_unique<TfPresetsTablo>(dir.path(), sink);
    tablo->SetOnDataSend([this](const QByteArray &data) { sent.append(data); });
    return tablo;
  }
  QStringList Texts(const TfPresetsTablo &tablo) {
    QStringList out;
    for (const auto *row : tablo.Rows())
      out << row->lblIndex->text() + " " + row->edtCommandLine->text() +
                 (row->btnSend->isEnabled() ? " +" : " -");
    return out;
  }

  QTemporaryDir dir;
  TabloSink sink;
  QList<QByteArray> sent;
};

TEST_F(TabloTest, FirstOpeningShowsTheDefaultRows) {
  auto tablo = Open();
  EXPECT_EQ(Texts(*tablo), QStringList({"1. AT{0x0D} +", "2. Hello!{0x0D} +", "3.  -", "4.  -"}));
  tablo->Rows()[1]->btnSend->click();
  // Enter sends a row even when its button is disabled: the bytes are then empty.
  tablo->show();
  QTest::keyClick(tablo->Rows()[2]->edtCommandLine, Qt::Key_Return);
  EXPECT_EQ(sent, QList<QByteArray>({"Hello!\r", ""}));
  EXPECT_TRUE(sink.errors.isEmpty());
}

TEST_F(TabloTest, RowsAreRemovedAddedRenumberedAndKeptAcrossRestarts) {
  {
    auto tablo = Open();
    tablo->Rows()[1]->btnRemove->click();
    EXPECT_EQ(Texts(*tablo), QStringList({"1. AT{0x0D} +", "2.  -", "3.  -"}));
    tablo->AddButton()->click();
    tablo->Rows()[3]->edtCommandLine->setText("{$01,02}x");
    EXPECT_EQ(tablo->Rows()[3]->lblIndex->text(), "4.");
    tablo->AddButton()->click();
  } // written as the window goes
  auto tablo = Open();
  EXPECT_EQ(Texts(*tablo),
            QStringList({"1. AT{0x0D} +", "2.  -", "3.  -", "4. {$01,02}x +", "5.  -"}));
  tablo->Rows()[3]->btnSend->click();
  EXPECT_EQ(sent, QList<QByteArray>({QByteArray("\x01\x02x")}));
}

// Installed: a shipped table is where the user's starts; the user's copy is
// written to the user's folder, read from then on, and the shipped one stays.
TEST_F(TabloTest, AShippedTableIsReadAndTheUsersWritten) {
  TDataFolders folders;
  folders.shipped = dir.filePath("shipped/");
  folders.user = dir.filePath("user/");
  ASSERT_TRUE(QDir().mkpath(folders.shipped) && QDir().mkpath(folders.user));
  const QByteArray shipped = "<tablo><item data=\"ATI{0x0D}\"/></tablo>";
  QFile file(folders.shipped + "pt.tablo.xml");
  ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(shipped) == shipped.size());
  file.close();
  {
    TfPresetsTablo tablo(folders, sink);
    EXPECT_EQ(Texts(tablo), QStringList({"1. ATI{0x0D} +"}));
    tablo.AddButton()->click();
    tablo.Rows()[1]->edtCommandLine->setText("AT&V{0x0D}");
  }
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_EQ(file.readAll(), shipped);
  TfPresetsTablo tablo(folders, sink);
  EXPECT_EQ(Texts(tablo), QStringList({"1. ATI{0x0D} +", "2. AT&V{0x0D} +"}));
  EXPECT_EQ(tablo.FileName(), folders.user + "pt.tablo.xml");
  EXPECT_TRUE(sink.errors.isEmpty());
}

TEST_F(TabloTest, TwoDigitRowNumbersAreWholeAndTheRowsStayAligned) {
  auto tablo = Open();
  while (tablo->Rows().size() < 12)
    tablo->AddButton()->click();
  const int width = tablo->Rows()[0]->lblIndex->width();
  for (const auto *row : tablo->Rows()) {
    EXPECT_GE(row->lblIndex->width(), row->lblIndex->sizeHint().width())
        << row->lblIndex->text().toStdString();
    EXPECT_EQ(row->lblIndex->width(), width);
  }
}

TEST_F(TabloTest, AnUnclosedGroupKeepsTheLastGoodState) {
  auto tablo = Open();
  TfrmPresetTabloItem *row = tablo->Rows()[0];
  row->edtCommandLine->setText("AT{0x0D");
  ASSERT_EQ(sink.balloons.size(), 1);
  EXPECT_TRUE(sink.balloons[0].contains("}"));
  EXPECT_EQ(row->SendPacketPrepared, "AT\r");
  EXPECT_EQ(row->Fnode.Attribute("data"), "AT{0x0D}");
}

TEST_F(TabloTest, AFileThatCannotBeReadIsKeptAndTheEditsGoBesideIt) {
  const QByteArray broken = "<tablo><item data=\"x\">";
  const QString file = dir.filePath("pt.tablo.xml");
  const QString beside = dir.filePath("pt.tablo_001.xml");
  {
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(broken);
  }
  const auto onDisk = [](const QString &name) {
    QFile f(name);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  };
  {
    auto tablo = Open();
    ASSERT_EQ(sink.errors.size(), 1);
    EXPECT_EQ(sink.errors[0].count(file), 1) << sink.errors[0].toStdString();
    EXPECT_EQ(tablo->Rows().size(), 4); // works on the defaults meanwhile
  }                                     // nothing changed: nothing to keep
  EXPECT_EQ(sink.errors.size(), 1);
  EXPECT_FALSE(QFile::exists(beside));

  sink.errors.clear();
  {
    auto tablo = Open();
    tablo->Rows()[2]->edtCommandLine->setText("kept{0x0D}");
  }
  EXPECT_EQ(onDisk(file), broken);
  EXPECT_TRUE(onDisk(beside).contains("data=\"kept{0x0D}\"")) << onDisk(beside).constData();
  ASSERT_EQ(sink.errors.size(), 2);
  EXPECT_EQ(sink.errors[1].count(file), 1) << sink.errors[1].toStdString();
  EXPECT_EQ(sink.errors[1].count(beside), 1) << sink.errors[1].toStdString();
}

TEST(ResponderPage, AddOpensTheDialogAndEditAndRemoveWaitForARow) {
  TResponderPage page;
  EXPECT_FALSE(page.actEdit->isEnabled());
  EXPECT_FALSE(page.actRemove->isEnabled());
  QString request, response;
  page.RunDialog = [&](TRequestResponseDialog &dialog) {
    request = dialog.edtRequest->text();
    response = dialog.edtResponse->text();
    return int(QDialog::Accepted);
  };
  page.actAdd->trigger();
  EXPECT_EQ(request, "AT{0x0D}");
  EXPECT_EQ(response, "OK{0x0D}");
}

} // namespace

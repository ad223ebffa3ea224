#include "base/languagetext.h"
#include "connections/connectiontexts.h"
#include "tools/cmdline.h"
#include "tools/commandlinepanel.h"
#include "windowfixture.h"

#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QSplitter>
#include <QTest>
#include <algorithm>

namespace {

class ConfigWindowTest : public WindowTest {
protected:
  // Restarts the window on the given "config.xml".
  void StartWith(const QByteArray &config) {
    Close();
    QFile f(dir.filePath("config.xml"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(config);
    f.close();
    Open();
  }
  // The maroon log lines shown so far.
  QStringList MaroonLines() {
    Process();
    QStringList lines;
    for (const Row &row : Rows(window->vstTerminal()))
      if (row.kind == "TVexlinDataLog" && row.color == kColorMaroon)
        lines << QString::fromUtf8(row.bytes);
    return lines;
  }
  QByteArray SavedConfig() const {
    QFile f(dir.filePath("config.xml"));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  }
  QSplitter *Splitter(const char *name) const {
    return window->findChild<QSplitter *>(QLatin1String(name));
  }
};

TEST_F(ConfigWindowTest, ASavedSizeNeverExceedsTheScreen) {
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  StartWith("<pelmar_terminal width=\"2147483647\" height=\"2147483647\"/>");
  ASSERT_TRUE(WaitFor([&] { return MaroonLines().size() == 2; }))
      << MaroonLines().join('\n').toStdString();
  EXPECT_TRUE(MaroonLines()[0].contains("out of range"));
  EXPECT_LE(window->width(), std::max(screen.width(), window->minimumSizeHint().width()));

  // Larger than the screen but plausible: the screen's size, no complaint.
  StartWith("<pelmar_terminal left=\"-3000\" top=\"5000\" width=\"30000\" height=\"20000\"/>");
  EXPECT_TRUE(MaroonLines().isEmpty()) << MaroonLines().join('\n').toStdString();
  const QRect g = window->geometry();
  EXPECT_TRUE(screen.contains(g.topLeft()));
  EXPECT_LE(g.width(), std::max(screen.width(), window->minimumSizeHint().width()));
  EXPECT_LE(g.height(), std::max(screen.height(), window->minimumSizeHint().height()));
  Close();
  EXPECT_FALSE(SavedConfig().contains("width=\"30000\"")) << SavedConfig().constData();
}

TEST_F(ConfigWindowTest, ASavedCommandThatDoesNotConvertIsALogLineNotABox) {
  StartWith("<pelmar_terminal><CmdLine LastCommand=\"{$41\" CR=\"false\"/></pelmar_terminal>");
  EXPECT_TRUE(dialogs.errors.isEmpty()) << dialogs.errors.join('\n').toStdString();
  const QStringList lines = MaroonLines();
  ASSERT_EQ(lines.size(), 1) << lines.join('\n').toStdString();
  EXPECT_TRUE(lines[0].contains("LastCommand")) << lines[0].toStdString();
  EXPECT_TRUE(lines[0].contains("End character \"}\" not found in \"{$41\""))
      << lines[0].toStdString();
  EXPECT_EQ(window->CommandLine()->Command(), "{$41") << "the user's text stays to be mended";

  // Once the window is up, typing reports in the balloon hint again.
  window->CommandLine()->CommandLine()->clear();
  QTest::keyClicks(window->CommandLine()->CommandLine(), "{$G}");
  EXPECT_FALSE(dialogs.balloon.isEmpty());
  EXPECT_TRUE(dialogs.errors.isEmpty());
}

TEST_F(ConfigWindowTest, NegativePanelSizesGiveTheDefaults) {
  const int defaultLeft = Splitter("pMiddle")->sizes().value(0);
  const int defaultBottom = Splitter("Splitter2")->sizes().value(1);
  ASSERT_GT(defaultLeft, 0);
  ASSERT_GT(defaultBottom, 0);
  StartWith("<pelmar_terminal packetFrameWidth=\"-400\" rxBufferHeight=\"-90\"/>");
  EXPECT_EQ(MaroonLines().size(), 2) << MaroonLines().join('\n').toStdString();
  EXPECT_EQ(Splitter("pMiddle")->sizes().value(0), defaultLeft);
  EXPECT_EQ(Splitter("Splitter2")->sizes().value(1), defaultBottom);
}

TEST_F(ConfigWindowTest, AConfigWithADocumentTypeGetsTheDefaults) {
  const QByteArray text = "<!DOCTYPE pelmar_terminal [<!ENTITY e \"{$41\">]>"
                          "<pelmar_terminal viewStatusBar=\"false\">"
                          "<CmdLine LastCommand=\"&e;&e;\"/></pelmar_terminal>";
  StartWith(text);
  ASSERT_EQ(MaroonLines().size(), 1);
  EXPECT_TRUE(MaroonLines()[0].contains("DOCTYPE"));
  EXPECT_TRUE(window->CommandLine()->Command().isEmpty());
  Close();
  QFile backup(dir.filePath("config.xml.bak"));
  ASSERT_TRUE(backup.open(QIODevice::ReadOnly));
  EXPECT_EQ(backup.readAll(), text);
}

// The readers name the file in their reasons already; no message about a file
// that cannot be read may name it a second time.
TEST_F(ConfigWindowTest, MessagesAboutUnreadableFilesNameEachFileOnce) {
  const QString presets = dir.filePath("pt.files/pt.presets.Broken.xml");
  const QString language = dir.filePath("pt.files/pt.lng.broken.xml");
  const QString tablo = dir.filePath("pt.files/pt.tablo.xml");
  for (const QString &name : {presets, language, tablo}) {
    QFile f(name);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("<broken>");
  }
  StartWith("<pelmar_terminal><language lngFileName=\"" + language.toUtf8() +
            "\"/></pelmar_terminal>");
  window->actCommandTabloExecute();
  QStringList shown = MaroonLines() + dialogs.errors;
  StartWith("<pelmar_terminal");
  shown += MaroonLines();
  for (const QString &name : {presets, language, tablo, dir.filePath("config.xml")}) {
    const auto message = std::find_if(shown.begin(), shown.end(),
                                      [&](const QString &text) { return text.contains(name); });
    ASSERT_NE(message, shown.end()) << name.toStdString() << " in\n"
                                    << shown.join('\n').toStdString();
    EXPECT_EQ(message->count(name), 1) << message->toStdString();
  }
}

// Ended by a signal, nobody is there to click a box: a config.xml that cannot
// be written is told on the next start instead, once.
TEST_F(ConfigWindowTest, AFailedSaveAtASignalsCloseIsToldAtTheNextStart) {
  Close();
  const QString config = dir.filePath("config.xml");
  QFile::remove(config);
  // Unwritable even for root: it leads into a folder that is not there.
  ASSERT_TRUE(QFile::link(dir.filePath("gone/config.xml"), config));
  Open();
  window->CloseBySignal();
  window.reset();
  EXPECT_TRUE(dialogs.messages.isEmpty()) << dialogs.messages.join('\n').toStdString();

  Open();
  const QString told = LanguageText(QStringLiteral("CloseBySignalFailed"),
                                    QStringLiteral("Při posledním ukončení signálem: %1"))
                           .arg(QString());
  auto toldLines = [&] {
    QStringList lines = MaroonLines();
    lines.removeIf([&](const QString &line) { return !line.startsWith(told); });
    return lines;
  };
  const QStringList first = toldLines();
  ASSERT_EQ(first.size(), 1) << MaroonLines().join('\n').toStdString();
  EXPECT_TRUE(first[0].contains(config)) << first[0].toStdString();

  // A close the user asked for shows the box as before; the next start
  // repeats nothing.
  Close();
  EXPECT_EQ(dialogs.messages.size(), 1);
  Open();
  EXPECT_TRUE(toldLines().isEmpty());
}

} // namespace

#include "app/connectionpanel.h"
#include "app/launcher.h"
#include "netutils/fakemodules.h"
#include "netutils/lantronixfinder.h"
#include "pipeline/datanetitems.h"
#include "windowfixture.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QUrl>

namespace {

// The search points at modules played on loopback.
class DiscoveryTest : public WindowTest {
protected:
  void Aim(const TFakeModules &modules, quint16 listenPort = 0) {
    qputenv("PT_DISCOVERY_ADDRESS", "127.255.255.255");
    qputenv("PT_DISCOVERY_PORT", QByteArray::number(modules.QueryPort()));
    qputenv("PT_DISCOVERY_LISTEN_PORT", QByteArray::number(listenPort));
    qputenv("PT_DISCOVERY_TELNET_PORT", QByteArray::number(modules.TelnetPort()));
    Close();
    Open();
    window->StartProgram = [this](const TProgramStart &start) {
      started << start.arguments.join(u' ');
      return true;
    };
    window->OpenUrl = [this](const QUrl &url) {
      opened << url.toString();
      return true;
    };
    window->LantronixFinder()->SetListenTime(100);
  }
  void TearDown() override {
    WindowTest::TearDown();
    for (const char *name : {"PT_DISCOVERY_ADDRESS", "PT_DISCOVERY_PORT",
                             "PT_DISCOVERY_LISTEN_PORT", "PT_DISCOVERY_TELNET_PORT"})
      qunsetenv(name);
  }
  QPushButton *Button() const {
    return window->findChild<QPushButton *>(QStringLiteral("btnLantronixSearch2"));
  }
  static TVexlinDataLantronixScanItem *Module(const TVexlinNode *node) {
    return dynamic_cast<TVexlinDataLantronixScanItem *>(node->Data);
  }
  static void Click(TVexlinDataLantronixScanItem *item, const QString &caption) {
    for (const TLinkMenuItem &link : item->fLinkMenu)
      if (link.Caption == caption)
        return link.onClick(item);
    ADD_FAILURE() << "no link " << caption.toStdString();
  }
  QStringList started, opened;
};

TEST_F(DiscoveryTest, FoundModulesAreListedUnderTheSearchWithTheirIdentification) {
  TFakeModules modules(2, TFakeModules::TBanner::Markers);
  Aim(modules);
  ASSERT_NE(Button(), nullptr);
  EXPECT_EQ(Button()->text(), "Vyhledat moduly Lantronix XPORT");
  QTest::mouseClick(Button(), Qt::LeftButton);
  EXPECT_FALSE(window->LantronixSearchAction()->isEnabled());
  EXPECT_FALSE(Button()->isEnabled());

  TVexlinTree *list = window->vstTerminal();
  ASSERT_EQ(list->RowCount(), 1u);
  TVexlinNode *root = list->NodeAt(0);
  auto *line = dynamic_cast<TVexlinDataLog *>(root->Data);
  ASSERT_NE(line, nullptr);
  EXPECT_EQ(line->Text, "Odeslán broadcast pro nalezení modulů Lantronix XPORT");
  EXPECT_EQ(line->TextColor, RGBColor(0, 0, 128));

  ASSERT_TRUE(WaitFor(
      [&] {
        return root->ChildCount() == 2 && Module(root->Child(0))->TR == 0 &&
               Module(root->Child(1))->TR == 0;
      },
      10000));
  QStringList found;
  for (size_t i = 0; i < root->ChildCount(); ++i) {
    const TVexlinDataLantronixScanItem *m = Module(root->Child(i));
    found << m->IP + u' ' + m->MAC + u' ' + m->Info;
  }
  found.sort();
  EXPECT_EQ(found, QStringList({"127.0.1.1 00:20:4A:00:00:00 XPort-0",
                                "127.0.1.2 00:20:4A:00:01:00 XPort-1"}));
  // Drawn, the identification pushes every row's links to one column.
  window->grab();
  EXPECT_GT(TVexlinDataLantronixScanItem::MaxMenuLeft, 0);

  // The listener closes on the housekeeping timer and the search is offered again.
  EXPECT_TRUE(WaitFor([&] { return Button()->isEnabled(); }, 3000));
  EXPECT_FALSE(window->LantronixFinder()->Active());
}

TEST_F(DiscoveryTest, LinksFillTheConnectionAndStartTools) {
  TFakeModules modules(1, TFakeModules::TBanner::Markers);
  Aim(modules);
  window->actLantronixSearchExecute();
  TVexlinNode *root = window->vstTerminal()->NodeAt(0);
  ASSERT_TRUE(WaitFor([&] { return root->ChildCount() == 1; }));
  TVexlinDataLantronixScanItem *m = Module(root->Child(0));

  QStringList strip;
  for (const TLinkMenuItem &link : m->fLinkMenu)
    if (!link.DontDraw)
      strip << link.Caption;
  QStringList expected = {"Set", "Open", "Ping", "Web"};
  if (!SystemExecutableFinder()(QStringLiteral("telnet")).isEmpty())
    expected.insert(2, QStringLiteral("Telnet"));
  EXPECT_EQ(strip, expected);

  Click(m, QStringLiteral("Set"));
  EXPECT_EQ(window->ConnectionPanel()->edtTcpHost->text(), "127.0.1.1");
  Click(m, QStringLiteral("Web"));
  EXPECT_EQ(opened, QStringList({"http://127.0.1.1/"}));
  Click(m, QStringLiteral("Ping"));
  // Started in a terminal where the desktop has one, else said why not.
  if (started.isEmpty())
    EXPECT_EQ(dialogs.messages.value(0), "Nebyl nalezen žádný terminál pro spuštění ping.");
  else
    EXPECT_TRUE(started.value(0).endsWith(QStringLiteral("ping 127.0.1.1")))
        << started.value(0).toStdString();
  Click(m, QStringLiteral("Copy IP to Clipboard"));
  EXPECT_EQ(QGuiApplication::clipboard()->text(), "127.0.1.1");
}

// Cleared before the answers came, the search has no row of its own: the
// answers arrive as rows of their own.
TEST_F(DiscoveryTest, AnswersAfterClearingGoToTheTopLevel) {
  TFakeModules modules(1, TFakeModules::TBanner::Silent, 200);
  Aim(modules);
  window->actLantronixSearchExecute();
  window->bClearClick();
  TVexlinTree *list = window->vstTerminal();
  ASSERT_TRUE(WaitFor([&] { return list->RowCount() == 1; }));
  EXPECT_NE(Module(list->NodeAt(0)), nullptr);
}

TEST_F(DiscoveryTest, ABusyPortGivesTheRedLineAndNoSearch) {
  QUdpSocket holder;
  ASSERT_TRUE(holder.bind(QHostAddress::AnyIPv4, 0));
  TFakeModules modules(1, TFakeModules::TBanner::Markers);
  Aim(modules, holder.localPort());
  window->actLantronixSearchExecute();
  const std::vector<Row> rows = Rows(window->vstTerminal());
  ASSERT_EQ(rows.size(), 1u);
  // The port actually tried, not the default one.
  EXPECT_EQ(QString::fromUtf8(rows[0].bytes),
            QStringLiteral("Nepodařilo se otevřít UDP port %1, nelze provést detekci "
                           "přítomnosti modulů Lantronix XPORT")
                .arg(holder.localPort()));
  EXPECT_EQ(rows[0].color, RGBColor(255, 0, 0));
  Settle(300);
  EXPECT_EQ(window->vstTerminal()->NodeAt(0)->ChildCount(), 0u);
  EXPECT_FALSE(window->LantronixSearchAction()->isEnabled());
}

} // namespace

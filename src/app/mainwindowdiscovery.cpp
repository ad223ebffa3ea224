// The search for serial-to-Ethernet modules: the action, its rows in the
// packet list and what their links do.
#include "app/connectionpanel.h"
#include "app/launcher.h"
#include "app/mainwindow.h"
#include "base/languagetext.h"
#include "connections/connectiontexts.h"
#include "netutils/lantronixfinder.h"
#include "pipeline/datalog.h"
#include "view/terminalview.h"
#include "view/vexlintree.h"
#include "widgets/dialogs.h"
#include "widgets/named.h"

#include <QAction>
#include <QDesktopServices>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QUrl>

namespace {

const QString kSearchCaption = QStringLiteral("Vyhledat moduly Lantronix XPORT");

} // namespace

void TfMainPelmarTerm::BuildDiscovery() {
  actLantronixSearch = Named(new QAction(kSearchCaption, this), "actLantronixSearch");
  actLantronixSearch->setShortcut(QKeySequence(QStringLiteral("Ctrl+H")));
  addAction(actLantronixSearch);
  connect(actLantronixSearch, &QAction::triggered, this,
          &TfMainPelmarTerm::actLantronixSearchExecute);
  btnLantronixSearch2 = Named(new QPushButton(kSearchCaption), "btnLantronixSearch2");
  pnlConnection->AddBottomButton(btnLantronixSearch2);
  connect(btnLantronixSearch2, &QPushButton::clicked, actLantronixSearch, &QAction::trigger);
  connect(actLantronixSearch, &QAction::enabledChanged, btnLantronixSearch2,
          &QPushButton::setEnabled);

  OpenUrl = [](const QUrl &url) { return QDesktopServices::openUrl(url); };
  fLantronix = new TLantronixFinder(TDiscoveryTarget::FromEnvironment(), TIdentifyOptions(), this);
  TLantronixLinks &links = fLantronix->Links;
  links.Set = [this](const QString &ip) { pnlConnection->edtTcpHost->setText(ip); };
  links.Open = [this](const QString &ip) {
    pnlConnection->edtTcpHost->setText(ip);
    btnTcpConnectDisconnectClick();
  };
  links.Telnet = [this](const QString &ip) {
    StartInTerminal({QStringLiteral("telnet"), ip, QStringLiteral("9999")});
  };
  // Linux ping runs until it is stopped; "-t" would set the TTL here.
  links.Ping = [this](const QString &ip) { StartInTerminal({QStringLiteral("ping"), ip}); };
  links.Web = [this](const QString &ip) {
    if (!OpenUrl(QUrl(QStringLiteral("http://%1/").arg(ip))))
      fDialogs.ShowMessage(this, LanguageText(QStringLiteral("NoBrowser"),
                                              QStringLiteral("Nepodařilo se otevřít webový "
                                                             "prohlížeč.")));
  };
  links.TelnetAvailable = !SystemExecutableFinder()(QStringLiteral("telnet")).isEmpty();
  connect(fLantronix, &TLantronixFinder::moduleFound, this,
          &TfMainPelmarTerm::udpServerLantronixUDPRead);

  tmr1 = Named(new QTimer(this), "tmr1");
  tmr1->setInterval(1000);
  connect(tmr1, &QTimer::timeout, this, [this] {
    if (fLantronix->CloseWhenDue())
      actLantronixSearch->setEnabled(true);
  });
  tmr1->start();
  // Answers after the list was cleared go to the top level.
  connect(fTerminalTree, &TVexlinTree::rowsRemoved, this, [this] {
    fLastLantronixFinderRootNode = nullptr;
    fLastLantronixFinderRootDataObject = nullptr;
  });
}

void TfMainPelmarTerm::actLantronixSearchExecute() {
  if (!actLantronixSearch->isEnabled())
    return;
  actLantronixSearch->setEnabled(false);
  const bool started = fLantronix->Start();
  auto *log = new TVexlinDataLog(
      started
          ? LanguageText(QStringLiteral("DiscoverySent"),
                         QStringLiteral("Odeslán broadcast pro nalezení modulů Lantronix XPORT"))
          : LanguageText(QStringLiteral("DiscoveryPortFailed"),
                         QStringLiteral("Nepodařilo se otevřít UDP port %1, nelze provést "
                                        "detekci přítomnosti modulů Lantronix XPORT"))
                .arg(fLantronix->ListenPort()),
      started ? kColorNavy : kColorRed);
  log->ParentVDT = fTerminalTree;
  fLastLantronixFinderRootDataObject = log;
  fLastLantronixFinderRootNode = fTerminalTree->AddRow(log);
  fTerminal->FlushNodeItem(fLastLantronixFinderRootNode);
}

void TfMainPelmarTerm::udpServerLantronixUDPRead(TVexlinDataLantronixScanItem *item) {
  if (!fLastLantronixFinderRootNode) {
    item->Push();
    return;
  }
  item->ParentVDT = fTerminalTree;
  TVexlinNode *node = fTerminalTree->AddChild(fLastLantronixFinderRootNode, item);
  fTerminalTree->SetExpanded(fLastLantronixFinderRootNode, true);
  fTerminal->FlushNodeItem(node);
}

void TfMainPelmarTerm::StartInTerminal(const QStringList &command) {
  const std::optional<TProgramStart> terminal = TerminalCommand(command, SystemExecutableFinder());
  if (!terminal) {
    fDialogs.ShowMessage(this, LanguageText(QStringLiteral("NoTerminal"),
                                            QStringLiteral("Nebyl nalezen žádný terminál pro "
                                                           "spuštění %1."))
                                   .arg(command.value(0)));
    return;
  }
  if (!StartProgram(*terminal))
    fDialogs.ShowMessage(this, StartFailedText(terminal->program));
}

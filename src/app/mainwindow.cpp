#include "app/mainwindow.h"

#include "app/arpsnapshotview.h"
#include "app/closefailures.h"
#include "app/connectionpanel.h"
#include "app/formposition.h"
#include "app/ipc.h"
#include "app/lastconnection.h"
#include "app/launcher.h"
#include "app/listfiles.h"
#include "app/listmemorywatch.h"
#include "app/logfolder.h"
#include "app/parserpage.h"
#include "app/serialgroup.h"
#include "app/statusbar.h"
#include "app/tabpageswidth.h"
#include "base/datafolder.h"
#include "base/fileio.h"
#include "base/pterror.h"
#include "base/utils.h"
#include "connections/connectioncontroller.h"
#include "connections/connectiontexts.h"
#include "connections/devicechange.h"
#include "connections/transportsend.h"
#include "netutils/addressmonitor.h"
#include "netutils/arpsnapshot.h"
#include "netutils/arptable.h"
#include "netutils/lantronixfinder.h"
#include "netutils/versioncheck.h"
#include "pipeline/databinary.h"
#include "pipeline/datalog.h"
#include "pipeline/datamodbus.h"
#include "pipeline/dataobjectqueue.h"
#include "pipeline/logfile.h"
#include "pipeline/logrecorder.h"
#include "serial/comport.h"
#include "serial/safesync.h"
#include "tools/bustools.h"
#include "tools/cmdline.h"
#include "tools/commandlinepanel.h"
#include "tools/modbuspanel.h"
#include "tools/packetcomposer.h"
#include "tools/presetbar.h"
#include "tools/presetstablo.h"
#include "tools/presetstore.h"
#include "tools/repeater.h"
#include "tools/responderpage.h"
#include "view/infowindow.h"
#include "view/packetdetail.h"
#include "view/rowfinder.h"
#include "view/terminalview.h"
#include "view/vexlinnode.h"
#include "view/vexlintree.h"
#include "widgets/asciitable.h"
#include "widgets/dialogs.h"
#include "widgets/elidedlabel.h"
#include "widgets/language.h"
#include "widgets/menubarstyle.h"
#include "widgets/named.h"
#include "widgets/numedit.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QMenuBar>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScreen>
#include <QScrollArea>
#include <QSplitter>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <cstdio>
#include <tuple>

namespace {

constexpr int kAppendSlice = 20000;
// Bytes of log lines one turn of the event loop makes for a recording.
constexpr qint64 kRecordSlice = 2 << 20;
constexpr int kRemainderRefreshMs = 40;

// Runs `place` whenever a watched widget moves, changes size or is shown:
// what sits over a layout follows it however the layout changed (a window
// resize, panels hidden or shown, the splitter moved by hand or by code).
class TGeometryWatch : public QObject {
public:
  TGeometryWatch(std::function<void()> place, std::initializer_list<QWidget *> watched,
                 QObject *parent)
      : QObject(parent), fPlace(std::move(place)) {
    for (QWidget *w : watched)
      w->installEventFilter(this);
  }

  bool eventFilter(QObject *, QEvent *event) override {
    switch (event->type()) {
    case QEvent::Move:
    case QEvent::Resize:
    case QEvent::Show:
    case QEvent::LayoutRequest: // a child's size hint changed, e.g. a new language's text
      fPlace();
      break;
    default:
      break;
    }
    return false;
  }

private:
  std::function<void()> fPlace;
};
// A name typed without an extension gets the filter's, as a system save
// dialog with a default extension does; "" stays "" (cancelled).
QString WithFilterExtension(const QString &name, const QString &filter) {
  static const QRegularExpression pattern(QStringLiteral("\\*(\\.[^\\s;)]+)"));
  const QRegularExpressionMatch extension = pattern.match(filter);
  if (name.isEmpty() || !extension.hasMatch() || !QFileInfo(name).suffix().isEmpty())
    return name;
  return name + extension.captured(1);
}

} // namespace

TfMainPelmarTerm::TfMainPelmarTerm(TPtDialogs &dialogs, const QString &configFileName,
                                   QWidget *parent)
    : QMainWindow(parent), fDialogs(dialogs), fConfigFileName(configFileName) {
  setObjectName(QStringLiteral("fMainPelmarTerm"));
  setWindowTitle(QStringLiteral("Pelmar terminal"));
  setFont(QFont(QStringLiteral("Lucida Sans"), 8));
  resize(992, 741);

  fInfoBox = std::make_unique<TformDuradiDarozavi_InstInfoBox>();
  BuildRegions();
  BuildPresets();
  BuildProtocolTools();
  BuildMenus();
  BuildLanguage();
  BuildAbout();
  BuildConnections();
  BuildDiscovery();
  BuildFind();
  BuildSelection();
  BuildListFiles();
  BuildResponder();

  // From here on queued packets reach the view: one queued call per batch.
  VexlinDataObject_SetTarget([this] {
    QMetaObject::invokeMethod(this, &TfMainPelmarTerm::wmVexlinDataObject, Qt::QueuedConnection);
  });
  fRemainderTimer = new QTimer(this);
  fRemainderTimer->setSingleShot(true);
  fRemainderTimer->setInterval(kRemainderRefreshMs);
  connect(fRemainderTimer, &QTimer::timeout, this, &TfMainPelmarTerm::ShowRemainder);
  fReceiver.OnRemainderChanged = [this] {
    QMetaObject::invokeMethod(this, &TfMainPelmarTerm::ScheduleRemainder, Qt::QueuedConnection);
  };

  Timer1 = Named(new QTimer(this), "Timer1");
  Timer1->setInterval(1000);
  Timer1->setSingleShot(true);
  connect(Timer1, &QTimer::timeout, this, &TfMainPelmarTerm::pCenterResize);
  Timer1->start();
}

TfMainPelmarTerm::~TfMainPelmarTerm() {
  // A save cut short leaves the old file; it reads rows the list frees.
  delete fListFiles;
  // Module queries end now, not whenever their time-outs would.
  delete fLantronix;
  // The finder lets go of the list it filters while the list still exists.
  delete fFinder;
  // The test page belongs to the window even while it is off the panel.
  if (pgcLeftTools->indexOf(fResponder) < 0)
    delete fResponder;
  // A live connection reports its end to the window while it stops: stopped
  // first, while everything its report touches still exists.
  fConnections->SetConnection(nullptr);
  // The port closes without its close event, and the connection may still
  // report while it winds down: the views they report to must outlive them.
  if (AfComPort1)
    AfComPort1->disconnect(this);
  if (fSerialGroup)
    AfComPort1->disconnect(fSerialGroup);
  AfComPort1.reset();
  AfSetSyncErrorDisplay(nullptr);
  fConnections.reset();
  VexlinDataObject_SetTarget(nullptr);
  // Rows pushed for this window that it never took are its own to free.
  TVexlinDataObject *untaken = nullptr;
  if (VexlinDataObject_POP(untaken))
    FreeDataObjectChain(untaken);
  fReceiver.OnRemainderChanged = nullptr;
  FreeDataObjectChain(fPendingChain);
}

void TfMainPelmarTerm::BuildPresets() {
  fPresets = std::make_unique<TPresetsManager>(DataFolders());
  fPresetBar = new TPresetBar(PageControl1, *fPresets, fDialogs, this);
  fPresetBar->PacketSource = [this] { return frPaket1->GetPacket(); };
  fPresetBar->CopyToComposer = [this](const QString &data) { frPaket1->CopyPresetToTable(data); };
  fPresetBar->Send = [this](const QByteArray &data) { Send(data); };
  fPresetBar->ReplacementAddress = [this] { return fBusTools->ReplacementAddress(); };
  fPresetBar->SaveConfig = [this] {
    QString error;
    if (!fConfig.Save(CollectSettings(), &error))
      LogInfoMsg(FileErrorText(fConfigFileName, error), kColorMaroon);
  };
  auto *aSetPreset = Named(new QAction(QStringLiteral("Do predvolby"), this), "aSetPreset");
  aSetPreset->setShortcut(QKeySequence(QStringLiteral("Ctrl+P")));
  connect(aSetPreset, &QAction::triggered, fPresetBar, &TPresetBar::aSetPresetExecute);
  addAction(aSetPreset);
  frPaket1->SaveButton()->setText(aSetPreset->text());
  connect(frPaket1->SaveButton(), &QPushButton::clicked, aSetPreset, &QAction::trigger);
  auto *aPresetSettings = Named(new QAction(QStringLiteral("Predvoleb"), this), "aPresetSettings");
  aPresetSettings->setShortcut(QKeySequence(QStringLiteral("Ctrl+Q")));
  connect(aPresetSettings, &QAction::triggered, fPresetBar, &TPresetBar::ShowPresetsList);
  addAction(aPresetSettings);
}

void TfMainPelmarTerm::BuildProtocolTools() {
  fModBusPanel = new TfModBusPanel(fDialogs, this);
  connect(fModBusPanel, &TfModBusPanel::sendRequested, this, &TfMainPelmarTerm::Send);
  connect(fModBusPanel, &TfModBusPanel::modbusSendRequested, this, &TfMainPelmarTerm::SendModbus);
  // The page is built first: the panel frames as the page reads.
  fModBusPanel->SetModbusType(fParserPage->SelectedModbusType());
  connect(fParserPage, &TParserPage::modbusTypeChanged, fModBusPanel,
          &TfModBusPanel::SetModbusType);
  auto *actModBusPanel = Named(new QAction(this), "actModBusPanel");
  actModBusPanel->setShortcut(QKeySequence(QStringLiteral("Ctrl+M")));
  connect(actModBusPanel, &QAction::triggered, this, [this] {
    fModBusPanel->show();
    fModBusPanel->raise();
  });
  addAction(actModBusPanel);
  // Hidden among the window's own until switched on, so a language reaches it.
  fResponder = new TResponderPage(this);
  fResponder->hide();
  auto *actDataResponder =
      Named(new QAction(QStringLiteral("Simulátor"), this), "actDataResponder");
  actDataResponder->setShortcut(QKeySequence(QStringLiteral("Ctrl+R")));
  connect(actDataResponder, &QAction::triggered, this, [this] {
    if (const int index = pgcLeftTools->indexOf(fResponder); index >= 0)
      pgcLeftTools->removeTab(index);
    else
      pgcLeftTools->addTab(fResponder, fResponder->windowTitle());
    FitLeftPanel();
  });
  addAction(actDataResponder);
}

void TfMainPelmarTerm::actCommandTabloExecute() {
  if (!fPresetsTablo) {
    fPresetsTablo = new TfPresetsTablo(DataFolders(), fDialogs, this);
    fPresetsTablo->SetOnDataSend([this](const QByteArray &data) { Send(data); });
  }
  fPresetsTablo->show();
  fPresetsTablo->raise();
}

void TfMainPelmarTerm::BuildRegions() {
  auto *central = new QWidget;
  auto *layout = new QVBoxLayout(central);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);

  pTop = Named(new QWidget, "pTop");
  pTop->setFixedHeight(60);
  auto *topLayout = new QHBoxLayout(pTop);
  topLayout->setContentsMargins(0, 0, 0, 0);
  PageControl1 = Named(new QTabWidget, "PageControl1");
  topLayout->addWidget(PageControl1, 1);
  auto *picture = Named(new QLabel, "pnlPelmarPicture");
  picture->setFixedSize(60, 54);
  topLayout->addWidget(picture);
  layout->addWidget(pTop);

  pMiddle = Named(new QSplitter(Qt::Horizontal), "pMiddle");
  pgcLeftTools = Named(new QTabWidget, "pgcLeftTools");
  tsConnection = Named(new QWidget, "tsConnection");
  auto *connectionLayout = new QVBoxLayout(tsConnection);
  connectionLayout->setContentsMargins(0, 0, 0, 0);
  pnlConnection = new TConnectionPanel;
  // A tab too short for all its groups scrolls rather than overlap them.
  auto *connectionScroll = Named(new QScrollArea, "sbConnection");
  connectionScroll->setFrameShape(QFrame::NoFrame);
  connectionScroll->setWidgetResizable(true);
  connectionScroll->setWidget(pnlConnection);
  connectionLayout->addWidget(connectionScroll);
  pgcLeftTools->addTab(tsConnection, QStringLiteral("Connection"));
  fParserPage = new TParserPage(fReceiver, fDialogs);
  pgcLeftTools->addTab(fParserPage, QStringLiteral("Parser"));
  pLeft = Named(new QWidget, "pLeft");
  auto *composerLayout = new QVBoxLayout(pLeft);
  composerLayout->setContentsMargins(0, 0, 0, 0);
  frPaket1 = Named(new TfrPaket(fDialogs), "frPaket1");
  composerLayout->addWidget(frPaket1);
  pgcLeftTools->addTab(pLeft, QStringLiteral("Pelmar97"));
  auto *tsTools = Named(new QWidget, "tsTools");
  auto *toolsLayout = new QVBoxLayout(tsTools);
  fBusTools = new TBusTools;
  toolsLayout->addWidget(fBusTools);
  fRepeater = new TRepeaterGroup;
  toolsLayout->addWidget(fRepeater);
  toolsLayout->addStretch(1);
  // Like the connection tab, the tools scroll in a short window.
  auto *toolsScroll = Named(new QScrollArea, "sbTools");
  toolsScroll->setFrameShape(QFrame::NoFrame);
  toolsScroll->setWidgetResizable(true);
  toolsScroll->setWidget(tsTools);
  pgcLeftTools->addTab(toolsScroll, QStringLiteral("Nástroje"));
  pgcLeftTools->setCurrentIndex(0);
  pMiddle->addWidget(pgcLeftTools);

  pCenter = Named(new QWidget, "pCenter");
  auto *centerLayout = new QVBoxLayout(pCenter);
  centerLayout->setContentsMargins(5, 5, 5, 5);
  Splitter2 = Named(new QSplitter(Qt::Vertical), "Splitter2");
  Splitter2->setHandleWidth(18);
  fTerminalTree = new TVexlinTree;
  fTerminal = new TTerminalView(*fTerminalTree);
  fTerminal->setParent(this);
  fTerminalTree->SetInfoWindow(fInfoBox.get());
  // The list and the find bar under it share the splitter's upper pane.
  pList = Named(new QWidget, "pList");
  auto *listLayout = new QVBoxLayout(pList);
  listLayout->setContentsMargins(0, 0, 0, 0);
  listLayout->setSpacing(0);
  listLayout->addWidget(fTerminalTree, 1);
  Splitter2->addWidget(pList);
  pBottom = Named(new QWidget, "pBottom");
  auto *bottomLayout = new QVBoxLayout(pBottom);
  bottomLayout->setContentsMargins(0, 0, 0, 0);
  fRxBuffer = new TVexlinTree;
  SetupRxBufferView(*fRxBuffer, fTerminal->MouseDispatch());
  bottomLayout->addWidget(fRxBuffer, 1);
  frame1 = new TCommandLinePanel(fDialogs);
  bottomLayout->addWidget(frame1);
  Splitter2->addWidget(pBottom);
  Splitter2->setStretchFactor(0, 1);
  Splitter2->setSizes({600, 89});
  centerLayout->addWidget(Splitter2);
  pMiddle->addWidget(pCenter);
  pMiddle->setStretchFactor(1, 1);
  pMiddle->setSizes({289, 703});
  layout->addWidget(pMiddle, 1);
  setCentralWidget(central);

  // The auto-scroll switch and the buffer label sit on the splitter bar.
  chkScroll =
      Named(new QCheckBox(QStringLiteral("Posouvat na poslední záznam"), pCenter), "chkScroll");
  chkScroll->setChecked(true);
  lblBuffer =
      Named(new TElidedLabel(QStringLiteral("Přijímací buffer (nezpracovaná data):"), pCenter),
            "lblBuffer");
  lblBuffer->setStyleSheet(QStringLiteral("color: grey"));
  connect(chkScroll, &QCheckBox::toggled, this, [this](bool on) { fTerminal->SetAutoScroll(on); });
  // The splitter lays out its panes after its own resize event, so the pane
  // under the bar is watched as well; the labels are measured again when
  // their texts change (pCenter hears of it as a layout request).
  new TGeometryWatch([this] { pCenterResize(); }, {Splitter2, pBottom, pCenter}, this);

  fBusTools->LogInfoMsg = [this](const QString &text, QColor c) {
    LogInfoMsg(text, RGBColor(uint8_t(c.red()), uint8_t(c.green()), uint8_t(c.blue())));
  };
  connect(fBusTools, &TBusTools::sendRequested, this, &TfMainPelmarTerm::Send);
  frPaket1->Init();
  connect(frPaket1, &TfrPaket::sendRequested, this, &TfMainPelmarTerm::Send);
  frame1->AttachRepeater(fRepeater);
  connect(frame1, &TCommandLinePanel::sendRequested, this, &TfMainPelmarTerm::Send);
  connect(frame1->ClearButton(), &QAbstractButton::clicked, this, &TfMainPelmarTerm::bClearClick);
  connect(frame1->MoveUpButton(), &QAbstractButton::clicked, this,
          &TfMainPelmarTerm::pmiMoveUpClick);

  fStatusBar = new TPtStatusBar;
  setStatusBar(fStatusBar);
  connect(fStatusBar, &TPtStatusBar::panelDoubleClicked, this,
          &TfMainPelmarTerm::OnStatusBarDoubleClick);
  pmStatusBarConnection = new QMenu(this);
  pmStatusBarConnection->setObjectName(QStringLiteral("pmStatusBarConnection"));
  QAction *serialProperties =
      pmStatusBarConnection->addAction(QStringLiteral("Vlastnosti sériového portu"));
  connect(fStatusBar, &TPtStatusBar::panelRightClicked, this,
          [this, serialProperties](int panel, QPoint globalPos) {
            if (panel != 1)
              return;
            // Only an open serial port has properties to show.
            const bool serialOpen =
                fStatusBar->SerialLines && fStatusBar->SerialLines().has_value();
            serialProperties->setVisible(serialOpen);
            serialProperties->setEnabled(serialOpen);
            pmStatusBarConnection->popup(globalPos);
          });
  serialProperties->setObjectName(QStringLiteral("pmiSerialPortProperitiesAPI"));
  serialProperties->setVisible(false);
  connect(serialProperties, &QAction::triggered, this, [this] {
    if (AfComPort1->ExecuteConfigDialog())
      fStatusBar->StatusBarRefresh(QString());
  });
  fStatusBar->StatusBarRefresh(QString());

  connect(fTerminalTree, &TVexlinTree::doubleClicked, this, [this](TVexlinNode *node) {
    const int row = static_cast<int>(fTerminalTree->IndexOf(node));
    TVexlinDataObject *object = node ? node->Data : nullptr;
    if (row >= 0 && object)
      ShowPacketDetail(this, row, object->GetTextInfo(),
                       fLanguage->text(QStringLiteral("PacketLine"), QStringLiteral("Line %d.")));
  });
}

void TfMainPelmarTerm::BuildMenus() {
  QMenu *file = menuBar()->addMenu(QStringLiteral("Soubor"));
  file->setObjectName(QStringLiteral("mimFile"));
  QAction *save =
      file->addAction(QStringLiteral("Uložit data"), this, &TfMainPelmarTerm::aSaveDataExecute);
  save->setObjectName(QStringLiteral("aSaveData"));
  save->setShortcut(QKeySequence(QStringLiteral("Ctrl+S")));
  aRecord = file->addAction(QStringLiteral("Nahrávat do souboru…"), this,
                            &TfMainPelmarTerm::aRecordExecute);
  aRecord->setObjectName(QStringLiteral("aRecord"));
  aRecord->setCheckable(true);
  aRecord->setShortcut(QKeySequence(QStringLiteral("Ctrl+Shift+R")));
  QAction *recordLimit = file->addAction(QStringLiteral("Velikost souboru záznamu…"), this,
                                         &TfMainPelmarTerm::aRecordLimitExecute);
  recordLimit->setObjectName(QStringLiteral("aRecordLimit"));
  QAction *saveSelected = file->addAction(QStringLiteral("Uložit vybrané…"), this,
                                          &TfMainPelmarTerm::aSaveSelectedExecute);
  saveSelected->setObjectName(QStringLiteral("aSaveSelected"));
  QAction *open =
      file->addAction(QStringLiteral("Načíst data"), this, &TfMainPelmarTerm::aOpenDataExecute);
  open->setObjectName(QStringLiteral("aOpenData"));
  open->setShortcut(QKeySequence(QStringLiteral("Ctrl+L")));
  QAction *quit = file->addAction(QStringLiteral("Konec"), this, &QWidget::close);
  quit->setObjectName(QStringLiteral("mimExit"));
  quit->setShortcut(QKeySequence(QStringLiteral("Alt+F4")));

  QMenu *tools = menuBar()->addMenu(QStringLiteral("Nástroje"));
  tools->setObjectName(QStringLiteral("mimTools"));
  // The windows behind these come later; the entries exist already.
  QAction *ascii = tools->addAction(QStringLiteral("ASCII tabulka"));
  ascii->setObjectName(QStringLiteral("aAsciiTable"));
  ascii->setShortcut(QKeySequence(QStringLiteral("Alt+A")));
  QAction *tablo = tools->addAction(QStringLiteral("Tablo příkazů"));
  tablo->setObjectName(QStringLiteral("actCommandTablo"));
  tablo->setShortcut(QKeySequence(QStringLiteral("Ctrl+T")));
  connect(tablo, &QAction::triggered, this, &TfMainPelmarTerm::actCommandTabloExecute);

  QMenu *view = menuBar()->addMenu(QStringLiteral("Zobrazení"));
  view->setObjectName(QStringLiteral("mimView"));
  view->menuAction()->setObjectName(QStringLiteral("mimView"));
  mimViewPresets = view->addAction(QStringLiteral("Předvolby"), this,
                                   [this] { pTop->setVisible(pTop->isHidden()); });
  mimViewLeft = view->addAction(QStringLiteral("Levý multifunkční panel"), this, [this] {
    // The composer panel is a tab page, which its tab control shows and
    // hides on its own; its view switch is kept apart.
    fViewLeft = !fViewLeft;
    pgcLeftTools->setVisible(fViewLeft);
    CheckCompact();
  });
  mimViewLog = view->addAction(QStringLiteral("Komunikace"), this, [this] {
    pCenter->setVisible(pCenter->isHidden());
    CheckCompact();
  });
  QMenu *columns = view->addMenu(QStringLiteral("Komunikace možnosti"));
  columns->setObjectName(QStringLiteral("mimViewColumns"));
  const char *captions[3] = {"Zobrazovat číslo řádku", "Zobrazovat časy", "Zobrazovat adresu"};
  const char *names[3] = {"actShowColumnIndex", "actShowColumnTimestamp", "actShowColumnAddress"};
  for (int i = 0; i < 3; ++i) {
    actShowColumn[i] = columns->addAction(QString::fromUtf8(captions[i]));
    actShowColumn[i]->setObjectName(QLatin1String(names[i]));
    actShowColumn[i]->setCheckable(true);
    actShowColumn[i]->setChecked(fTerminalTree->IsColumnVisible(i));
    connect(actShowColumn[i], &QAction::triggered, this, [this, i] {
      fTerminal->ToggleColumnVisibility(i);
      actShowColumn[i]->setChecked(fTerminalTree->IsColumnVisible(i));
    });
  }
  mimViewStatusBar = view->addAction(QStringLiteral("Stavový řádek"), this,
                                     [this] { fStatusBar->setVisible(fStatusBar->isHidden()); });
  const char *viewNames[] = {"mimViewPresets", "mimViewLeftPanel", "mimViewCommunication",
                             "mimViewStatusBar"};
  int k = 0;
  for (QAction *a : {mimViewPresets, mimViewLeft, mimViewLog, mimViewStatusBar}) {
    a->setCheckable(true);
    a->setObjectName(QLatin1String(viewNames[k++]));
  }
  connect(view, &QMenu::aboutToShow, this, [this] {
    mimViewLog->setChecked(!pCenter->isHidden());
    mimViewLeft->setChecked(fViewLeft);
    mimViewPresets->setChecked(!pTop->isHidden());
    mimViewStatusBar->setChecked(!fStatusBar->isHidden());
  });
  // Filled from the language files once they are read; empty until then.
  // Its entry shows the flag and the language's name side by side.
  TMenuBarItemStyle::Install(menuBar());
  mimLng = menuBar()->addMenu(QString());
  mimLng->setObjectName(QStringLiteral("mimLng"));
  mimLng->menuAction()->setVisible(false);
  mimAbout = menuBar()->addAction(QStringLiteral("O Aplikaci"));
  mimAbout->setObjectName(QStringLiteral("mimAbout"));
}

// --- connections -----------------------------------------------------------

void TfMainPelmarTerm::BuildConnections() {
  TConnectionWindow window;
  window.Receive = [this](const QByteArray &data, const QByteArray &sig, int64_t stamp) {
    fReceiver.Receive(data, sig, stamp);
    fParserPage->BytesArrived();
  };
  window.LogInfoMsg = [this](const QString &text, TColor color) { LogInfoMsg(text, color); };
  window.StatusBarRefresh = [this](const QString &line) { fStatusBar->StatusBarRefresh(line); };
  window.PanelRefresh = [this] {
    rbChangeConnectionProvider();
    ResponderLinkChanged();
  };
  window.ShowError = [this](const QString &message) {
    fDialogs.ShowError(this, QString(), message);
  };
  fConnections = std::make_unique<TConnectionController>(window);

  AfComPort1 = std::make_unique<TAfComPort>();
  AfComPort1->setObjectName(QStringLiteral("AfComPort1")); // errors name the component
  // Errors of the port's own threads (a device write failing) go to the log.
  AfSetSyncErrorDisplay(
      [this](const QString &message) { LogInfoMsg(ErrorLineText(message), kColorRed); });
  TSerialGroupWindow serial;
  serial.LogInfoMsg = window.LogInfoMsg;
  serial.StatusBarRefresh = window.StatusBarRefresh;
  serial.PanelRefresh = window.PanelRefresh;
  serial.RememberSerial = [this] { fLastConnection = QStringLiteral("SERIAL_PORT"); };
  serial.Receive = [this](const QByteArray &data, std::span<const TArrivalMark> marks) {
    fReceiver.Receive(data, QByteArray(), marks);
    fParserPage->BytesArrived();
  };
  // The RTU pause and the silence in characters follow the line's speed.
  connect(AfComPort1.get(), &TAfComPort::OnPortOpen, this, [this] {
    fParserPage->SetLineSpeed(static_cast<int>(AfComPort1->GetNumericBaudrate()));
  });
  connect(AfComPort1.get(), &TAfComPort::OnPortClose, this,
          [this] { fParserPage->SetLineSpeed(0); });
  fSerialGroup = new TSerialPortGroup(*AfComPort1, std::move(serial));
  pnlConnection->SetTopGroup(fSerialGroup, fSerialGroup->SerialSet());
  connect(fSerialGroup, &TSerialPortGroup::layoutChanged, pnlConnection,
          &TConnectionPanel::pnlConnectionResize);
  connect(fSerialGroup, &TSerialPortGroup::layoutChanged, this, &TfMainPelmarTerm::FitLeftPanel);
  fSerialGroup->RefreshComList();
  fStatusBar->SerialLines = [this]() -> std::optional<TPtStatusBar::TLines> {
    if (!AfComPort1->Active())
      return std::nullopt;
    const uint32_t inputs = AfComPort1->ModemStatus(); // one device call per paint
    return TPtStatusBar::TLines{AfComPort1->RTS(), (inputs & MS_CTS_ON) != 0, AfComPort1->DTR(),
                                (inputs & MS_DSR_ON) != 0};
  };

  btnDeviceManager =
      Named(new QPushButton(QStringLiteral("Spustit správce zařízení")), "btnDeviceManager");
  pnlConnection->AddBottomButton(btnDeviceManager);
  connect(btnDeviceManager, &QPushButton::clicked, this, &TfMainPelmarTerm::btnDeviceManagerClick);
  btnGetArp = Named(new QPushButton(QStringLiteral("Arp table")), "btnGetArp");
  pnlConnection->AddBottomButton(btnGetArp);
  connect(btnGetArp, &QPushButton::clicked, this, &TfMainPelmarTerm::btnGetArpClick);
  connect(pnlConnection->btnPing, &QPushButton::clicked, this, &TfMainPelmarTerm::btnPingClick);
  StartProgram = [](const TProgramStart &start) {
    return QProcess::startDetached(start.program, start.arguments);
  };

  // Watches the local addresses from start to end of the run.
  idpdrmn1 = Named(new TAddressMonitor(this), "idpdrmn1");
  connect(idpdrmn1, &TAddressMonitor::statusChanged, this,
          &TfMainPelmarTerm::idpdrmn1StatusChanged);
  idpdrmn1->Start();

  fDeviceMonitor = new TDeviceChangeMonitor(this);
  connect(fDeviceMonitor, &TDeviceChangeMonitor::deviceChanged, this,
          &TfMainPelmarTerm::wmDeviceChange);
  fDeviceMonitor->Start();
  auto *actDeviceNotify = Named(new QAction(this), "actDeviceNotify");
  actDeviceNotify->setShortcut(QKeySequence(QStringLiteral("Ctrl+N")));
  connect(actDeviceNotify, &QAction::triggered, this, &TfMainPelmarTerm::RegisterWmDeviceChange);
  addAction(actDeviceNotify);

  connect(pnlConnection->btnTcpConnectDisconnect, &QPushButton::clicked, this,
          &TfMainPelmarTerm::btnTcpConnectDisconnectClick);
  connect(pnlConnection->btnUdpConnectDisconnect, &QPushButton::clicked, this,
          &TfMainPelmarTerm::btnUdpConnectDisconnectClick);
  // The panel only follows the transports while it is shown; catch up when
  // it comes back.
  connect(pgcLeftTools, &QTabWidget::currentChanged, this,
          &TfMainPelmarTerm::rbChangeConnectionProvider);
  rbChangeConnectionProvider();
}

void TfMainPelmarTerm::btnTcpConnectDisconnectClick() {
  fLastConnection = QStringLiteral("TCP_CLIENT");
  fConnections->TcpConnectDisconnect(pnlConnection->edtTcpHost->text(),
                                     QString::number(pnlConnection->iedTcpPort->GetValue()),
                                     pnlConnection->rbTcpIpv6->isChecked());
}

void TfMainPelmarTerm::btnUdpConnectDisconnectClick() {
  if (fConnections->UdpStartStop(pnlConnection->edtUdpRemoteAddress->text(),
                                 QString::number(pnlConnection->ieUdpRemotePort->GetValue()),
                                 QString::number(pnlConnection->ieUdpListenPort->GetValue())))
    fLastConnection = QStringLiteral("UDP_CLIENT");
}

void TfMainPelmarTerm::rbChangeConnectionProvider() {
  if (pgcLeftTools->currentWidget() != tsConnection)
    return;
  TConnectionsRunning running;
  running.tcp = fConnections->TcpRunning();
  running.udp = fConnections->UdpRunning();
  running.serial = AfComPort1->Active();
  pnlConnection->Refresh(running);
  fSerialGroup->btnOpenClose->setText(running.serial ? QStringLiteral("Close")
                                                     : QStringLiteral("Open"));
  fSerialGroup->ShowPortSettings();
}

void TfMainPelmarTerm::ToggleConnection() {
  if (fLastConnection == QLatin1String("SERIAL_PORT"))
    fSerialGroup->btnOpenCloseClick();
  else if (fLastConnection == QLatin1String("TCP_CLIENT"))
    btnTcpConnectDisconnectClick();
  else if (fLastConnection == QLatin1String("UDP_CLIENT"))
    btnUdpConnectDisconnectClick();
  else
    pgcLeftTools->setCurrentWidget(tsConnection);
}

void TfMainPelmarTerm::LoadLastConnection() {
  const TLastConnection saved = TLastConnection::Load();
  fSerialGroup->LoadSettings(saved);
  pnlConnection->edtTcpHost->setText(saved.tcpHost);
  pnlConnection->iedTcpPort->setText(QString::number(saved.tcpPort));
  pnlConnection->edtUdpRemoteAddress->setText(saved.udpHost);
  pnlConnection->ieUdpListenPort->setText(QString::number(saved.udpPortLocal));
  pnlConnection->ieUdpRemotePort->setText(QString::number(saved.udpPortRemote));
  fLastConnection = saved.lastConnection;
  if (saved.connected)
    ToggleConnection();
  rbChangeConnectionProvider();
}

bool TfMainPelmarTerm::SaveLastConnection(QString *error) {
  TLastConnection saved;
  fSerialGroup->StoreSettings(saved);
  saved.tcpHost = pnlConnection->edtTcpHost->text();
  saved.tcpPort = pnlConnection->iedTcpPort->GetValue();
  saved.udpHost = pnlConnection->edtUdpRemoteAddress->text();
  saved.udpPortLocal = pnlConnection->ieUdpListenPort->GetValue();
  saved.udpPortRemote = pnlConnection->ieUdpRemotePort->GetValue();
  saved.lastConnection = fLastConnection;
  // A running UDP connection never counts as connected: it is not restarted.
  saved.connected = AfComPort1->Active() || fConnections->TcpConnected();
  return saved.Save(error);
}

void TfMainPelmarTerm::RegisterWmDeviceChange() {
  if (!fDeviceMonitor->WatchAllDevices())
    LogInfoMsg(QStringLiteral("device notifications are not available"), kColorRed);
}

void TfMainPelmarTerm::wmDeviceChange(const TDeviceChange &change) {
  const TDeviceChangeLine line = DeviceChangeLine(change);
  LogInfoMsg(line.text, line.color);
  fSerialGroup->DeviceChanged(change);
}

void TfMainPelmarTerm::btnDeviceManagerClick() {
  const std::optional<TProgramStart> tool = DeviceManagerCommand(SystemExecutableFinder());
  if (!tool) {
    fDialogs.ShowMessage(this, LanguageText(QStringLiteral("NoHardwareTool"),
                                            QStringLiteral("Nebyl nalezen žádný nástroj pro "
                                                           "zobrazení hardwaru (hardinfo, "
                                                           "kinfocenter, lshw-gtk).")));
    return;
  }
  if (!StartProgram(*tool))
    fDialogs.ShowMessage(this, StartFailedText(tool->program));
}

void TfMainPelmarTerm::btnPingClick() {
  StartInTerminal({QStringLiteral("ping"), pnlConnection->edtTcpHost->text().trimmed()});
}

void TfMainPelmarTerm::btnGetArpClick() {
  const TNetSnapshot snapshot = ReadNetSnapshot();
  if (!snapshot.ArpTable)
    LogInfoMsg(ArpTableFailsText(), kColorRed);
  TArpSnapshotRow rows =
      ArpSnapshotRows(snapshot, [](const TArpNetRow &row) { return DeleteArpEntry(row); });
  fTerminal->FlushNodeItem(AddArpSnapshotRows(*fTerminalTree, rows));
}

void TfMainPelmarTerm::idpdrmn1StatusChanged(int adapter, const QString &newIP,
                                             const QString &oldIP) {
  LogInfoMsg(AddressChangeLine({adapter, newIP, oldIP}), kColorBlack);
}

// --- data path -------------------------------------------------------------

void TfMainPelmarTerm::Receive(const QByteArray &aData, const QByteArray &aSIG) {
  fReceiver.Receive(aData, aSIG);
  fParserPage->BytesArrived();
}

void TfMainPelmarTerm::Send(const QByteArray &data) {
  SendModbus(data, fParserPage->ModbusParserType());
}

void TfMainPelmarTerm::SendModbus(const QByteArray &data, std::optional<TModbusType> modbus) {
  SendToTransports(
      data, fConnections->Connection(), AfComPort1.get(),
      [this](const std::exception &error) { LogError(error); }, modbus);
}

void TfMainPelmarTerm::LogError(const std::exception &error) {
  LogInfoMsg(ErrorLineText(ExceptionText(error)), kColorRed);
}

TVexlinDataLog *TfMainPelmarTerm::LogInfoMsg(const QString &text, TColor color) {
  auto *log = new TVexlinDataLog(text, color);
  log->Push();
  return log;
}

void TfMainPelmarTerm::wmVexlinDataObject() {
  // A batch taken earlier comes first, so rows keep their push order.
  if (!fPendingChain && !VexlinDataObject_POP(fPendingChain))
    return;
  // Appending is cheap but not free: a huge batch goes in slices, each in
  // its own turn of the event loop, so the window never freezes.
  // Recording costs by the byte, not by the row: its share of a slice is
  // bounded too.
  TVexlinDataObject *slice = fPendingChain;
  TVexlinDataObject *last = slice;
  const bool recording = Recording();
  qint64 recorded = 0;
  auto take = [&](TVexlinDataObject *o) {
    // Rows reach the list in the order they were sent and received, so a
    // response finds its request here, whichever transport carried them.
    if (o->ClassType() == ClassOf<TVexlinDataBinary_Modbus>())
      static_cast<TVexlinDataBinary_Modbus *>(o)->Pair(fModbusPairing);
    if (!recording)
      return;
    const qint64 before = fRecorder->Size();
    fRecorder->Add(*o);
    const qint64 after = fRecorder->Size();
    recorded += after >= before ? after - before : after; // a new file began
  };
  take(last);
  for (int n = 1; n < kAppendSlice && last->NextDataObj && recorded < kRecordSlice; ++n) {
    last = last->NextDataObj;
    take(last);
  }
  fPendingChain = last->NextDataObj;
  last->NextDataObj = nullptr;
  if (fPendingChain) {
    fPendingChain->PrevDataObj = nullptr;
    QMetaObject::invokeMethod(this, &TfMainPelmarTerm::wmVexlinDataObject, Qt::QueuedConnection);
  }
  fTerminal->AppendChain(slice);
  CheckListMemory();
}

void TfMainPelmarTerm::ScheduleRemainder() {
  // The remainder may be megabytes: refresh its view a few times a second
  // at most, however many pieces arrive.
  if (!fRemainderTimer->isActive())
    fRemainderTimer->start();
}

void TfMainPelmarTerm::ShowRemainder() {
  if (!fReceiver.RemainderPending())
    return;
  // The old row goes first: it shares the receiver's snapshot, which can
  // then be brought up to date without copying it.
  fRxBuffer->Clear();
  QByteArray remainder;
  fReceiver.TakeRemainder(remainder);
  if (!remainder.isEmpty())
    fRxBuffer->AddRow(new TVexlinDataBinary(remainder, spRx));
}

void TfMainPelmarTerm::bClearClick() {
  // A save reads the rows in place and a load adds to them.
  if (fListFiles->Busy())
    return;
  fTerminalTree->Clear();
  fMemoryWatch->Rearm();
  fRxBuffer->Clear();
  fReceiver.ClearBuffers();
  fModbusPairing.Clear();
}

void TfMainPelmarTerm::pmiMoveUpClick() {
  fReceiver.ClearBuffers();
  TVexlinNode *last = nullptr;
  {
    TVexlinTreeUpdate update(*fTerminalTree);
    for (size_t i = 0; i < fRxBuffer->RowCount(); ++i) {
      TVexlinDataObject *object = fRxBuffer->NodeAt(i)->Data;
      object->ParentVDT = fTerminalTree;
      last = fTerminalTree->AddRow(object);
    }
  }
  // The objects now belong to the packet list.
  fRxBuffer->Clear(false);
  if (last)
    fTerminal->FlushNodeItem(last);
  CheckListMemory();
}

void TfMainPelmarTerm::WMCopyData(TIpcOperation operation, const QByteArray &bytes) {
  if (bytes.isEmpty())
    return;
  if (operation == TIpcOperation::Receive)
    Receive(bytes, QByteArray());
  else
    Send(bytes);
}

bool TfMainPelmarTerm::ListenForOtherProcesses(QString *error) {
  if (!fIpc) {
    fIpc = new TPtIpcServer(this);
    connect(fIpc, &TPtIpcServer::blockReceived, this, &TfMainPelmarTerm::WMCopyData);
    connect(fIpc, &TPtIpcServer::problem, this,
            [this](const QString &text) { LogInfoMsg(text, kColorMaroon); });
  }
  return fIpc->Listen(error);
}

// --- logs ------------------------------------------------------------------

void TfMainPelmarTerm::aSaveDataExecute() {
  if (fListFiles->Busy())
    return;
  const size_t rows = fTerminalTree->RowCount();
  const TDateTime first = rows ? fTerminalTree->NodeAt(0)->Data->Time : 0;
  const TLogFolder folder = TLogFolder::OfThisRun();
  QString name = folder.Propose(ProposeLogFileName(first != 0 ? first : NowDateTime()));
  while (QFile::exists(name)) {
    const auto answer = fDialogs.AskYesNoCancel(
        this, LanguageText(QStringLiteral("OverwriteTitle"), QStringLiteral("Přepsat soubor?")),
        LanguageText(QStringLiteral("OverwriteQuestion"),
                     QStringLiteral("Soubor \"%1\" již existuje, přejete si jej přepsat?"))
            .arg(name));
    if (answer == TPtDialogs::Cancel)
      return;
    if (answer == TPtDialogs::Yes)
      break; // the save replaces it through a temporary file
    const QString filter = QStringLiteral("Vexlin data (*.vexlin.txt)");
    name = WithFilterExtension(fDialogs.SaveFileName(this, name, filter), filter);
    if (name.isEmpty())
      return;
    folder.Remember(name);
  }
  // The rows there now; those arriving meanwhile come after them and are
  // not part of this save.
  TVexlinTree *list = fTerminalTree;
  SaveRows(name,
           {rows, [list](size_t i) -> const TVexlinDataObject * { return list->NodeAt(i)->Data; }});
}

bool TfMainPelmarTerm::Recording() const {
  return fRecorder && fRecorder->Active();
}

void TfMainPelmarTerm::aRecordExecute() {
  if (Recording()) {
    RecordFlush();
    QString error;
    fRecorder->Stop(&error);
    fStatusBar->SetRecording(QString());
    aRecord->setChecked(false);
    tmrRecord->stop();
    return;
  }
  aRecord->setChecked(false);
  const QString filter = QStringLiteral("Vexlin data (*.vexlin.txt)");
  const TLogFolder folder = TLogFolder::OfThisRun();
  const QString name = WithFilterExtension(
      fDialogs.SaveFileName(this, folder.Propose(ProposeLogFileName(NowDateTime())), filter),
      filter);
  if (name.isEmpty())
    return;
  folder.Remember(name);
  if (!fRecorder)
    fRecorder = std::make_unique<TLogRecorder>();
  QString error;
  if (!fRecorder->Start(name, qint64(fRecordLimitMB) << 20, &error)) {
    LogInfoMsg(LanguageText(QStringLiteral("RecordStartFailed"),
                            QStringLiteral("Nahrávání do souboru \"%1\" se nepodařilo spustit: %2"))
                   .arg(name, error),
               kColorRed);
    return;
  }
  if (!tmrRecord) {
    // At least once a second: a crash or power cut loses at most that much.
    tmrRecord = new QTimer(this);
    tmrRecord->setInterval(1000);
    connect(tmrRecord, &QTimer::timeout, this, &TfMainPelmarTerm::RecordFlush);
  }
  tmrRecord->start();
  aRecord->setChecked(true);
  RecordFlush();
}

void TfMainPelmarTerm::aRecordLimitExecute() {
  fDialogs.AskNumber(
      this,
      LanguageText(QStringLiteral("RecordLimitTitle"), QStringLiteral("Velikost souboru záznamu")),
      LanguageText(QStringLiteral("RecordLimitLabel"),
                   QStringLiteral("Nový soubor po dosažení velikosti (MB, 0 = bez "
                                  "omezení):")),
      fRecordLimitMB, 0, TPtConfig::kMaxRecordLimitMB);
}

void TfMainPelmarTerm::RecordFlush() {
  // A write that failed between two flushes has already stopped the
  // recorder; this flush is the one that says so.
  if (!fRecorder || !tmrRecord || !tmrRecord->isActive())
    return;
  const QString name = fRecorder->FileName();
  QString error;
  if (!fRecorder->Flush(&error)) {
    // The rows stay in the list; only the file stops growing.
    LogInfoMsg(LanguageText(QStringLiteral("RecordStopped"),
                            QStringLiteral("Nahrávání do souboru \"%1\" se zastavilo: %2"))
                   .arg(name, error),
               kColorRed);
    fStatusBar->SetRecording(QString());
    aRecord->setChecked(false);
    tmrRecord->stop();
    return;
  }
  fStatusBar->SetRecording(
      LanguageText(QStringLiteral("Recording"), QStringLiteral("Nahrává se: %1 (%2 kB)"))
          .arg(QFileInfo(fRecorder->FileName()).fileName())
          .arg((fRecorder->Size() + 1023) / 1024));
}

void TfMainPelmarTerm::aSaveSelectedExecute() {
  if (fListFiles->Busy())
    return;
  const TRowSelection &selection = fTerminalTree->Selection();
  if (selection.IsEmpty())
    return;
  auto objects = std::make_shared<std::vector<const TVexlinDataObject *>>();
  objects->reserve(selection.Count());
  for (const auto &[first, last] : selection.Ranges())
    for (size_t i = first; i <= last && i < fTerminalTree->RowCount(); ++i)
      if (fTerminalTree->IsRowShown(i))
        objects->push_back(fTerminalTree->NodeAt(i)->Data);
  if (objects->empty())
    return;
  const QString filter = QStringLiteral("Vexlin data (*.vexlin.txt)");
  const TDateTime first = objects->front() ? objects->front()->Time : 0;
  const TLogFolder folder = TLogFolder::OfThisRun();
  const QString name = WithFilterExtension(
      fDialogs.SaveFileName(
          this, folder.Propose(ProposeLogFileName(first != 0 ? first : NowDateTime())), filter),
      filter);
  if (name.isEmpty())
    return;
  folder.Remember(name);
  SaveRows(name, {objects->size(), [objects](size_t i) { return (*objects)[i]; }});
}

// --- start and close -------------------------------------------------------

void TfMainPelmarTerm::showEvent(QShowEvent *event) {
  QMainWindow::showEvent(event);
  if (!fShown) {
    fShown = true;
    FormShow();
  }
}

void TfMainPelmarTerm::FormShow() {
  if (const QScreen *screen = QGuiApplication::primaryScreen()) {
    const QRect r = screen->availableGeometry();
    move(r.right() + 1 - width(), r.bottom() + 1 - height());
  }
  const TPtSettings settings = fConfig.Load(fConfigFileName);
  for (const QString &problem : fConfig.Problems())
    LogInfoMsg(FileErrorText(fConfigFileName, problem), kColorMaroon);
  for (const QString &failure : TakeCloseFailures())
    LogInfoMsg(LanguageText(QStringLiteral("CloseBySignalFailed"),
                            QStringLiteral("Při posledním ukončení signálem: %1"))
                   .arg(failure),
               kColorMaroon);
  ApplySettings(settings);
  // The preset files are read once, when the tabs are first built.
  fPresets->LoadPresets();
  for (const QString &problem : fPresets->LoadErrors())
    LogInfoMsg(LanguageText(QStringLiteral("PresetFileUnreadable"),
                            QStringLiteral("Soubor předvoleb nelze načíst: %1"))
                   .arg(problem),
               kColorMaroon);
  fPresetBar->ReloadPresets();
  frPaket1->Table()->setCurrentCell(TfrPaket::rowSDATA, 1);
  // The group opens again where it now is; its position only when it is gone.
  if (!fPresetBar->SetActiveGroup(settings.presetPageFile, settings.presetPageGroup) &&
      settings.presetPageIndex >= 0 && settings.presetPageIndex < PageControl1->count())
    PageControl1->setCurrentIndex(settings.presetPageIndex);
  LoadRememberedLanguage(settings.lngFileName);
  FitLeftPanel();
  CorrectFormPosition(this);
  fStatusBar->StatusBarRefresh(QString());
  pCenterResize();
  LoadLastConnection();
}

void TfMainPelmarTerm::ApplySettings(const TPtSettings &s) {
  // A saved text that does not convert stays in the command line to be
  // mended; the user hears of it in the log, not in a box before the window.
  frame1->SetCommand(s.LastCommand);
  frame1->SetAppendCR(s.CR);
  if (!frame1->CommandError().isEmpty())
    LogInfoMsg(
        QStringLiteral("\"%1\": LastCommand: %2").arg(fConfigFileName, frame1->CommandError()),
        kColorMaroon);
  fRecordLimitMB = s.RecordLimitMB;
  fParserPage->ApplyFramingSettings(s.Framing);
  fParserPage->ApplySettings(s.Parser, s.ModbusType, s.CustomType, s.CustomSufix, s.CustomLength,
                             s.MaxLength);
  const bool columns[3] = {s.column_index, s.column_timestamp, s.column_address};
  for (int i = 0; i < 3; ++i) {
    fTerminal->SetColumnVisibility(i, columns[i]);
    actShowColumn[i]->setChecked(columns[i]);
  }
  fViewLeft = s.viewPacket;
  pgcLeftTools->setVisible(s.viewPacket);
  pTop->setVisible(s.viewPresets);
  pCenter->setVisible(s.viewCommonicationLog);
  fStatusBar->setVisible(s.viewStatusBar);
  CheckCompact();
  QRect g = geometry();
  if (s.left)
    g.moveLeft(*s.left);
  if (s.top)
    g.moveTop(*s.top);
  if (s.width)
    g.setWidth(*s.width);
  if (s.height)
    g.setHeight(*s.height);
  // A window larger than the screen costs memory and time to paint and
  // would be saved again at that size.
  setGeometry(FittedFormRect(g, ScreenWorkAreas()));
  if (s.packetFrameWidth) {
    QList<int> sizes = pMiddle->sizes();
    if (sizes.size() == 2) {
      const int total = sizes[0] + sizes[1];
      sizes[0] = *s.packetFrameWidth;
      sizes[1] = qMax(0, total - sizes[0]);
      pMiddle->setSizes(sizes);
    }
  }
  if (s.rxBufferHeight) {
    QList<int> sizes = Splitter2->sizes();
    if (sizes.size() == 2) {
      const int total = sizes[0] + sizes[1];
      sizes[1] = *s.rxBufferHeight;
      sizes[0] = qMax(0, total - sizes[1]);
      Splitter2->setSizes(sizes);
    }
  }
}

TPtSettings TfMainPelmarTerm::CollectSettings() const {
  TPtSettings s;
  s.RecordLimitMB = fRecordLimitMB;
  const QRect g = geometry();
  s.top = g.top();
  s.left = g.left();
  s.width = g.width();
  s.height = g.height();
  s.compact = !pMiddle->isHidden();
  s.viewPacket = fViewLeft;
  s.viewPresets = !pTop->isHidden();
  s.viewCommonicationLog = !pCenter->isHidden();
  s.viewStatusBar = !fStatusBar->isHidden();
  s.packetFrameWidth = pMiddle->sizes().value(0);
  s.rxBufferHeight = Splitter2->sizes().value(1);
  s.presetPageIndex = PageControl1->currentIndex();
  std::tie(s.presetPageFile, s.presetPageGroup) = fPresetBar->ActiveGroup();
  s.column_index = fTerminalTree->IsColumnVisible(0);
  s.column_timestamp = fTerminalTree->IsColumnVisible(1);
  s.column_address = fTerminalTree->IsColumnVisible(2);
  s.LastCommand = frame1->Command();
  s.CR = frame1->AppendCR();
  s.Parser = fParserPage->ParserName();
  s.ModbusType = fParserPage->ModbusTypeName();
  s.CustomType = fParserPage->CustomTypeName();
  s.CustomSufix = fParserPage->edtProtocolCustomParsertSufix->text();
  s.CustomLength = fParserPage->ieProtocolCustomParserLength->GetValue();
  s.MaxLength = fParserPage->ieMaxLen->GetValue();
  s.Framing = fParserPage->FramingSettings();
  s.lngFileName = fLanguage->FileName();
  return s;
}

void TfMainPelmarTerm::closeEvent(QCloseEvent *event) {
  FormClose();
  fInfoBox->Hide();
  QMainWindow::closeEvent(event);
}

void TfMainPelmarTerm::FormClose() {
  // Closing does not wait for a save: the old file stays as it was.
  fListFiles->Cancel();
  if (Recording())
    aRecordExecute(); // the last second goes to the file too
  QStringList failures = fPresets->SavePresets();
  QString error;
  if (!fConfig.Save(CollectSettings(), &error))
    failures << FileErrorText(fConfigFileName, error);
  if (!SaveLastConnection(&error))
    failures << LanguageText(QStringLiteral("LastConnectionNotSaved"),
                             QStringLiteral("Poslední spojení se nepodařilo uložit: %1"))
                    .arg(error);
  ReportCloseFailures(failures);
  fConnections->SetConnection(nullptr);
}

void TfMainPelmarTerm::CloseBySignal() {
  fClosingBySignal = true;
  close();
}

void TfMainPelmarTerm::ReportCloseFailures(const QStringList &failures) {
  if (!fClosingBySignal) {
    for (const QString &failure : failures)
      fDialogs.ShowMessage(this, failure);
    return;
  }
  // A box would keep a logout or `kill` waiting for a click that never comes.
  for (const QString &failure : failures)
    std::fprintf(stderr, "pelmarterm: %s\n", qPrintable(failure));
  if (!failures.isEmpty())
    RememberCloseFailures(failures);
}

// --- layout ----------------------------------------------------------------

void TfMainPelmarTerm::CheckCompact() {
  SetCompact(fViewLeft || !pCenter->isHidden());
}

void TfMainPelmarTerm::SetCompact(bool visible) {
  if (!pMiddle->isHidden() == visible)
    return;
  if (visible) {
    resize(width(), height() + fCompactHeight);
    pMiddle->setVisible(true);
  } else {
    // What the window really lost, so that showing the area again restores it.
    const int before = height();
    fCompactHeight = pMiddle->height();
    pMiddle->setVisible(false);
    resize(width(), before - fCompactHeight);
    fCompactHeight = before - height();
  }
}

void TfMainPelmarTerm::FitLeftPanel() {
  // The splitter keeps to the minimum: no page ever scrolls sideways, also
  // when the user drags the bar or a saved width is narrower.
  const int need = TabPagesWidth(*pgcLeftTools);
  pgcLeftTools->setMinimumWidth(need);
  QList<int> sizes = pMiddle->sizes();
  if (pgcLeftTools->isHidden() || sizes.size() != 2 || sizes[0] >= need)
    return;
  const int total = sizes[0] + sizes[1];
  sizes[0] = need;
  sizes[1] = qMax(0, total - need);
  pMiddle->setSizes(sizes);
}

void TfMainPelmarTerm::pCenterResize() {
  // On the splitter bar between the packet list and the unparsed-data view.
  const QRect handle(Splitter2->mapTo(pCenter, QPoint(0, pBottom->y() - Splitter2->handleWidth())),
                     QSize(Splitter2->width(), Splitter2->handleWidth()));
  chkScroll->adjustSize();
  lblBuffer->adjustSize();
  const int top = handle.top() + (handle.height() - chkScroll->height()) / 2;
  chkScroll->move(handle.left() + handle.width() - chkScroll->width() - 5, top);
  lblBuffer->move(handle.left() + 2, handle.top() + (handle.height() - lblBuffer->height()) / 2);
  // A narrow list leaves the label the room before the switch; it is cut there.
  lblBuffer->resize(qMin(lblBuffer->width(), qMax(0, chkScroll->x() - 6 - lblBuffer->x())),
                    lblBuffer->height());
  chkScroll->raise();
  lblBuffer->raise();
}

void TfMainPelmarTerm::OnStatusBarDoubleClick(int panel) {
  if (panel == 1) {
    ToggleConnection();
  } else if ((panel == 2 || panel == 4) && AfComPort1->Active()) {
    // The lamps of the two lines this end drives.
    const bool rts = panel == 2;
    const bool on = !(rts ? AfComPort1->RTS() : AfComPort1->DTR());
    try {
      rts ? AfComPort1->SetRTS(on) : AfComPort1->SetDTR(on);
      LogInfoMsg((rts ? QStringLiteral("RTS ") : QStringLiteral("DTR ")) +
                     (on ? QLatin1Char('1') : QLatin1Char('0')),
                 kColorBlack);
    } catch (const std::exception &error) {
      LogError(error);
    }
  }
  fStatusBar->StatusBarRefresh(QString());
}

#pragma once

#include "app/ptconfig.h"
#include "codecs/modbuspairing.h"
#include "pipeline/receivepath.h"
#include "pipeline/vexlinview.h"
#include "widgets/about.h"
#include "widgets/ownedwindows.h"

#include <QMainWindow>
#include <exception>
#include <functional>
#include <memory>
#include <vector>

class QAction;
class QCheckBox;
class QLabel;
class QMenu;
class QSplitter;
class QTabWidget;
class QTimer;
class TCommandLinePanel;
class TLanguage;
class TFormTranslator;
class TfAbout;
class TfAsciiTable;
class TThreadReqVer;
class QPushButton;
class TAddressMonitor;
class TLantronixFinder;
class TFindBar;
class TRowFinder;
class TRowCopier;
class TLogRecorder;
class TListFiles;
class TListMemoryWatch;
struct TListRows;
class TStatusProgress;
class TVexlinDataLantronixScanItem;
class QUrl;
struct TVexlinNode;
class TAfComPort;
class TConnectionController;
class TConnectionPanel;
class TDeviceChangeMonitor;
class TSerialPortGroup;
struct TDeviceChange;
struct TProgramStart;
class TParserPage;
class TRepeaterGroup;
class TfrPaket;
class TfModBusPanel;
class TfPresetsTablo;
class TResponderPage;
class TResponder;
class TBusTools;
class TPresetBar;
class TPresetsManager;
class TPtDialogs;
class TPtIpcServer;
enum class TIpcOperation : char;
class TPtStatusBar;
class TTerminalView;
class TVexlinDataLog;
class TVexlinDataObject;
class TVexlinTree;
class TformDuradiDarozavi_InstInfoBox;

// The main window: owns the parsers and receive buffers, the packet list and
// the unparsed-data view, the command line and the configuration document.
class TfMainPelmarTerm : public QMainWindow {
  Q_OBJECT
public:
  explicit TfMainPelmarTerm(TPtDialogs &dialogs,
                            const QString &configFileName = TPtConfig::DefaultFileName(),
                            QWidget *parent = nullptr);
  ~TfMainPelmarTerm() override;

  // Every transport hands its received bytes here; any thread.
  void Receive(const QByteArray &aData, const QByteArray &aSIG);
  // Every producer of outgoing bytes calls this: the bytes are recorded as a
  // transmitted packet and written to every open transport.
  void Send(const QByteArray &data);
  // Sends a block whose Tx row is read as a Modbus frame of `modbus`, when
  // it is one.
  void SendModbus(const QByteArray &data, std::optional<TModbusType> modbus);
  // Queues a coloured log line; any thread.
  TVexlinDataLog *LogInfoMsg(const QString &text, TColor color);
  // The red "Chyba: " line of an error.
  void LogError(const std::exception &error);

  void wmVexlinDataObject();
  void bClearClick();
  void pmiMoveUpClick();
  void aSaveDataExecute();
  void aOpenDataExecute();
  // Adds the rows of a saved log to the list, as "Otevřít" does with the
  // file chosen (a file named on the command line comes here too). While
  // another file is saved or loaded, it waits for its turn.
  void OpenDataFile(const QString &name);
  // Starts recording every arriving row into a log file (asking for its
  // name), or stops the recording under way.
  void aRecordExecute();
  // Asks at what size a recording goes on in a new numbered file (MB, 0: no
  // limit); the next recording keeps to it.
  void aRecordLimitExecute();
  bool Recording() const;
  // Writes what the recording gathered; a failed write stops it with a red line.
  void RecordFlush();
  // Saves the selected rows as a log file, asking for its name.
  void aSaveSelectedExecute();
  // Saving and loading the list in slices; meanwhile neither can start
  // again and the list cannot be cleared.
  TListFiles *ListFiles() const { return fListFiles; }
  TStatusProgress *StatusProgress() const { return fStatusProgress; }
  // Says once (until the list is cleared) that the rows hold a quarter of
  // the machine's memory; tests set a lower limit.
  TListMemoryWatch &ListMemoryWatch() { return *fMemoryWatch; }
  // Copies the selected rows to the clipboard in one of the copy formats.
  void CopySelection(int format);

  // The connection panel's buttons and its refresh.
  void btnTcpConnectDisconnectClick();
  void btnUdpConnectDisconnectClick();
  void rbChangeConnectionProvider();
  // Runs the button of the last used transport, or shows the panel.
  void ToggleConnection();
  QString LastConnection() const { return fLastConnection; }
  // The transports' settings and the last connection, kept between runs.
  void LoadLastConnection();
  bool SaveLastConnection(QString *error = nullptr);
  // Logs every device event from now on, not only ports coming and going.
  void RegisterWmDeviceChange();
  void wmDeviceChange(const TDeviceChange &change);
  void btnDeviceManagerClick();
  void btnPingClick();
  // Lists the adapters and the ARP table in the packet list.
  void btnGetArpClick();
  // A local address was added, removed or changed.
  void idpdrmn1StatusChanged(int adapter, const QString &newIP, const QString &oldIP);
  TAddressMonitor *AddressMonitor() const { return idpdrmn1; }
  // Starts a program detached; tests replace it.
  std::function<bool(const TProgramStart &)> StartProgram;
  // Opens an address in the desktop's browser; tests replace it.
  std::function<bool(const QUrl &)> OpenUrl;
  // Searches for serial-to-Ethernet modules; found ones become rows under
  // the search's log line.
  void actLantronixSearchExecute();
  void udpServerLantronixUDPRead(TVexlinDataLantronixScanItem *item);
  TLantronixFinder *LantronixFinder() const { return fLantronix; }
  // Find in the packet list (Ctrl+F, F3, Shift+F3).
  TFindBar *FindBar() const { return fFindBar; }
  TRowFinder *RowFinder() const { return fFinder; }
  QAction *LantronixSearchAction() const { return actLantronixSearch; }
  // Bytes from another process, sent or shown as received as it asks.
  void WMCopyData(TIpcOperation operation, const QByteArray &bytes);

  // Starts the inter-process entry; false when another instance has it.
  bool ListenForOtherProcesses(QString *error = nullptr);
  // Closes as the user would, but with no one to answer a message box: what
  // could not be saved goes to standard error and to the next start's log.
  void CloseBySignal();

  TVexlinReceiver &Receiver() { return fReceiver; }
  TVexlinTree *vstTerminal() const { return fTerminalTree; }
  TTerminalView *TerminalView() const { return fTerminal; }
  TVexlinTree *vstRxBuffer() const { return fRxBuffer; }
  TParserPage *ParserPage() const { return fParserPage; }
  TCommandLinePanel *CommandLine() const { return frame1; }
  TfrPaket *Composer() const { return frPaket1; }
  TPresetBar *PresetBar() const { return fPresetBar; }
  TBusTools *BusTools() const { return fBusTools; }
  // Null until first opened with Ctrl+T.
  TfPresetsTablo *PresetsTablo() const { return fPresetsTablo; }
  TfModBusPanel *ModBusPanel() const { return fModBusPanel; }
  TResponderPage *ResponderPage() const { return fResponder; }
  TResponder *Responder() const { return fAnswering; }
  void actCommandTabloExecute();
  TPresetsManager &Presets() { return *fPresets; }
  QTabWidget *PresetTabs() const { return PageControl1; }
  TPtStatusBar *PtStatusBar() const { return fStatusBar; }
  TConnectionController &Connections() { return *fConnections; }
  TConnectionPanel *ConnectionPanel() const { return pnlConnection; }
  TAfComPort &SerialPort() { return *AfComPort1; }
  TSerialPortGroup *SerialGroup() const { return fSerialGroup; }

  // The loaded language; windows created later pass themselves to its
  // RewriteForm when they are built.
  TLanguage &Language() { return *fLanguage; }
  // Loads a language file and shows its name and flag on the menu bar;
  // raises EPtError when the file is missing or does not apply.
  void LoadLanguage(const QString &fileName);
  void mimLngClick(int index);

  // Alt+A: one ASCII table window, brought to the front when open.
  void aAsciiTableExecute();
  TfAsciiTable *AsciiTable() const { return fAsciiTable.get(); }
  // Opens a further about box; it goes when closed.
  TfAbout *ShowAbout();
  // Opens the about box's history file; tests replace it.
  TDocumentOpener OpenDocument;

protected:
  void showEvent(QShowEvent *event) override;
  void closeEvent(QCloseEvent *event) override;

private:
  void BuildMenus();
  void BuildRegions();
  void BuildPresets();
  void BuildProtocolTools();
  void BuildConnections();
  void BuildLanguage();
  void BuildAbout();
  void LoadRememberedLanguage(const QString &fileName);
  void ShowLanguageEntry();
  void BuildDiscovery();
  void BuildFind();
  void BuildSelection();
  void BuildResponder();
  // The link went down: answers waiting for their delay are dropped.
  void ResponderLinkChanged();
  void BuildListFiles();
  void SaveRows(const QString &name, TListRows rows);
  void ListFilesBusy(bool busy);
  QStringList fWaitingOpens; // files to load once the list's file work is done
  void ListFileFinished(int outcome, bool saving, const QString &name, qint64 rows,
                        const QString &error);
  // Warns in maroon when the list's rows first pass their memory limit.
  void CheckListMemory();
  // Runs `command` in a terminal window, or says why it cannot.
  void StartInTerminal(const QStringList &command);
  void FormShow();
  void FormClose();
  void ReportCloseFailures(const QStringList &failures);
  void ApplySettings(const TPtSettings &s);
  TPtSettings CollectSettings() const;
  void SetCompact(bool visible);
  void CheckCompact();
  void pCenterResize();
  // Makes the left panel as wide as its widest page needs, at the current
  // font and language, and never narrower.
  void FitLeftPanel();
  void ScheduleRemainder();
  void ShowRemainder();
  void OnStatusBarDoubleClick(int panel);

  TPtDialogs &fDialogs;
  TPtConfig fConfig;
  QString fConfigFileName;
  bool fShown = false;
  bool fClosingBySignal = false;
  int fCompactHeight = 0; // what the window shrank by when the middle area was hidden
  bool fViewLeft = true;  // the composer panel and the left tool pages are shown
  TVexlinReceiver fReceiver;
  std::unique_ptr<TConnectionController> fConnections;
  std::unique_ptr<TAfComPort> AfComPort1;
  // "TCP_CLIENT", "UDP_CLIENT", "SERIAL_PORT" or empty: what ToggleConnection runs.
  QString fLastConnection;

  QWidget *pTop = nullptr;
  QTabWidget *PageControl1 = nullptr;
  QSplitter *pMiddle = nullptr;
  QTabWidget *pgcLeftTools = nullptr;
  QWidget *tsConnection = nullptr;
  TConnectionPanel *pnlConnection = nullptr;
  TSerialPortGroup *fSerialGroup = nullptr;
  TDeviceChangeMonitor *fDeviceMonitor = nullptr;
  QPushButton *btnDeviceManager = nullptr;
  QPushButton *btnPing = nullptr;
  QPushButton *btnGetArp = nullptr;
  TAddressMonitor *idpdrmn1 = nullptr;
  QAction *actLantronixSearch = nullptr;
  QPushButton *btnLantronixSearch2 = nullptr;
  TLantronixFinder *fLantronix = nullptr;
  QTimer *tmr1 = nullptr;
  TVexlinNode *fLastLantronixFinderRootNode = nullptr;
  TVexlinDataObject *fLastLantronixFinderRootDataObject = nullptr;
  QWidget *pLeft = nullptr;
  QWidget *pCenter = nullptr;
  QSplitter *Splitter2 = nullptr;
  QWidget *pBottom = nullptr;
  QWidget *pList = nullptr;
  TVexlinTree *fTerminalTree = nullptr;
  TRowFinder *fFinder = nullptr;
  TFindBar *fFindBar = nullptr;
  TRowCopier *fCopier = nullptr;
  std::unique_ptr<TLogRecorder> fRecorder;
  TListFiles *fListFiles = nullptr;
  TStatusProgress *fStatusProgress = nullptr;
  std::unique_ptr<TListMemoryWatch> fMemoryWatch;
  QAction *aRecord = nullptr;
  QTimer *tmrRecord = nullptr;
  int fRecordLimitMB = 0;
  TTerminalView *fTerminal = nullptr;
  TVexlinTree *fRxBuffer = nullptr;
  TCommandLinePanel *frame1 = nullptr;
  TfrPaket *frPaket1 = nullptr;
  std::unique_ptr<TPresetsManager> fPresets;
  TPresetBar *fPresetBar = nullptr;
  TParserPage *fParserPage = nullptr;
  TRepeaterGroup *fRepeater = nullptr;
  TBusTools *fBusTools = nullptr;
  TfPresetsTablo *fPresetsTablo = nullptr; // written to its file when the window goes
  TfModBusPanel *fModBusPanel = nullptr;
  TResponderPage *fResponder = nullptr; // on the left panel only while switched on
  TResponder *fAnswering = nullptr;     // answers by the page's rules
  TPtStatusBar *fStatusBar = nullptr;
  QCheckBox *chkScroll = nullptr;
  QLabel *lblBuffer = nullptr;
  QTimer *Timer1 = nullptr;
  QMenu *pmStatusBarConnection = nullptr;
  QTimer *fRemainderTimer = nullptr;
  TVexlinDataObject *fPendingChain = nullptr; // taken from the queue, not yet shown
  // Pairs the Modbus rows, sent and received, in the order they are shown.
  TModbusPairing fModbusPairing;
  TPtIpcServer *fIpc = nullptr;
  std::unique_ptr<TformDuradiDarozavi_InstInfoBox> fInfoBox;

  std::unique_ptr<TLanguage> fLanguage;
  std::unique_ptr<TFormTranslator> fFormTranslator;
  std::unique_ptr<TfAsciiTable> fAsciiTable;
  std::unique_ptr<TThreadReqVer> fVerRequest;
  TOwnedWindows fAboutBoxes; // each closes on its own; any left go with us
  QMenu *mimLng = nullptr;
  QAction *mimAbout = nullptr;

  QAction *actShowColumn[3] = {};
  QAction *mimViewPresets = nullptr;
  QAction *mimViewLeft = nullptr;
  QAction *mimViewLog = nullptr;
  QAction *mimViewStatusBar = nullptr;
};

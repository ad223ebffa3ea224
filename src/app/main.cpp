#include "app/clientrequest.h"
#include "app/ipc.h"
#include "app/mainwindow.h"
#include "app/quitsignals.h"
#include "base/datafolder.h"
#include "base/languagetext.h"
#include "base/versioninfo.h"
#include "codecs/commandtext.h"
#include "connections/captureoptions.h"
#include "connections/headlesscapture.h"
#include "pipeline/dataobjectqueue.h"
#include "pipeline/dataobjectregistry.h"
#include "pipeline/vexlinparser.h"
#include "widgets/dialogs.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <cstdio>

namespace {

// "--send HEX" / "--receive HEX": hand the bytes to the running window.
int RunClient(int argc, char *argv[]) {
  QCoreApplication app(argc, argv);
  QString error;
  const std::optional<TClientRequest> request =
      ParseClientArguments(QCoreApplication::arguments(), &error);
  if (!request) {
    std::fprintf(stderr, "pelmarterm: %s (see pelmarterm --help)\n", qPrintable(error));
    return kClientExitBadArguments;
  }
  const QByteArray id =
      request->id.isEmpty() ? TPtIpcServer::NewBlockId() : TPtIpcServer::BlockIdOf(request->id);
  if (!TPtIpcServer::SendBlock(request->operation, request->bytes, &error,
                               TPtIpcServer::kSendTimeoutMs, id)) {
    std::fprintf(stderr, "pelmarterm: %s\n", qPrintable(error));
    return kClientExitNotDelivered;
  }
  std::printf("pelmarterm: %lld bytes handed over to be %s\n",
              static_cast<long long>(request->bytes.size()),
              request->operation == TIpcOperation::Receive ? "shown as received" : "sent");
  return kClientExitDelivered;
}

// The options of the program; --send and --receive make it a client and
// --capture a recorder, neither of which needs a display.
struct TOptions {
  QCommandLineParser parser;
  QCommandLineOption receive{
      QStringLiteral("receive"),
      QStringLiteral("HEX bytes the running window shows as received (through its parser); "
                     "further HEX arguments follow them."),
      QStringLiteral("HEX")};
  TOptions() {
    parser.setApplicationDescription(QStringLiteral(
        "Pelmar Terminal\n\n"
        "Without options the window starts and opens the saved logs (FILE) given.\n"
        "--send or --receive hand bytes to the running window; --id TEXT names them, so a "
        "retry with the same TEXT is never shown twice. Exit codes: 0 it took them, "
        "1 no window runs or it did not take them, 2 bad arguments.\n"
        "--capture records a transport without a window. Exit codes: 0 a clean end, 1 the log "
        "could not be written, 2 bad arguments, 3 the transport could not be opened."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("files"),
                                 QStringLiteral("Saved logs (*.vexlin.txt) the window opens."),
                                 QStringLiteral("[FILE...]"));
    parser.addOption(receive);
    AddCaptureOptions(parser);
  }
  bool Capture() const { return CaptureRequested(parser); }
  bool Help() const { return parser.isSet(QStringLiteral("help")); }
  bool Version() const { return parser.isSet(QStringLiteral("version")); }
};

QStringList Arguments(int argc, char *argv[]) {
  QStringList arguments;
  for (int i = 0; i < argc; ++i)
    arguments << QString::fromLocal8Bit(argv[i]);
  return arguments;
}

// "--help": the usage, without a display.
int RunHelp(int argc, char *argv[]) {
  QCoreApplication app(argc, argv);
  TOptions options;
  options.parser.process(app);
  options.parser.showHelp(0);
}

// "--version": the version the about box shows, without a display.
int RunVersion() {
  std::printf("pelmarterm %s\n", qPrintable(GetFileVersion()));
  return 0;
}

// "--capture": records a transport into a log without a window until the
// transport closes or a signal ends it; a summary line on standard error.
int RunCapture(int argc, char *argv[]) {
  QCoreApplication app(argc, argv);
  TOptions options;
  TCaptureOptions capture;
  QString error;
  if (!options.parser.parse(QCoreApplication::arguments()) ||
      !options.parser.positionalArguments().isEmpty() ||
      !ReadCaptureOptions(options.parser, capture, &error)) {
    if (error.isEmpty())
      error = options.parser.positionalArguments().isEmpty()
                  ? options.parser.errorText()
                  : QStringLiteral("unexpected argument \"%1\"")
                        .arg(options.parser.positionalArguments().first());
    std::fprintf(stderr, "pelmarterm: %s\n\n%s", qPrintable(error),
                 qPrintable(options.parser.helpText()));
    return THeadlessCapture::kExitBadArguments;
  }
  // The command line speaks English, as its help does; so do the reasons
  // the transports give.
  InstallLanguageTexts(ReadLanguageTexts(DataFolders().ReadPath(QStringLiteral("pt.lng.en.xml"))));
  THeadlessCapture recorder(std::move(capture));
  recorder.OnLine = [](const QString &line) {
    std::fprintf(stderr, "pelmarterm: %s\n", qPrintable(line));
  };
  int exitCode = THeadlessCapture::kExitClean;
  QString reason;
  if (!recorder.Start(exitCode, reason)) {
    recorder.Stop();
    std::fprintf(stderr, "pelmarterm: %s\n", qPrintable(reason));
    return exitCode;
  }
  TQuitSignals quitSignals;
  QObject::connect(&quitSignals, &TQuitSignals::quitRequested, &app, &QCoreApplication::quit);
  QObject::connect(&recorder, &THeadlessCapture::finished, &app, [&](int code, const QString &why) {
    exitCode = code;
    reason = why;
    QCoreApplication::quit();
  });
  app.exec();
  recorder.Stop();
  std::fprintf(stderr, "pelmarterm: %s%s\n", qPrintable(recorder.Summary()),
               reason.isEmpty() ? "" : qPrintable(QStringLiteral(" (") + reason + u')'));
  return exitCode;
}

int RunWindow(int argc, char *argv[]) {
  QApplication app(argc, argv);
  QApplication::setApplicationDisplayName(QStringLiteral("Pelmar Terminál"));
  TOptions options;
  options.parser.process(app);
  TQtDialogs dialogs;
  const TDataFolders folders = DataFolders();
  TfMainPelmarTerm window(dialogs, folders.ConfigFile(TPtConfig::DefaultFileName()));
  // Installed, what the user stores goes to folders of the user's own; said
  // in the window's language, so made once it has one.
  if (QString error; !folders.MakeUserFolders(&error))
    window.LogInfoMsg(error, 0x000080);
  // A signal to end closes the window as the user would: everything a
  // normal close saves is saved.
  TQuitSignals quitSignals;
  QObject::connect(&quitSignals, &TQuitSignals::quitRequested, &window, [&window] {
    window.CloseBySignal();
    QCoreApplication::quit();
  });
  QString error;
  if (!window.ListenForOtherProcesses(&error))
    window.LogInfoMsg(QStringLiteral("Other programs cannot hand data to this window: ") + error,
                      0x000080);
  window.show();
  // Files given on the command line (a file manager's "Open with") load as
  // if chosen with "Otevřít".
  for (const QString &file : options.parser.positionalArguments())
    window.OpenDataFile(file);
  return app.exec();
}

} // namespace

int main(int argc, char *argv[]) {
  // Process-wide set-up before any window: the queue, the kinds of rows with
  // their tokens, and the parsers' shared maximum length.
  VexlinDataObjects_Initialize();
  RegisterVexlinDataObjectClasses();
  TVexlinParser::MaxLength = 5;

  // Read before any application object: only the window needs a display.
  bool help = false;
  bool version = false;
  bool capture = false;
  bool client = false;
  {
    const QStringList arguments = Arguments(argc, argv);
    TOptions options;
    options.parser.parse(arguments);
    help = options.Help();
    version = options.Version();
    capture = options.Capture();
    client = !capture && NamesClientOperation(arguments);
  }
  const int rc = help      ? RunHelp(argc, argv)
                 : version ? RunVersion()
                 : capture ? RunCapture(argc, argv)
                 : client  ? RunClient(argc, argv)
                           : RunWindow(argc, argv);
  VexlinDataObjects_Finalize();
  return rc;
}

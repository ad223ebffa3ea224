#include "app/ipc.h"
#include "app/mainwindow.h"
#include "app/quitsignals.h"
#include "base/datafolder.h"
#include "base/languagetext.h"
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

// "--send HEX" / "--receive HEX": hand one block to the running instance.
int HandBlockToRunningInstance(const QString &hex, bool received) {
  QByteArray bytes;
  if (!HexPairsToBin(hex, bytes)) {
    std::fprintf(stderr, "pelmarterm: \"%s\" is not a sequence of hexadecimal digit pairs\n",
                 qPrintable(hex));
    return 2;
  }
  // A leading 0x01 marks the block as received data.
  const QByteArray block = received ? QByteArray(1, '\x01') + bytes : bytes;
  QString error;
  if (!TPtIpcServer::SendBlock(block, &error)) {
    std::fprintf(stderr, "pelmarterm: %s\n", qPrintable(error));
    return 1;
  }
  std::printf("pelmarterm: %lld bytes handed over\n", static_cast<long long>(block.size()));
  return 0;
}

// The options of the program; --send and --receive make it a client and
// --capture a recorder, neither of which needs a display.
struct TOptions {
  QCommandLineParser parser;
  const QString send = QStringLiteral("send");
  QCommandLineOption receive{QStringLiteral("receive"),
                             QStringLiteral("Show HEX bytes as received in the running instance."),
                             QStringLiteral("HEX")};
  TOptions() {
    parser.setApplicationDescription(QStringLiteral("Pelmar Terminal"));
    parser.addHelpOption();
    parser.addOption(receive);
    AddCaptureOptions(parser);
  }
  bool Capture() const { return CaptureRequested(parser); }
  bool Client() const { return !Capture() && (parser.isSet(send) || parser.isSet(receive)); }
};

QStringList Arguments(int argc, char *argv[]) {
  QStringList arguments;
  for (int i = 0; i < argc; ++i)
    arguments << QString::fromLocal8Bit(argv[i]);
  return arguments;
}

int RunClient(int argc, char *argv[]) {
  QCoreApplication app(argc, argv);
  TOptions options;
  options.parser.process(app);
  const bool received = options.parser.isSet(options.receive);
  return HandBlockToRunningInstance(
      options.parser.value(received ? options.receive.names().first() : options.send), received);
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
  InstallLanguageTexts(ReadLanguageTexts(PathPtFiles() + QStringLiteral("pt.lng.en.xml")));
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
  TfMainPelmarTerm window(dialogs);
  // A signal to end closes the window as the user would: everything a
  // normal close saves is saved.
  TQuitSignals quitSignals;
  QObject::connect(&quitSignals, &TQuitSignals::quitRequested, &window, [&window] {
    window.close();
    QCoreApplication::quit();
  });
  QString error;
  if (!window.ListenForOtherProcesses(&error))
    window.LogInfoMsg(QStringLiteral("Other programs cannot hand data to this window: ") + error,
                      0x000080);
  window.show();
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
  bool client = false;
  bool capture = false;
  {
    TOptions options;
    options.parser.parse(Arguments(argc, argv));
    capture = options.Capture();
    // The help text needs no display either.
    client = options.Client() || options.parser.isSet(QStringLiteral("help"));
  }
  const int rc = capture  ? RunCapture(argc, argv)
                 : client ? RunClient(argc, argv)
                          : RunWindow(argc, argv);
  VexlinDataObjects_Finalize();
  return rc;
}

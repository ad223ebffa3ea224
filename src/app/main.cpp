#include "app/ipc.h"
#include "app/mainwindow.h"
#include "pipeline/dataobjectqueue.h"
#include "pipeline/dataobjectregistry.h"
#include "pipeline/vexlinparser.h"
#include "widgets/dialogs.h"

#include <QApplication>
#include <QCommandLineParser>
#include <cstdio>

namespace {

// "--send HEX" / "--receive HEX": hand one block to the running instance.
int HandBlockToRunningInstance(const QString &hex, bool received) {
  const QByteArray bytes = QByteArray::fromHex(hex.toLatin1());
  if (bytes.isEmpty() || bytes.toHex().compare(hex.toLatin1(), Qt::CaseInsensitive) != 0) {
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

} // namespace

int main(int argc, char *argv[]) {
  // Process-wide set-up before any window: the queue, the kinds of rows with
  // their tokens, and the parsers' shared maximum length.
  VexlinDataObjects_Initialize();
  RegisterVexlinDataObjectClasses();
  TVexlinParser::MaxLength = 5;

  QApplication app(argc, argv);
  QApplication::setApplicationDisplayName(QStringLiteral("Pelmar Terminál"));
  QCommandLineParser options;
  options.setApplicationDescription(QStringLiteral("Pelmar Terminal"));
  options.addHelpOption();
  const QCommandLineOption send(QStringLiteral("send"),
                                QStringLiteral("Send HEX bytes through the running instance."),
                                QStringLiteral("HEX"));
  const QCommandLineOption receive(
      QStringLiteral("receive"),
      QStringLiteral("Show HEX bytes as received in the running instance."), QStringLiteral("HEX"));
  options.addOption(send);
  options.addOption(receive);
  options.process(app);
  if (options.isSet(send) || options.isSet(receive)) {
    const bool received = options.isSet(receive);
    const int rc = HandBlockToRunningInstance(options.value(received ? receive : send), received);
    VexlinDataObjects_Finalize();
    return rc;
  }

  int rc = 0;
  {
    TQtDialogs dialogs;
    TfMainPelmarTerm window(dialogs);
    QString error;
    if (!window.ListenForOtherProcesses(&error))
      window.LogInfoMsg(QStringLiteral("Other programs cannot hand data to this window: ") + error,
                        0x000080);
    window.show();
    rc = app.exec();
  }
  VexlinDataObjects_Finalize();
  return rc;
}

#include "connections/connectiontexts.h"

#include "base/languagetext.h"
#include "connections/vexlinconnection.h"

QString QueuedSendErrorText(const QString &message) {
  return QStringLiteral("XXX ") + message;
}

QString NotConnectedText(int32_t byteCount) {
  return QStringLiteral("Not connected, %1 bytes not sent.").arg(byteCount);
}

QString ErrorLinePrefix() {
  return LanguageText(QStringLiteral("ErrorLine"), QStringLiteral("Chyba: "));
}

QString ErrorLineText(const QString &message) {
  return ErrorLinePrefix() + message;
}

TConnectionStatusLine ConnectionStatusLine(const TVexlinConnection &connection,
                                           TVexlinConnectionStatus status,
                                           const QString &AStatusText) {
  QString text;
  TColor color = kColorTeal;
  switch (status) {
  case tcsUnknown:
    // A transport's own step (a name lookup, say) says what it does.
    text = AStatusText.isEmpty() ? QStringLiteral("unknown") : AStatusText;
    break;
  case tcsConnecting:
    text = QStringLiteral("connecting (") + connection.GetStrSettings() + QLatin1Char(')');
    break;
  case tcsConnect:
    text = QStringLiteral("connect (") + connection.GetStrSettings() + QLatin1Char(')');
    color = kColorGreen;
    break;
  case tcsDisconnecting:
    text = QStringLiteral("disconnecting");
    break;
  case tcsDisconnect:
    text = QStringLiteral("disconnect");
    color = kColorMaroon;
    break;
  case tcsError:
    text = QStringLiteral("error: ") + AStatusText;
    color = kColorRed;
    break;
  case tcsStatusText:
    text = AStatusText;
    color = kColorFuchsia;
    break;
  case tcsWarning:
    text = AStatusText;
    color = kColorMaroon;
    break;
  case tcsRxData:
  case tcsPropertyChange:
    break;
  }
  return {connection.GetDescription() + QStringLiteral(" - ") + text, color};
}

QString SerialPortOpenText(const QString &settings) {
  return QStringLiteral("Serial port open (") + settings + QLatin1Char(')');
}

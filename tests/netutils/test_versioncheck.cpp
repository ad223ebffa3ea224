#include "base/versioninfo.h"
#include "netutils/versioncheck.h"
#include "waitfor.h"

#include <QCoreApplication>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrlQuery>
#include <gtest/gtest.h>

namespace {

// An HTTP server on 127.0.0.1 that answers every request with one status
// and body and records the request heads it saw.
class TTinyHttpServer {
public:
  TTinyHttpServer(int status, QByteArray body) : fStatus(status), fBody(std::move(body)) {
    EXPECT_TRUE(fServer.listen(QHostAddress::LocalHost));
    QObject::connect(&fServer, &QTcpServer::newConnection, [this] {
      while (QTcpSocket *socket = fServer.nextPendingConnection()) {
        QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
          QByteArray &head = fPending[socket];
          head += socket->readAll();
          if (!head.contains("\r\n\r\n"))
            return;
          heads << head;
          QByteArray answer = "HTTP/1.1 " + QByteArray::number(fStatus) + " X\r\n";
          if (fStatus == 302)
            answer += "Location: http://127.0.0.1:1/elsewhere\r\n";
          answer += "Content-Length: " + QByteArray::number(fBody.size()) +
                    "\r\nConnection: close\r\n\r\n" + fBody;
          socket->write(answer);
          socket->disconnectFromHost();
        });
        QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
      }
    });
  }
  QString Host() const { return QStringLiteral("127.0.0.1:%1").arg(fServer.serverPort()); }

  QList<QByteArray> heads;

private:
  QTcpServer fServer;
  int fStatus;
  QByteArray fBody;
  QHash<QTcpSocket *, QByteArray> fPending;
};

} // namespace

TEST(VersionCheck, StatusDecidesBetweenTheBodyAndTheStatusText) {
  struct Case {
    int status;
    QString expected;
  } cases[] = {
      {200, QStringLiteral("<ver>1.0</ver>")},
      {302, QStringLiteral("<ver>1.0</ver>")},
      {404, QStringLiteral("Status:404")},
      {500, QStringLiteral("Status:500")},
  };
  for (const Case &c : cases) {
    TTinyHttpServer server(c.status, "<ver>1.0</ver>");
    // No scheme given: "http://" is put in front.
    EXPECT_EQ(FetchHTML(server.Host() + "/x"), c.expected) << c.status;
    ASSERT_EQ(server.heads.size(), 1) << c.status;
    EXPECT_TRUE(server.heads[0].startsWith("GET /x HTTP/1.1\r\n"));
    EXPECT_TRUE(server.heads[0].contains(QByteArray("\r\nUser-Agent: ") + kFetchAgent + "\r\n"))
        << server.heads[0].toStdString();
  }
}

TEST(VersionCheck, NoServerGivesAnEmptyReply) {
  QTcpServer closed;
  ASSERT_TRUE(closed.listen(QHostAddress::LocalHost));
  const quint16 port = closed.serverPort();
  closed.close();
  EXPECT_EQ(FetchHTML(QStringLiteral("http://127.0.0.1:%1/").arg(port)), QString());
}

TEST(VersionCheck, QueryValuesArriveIntactAndTheReplyReachesTheHandler) {
  TTinyHttpServer server(200, "ok");
  QString reply;
  auto thread = RunVerRequest(
      server.Host(), QStringLiteral("Pelmar Terminál & co"),
      [&reply](const QString &text) { reply = text; }, true);
  ASSERT_NE(thread, nullptr);
  ASSERT_TRUE(WaitFor([&] { return !reply.isEmpty(); }));
  EXPECT_EQ(reply, QStringLiteral("ok"));
  ASSERT_EQ(server.heads.size(), 1);
  const QByteArray line = server.heads[0].left(server.heads[0].indexOf("\r\n"));
  const QByteArray path = line.split(' ').value(1);
  ASSERT_TRUE(path.startsWith("/PROJECTS/CheckAppVer.aspx?")) << line.toStdString();
  QUrlQuery query(QString::fromLatin1(path.mid(path.indexOf('?') + 1)));
  EXPECT_EQ(query.queryItemValue("AppName", QUrl::FullyDecoded),
            QStringLiteral("Pelmar Terminál & co"));
  EXPECT_EQ(query.queryItemValue("ver", QUrl::FullyDecoded), GetVersionToStr());
  EXPECT_EQ(query.queryItems().size(), 2);
}

TEST(VersionCheck, WithoutAHostNothingIsSent) {
  EXPECT_EQ(VersionCheckUrl(QString(), QStringLiteral("Pelmar Terminál"), "1.0.0.0"), QString());
  EXPECT_EQ(RunVerRequest(QString(), QStringLiteral("Pelmar Terminál"), {}, false), nullptr);
}

TEST(VersionCheck, EndingTheProgramEndsAWaitingRequest) {
  // A server that accepts but never answers.
  QTcpServer silent;
  ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
  bool called = false;
  auto thread = RunVerRequest(
      QStringLiteral("127.0.0.1:%1").arg(silent.serverPort()), "T",
      [&called](const QString &) { called = true; }, false);
  ASSERT_TRUE(WaitFor([&] { return silent.hasPendingConnections(); }));
  thread.reset(); // returns once the request is given up
  EXPECT_FALSE(called);
}

TEST(VersionInfo, TheProgramHasAProductVersionOtherFilesHaveNone) {
  TFileVersion v;
  ASSERT_TRUE(GetVersion(v));
  EXPECT_EQ(GetVersionToStr(),
            QStringLiteral("%1.%2.%3.%4").arg(v.Major).arg(v.Minor).arg(v.Release).arg(v.Build));
  EXPECT_EQ(GetVersionToStr(QCoreApplication::applicationFilePath()), GetVersionToStr());
  EXPECT_FALSE(GetVersion(v, QStringLiteral("/etc/hostname")));
  EXPECT_EQ(GetVersionToStr(QStringLiteral("/etc/hostname")), QString());
}

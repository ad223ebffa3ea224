// The responder at work without a window: answers on its own thread, the
// line's budget against a rule that answers itself, and answers waiting for
// their delay dropped when the link goes.
#include "connections/responder.h"
#include "waitfor.h"

#include <QThread>
#include <gtest/gtest.h>
#include <thread>

namespace {

class ResponderTest : public ::testing::Test {
protected:
  void SetUp() override {
    responder.Send = [this](const QByteArray &answer) {
      EXPECT_EQ(QThread::currentThread(), responder.thread());
      sent << answer;
    };
    responder.Warn = [this](const QString &text) { warnings << text; };
  }
  void Use(std::vector<TResponderRule> rules) {
    TResponderSettings settings;
    settings.rules = std::move(rules);
    responder.SetSettings(settings);
  }
  TResponder responder;
  QList<QByteArray> sent;
  QStringList warnings;
};

TResponderRule Rule(const char *request, const char *response, int delayMs = 0) {
  TResponderRule rule;
  rule.request = QString::fromLatin1(request);
  rule.response = QString::fromLatin1(response);
  rule.delayMs = delayMs;
  return rule;
}

TEST_F(ResponderTest, AnswersOnlyWhileOnAndOnItsOwnThread) {
  Use({Rule("AT{0x0D}", "OK{0x0D}"), Rule("N{??}", "#{SEQ}{REQ[1]}")});
  int hits = 0;
  QObject::connect(&responder, &TResponder::RuleHit, [&](int rule) { hits += rule + 1; });
  responder.Packet("AT\r", 0);
  Settle(20);
  EXPECT_TRUE(sent.isEmpty());

  responder.SetActive(true);
  std::thread reader([&] {
    responder.Packet("AT\r", 0);
    responder.Packet("Nx", 0);
    responder.Packet("Ny", 0);
    responder.Packet("none", 0);
  });
  reader.join();
  ASSERT_TRUE(WaitFor([&] { return sent.size() == 3; }));
  EXPECT_EQ(sent, (QList<QByteArray>{"OK\r", QByteArray("#\x01x", 3), QByteArray("#\x02y", 3)}));
  ASSERT_TRUE(WaitFor([&] { return hits == 5; }));
}

TEST_F(ResponderTest, ARuleAnsweringItselfIsHeldToTheLineAndWarnedOnce) {
  Use({Rule("ping", "ping")});
  responder.SetActive(true);
  responder.SetLineSpeed(200); // 20 bytes a second: five answers fill a second
  // The loop: every answer comes back as a request.
  responder.Send = [this](const QByteArray &answer) {
    sent << answer;
    responder.Packet(answer, 0);
  };
  responder.Packet("ping", 0);
  Settle(300);
  EXPECT_EQ(sent.size(), 5);
  EXPECT_EQ(responder.Dropped(), 1);
  EXPECT_EQ(warnings.size(), 1);
}

TEST_F(ResponderTest, A64KiBAnswerGoesWholeOnAnIdleLine) {
  TResponderRule big = Rule("big", "");
  big.response = QString(65536, u'x');
  Use({big});
  responder.SetActive(true);
  responder.SetLineSpeed(115200); // less than the answer in a second
  responder.Packet("big", 0);
  ASSERT_TRUE(WaitFor([&] { return sent.size() == 1; }));
  EXPECT_EQ(sent[0], QByteArray(65536, 'x'));
  responder.Packet("big", 0); // the line is busy with the first for 5.7 s
  Settle(50);
  EXPECT_EQ(sent.size(), 1);
  EXPECT_EQ(responder.Dropped(), 1);
}

TEST_F(ResponderTest, APendingAnswerIsDroppedWhenTheLinkGoes) {
  Use({Rule("late", "answer", 60'000), Rule("soon", "now", 30)});
  responder.SetActive(true);
  responder.Packet("late", 0);
  responder.Packet("soon", 0);
  Settle(10);
  responder.DropPending();
  Settle(80);
  EXPECT_TRUE(sent.isEmpty());
  responder.Packet("soon", 0);
  ASSERT_TRUE(WaitFor([&] { return sent.size() == 1; }));
  EXPECT_EQ(sent[0], "now");
}

} // namespace

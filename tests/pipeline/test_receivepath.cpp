#include "pipeline/databinary.h"
#include "pipeline/dataobjectqueue.h"
#include "pipeline/receivepath.h"

#include <gtest/gtest.h>
#include <thread>

namespace {

class ReceivePath : public ::testing::Test {
protected:
  void SetUp() override {
    VexlinDataObjects_Initialize();
    saved = TVexlinParser::MaxLength.load();
    TVexlinParser::MaxLength = 1024;
    receiver.OnRemainderChanged = [this] { ++announcements; };
  }
  void TearDown() override {
    TVexlinParser::MaxLength = saved;
    VexlinDataObjects_Finalize();
  }
  // The queued packets, oldest first.
  std::vector<QByteArray> Queued() {
    std::vector<QByteArray> out;
    TVexlinDataObject *chain = nullptr;
    if (VexlinDataObject_POP(chain))
      for (TVexlinDataObject *o = chain; o; o = o->NextDataObj) {
        EXPECT_EQ(o->Direction, spRx);
        EXPECT_NE(o->Time, 0.0);
        out.push_back(static_cast<TVexlinDataBinary *>(o)->Data);
      }
    FreeDataObjectChain(chain);
    return out;
  }
  QByteArray Remainder() {
    QByteArray r;
    EXPECT_TRUE(receiver.TakeRemainder(r));
    return r;
  }

  TVexlinReceiver receiver;
  int announcements = 0;
  int32_t saved = 0;
};

TEST_F(ReceivePath, SuffixPacketCompletedByASecondPiece) {
  receiver.fVexlinParser_Sufix.SetSufix("\r");
  receiver.SetParser(&receiver.fVexlinParser_Sufix);
  receiver.Receive("AB", {});
  EXPECT_TRUE(Queued().empty());
  EXPECT_EQ(Remainder(), "AB");
  receiver.Receive("C\r", {});
  EXPECT_EQ(Queued(), std::vector<QByteArray>{"ABC\r"});
  EXPECT_EQ(Remainder(), "");
}

TEST_F(ReceivePath, EachSenderHasItsOwnBuffer) {
  const QByteArray frame = QByteArray::fromHex("2A610008010223148107AA0D");
  receiver.Receive(frame.left(5), "127.0.0.2");
  receiver.Receive(frame.left(7), "127.0.0.3");
  receiver.Receive(frame.mid(5), "127.0.0.2");
  EXPECT_EQ(receiver.BufferCount(), 4);
  EXPECT_EQ(receiver.Buffer(2).SIG, "127.0.0.2");
  receiver.Receive(frame.mid(7), "127.0.0.3");
  EXPECT_EQ(Queued(), (std::vector<QByteArray>{frame, frame}));
  receiver.Receive("x", "Rx");
  EXPECT_EQ(receiver.Buffer(0).UsedSize(), 1) << "\"Rx\" is the default buffer";
  EXPECT_EQ(receiver.BufferCount(), 4);
}

TEST_F(ReceivePath, RemainderIsAnnouncedOncePerBurst) {
  receiver.SetParser(nullptr);
  receiver.Receive("a", {});
  receiver.Receive("b", {});
  receiver.Receive("", {});
  EXPECT_EQ(announcements, 1);
  EXPECT_EQ(Remainder(), "ab");
  QByteArray r;
  EXPECT_FALSE(receiver.TakeRemainder(r)) << "nothing new";
  receiver.Receive("c", {});
  EXPECT_EQ(announcements, 2);
  receiver.ClearBuffers();
  EXPECT_EQ(Remainder(), "");
}

TEST_F(ReceivePath, TransportThreadAndUiThreadTogether) {
  const QByteArray frame = QByteArray::fromHex("2A610008010223148107AA0D");
  std::thread transport([&] {
    for (int i = 0; i < 20000; ++i)
      receiver.Receive(frame, {});
  });
  for (int i = 0; i < 200; ++i) // the UI thread adds sources meanwhile
    receiver.Receive("z", QByteArray::number(i));
  transport.join();
  EXPECT_EQ(Queued().size(), 20000u);
  EXPECT_EQ(receiver.BufferCount(), 202);
}

} // namespace

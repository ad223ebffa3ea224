#include "codecs/modbus.h"
#include "codecs/modbuspairing.h"
#include "codecs/modbustext.h"

#include <gtest/gtest.h>

namespace {

using enum TModbusDirection;

constexpr TDateTime kStart = 46000.5;
constexpr double kMsPerDay = 86400000.0;

TDateTime At(double ms) {
  return kStart + ms / kMsPerDay;
}

QByteArray Hex(const char *hex) {
  return QByteArray::fromHex(hex);
}

TEST(ModbusPairing, AResponseTakesTheLastRequestOfItsUnitAndFunction) {
  TModbusPairing pairing;
  // Sent requests and received responses, as a master's own traffic.
  EXPECT_FALSE(pairing.Decode(Hex("1103006b0003"), Request, At(0)).Request);
  EXPECT_FALSE(pairing.Decode(Hex("0703000a0001"), Request, At(1)).Request);
  pairing.Decode(Hex("110300c80002"), Request, At(2)); // replaces the first
  TModbusMessage answer = pairing.Decode(Hex("11030400010002"), Response, At(14.5));
  ASSERT_TRUE(answer.Request);
  EXPECT_EQ(answer.Request->Address, 200);
  EXPECT_EQ(answer.Request->Count, 2);
  EXPECT_NEAR(*answer.Request->Milliseconds, 12.5, 0.01);
  EXPECT_TRUE(ModbusDetailText(answer).contains(QStringLiteral("40201: 1 (0x0001)")));
  // It was taken: a second answer has no request.
  EXPECT_FALSE(pairing.Decode(Hex("11030400010002"), Response, At(15)).Request);
  // An exception answers the function it names.
  answer = pairing.Decode(Hex("078302"), Response, At(20));
  ASSERT_TRUE(answer.Request);
  EXPECT_EQ(answer.Request->Address, 10);
  EXPECT_EQ(pairing.Waiting(), 0);
  // Without times there is no time.
  pairing.Decode(Hex("1103006b0003"), Request, 0);
  answer = pairing.Decode(Hex("110302ffff"), Response, At(1));
  ASSERT_TRUE(answer.Request);
  EXPECT_FALSE(answer.Request->Milliseconds);
}

TEST(ModbusPairing, ListeningToABusTellsRequestsFromAnswers) {
  TModbusPairing pairing;
  struct Step {
    const char *hex;
    TModbusDirection decoded;
    bool paired;
  };
  const Step steps[] = {
      {"0103000a0002", Request, false},
      {"01030400010002", Response, true},
      // Request and response of a single write read the same.
      {"010500acff00", Request, false},
      {"010500acff00", Response, true},
      // A unit that does not answer: its request is asked again.
      {"020100000008", Request, false},
      {"020100000008", Request, false},
      {"02010155", Response, true},
      // Four answer bytes that also read as a request, once one waits.
      {"03030001000a", Request, false},
      {"030300010002", Request, false},
      {"030304000a000b", Response, true},
      {"0110000000020400010002", Request, false},
      {"011000000002", Response, true},
  };
  int i = 0;
  for (const Step &s : steps) {
    const TModbusMessage m = pairing.Decode(Hex(s.hex), Unknown, At(i++));
    EXPECT_EQ(m.Direction, s.decoded) << s.hex;
    EXPECT_EQ(m.Request.has_value(), s.paired) << s.hex;
    EXPECT_EQ(m.Fault, TModbusFault::None) << s.hex;
  }
  EXPECT_EQ(pairing.Waiting(), 0);
}

TEST(ModbusPairing, TcpTransactionsPairOutOfOrder) {
  TModbusPairing pairing;
  pairing.Decode(Hex("0103000a0001"), Request, At(0), 1);
  pairing.Decode(Hex("010300140001"), Request, At(1), 2);
  TModbusMessage second = pairing.Decode(Hex("0103020007"), Response, At(5), 2);
  TModbusMessage first = pairing.Decode(Hex("0103020008"), Response, At(6), 1);
  ASSERT_TRUE(first.Request && second.Request);
  EXPECT_EQ(first.Request->Address, 10);
  EXPECT_EQ(second.Request->Address, 20);
  EXPECT_NEAR(*first.Request->Milliseconds, 6, 0.01);
  // Another transaction's request does not answer for this one.
  pairing.Decode(Hex("0103000a0001"), Request, At(7), 3);
  EXPECT_FALSE(pairing.Decode(Hex("0103020008"), Response, At(8), 4).Request);
}

TEST(ModbusPairing, UnansweredRequestsCannotGrowItAndClearForgetsThem) {
  TModbusPairing pairing;
  for (int t = 0; t < 5000; ++t)
    pairing.Decode(Hex("0103000a0001"), Request, At(t), uint16_t(t));
  EXPECT_EQ(pairing.Waiting(), TModbusPairing::MaxWaiting);
  EXPECT_TRUE(pairing.Decode(Hex("0103020008"), Response, At(5000), 4999).Request);
  EXPECT_FALSE(pairing.Decode(Hex("0103020008"), Response, At(5000), 0).Request);
  // Polling one key for ever keeps one request.
  pairing.Clear();
  for (int t = 0; t < 5000; ++t)
    pairing.Decode(Hex("0103000a0001"), Request, At(t));
  EXPECT_EQ(pairing.Waiting(), 1);
  pairing.Clear();
  EXPECT_FALSE(pairing.Decode(Hex("0103020008"), Response, At(1)).Request);
  // What has no function is never kept.
  pairing.Decode(Hex("01"), Request, At(1));
  EXPECT_EQ(pairing.Waiting(), 0);
}

} // namespace

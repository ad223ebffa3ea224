#pragma once

// The responder's rules: a request pattern in command text (with "??" for
// any byte inside a group, "{0x2A,0x61,??,??}"), matched against a whole
// received packet or its beginning, and a response in command text that may
// carry placeholders filled from the request:
//   {REQ[n]}  the request's n-th byte (from 0)
//   {CRC16}   the Modbus CRC of every response byte before it, low byte first
//   {S97}     the SUM byte of a Pelmar 97 frame that the response begins
//             with; the frame's LEN is set to match (its CR follows {S97})
//   {SEQ}     a byte that counts up with every answer sent

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <cstdint>
#include <vector>

enum class TResponderMatch : uint8_t { Whole, Prefix };

struct TResponderRule {
  QString request;
  TResponderMatch match = TResponderMatch::Whole;
  QString response;
  int delayMs = 0;
  bool enabled = true;
  bool operator==(const TResponderRule &) const = default;
};

inline constexpr int kResponderMaxDelayMs = 60'000;

// A request pattern: the bytes, and per byte whether it must match.
struct TResponderPattern {
  QByteArray bytes;
  std::vector<bool> fixed;
  // How many bytes from the start are fixed.
  qsizetype FixedLead() const;
  bool Matches(QByteArrayView packet, TResponderMatch match) const;
};

// Raises EPtError with the command line's message when the text does not
// convert, or when it is empty.
TResponderPattern ParseResponderRequest(const QString &text);

// A response with its placeholders, parsed once and filled per answer.
class TResponderAnswer {
public:
  // Raises EPtError when the text does not convert.
  static TResponderAnswer Parse(const QString &text);
  QByteArray Render(QByteArrayView request, uint8_t seq) const;

private:
  enum class TKind : uint8_t { Bytes, Req, Crc16, S97, Seq };
  struct TPart {
    TKind kind = TKind::Bytes;
    QByteArray bytes;
    int index = 0;
  };
  std::vector<TPart> fParts;
};

// The enabled rules in their order, indexed by their first byte so a packet
// is tested only against the rules that can match it.
class TResponderRuleSet {
public:
  // Rules that do not convert are left out (the dialog refuses them; a hand
  // edited file may still hold one).
  void Assign(const std::vector<TResponderRule> &rules);
  bool Empty() const { return fRules.empty(); }

  struct THit {
    int rule = -1; // its index in the list given to Assign
    int delayMs = 0;
  };
  // The first enabled rule that matches, in list order.
  bool Match(QByteArrayView packet, THit &hit) const;
  QByteArray Answer(int rule, QByteArrayView request, uint8_t seq) const;

private:
  struct TCompiled {
    int index = 0;
    TResponderMatch match = TResponderMatch::Whole;
    TResponderPattern pattern;
    TResponderAnswer answer;
    int delayMs = 0;
  };
  std::vector<TCompiled> fRules;
  // Per first byte, the positions in fRules (ascending) of rules whose first
  // byte is fixed to it; fAnyFirst those whose first byte is "??".
  std::vector<int> fByFirst[256];
  std::vector<int> fAnyFirst;
  std::vector<int> fByIndex; // list index -> position in fRules, or -1
};

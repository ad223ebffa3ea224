#include "pipeline/responderrules.h"

#include "base/ansicodepage.h"
#include "base/languagetext.h"
#include "base/pterror.h"
#include "codecs/commandtext.h"
#include "codecs/modbus.h"
#include "codecs/pelmar97.h"

#include <QRegularExpression>
#include <algorithm>

namespace {

// Splits command text into what lies outside groups and the groups' contents,
// calling `literal` and `group` in order, so that each piece converts alone
// to the bytes it gives within the whole text. False when a group is not
// closed (the converter then names the missing brace).
template <typename Literal, typename Group>
bool WalkGroups(const QByteArray &text, Literal literal, Group group) {
  qsizetype from = 0;
  qsizetype i = 0;
  while (i < text.size()) {
    if (text[i] == '\\') {
      const char next = i + 1 < text.size() ? text[i + 1] : 0;
      i += (next == 'n' || next == 'N' || next == 'r' || next == 'R') ? 2 : 1;
      continue;
    }
    if (text[i] != '{') {
      ++i;
      continue;
    }
    const qsizetype end = FindStringEndChar(text, i + 1, '}'); // from 1
    if (end == 0)
      return false;
    if (i > from) {
      QByteArray part = text.mid(from, i - from);
      // Before a group a last backslash stands for itself; alone it would
      // be a trailing one, which gives nothing.
      if (part.endsWith('\\'))
        part += '\\';
      literal(part);
    }
    group(text.mid(i + 1, end - i - 2));
    i = from = end;
  }
  if (from < text.size())
    literal(text.mid(from));
  return true;
}

// Where the group's items begin and end, split as the converter splits them.
struct TItem {
  qsizetype begin, end;
};
QList<TItem> GroupItems(const QByteArray &group) {
  QList<TItem> items;
  qsizetype begin = 0;
  for (qsizetype i = 0; i <= group.size(); ++i)
    if (i == group.size() || group[i] == ',' || group[i] == ';' || group[i] == ')') {
      items.push_back({begin, i});
      begin = i + 1;
    }
  return items;
}

bool IsAnyByte(const QByteArray &group, const TItem &item) {
  return group.mid(item.begin, item.end - item.begin).trimmed() == "??";
}

QByteArray Wrap(const QByteArray &group) {
  return '{' + group + '}';
}

} // namespace

qsizetype TResponderPattern::FixedLead() const {
  qsizetype n = 0;
  while (n < qsizetype(fixed.size()) && fixed[size_t(n)])
    ++n;
  return n;
}

bool TResponderPattern::Matches(QByteArrayView packet, TResponderMatch match) const {
  const qsizetype size = bytes.size();
  if (match == TResponderMatch::Whole ? packet.size() != size : packet.size() < size)
    return false;
  const char *p = packet.data();
  const char *b = bytes.constData();
  for (qsizetype i = 0; i < size; ++i)
    if (fixed[size_t(i)] && p[i] != b[i])
      return false;
  return true;
}

TResponderPattern ParseResponderRequest(const QString &text) {
  const QByteArray ansi = AnsiFromText(text);
  TResponderPattern pattern;
  auto append = [&](const QByteArray &bytes, bool fixed) {
    pattern.bytes += bytes;
    pattern.fixed.insert(pattern.fixed.end(), size_t(bytes.size()), fixed);
  };
  const bool closed = WalkGroups(
      ansi, [&](const QByteArray &part) { append(ConvertToBinnaryEx(part, true), true); },
      [&](const QByteArray &group) {
        // "??" items become 0 (zero in either base, so hexadecimal stays
        // switched on after them) and their bytes are marked as any.
        QByteArray zeroed;
        std::vector<qsizetype> anyAt; // where each "??" begins in `zeroed`
        qsizetype copied = 0;
        for (const TItem &item : GroupItems(group))
          if (IsAnyByte(group, item)) {
            zeroed += group.mid(copied, item.begin - copied);
            anyAt.push_back(zeroed.size());
            zeroed += '0';
            copied = item.end;
          }
        zeroed += group.mid(copied);
        const size_t start = pattern.fixed.size();
        append(ConvertToBinnaryEx(Wrap(zeroed), true), true);
        for (const qsizetype at : anyAt) {
          const size_t index =
              start + size_t(ConvertToBinnaryEx(Wrap(zeroed.left(at)), true).size());
          if (index < pattern.fixed.size())
            pattern.fixed[index] = false;
        }
      });
  if (!closed)
    ConvertToBinnaryEx(ansi, true); // raises with the converter's own message
  if (pattern.bytes.isEmpty())
    throw EPtError(
        LanguageText(QStringLiteral("ResponderEmptyRequest"), QStringLiteral("Dotaz je prázdný.")));
  return pattern;
}

TResponderAnswer TResponderAnswer::Parse(const QString &text) {
  static const QRegularExpression req(QStringLiteral("^\\s*REQ\\s*\\[\\s*(\\d{1,5})\\s*\\]\\s*$"),
                                      QRegularExpression::CaseInsensitiveOption);
  const QByteArray ansi = AnsiFromText(text);
  TResponderAnswer answer;
  auto bytes = [&](const QByteArray &b) {
    if (b.isEmpty())
      return;
    if (!answer.fParts.empty() && answer.fParts.back().kind == TKind::Bytes)
      answer.fParts.back().bytes += b;
    else
      answer.fParts.push_back({TKind::Bytes, b, 0});
  };
  const bool closed = WalkGroups(
      ansi, [&](const QByteArray &part) { bytes(ConvertToBinnaryEx(part, true)); },
      [&](const QByteArray &group) {
        const QString name = QString::fromLatin1(group.trimmed()).toUpper();
        if (name == QLatin1String("CRC16"))
          answer.fParts.push_back({TKind::Crc16, {}, 0});
        else if (name == QLatin1String("S97"))
          answer.fParts.push_back({TKind::S97, {}, 0});
        else if (name == QLatin1String("SEQ"))
          answer.fParts.push_back({TKind::Seq, {}, 0});
        else if (const auto m = req.match(QString::fromLatin1(group)); m.hasMatch())
          answer.fParts.push_back({TKind::Req, {}, m.captured(1).toInt()});
        else
          bytes(ConvertToBinnaryEx(Wrap(group), true));
      });
  if (!closed)
    ConvertToBinnaryEx(ansi, true); // raises with the converter's own message
  return answer;
}

QByteArray TResponderAnswer::Render(QByteArrayView request, uint8_t seq) const {
  QByteArray out;
  for (const TPart &part : fParts) {
    switch (part.kind) {
    case TKind::Bytes:
      out += part.bytes;
      break;
    case TKind::Req:
      // A request shorter than the rule expects gives 0 there, never a read
      // past its end.
      out += part.index < request.size() ? request[part.index] : char(0);
      break;
    case TKind::Crc16: {
      const uint16_t crc = ModbusCRC16(out);
      out += char(crc & 0xFF);
      out += char(crc >> 8);
      break;
    }
    case TKind::S97: {
      // PRE FRM LEN_hi LEN_lo ADR SIG INST DATA, then SUM and the CR that
      // follows: LEN counts ADR through CR.
      if (out.size() >= 7) {
        const qsizetype len = out.size() - 4 + 2;
        out[2] = char((len >> 8) & 0xFF);
        out[3] = char(len & 0xFF);
      }
      out += char(sCountCRC(QByteArrayView(out)));
      break;
    }
    case TKind::Seq:
      out += char(seq);
      break;
    }
  }
  return out;
}

void TResponderRuleSet::Assign(const std::vector<TResponderRule> &rules) {
  fRules.clear();
  for (auto &list : fByFirst)
    list.clear();
  fAnyFirst.clear();
  fByIndex.assign(rules.size(), -1);
  for (size_t i = 0; i < rules.size(); ++i) {
    const TResponderRule &rule = rules[i];
    if (!rule.enabled)
      continue;
    TCompiled compiled;
    try {
      compiled.pattern = ParseResponderRequest(rule.request);
      compiled.answer = TResponderAnswer::Parse(rule.response);
    } catch (const EPtError &) {
      continue;
    }
    compiled.index = int(i);
    compiled.match = rule.match;
    compiled.delayMs = std::clamp(rule.delayMs, 0, kResponderMaxDelayMs);
    const int position = int(fRules.size());
    fByIndex[i] = position;
    if (compiled.pattern.fixed[0])
      fByFirst[uint8_t(compiled.pattern.bytes[0])].push_back(position);
    else
      fAnyFirst.push_back(position);
    fRules.push_back(std::move(compiled));
  }
}

bool TResponderRuleSet::Match(QByteArrayView packet, THit &hit) const {
  if (packet.isEmpty() || fRules.empty())
    return false;
  const std::vector<int> &fixed = fByFirst[uint8_t(packet[0])];
  // Both lists are in rule order; walking them together keeps that order.
  auto a = fixed.begin();
  auto b = fAnyFirst.begin();
  while (a != fixed.end() || b != fAnyFirst.end()) {
    const bool takeA = b == fAnyFirst.end() || (a != fixed.end() && *a < *b);
    const int position = takeA ? *a++ : *b++;
    const TCompiled &rule = fRules[size_t(position)];
    if (rule.pattern.Matches(packet, rule.match)) {
      hit.rule = rule.index;
      hit.delayMs = rule.delayMs;
      return true;
    }
  }
  return false;
}

QByteArray TResponderRuleSet::Answer(int rule, QByteArrayView request, uint8_t seq) const {
  if (rule < 0 || rule >= int(fByIndex.size()) || fByIndex[size_t(rule)] < 0)
    return {};
  return fRules[size_t(fByIndex[size_t(rule)])].answer.Render(request, seq);
}

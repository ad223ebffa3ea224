#include "pipeline/responderstore.h"

#include "base/fileio.h"
#include "base/languagetext.h"
#include "base/xmldoc.h"

#include <QFileInfo>
#include <algorithm>

namespace {

bool IsTrue(const QString &value) {
  return value.compare(QStringLiteral("True"), Qt::CaseInsensitive) == 0;
}

QString TrueFalse(bool value) {
  return value ? QStringLiteral("True") : QStringLiteral("False");
}

// The element names of the device's tables, in TModbusTable order.
const char *const kTableElements[kModbusTables] = {"coil", "discrete", "holding", "input"};

// A number from 0 to `max` in decimal or with "0x"; false otherwise.
bool ReadNumber(const QString &text, int max, int &value) {
  bool ok = false;
  const QString t = text.trimmed();
  value = t.startsWith(QLatin1String("0x"), Qt::CaseInsensitive) ? t.mid(2).toInt(&ok, 16)
                                                                 : t.toInt(&ok, 10);
  return ok && value >= 0 && value <= max;
}

bool LoadDevice(const TXmlElement &node, TModbusDevice &device, QString &problem) {
  int unit = 0;
  if (!ReadNumber(node.Attribute(QStringLiteral("unit")), 247, unit)) {
    problem = QStringLiteral("unit=\"%1\"").arg(node.Attribute(QStringLiteral("unit")));
    return false;
  }
  device.unit = uint8_t(unit);
  device.enabled = IsTrue(node.Attribute(QStringLiteral("enabled")));
  int entries = 0;
  for (int t = 0; t < kModbusTables; ++t)
    for (const TXmlElement &point : node.ChildElements(QLatin1String(kTableElements[t]))) {
      int address = 0, value = 0;
      const bool bit = t == mtCoils || t == mtDiscreteInputs;
      if (!ReadNumber(point.Attribute(QStringLiteral("address")), 0xFFFF, address) ||
          !ReadNumber(point.Attribute(QStringLiteral("value")), bit ? 1 : 0xFFFF, value)) {
        problem =
            QStringLiteral("<%1 address=\"%2\" value=\"%3\">")
                .arg(QLatin1String(kTableElements[t]), point.Attribute(QStringLiteral("address")),
                     point.Attribute(QStringLiteral("value")));
        return false;
      }
      if (++entries > kResponderMaxRules) {
        problem = QStringLiteral("> %1").arg(kResponderMaxRules);
        return false;
      }
      device.tables[size_t(t)][uint16_t(address)] = {uint16_t(value),
                                                     point.Attribute(QStringLiteral("name"))};
    }
  return true;
}

} // namespace

bool LoadResponderFile(const QString &fileName, TResponderSettings &settings, QString &error,
                       bool *missing) {
  settings = {};
  if (missing)
    *missing = !QFileInfo::exists(fileName) && !QFileInfo(fileName).isSymLink();
  TXmlDocument doc;
  if (!doc.Load(fileName)) {
    error = FileErrorText(fileName, doc.ErrorText());
    return false;
  }
  const TXmlElement root = doc.DocumentElement();
  if (root.NamespaceURI() != QLatin1String(cXmlnsResponder) ||
      root.LocalName() != QLatin1String("responder")) {
    error = FileErrorText(fileName, LanguageText(QStringLiteral("ResponderNotItsFile"),
                                                 QStringLiteral("nejsou to pravidla simulátoru")));
    return false;
  }
  for (const TXmlElement &rules : root.ChildElements(QStringLiteral("rules")))
    for (const TXmlElement &node : rules.ChildElements(QStringLiteral("rule"))) {
      if (int(settings.rules.size()) >= kResponderMaxRules) {
        error = FileErrorText(fileName, LanguageText(QStringLiteral("ResponderTooManyRules"),
                                                     QStringLiteral("více než %1 pravidel"))
                                            .arg(kResponderMaxRules));
        settings = {};
        return false;
      }
      TResponderRule rule;
      rule.request = node.Attribute(QStringLiteral("request"));
      rule.response = node.Attribute(QStringLiteral("response"));
      rule.match = node.Attribute(QStringLiteral("match")) == QLatin1String("prefix")
                       ? TResponderMatch::Prefix
                       : TResponderMatch::Whole;
      rule.delayMs =
          std::clamp(node.Attribute(QStringLiteral("delay")).toInt(), 0, kResponderMaxDelayMs);
      bool found = false;
      const QString enabled = node.Attribute(QStringLiteral("enabled"), &found);
      rule.enabled = !found || IsTrue(enabled);
      settings.rules.push_back(rule);
    }
  if (const TXmlElement device = root.FirstChild(QStringLiteral("device"))) {
    QString problem;
    if (!LoadDevice(device, settings.device, problem)) {
      error = FileErrorText(fileName, LanguageText(QStringLiteral("ResponderBadDevice"),
                                                   QStringLiteral("chybná tabulka zařízení: %1"))
                                          .arg(problem));
      settings = {};
      return false;
    }
  }
  return true;
}

bool SaveResponderFile(const QString &fileName, const TResponderSettings &settings,
                       QString &error) {
  TXmlDocument doc;
  doc.Create(QStringLiteral("responder"), QLatin1String(cXmlnsResponder));
  TXmlElement rules = doc.DocumentElement().AddChild(QStringLiteral("rules"));
  for (const TResponderRule &rule : settings.rules) {
    TXmlElement node = rules.AddChild(QStringLiteral("rule"));
    node.SetAttribute(QStringLiteral("request"), rule.request);
    node.SetAttribute(QStringLiteral("match"), rule.match == TResponderMatch::Prefix
                                                   ? QStringLiteral("prefix")
                                                   : QStringLiteral("whole"));
    node.SetAttribute(QStringLiteral("response"), rule.response);
    node.SetAttribute(QStringLiteral("delay"), QString::number(rule.delayMs));
    node.SetAttribute(QStringLiteral("enabled"), TrueFalse(rule.enabled));
  }
  TXmlElement device = doc.DocumentElement().AddChild(QStringLiteral("device"));
  device.SetAttribute(QStringLiteral("enabled"), TrueFalse(settings.device.enabled));
  device.SetAttribute(QStringLiteral("unit"), QString::number(settings.device.unit));
  for (int t = 0; t < kModbusTables; ++t)
    for (const auto &[address, point] : settings.device.tables[size_t(t)]) {
      TXmlElement node = device.AddChild(QLatin1String(kTableElements[t]));
      node.SetAttribute(QStringLiteral("address"), QString::number(address));
      node.SetAttribute(QStringLiteral("value"), QString::number(point.value));
      if (!point.name.isEmpty())
        node.SetAttribute(QStringLiteral("name"), point.name);
    }
  if (!doc.Save(fileName, "utf-8")) {
    error = FileErrorText(fileName, doc.ErrorText());
    return false;
  }
  return true;
}

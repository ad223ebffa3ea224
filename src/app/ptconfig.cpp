#include "app/ptconfig.h"

#include <QFile>
#include <QFileInfo>

namespace {

QString BoolText(bool value) {
  return value ? QStringLiteral("true") : QStringLiteral("false");
}

TXmlElement ChildOrAdd(TXmlElement root, const QString &name) {
  TXmlElement e = root.FirstChild(name);
  return e ? e : root.AddChild(name);
}

} // namespace

std::optional<bool> TPtConfig::ParseBool(const QString &text) {
  const QString t = text.trimmed();
  if (t.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
    return true;
  if (t.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0)
    return false;
  bool ok = false;
  const qlonglong n = t.toLongLong(&ok);
  if (ok)
    return n != 0;
  return std::nullopt;
}

void TPtConfig::ReadBool(const TXmlElement &e, const char *name, bool &value) {
  bool found = false;
  const QString text = e.Attribute(QLatin1String(name), &found);
  if (!found)
    return;
  if (const auto b = ParseBool(text))
    value = *b;
  else
    fProblems << QStringLiteral("%1=\"%2\" is not a boolean").arg(QLatin1String(name), text);
}

void TPtConfig::ReadInt(const TXmlElement &e, const char *name, int &value) {
  std::optional<int> v;
  ReadInt(e, name, v);
  if (v)
    value = *v;
}

void TPtConfig::ReadInt(const TXmlElement &e, const char *name, std::optional<int> &value) {
  bool found = false;
  const QString text = e.Attribute(QLatin1String(name), &found);
  if (!found)
    return;
  bool ok = false;
  const int n = text.trimmed().toInt(&ok);
  if (ok)
    value = n;
  else
    fProblems << QStringLiteral("%1=\"%2\" is not a number").arg(QLatin1String(name), text);
}

TPtSettings TPtConfig::Load(const QString &fileName) {
  TPtSettings s;
  fFileName = fileName;
  fProblems.clear();
  fUnreadable = false;
  if (!QFileInfo::exists(fileName)) {
    xmlConfig.Create(QStringLiteral("pelmar_terminal"));
    return s;
  }
  if (!xmlConfig.Load(fileName) || !xmlConfig.DocumentElement()) {
    fUnreadable = true;
    fProblems << xmlConfig.ErrorText();
    xmlConfig.Create(QStringLiteral("pelmar_terminal"));
    return s;
  }
  const TXmlElement root = xmlConfig.DocumentElement();
  s.lngFileName = ChildOrAdd(root, QStringLiteral("language")).Attribute("lngFileName");
  ChildOrAdd(root, QStringLiteral("presets"));

  if (const TXmlElement cmd = root.FirstChild("CmdLine")) {
    s.LastCommand = cmd.Attribute("LastCommand");
    ReadBool(cmd, "CR", s.CR);
  }
  if (const TXmlElement parser = root.FirstChild("Parser")) {
    bool found = false;
    for (auto [name, target] :
         {std::pair{"Parser", &s.Parser}, std::pair{"ModbusType", &s.ModbusType},
          std::pair{"CustomType", &s.CustomType}, std::pair{"CustomSufix", &s.CustomSufix}}) {
      const QString v = parser.Attribute(QLatin1String(name), &found);
      if (found)
        *target = v;
    }
    ReadInt(parser, "CustomLength", s.CustomLength);
    ReadInt(parser, "MaxLength", s.MaxLength);
  }
  ReadInt(root, "top", s.top);
  ReadInt(root, "left", s.left);
  ReadInt(root, "width", s.width);
  ReadInt(root, "height", s.height);
  ReadBool(root, "viewPacket", s.viewPacket);
  ReadBool(root, "viewPresets", s.viewPresets);
  ReadBool(root, "viewCommonicationLog", s.viewCommonicationLog);
  ReadBool(root, "viewStatusBar", s.viewStatusBar);
  ReadInt(root, "packetFrameWidth", s.packetFrameWidth);
  ReadInt(root, "rxBufferHeight", s.rxBufferHeight);
  ReadInt(root, "presetPageIndex", s.presetPageIndex);
  ReadBool(root, "column_index", s.column_index);
  ReadBool(root, "column_timestamp", s.column_timestamp);
  ReadBool(root, "column_address", s.column_address);
  return s;
}

bool TPtConfig::Save(const TPtSettings &s, QString *error) {
  if (!xmlConfig.DocumentElement())
    xmlConfig.Create(QStringLiteral("pelmar_terminal"));
  TXmlElement root = xmlConfig.DocumentElement();
  ChildOrAdd(root, QStringLiteral("language")).SetAttribute("lngFileName", s.lngFileName);

  auto setInt = [&](const char *name, const std::optional<int> &v) {
    if (v)
      root.SetAttribute(QLatin1String(name), QString::number(*v));
  };
  setInt("top", s.top);
  setInt("left", s.left);
  setInt("width", s.width);
  setInt("height", s.height);
  root.SetAttribute("compact", BoolText(s.compact));
  root.SetAttribute("viewPacket", BoolText(s.viewPacket));
  root.SetAttribute("viewPresets", BoolText(s.viewPresets));
  root.SetAttribute("viewCommonicationLog", BoolText(s.viewCommonicationLog));
  root.SetAttribute("viewStatusBar", BoolText(s.viewStatusBar));
  setInt("packetFrameWidth", s.packetFrameWidth);
  setInt("rxBufferHeight", s.rxBufferHeight);
  root.SetAttribute("presetPageIndex", QString::number(s.presetPageIndex));
  root.SetAttribute("column_index", BoolText(s.column_index));
  root.SetAttribute("column_timestamp", BoolText(s.column_timestamp));
  root.SetAttribute("column_address", BoolText(s.column_address));

  TXmlElement cmd = ChildOrAdd(root, QStringLiteral("CmdLine"));
  cmd.SetAttribute("LastCommand", s.LastCommand);
  cmd.SetAttribute("CR", BoolText(s.CR));
  TXmlElement parser = ChildOrAdd(root, QStringLiteral("Parser"));
  parser.SetAttribute("Parser", s.Parser);
  parser.SetAttribute("ModbusType", s.ModbusType);
  parser.SetAttribute("CustomType", s.CustomType);
  parser.SetAttribute("CustomSufix", s.CustomSufix);
  parser.SetAttribute("CustomLength", QString::number(s.CustomLength));
  parser.SetAttribute("MaxLength", QString::number(s.MaxLength));

  // A file we could not read is the user's; keep it beside the fresh one.
  if (fUnreadable && QFile::exists(fFileName)) {
    const QString backup = fFileName + QStringLiteral(".bak");
    QFile::remove(backup);
    if (!QFile::rename(fFileName, backup)) {
      if (error)
        *error =
            QStringLiteral("cannot keep the unreadable \"%1\" as \"%2\"").arg(fFileName, backup);
      return false;
    }
    fUnreadable = false;
  }
  if (!xmlConfig.Save(fFileName.isEmpty() ? DefaultFileName() : fFileName, "UTF-8")) {
    if (error)
      *error = xmlConfig.ErrorText();
    return false;
  }
  return true;
}

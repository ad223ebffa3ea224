#include "app/ptconfig.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>

namespace {

QString BoolText(bool value) {
  return value ? QStringLiteral("true") : QStringLiteral("false");
}

TXmlElement ChildOrAdd(TXmlElement root, const QString &name) {
  TXmlElement e = root.FirstChild(name);
  return e ? e : root.AddChild(name);
}

// The attributes of the root and of the elements the program reads.
const QStringList kRootAttributes = {"top",
                                     "left",
                                     "width",
                                     "height",
                                     "compact",
                                     "viewPacket",
                                     "viewPresets",
                                     "viewCommonicationLog",
                                     "viewStatusBar",
                                     "packetFrameWidth",
                                     "rxBufferHeight",
                                     "presetPageIndex",
                                     "presetPageFile",
                                     "presetPageGroup",
                                     "column_index",
                                     "column_timestamp",
                                     "column_address"};
const QList<std::pair<QString, QStringList>> kKnownElements = {
    {"language", {"lngFileName"}},
    {"presets", {}},
    {"CmdLine", {"LastCommand", "CR"}},
    {"Parser",
     {"Parser", "ModbusType", "CustomType", "CustomSufix", "CustomLength", "MaxLength", "GapMs",
      "GapChars", "LengthFieldStart", "LengthFieldOffset", "LengthFieldSize", "LengthFieldOrder",
      "LengthFieldAdd"}},
    {"Record", {"LimitMB"}}};

qsizetype Size(const TXmlAttribute &a) {
  return a.Name.size() + a.Value.size();
}

// Names and attributes of an element and all below it.
qsizetype MarkupSize(const TXmlElement &e) {
  qsizetype size = e.Name().size();
  for (const TXmlAttribute &a : e.Attributes())
    size += Size(a);
  for (const TXmlElement &child : e.ChildElements())
    size += MarkupSize(child);
  return size;
}

qsizetype Size(const TXmlElement &e) {
  return MarkupSize(e) + e.Text().size();
}

// Spends `size` of the budget when it is enough.
bool Take(qsizetype &budget, qsizetype size) {
  if (size > budget)
    return false;
  budget -= size;
  return true;
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

void TPtConfig::ReadInt(const TXmlElement &e, const char *name, std::optional<int> &value, int min,
                        int max) {
  bool found = false;
  const QString text = e.Attribute(QLatin1String(name), &found);
  if (!found)
    return;
  bool ok = false;
  const int n = text.trimmed().toInt(&ok);
  if (!ok)
    fProblems << QStringLiteral("%1=\"%2\" is not a number").arg(QLatin1String(name), text);
  else if (n < min || n > max)
    fProblems << QStringLiteral("%1=\"%2\" is out of range (%3 to %4), the default is used")
                     .arg(QLatin1String(name), text)
                     .arg(min)
                     .arg(max);
  else
    value = n;
}

void TPtConfig::DropUnknownContent(TXmlElement root) {
  qsizetype budget = kMaxUnknownBytes;
  bool dropped = false;
  auto keepAttributes = [&](TXmlElement e, const QStringList &known) {
    for (const TXmlAttribute &a : e.Attributes()) {
      if (!known.contains(a.Name) && !Take(budget, Size(a))) {
        e.RemoveAttribute(a.Name);
        dropped = true;
      }
    }
  };
  auto keepElement = [&](TXmlElement parent, const TXmlElement &e) {
    if (!Take(budget, Size(e))) {
      parent.RemoveChild(e);
      dropped = true;
    }
  };
  keepAttributes(root, kRootAttributes);
  QStringList seen;
  for (const TXmlElement &e : root.ChildElements()) {
    const auto known = std::find_if(kKnownElements.begin(), kKnownElements.end(),
                                    [&](const auto &k) { return k.first == e.Name(); });
    if (known == kKnownElements.end() || seen.contains(e.Name())) {
      keepElement(root, e);
      continue;
    }
    // The first of each is read; what it holds besides is unknown content.
    seen << e.Name();
    keepAttributes(e, known->second);
    for (const TXmlElement &child : e.ChildElements())
      keepElement(e, child);
  }
  if (dropped) {
    fKeepOriginal = true;
    fProblems << QStringLiteral("unknown content beyond %1 KB is not kept; the file is kept as "
                                "\"%2.bak\"")
                     .arg(kMaxUnknownBytes / 1024)
                     .arg(fFileName);
  }
}

TPtSettings TPtConfig::Load(const QString &fileName) {
  TPtSettings s;
  fFileName = fileName;
  fProblems.clear();
  fKeepOriginal = false;
  const QFileInfo info(fileName);
  if (!info.exists()) {
    xmlConfig.Create(QStringLiteral("pelmar_terminal"));
    return s;
  }
  if (info.size() > kMaxFileBytes) {
    fKeepOriginal = true;
    fProblems << QStringLiteral("the file is larger than %1 MB and is not read; it is kept as "
                                "\"%2.bak\"")
                     .arg(kMaxFileBytes / (1024 * 1024))
                     .arg(fileName);
    xmlConfig.Create(QStringLiteral("pelmar_terminal"));
    return s;
  }
  if (!xmlConfig.Load(fileName) || !xmlConfig.DocumentElement()) {
    fKeepOriginal = true;
    fProblems << xmlConfig.ErrorText();
    xmlConfig.Create(QStringLiteral("pelmar_terminal"));
    return s;
  }
  const TXmlElement root = xmlConfig.DocumentElement();
  DropUnknownContent(root);
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
    // The silence and length-field parsers came later: files without them
    // keep the defaults.
    TFramingSettings &f = s.Framing;
    std::optional<int> number;
    ReadInt(parser, "GapMs", number, 0, 1000000000);
    f.GapMs = number.value_or(f.GapMs);
    ReadBool(parser, "GapChars", f.GapChars);
    if (const QString start = parser.Attribute("LengthFieldStart", &found); found)
      f.LengthFieldStart = start;
    number.reset();
    ReadInt(parser, "LengthFieldOffset", number, 0, 65535);
    f.LengthFieldOffset = number.value_or(f.LengthFieldOffset);
    number.reset();
    ReadInt(parser, "LengthFieldSize", number, 1, 4);
    if (number && *number != 3)
      f.LengthFieldSize = *number;
    if (const QString order = parser.Attribute("LengthFieldOrder", &found); found)
      f.LengthFieldLittleEndian = order == QLatin1String("LE");
    number.reset();
    ReadInt(parser, "LengthFieldAdd", number, -65536, 65536);
    f.LengthFieldAdd = number.value_or(f.LengthFieldAdd);
  }
  if (const TXmlElement record = root.FirstChild("Record")) {
    std::optional<int> limit;
    ReadInt(record, "LimitMB", limit, 0, kMaxRecordLimitMB);
    s.RecordLimitMB = limit.value_or(0);
  }
  ReadInt(root, "top", s.top, -kMaxCoordinate - 1, kMaxCoordinate);
  ReadInt(root, "left", s.left, -kMaxCoordinate - 1, kMaxCoordinate);
  ReadInt(root, "width", s.width, 1, kMaxCoordinate);
  ReadInt(root, "height", s.height, 1, kMaxCoordinate);
  ReadBool(root, "viewPacket", s.viewPacket);
  ReadBool(root, "viewPresets", s.viewPresets);
  ReadBool(root, "viewCommonicationLog", s.viewCommonicationLog);
  ReadBool(root, "viewStatusBar", s.viewStatusBar);
  // A negative size would collapse the panel.
  ReadInt(root, "packetFrameWidth", s.packetFrameWidth, 0, kMaxCoordinate);
  ReadInt(root, "rxBufferHeight", s.rxBufferHeight, 0, kMaxCoordinate);
  ReadInt(root, "presetPageIndex", s.presetPageIndex);
  s.presetPageFile = root.Attribute("presetPageFile");
  s.presetPageGroup = root.Attribute("presetPageGroup");
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
  root.SetAttribute("presetPageFile", s.presetPageFile);
  root.SetAttribute("presetPageGroup", s.presetPageGroup);
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
  parser.SetAttribute("GapMs", QString::number(s.Framing.GapMs));
  parser.SetAttribute("GapChars", BoolText(s.Framing.GapChars));
  parser.SetAttribute("LengthFieldStart", s.Framing.LengthFieldStart);
  parser.SetAttribute("LengthFieldOffset", QString::number(s.Framing.LengthFieldOffset));
  parser.SetAttribute("LengthFieldSize", QString::number(s.Framing.LengthFieldSize));
  parser.SetAttribute("LengthFieldOrder", s.Framing.LengthFieldLittleEndian ? QStringLiteral("LE")
                                                                            : QStringLiteral("BE"));
  parser.SetAttribute("LengthFieldAdd", QString::number(s.Framing.LengthFieldAdd));
  ChildOrAdd(root, QStringLiteral("Record"))
      .SetAttribute("LimitMB", QString::number(s.RecordLimitMB));

  // A file we could not read whole is the user's; keep it beside the fresh one.
  if (fKeepOriginal && QFile::exists(fFileName)) {
    const QString backup = fFileName + QStringLiteral(".bak");
    QFile::remove(backup);
    if (!QFile::rename(fFileName, backup)) {
      if (error)
        *error =
            QStringLiteral("cannot keep the unreadable \"%1\" as \"%2\"").arg(fFileName, backup);
      return false;
    }
    fKeepOriginal = false;
  }
  if (!xmlConfig.Save(fFileName.isEmpty() ? DefaultFileName() : fFileName, "UTF-8")) {
    if (error)
      *error = xmlConfig.ErrorText();
    return false;
  }
  return true;
}

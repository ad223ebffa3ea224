#include "tools/presetstore.h"

#include "base/fileio.h"
#include "base/languagetext.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>

bool TPresetFile::Save(QString *error) {
  if (!doc.Save(fileName)) {
    if (error)
      *error = FileErrorText(fileName, doc.ErrorText());
    return false;
  }
  savedBytes = doc.SaveToBytes();
  return true;
}

TPreset::TPreset(TPreset *parent, std::shared_ptr<TPresetFile> file, TXmlElement node)
    : fXmlDoc(std::move(file)), fNode(node) {
  if (parent) {
    fParent = parent;
    parent->fChildList.emplace_back(this);
  }
}

TPreset::~TPreset() = default;

std::unique_ptr<TPreset> TPreset::TakeChild(TPreset *child) {
  const auto it = std::find_if(fChildList.begin(), fChildList.end(),
                               [child](const auto &c) { return c.get() == child; });
  if (it == fChildList.end())
    return nullptr;
  std::unique_ptr<TPreset> taken = std::move(*it);
  fChildList.erase(it);
  taken->fParent = nullptr;
  return taken;
}

void TPreset::SetParent(TPreset *Value) {
  if (Value == fParent || !fParent)
    return;
  std::unique_ptr<TPreset> self = fParent->TakeChild(this);
  if (Value) {
    fParent = Value;
    Value->fChildList.push_back(std::move(self));
  } else {
    self.release(); // the caller owns a detached node
  }
}

TPreset *TPreset::GetChilds(int I) const {
  return I >= 0 && I < GetChildsCount() ? fChildList[size_t(I)].get() : nullptr;
}

QString TPreset::GetCaption() const {
  bool found = false;
  const QString caption = fNode.Attribute(QStringLiteral("caption"), &found);
  return found ? caption : QStringLiteral("<no name>");
}

void TPreset::SetCaption(const QString &Value) {
  if (fNode)
    fNode.SetAttribute(QStringLiteral("caption"), Value);
}

bool TPreset::GetVisible() const {
  // Anything but "False" (an empty or unknown value too) shows the preset, so
  // a damaged attribute never hides a command for good.
  return fNode.Attribute(QStringLiteral("visible"))
             .compare(QStringLiteral("False"), Qt::CaseInsensitive) != 0;
}

void TPreset::SetVisible(bool Value) {
  if (fNode)
    fNode.SetAttribute(QStringLiteral("visible"),
                       Value ? QStringLiteral("True") : QStringLiteral("False"));
}

namespace {

// A group caption as a file-name part: path separators, "..", control
// characters and characters other systems refuse in names become "_".
QString CleanFileNamePart(const QString &name) {
  QString clean;
  for (const QChar c : name)
    clean += (c.unicode() < 0x20 || QStringLiteral("/\\:*?\"<>|").contains(c)) ? u'_' : c;
  clean = clean.trimmed();
  while (clean.contains(QStringLiteral("..")))
    clean.replace(QStringLiteral(".."), QStringLiteral("_"));
  if (clean.isEmpty() || clean.startsWith(u'.'))
    clean.prepend(u'_');
  return clean.left(100);
}

} // namespace

TPresetsManager::TPresetsManager(const QString &folder)
    : TPresetsManager(TDataFolders::Single(folder)) {}

TPresetsManager::TPresetsManager(const TDataFolders &folders)
    : TPreset(nullptr, nullptr, TXmlElement()), fFolders(folders), fFolder(folders.user) {}

TPresetsManager::~TPresetsManager() {
  SavePresets();
}

void TPresetsManager::LoadPresets() {
  for (const QString &name : fFolders.Names(QStringLiteral("pt.presets.*.xml")))
    LoadPresetFile(fFolders.ReadPath(name), fFolders.WritePath(name));
}

bool TPresetsManager::LoadPresetFile(const QString &FileName, const QString &SaveAs) {
  auto file = std::make_shared<TPresetFile>();
  // A shipped group changed by the user becomes the user's file.
  file->fileName = SaveAs.isEmpty() ? FileName : SaveAs;
  if (!file->doc.Load(FileName)) {
    fLoadErrors << FileErrorText(FileName, file->doc.ErrorText());
    return false;
  }
  const TXmlElement root = file->doc.DocumentElement();
  if (root.NamespaceURI() != QLatin1String(cXmlnsPresets))
    return false; // some other kind of document, not ours to touch
  file->savedBytes = file->doc.SaveToBytes();
  fFiles.push_back(file);
  for (const TXmlElement &child : root.ChildElements()) {
    const QString name = child.LocalName().toUpper();
    if (name == QLatin1String("PRESET")) {
      new TPresetItem(this, file, child);
    } else if (name == QLatin1String("GROUP")) {
      LoadPresetNode(new TPresetGroup(this, file, child), child);
    }
  }
  return true;
}

void TPresetsManager::LoadPresetNode(TPreset *APreset, TXmlElement ANode) {
  for (const TXmlElement &child : ANode.ChildElements()) {
    const QString name = child.LocalName().toUpper();
    if (name == QLatin1String("PRESET"))
      new TPresetItem(APreset, APreset->File(), child);
    else if (name == QLatin1String("GROUP"))
      LoadPresetNode(new TPresetGroup(APreset, APreset->File(), child), child);
  }
}

bool TPresetsManager::FileInUse(const QString &fileName) const {
  if (QFileInfo::exists(fileName))
    return true;
  return std::any_of(fFiles.begin(), fFiles.end(), [&](const auto &f) {
    return QFileInfo(f->fileName).absoluteFilePath() == QFileInfo(fileName).absoluteFilePath();
  });
}

QString TPresetsManager::NewGroupFileName(const QString &GroupName) const {
  const QString base = fFolder + QStringLiteral("pt.presets.") + CleanFileNamePart(GroupName);
  QString name = base + QStringLiteral(".xml");
  for (int n = 2; FileInUse(name); ++n)
    name = base + QStringLiteral(" (%1).xml").arg(n);
  return name;
}

TPreset *TPresetsManager::CreateNewPresetGroup(const QString &GroupName, const QString &FileName) {
  auto file = std::make_shared<TPresetFile>();
  file->fileName = FileName.isEmpty() ? NewGroupFileName(GroupName) : FileName;
  file->doc.Create(QStringLiteral("presets"), QLatin1String(cXmlnsPresets));
  TXmlElement group = file->doc.DocumentElement().AddChild(QStringLiteral("group"));
  group.SetAttribute(QStringLiteral("caption"), GroupName);
  group.SetAttribute(QStringLiteral("visible"), QStringLiteral("True"));
  fFiles.push_back(file);
  return new TPresetGroup(this, file, group);
}

TPreset *TPresetsManager::AddPreset(TPreset *Group, const QString &Caption, const QString &Data,
                                    QString *error) {
  TXmlElement element = Group->Node().AddChild(QStringLiteral("preset"));
  element.SetAttribute(QStringLiteral("caption"), Caption);
  element.SetAttribute(QStringLiteral("data"), Data);
  auto *item = new TPresetItem(Group, Group->File(), element);
  if (!Group->File()->fileName.isEmpty())
    Group->File()->Save(error);
  return item;
}

void TPresetsManager::DeletePreset(TPreset *Preset) {
  TPreset *parent = Preset->Parent();
  const TXmlElement element = Preset->Node();
  if (parent) {
    Preset->SetParent(nullptr);
    parent->Node().RemoveChild(element);
  }
  delete Preset;
}

bool TPresetsManager::RemoveGroupFile(TPreset *Group, QString *error) {
  const std::shared_ptr<TPresetFile> file = Group->File();
  if (QFileInfo::exists(file->fileName) && !QFile::remove(file->fileName)) {
    if (error)
      *error = FileErrorText(file->fileName, LanguageText(QStringLiteral("FileNotDeleted"),
                                                          QStringLiteral("soubor nelze smazat")));
    return false;
  }
  const QString name = QFileInfo(file->fileName).fileName();
  if (QFileInfo(file->fileName).absolutePath() ==
          QFileInfo(fFolders.WritePath(name)).absolutePath() &&
      !fFolders.RememberRemoved(name, error))
    return false;
  for (int i = GetChildsCount() - 1; i >= 0; --i) {
    TPreset *child = GetChilds(i);
    if (child->File() == file) {
      child->SetParent(nullptr);
      delete child;
    }
  }
  fFiles.erase(std::remove(fFiles.begin(), fFiles.end(), file), fFiles.end());
  return true;
}

QStringList TPresetsManager::SavePresets() {
  QStringList errors;
  for (const auto &file : fFiles) {
    QString error;
    if (file->doc.SaveToBytes() != file->savedBytes && !file->Save(&error))
      errors << error;
  }
  return errors;
}

#pragma once

// Stored commands: presets (a caption and a packet) in groups, kept in XML
// files "pt.presets.<group>.xml" in the data folder. The tree of TPreset
// objects mirrors the files' elements; changes made through it (caption,
// visibility) are changes of the documents, which are written back to their
// own files.

#include "base/datafolder.h"
#include "base/xmldoc.h"

#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

// The namespace of preset files; a file whose root is in any other is not one.
inline constexpr const char *cXmlnsPresets = "http://www.pelmar.cz/xml/2008/duradidarozavi/presets";

// One preset file: its document and the file it is written to.
struct TPresetFile {
  TXmlDocument doc;
  QString fileName;
  // What the file holds now; a document that still serialises to it is not
  // written again.
  QByteArray savedBytes;
  bool Save(QString *error);
};

class TPreset {
public:
  TPreset(TPreset *parent, std::shared_ptr<TPresetFile> file, TXmlElement node);
  virtual ~TPreset();
  TPreset(const TPreset &) = delete;
  TPreset &operator=(const TPreset &) = delete;

  TPreset *Parent() const { return fParent; }
  // Moves this node (and the ownership of it) to the end of Value's children.
  void SetParent(TPreset *Value);
  TPreset *GetChilds(int I) const;
  int GetChildsCount() const { return int(fChildList.size()); }

  // "<no name>" when the element has no caption attribute.
  QString GetCaption() const;
  void SetCaption(const QString &Value);
  // True unless the "visible" attribute says "False".
  bool GetVisible() const;
  void SetVisible(bool Value);

  TXmlElement Node() const { return fNode; }
  const std::shared_ptr<TPresetFile> &File() const { return fXmlDoc; }

protected:
  std::shared_ptr<TPresetFile> fXmlDoc;
  TXmlElement fNode;
  std::vector<std::unique_ptr<TPreset>> fChildList;
  TPreset *fParent = nullptr;

private:
  std::unique_ptr<TPreset> TakeChild(TPreset *child);
};

class TPresetGroup : public TPreset {
  using TPreset::TPreset;
};

class TPresetItem : public TPreset {
  using TPreset::TPreset;
};

class TPresetsManager : public TPreset {
public:
  // folder: the data folder, ending in '/'.
  explicit TPresetsManager(const QString &folder);
  // Shipped groups are read from folders.shipped; every group is written to
  // folders.user.
  explicit TPresetsManager(const TDataFolders &folders);
  // Writes every document that loaded or was created.
  ~TPresetsManager() override;

  QString PathPtFiles() const { return fFolder; }

  // Loads every "pt.presets.*.xml" of the folders (the user's file where
  // both have one). Files that cannot be read are skipped, never written
  // back; the messages name them.
  void LoadPresets();
  QStringList LoadErrors() const { return fLoadErrors; }
  // SaveAs: where changes go, when not back to FileName.
  bool LoadPresetFile(const QString &FileName, const QString &SaveAs = QString());

  // A new group in a new document, to be written to FileName, or when that
  // is empty to a file named after the group. The caption is kept exactly;
  // the file name is made from a cleaned form of it and never reuses a file
  // that exists or belongs to another document of this run.
  TPreset *CreateNewPresetGroup(const QString &GroupName, const QString &FileName = QString());
  // A new preset at the end of Group, in its document and in the tree; the
  // document is written at once. False, with error, when writing failed.
  TPreset *AddPreset(TPreset *Group, const QString &Caption, const QString &Data,
                     QString *error = nullptr);
  // Takes a preset out of its group's element and of the tree, and frees it.
  void DeletePreset(TPreset *Preset);
  // Deletes the file of Group's document and every top-level group kept in
  // it; a shipped file is remembered as removed instead.
  bool RemoveGroupFile(TPreset *Group, QString *error = nullptr);
  // Writes every document to its own file; the messages of those that failed.
  QStringList SavePresets();

  // The file name a new group of that name would get.
  QString NewGroupFileName(const QString &GroupName) const;

private:
  void LoadPresetNode(TPreset *APreset, TXmlElement ANode);
  bool FileInUse(const QString &fileName) const;

  TDataFolders fFolders;
  QString fFolder;
  std::vector<std::shared_ptr<TPresetFile>> fFiles;
  QStringList fLoadErrors;
};

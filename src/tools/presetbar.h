#pragma once

// The preset bar: one tab per group of the preset store, one button per
// preset; a click sends the preset's packet. From here presets are stored,
// removed, copied into the composer and shown or hidden.

#include "base/xmldoc.h"

#include <QDialog>
#include <QPointer>
#include <QPushButton>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <optional>
#include <utility>

class QComboBox;
class QLineEdit;
class QMenu;
class QTabWidget;
class QTreeWidget;
class QTreeWidgetItem;
class TMessageSink;
class TPreset;
class TPresetsManager;

// What a tab or a button of the bar carries besides itself.
struct TDataFields {
  TXmlElement FdataNode;
  int32_t FdataPointer = 0;
  QObject *FdataObject = nullptr;
};

// A tab of the bar; FdataNode is the group element it was made for.
class TDataTabSheet : public QWidget, public TDataFields {
  Q_OBJECT
public:
  using QWidget::QWidget;
  TPreset *Group = nullptr;
  // The group's caption in full; the tab shows it shortened when it is long.
  QString Caption;
};

// A preset's button; FdataNode is the preset element.
class TDataButton : public QPushButton, public TDataFields {
  Q_OBJECT
public:
  using QPushButton::QPushButton;
  TPreset *Preset = nullptr;
};

// "Nastavení předvolby": the caption of a new preset and its group.
class TfSavePacket : public QDialog {
  Q_OBJECT
public:
  TfSavePacket(TMessageSink &sink, QWidget *parent = nullptr);
  QLineEdit *eName;
  QComboBox *cbGroup;
  // Keeps the dialog open, with a message, while a field is empty.
  void accept() override;

private:
  TMessageSink &fSink;
};

// "Presets settings": every group and preset with a check box for its visibility.
class TfPresetCheckList : public QDialog {
  Q_OBJECT
public:
  TfPresetCheckList(TPresetsManager &store, QWidget *parent = nullptr);
  // Fills the tree from the store again.
  void LoadPresetObject();
  QTreeWidget *vst;
  // After every change of a box; the bar rebuilds its tabs.
  std::function<void()> OnChanged;

private:
  void AddNode(QTreeWidgetItem *parent, TPreset *preset);
  void NodeChanged(QTreeWidgetItem *item);
  TPresetsManager &fStore;
  bool fFilling = false;
};

class TPresetBar : public QObject {
  Q_OBJECT
public:
  TPresetBar(QTabWidget *PageControl1, TPresetsManager &store, TMessageSink &sink, QWidget *window);
  ~TPresetBar() override;

  // The composer's packet, the copy into the composer and the bus tools'
  // replacement address.
  std::function<QByteArray()> PacketSource;
  std::function<void(const QString &data)> CopyToComposer;
  std::function<std::optional<uint8_t>()> ReplacementAddress;
  std::function<void(const QByteArray &)> Send;
  // Writes the configuration file (after a button was removed).
  std::function<void()> SaveConfig;
  // Runs the add-preset dialog; tests answer it without a modal loop.
  std::function<int(TfSavePacket &)> RunSaveDialog;

  // Rebuilds the tabs from the store. Tabs that stay are kept, so the strip
  // keeps its scroll position and the active tab stays active.
  void ReloadPresets();
  TDataButton *CreatePresetButton(TPreset *Preset);
  TDataTabSheet *FindOrCreateTabSheetGroup(const QString &GroupName, TPreset *Group);
  // The active tab's group as its file's name and its caption, so that a
  // later run opens the same group whatever files came or went meanwhile.
  std::pair<QString, QString> ActiveGroup() const;
  // Makes the tab of that group active, or failing that the tab of a group
  // of that file; false when there is neither.
  bool SetActiveGroup(const QString &fileName, const QString &caption);
  void RealignButtons(TDataTabSheet *Sheet);
  void onPresetButtonClick(TDataButton *Button);
  void aSetPresetExecute();
  void miRemoveClick();
  void miFrameCopyClick();
  void ShowPresetsList();

  QMenu *PopupMenu() const { return PopupMenu1; }
  QWidget *XSender() const { return fXSender; }
  TfPresetCheckList *PresetCheckList() const { return fPcl; }
  // The packet a preset element holds, re-addressed when the replacement is
  // on; raises EPtError for data that is not hexadecimal.
  QByteArray PresetPacket(const TXmlElement &Preset) const;

protected:
  bool eventFilter(QObject *watched, QEvent *event) override;

private:
  void PopupMenu1Popup();
  int TabIndex(const QString &caption) const;
  TDataTabSheet *InsertTabSheet(int index, const QString &caption, TPreset *Group);

  QTabWidget *PageControl1;
  TPresetsManager &fStore;
  TMessageSink &fSink;
  QWidget *fWindow;
  QMenu *PopupMenu1;
  QAction *miSend;
  QAction *miFrameCopy;
  QPointer<QWidget> fXSender;
  TfPresetCheckList *fPcl = nullptr;
};

#include "tools/presetbar.h"

#include "base/pterror.h"
#include "codecs/commandtext.h"
#include "codecs/pelmar97.h"
#include "tools/presetstore.h"
#include "widgets/language.h"
#include "widgets/messages.h"
#include "widgets/named.h"

#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QTabBar>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace {

constexpr int kButtonGap = 5;
// A tab shows at most about this many characters of its caption; the rest
// is elided, and the whole caption is the tab's tool tip.
constexpr int kTabCaptionChars = 32;

// The text of a group's tab: its caption, empty when it has none.
QString GroupCaption(const TPreset *group) {
  const TXmlElement node = group->Node();
  return node.HasAttribute(QStringLiteral("caption")) ? node.Attribute(QStringLiteral("caption"))
                                                      : QString();
}

QPushButton *DialogButton(const QString &caption, const char *name, QWidget *parent) {
  auto *button = new QPushButton(caption, parent);
  button->setObjectName(QLatin1String(name));
  return button;
}

} // namespace

TfSavePacket::TfSavePacket(TMessageSink &sink, QWidget *parent)
    : QDialog(parent), eName(new QLineEdit), cbGroup(new QComboBox), fSink(sink) {
  setObjectName(QStringLiteral("fSavePacket"));
  setWindowTitle(QStringLiteral("Nastavení předvolby"));
  eName->setObjectName(QStringLiteral("eName"));
  cbGroup->setObjectName(QStringLiteral("cbGroup"));
  cbGroup->setEditable(true);
  auto *grid = new QGridLayout(this);
  grid->addWidget(Named(new QLabel(QStringLiteral("Název:")), "lblName"), 0, 0);
  grid->addWidget(eName, 0, 1);
  grid->addWidget(Named(new QLabel(QStringLiteral("Skupina:")), "lblGroup"), 1, 0);
  grid->addWidget(cbGroup, 1, 1);
  auto *buttons = new QHBoxLayout;
  QPushButton *ok = DialogButton(QStringLiteral("Ok"), "btnOk", this);
  QPushButton *cancel = DialogButton(QStringLiteral("Storno"), "btnCancel", this);
  ok->setDefault(true);
  buttons->addStretch(1);
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  grid->addLayout(buttons, 2, 0, 1, 2);
  connect(ok, &QPushButton::clicked, this, &TfSavePacket::accept);
  connect(cancel, &QPushButton::clicked, this, &TfSavePacket::reject);
  setFixedSize(sizeHint());
}

void TfSavePacket::accept() {
  if (eName->text().isEmpty()) {
    fSink.ShowError(eName, QString(),
                    LanguageText(QStringLiteral("ExceptionPresetCaptionNotEntered"),
                                 QStringLiteral("Nebyl zadán popisek předvolby!")));
    eName->setFocus();
    return;
  }
  if (cbGroup->currentText().isEmpty()) {
    fSink.ShowError(cbGroup, QString(),
                    LanguageText(QStringLiteral("ExceptionPresetGroupNotEntered"),
                                 QStringLiteral("Nebyl zadán název skupiny!")));
    cbGroup->setFocus();
    return;
  }
  QDialog::accept();
}

TfPresetCheckList::TfPresetCheckList(TPresetsManager &store, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint), vst(new QTreeWidget), fStore(store) {
  setObjectName(QStringLiteral("fPresetCheckList"));
  setWindowTitle(QStringLiteral("Presets settings"));
  setModal(false);
  vst->setObjectName(QStringLiteral("vst"));
  vst->setHeaderHidden(true);
  auto *layout = new QVBoxLayout(this);
  layout->addWidget(Named(new QLabel(QStringLiteral("Předvolby:")), "lblPresets"));
  layout->addWidget(vst, 1);
  QPushButton *close = DialogButton(QStringLiteral("Zavřít"), "btnClose", this);
  layout->addWidget(close, 0, Qt::AlignRight);
  connect(close, &QPushButton::clicked, this, &QDialog::hide);
  connect(vst, &QTreeWidget::itemChanged, this, &TfPresetCheckList::NodeChanged);
  resize(300, 400);
  LoadPresetObject();
}

void TfPresetCheckList::LoadPresetObject() {
  fFilling = true;
  vst->clear();
  for (int i = 0; i < fStore.GetChildsCount(); ++i)
    AddNode(nullptr, fStore.GetChilds(i));
  vst->expandAll();
  fFilling = false;
}

void TfPresetCheckList::AddNode(QTreeWidgetItem *parent, TPreset *preset) {
  auto *item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(vst);
  item->setText(0, preset->GetCaption());
  item->setData(0, Qt::UserRole, QVariant::fromValue(static_cast<void *>(preset)));
  item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsSelectable);
  item->setCheckState(0, preset->GetVisible() ? Qt::Checked : Qt::Unchecked);
  for (int i = 0; i < preset->GetChildsCount(); ++i)
    AddNode(item, preset->GetChilds(i));
}

void TfPresetCheckList::NodeChanged(QTreeWidgetItem *item) {
  if (fFilling)
    return;
  fFilling = true;
  const Qt::CheckState state = item->checkState(0) == Qt::Unchecked ? Qt::Unchecked : Qt::Checked;
  // The node and everything under it take the new state.
  std::function<void(QTreeWidgetItem *)> apply = [&](QTreeWidgetItem *node) {
    node->setCheckState(0, state);
    static_cast<TPreset *>(node->data(0, Qt::UserRole).value<void *>())
        ->SetVisible(state == Qt::Checked);
    for (int i = 0; i < node->childCount(); ++i)
      apply(node->child(i));
  };
  apply(item);
  // The boxes above show their children's states; their own visibility stays.
  for (QTreeWidgetItem *parent = item->parent(); parent; parent = parent->parent()) {
    int checked = 0, unchecked = 0;
    for (int i = 0; i < parent->childCount(); ++i) {
      const Qt::CheckState s = parent->child(i)->checkState(0);
      checked += s == Qt::Checked;
      unchecked += s == Qt::Unchecked;
    }
    parent->setCheckState(0, unchecked == parent->childCount() ? Qt::Unchecked
                             : checked == parent->childCount() ? Qt::Checked
                                                               : Qt::PartiallyChecked);
  }
  fFilling = false;
  if (OnChanged)
    OnChanged();
}

TPresetBar::TPresetBar(QTabWidget *PageControl1, TPresetsManager &store, TMessageSink &sink,
                       QWidget *window)
    : QObject(window), PageControl1(PageControl1), fStore(store), fSink(sink), fWindow(window),
      PopupMenu1(new QMenu(window)) {
  PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
  miSend = PopupMenu1->addAction(QStringLiteral("Poslat"));
  miSend->setObjectName(QStringLiteral("miSend"));
  QFont bold = miSend->font();
  bold.setBold(true);
  miSend->setFont(bold); // the default item
  miFrameCopy = PopupMenu1->addAction(QStringLiteral("Kopirovat do tabulky"));
  miFrameCopy->setObjectName(QStringLiteral("miFrameCopy"));
  PopupMenu1->addSeparator();
  PopupMenu1->addAction(QStringLiteral("Odstranit"), this, &TPresetBar::miRemoveClick)
      ->setObjectName(QStringLiteral("miRemove"));
  PopupMenu1->addAction(QStringLiteral("Konfigurovat"), this, &TPresetBar::ShowPresetsList)
      ->setObjectName(QStringLiteral("miConfigSheets"));
  connect(miSend, &QAction::triggered, this, [this] {
    if (auto *button = qobject_cast<TDataButton *>(fXSender.data()))
      button->click();
  });
  connect(miFrameCopy, &QAction::triggered, this, &TPresetBar::miFrameCopyClick);
  connect(PopupMenu1, &QMenu::aboutToShow, this, &TPresetBar::PopupMenu1Popup);

  // Tabs are reordered by dragging them along the strip; the order is not stored.
  PageControl1->setMovable(true);
  PageControl1->installEventFilter(this);
  PageControl1->tabBar()->installEventFilter(this);
  RunSaveDialog = [](TfSavePacket &dialog) { return dialog.exec(); };
}

TPresetBar::~TPresetBar() = default;

void TPresetBar::ReloadPresets() {
  const QPointer<QWidget> active = PageControl1->currentWidget();
  const int activeIndex = PageControl1->currentIndex();
  // The tabs the store asks for, in its order: one per caption, for the
  // groups that have a visible preset. Only these two levels are shown.
  std::vector<std::pair<QString, TPreset *>> wanted;
  std::vector<TPreset *> shown;
  for (int g = 0; g < fStore.GetChildsCount(); ++g) {
    TPreset *group = fStore.GetChilds(g);
    // Presets directly under the root have no tab.
    if (!dynamic_cast<TPresetGroup *>(group) || !group->Node() || !group->GetVisible())
      continue;
    const size_t before = shown.size();
    for (int p = 0; p < group->GetChildsCount(); ++p)
      if (TPreset *preset = group->GetChilds(p); preset->GetVisible())
        shown.push_back(preset);
    const QString caption = GroupCaption(group);
    if (shown.size() > before && std::none_of(wanted.begin(), wanted.end(),
                                              [&](const auto &w) { return w.first == caption; }))
      wanted.emplace_back(caption, group);
  }
  // Tabs that stay keep their place in the strip and lose only their
  // buttons; rebuilding them all would scroll the strip back to its start.
  for (int i = PageControl1->count() - 1; i >= 0; --i) {
    auto *sheet = qobject_cast<TDataTabSheet *>(PageControl1->widget(i));
    const bool stays = sheet && std::any_of(wanted.begin(), wanted.end(), [&](const auto &w) {
                         return w.first == sheet->Caption;
                       });
    if (stays) {
      qDeleteAll(sheet->findChildren<TDataButton *>(Qt::FindDirectChildrenOnly));
      continue;
    }
    QWidget *page = PageControl1->widget(i);
    PageControl1->removeTab(i);
    delete page;
  }
  for (int i = 0; i < int(wanted.size()); ++i) {
    const auto &[caption, group] = wanted[size_t(i)];
    const int at = TabIndex(caption);
    if (at < 0) {
      InsertTabSheet(i, caption, group);
      continue;
    }
    if (at != i)
      PageControl1->tabBar()->moveTab(at, i);
    auto *sheet = static_cast<TDataTabSheet *>(PageControl1->widget(i));
    sheet->Group = group;
    sheet->FdataNode = group->Node();
  }
  for (TPreset *preset : shown)
    CreatePresetButton(preset);
  if (active)
    PageControl1->setCurrentWidget(active);
  else if (PageControl1->count() > 0)
    PageControl1->setCurrentIndex(qBound(0, activeIndex, PageControl1->count() - 1));
}

int TPresetBar::TabIndex(const QString &caption) const {
  for (int i = 0; i < PageControl1->count(); ++i)
    if (auto *sheet = qobject_cast<TDataTabSheet *>(PageControl1->widget(i));
        sheet && sheet->Caption == caption)
      return i;
  return -1;
}

TDataTabSheet *TPresetBar::InsertTabSheet(int index, const QString &caption, TPreset *Group) {
  auto *sheet = new TDataTabSheet;
  sheet->Caption = caption;
  sheet->FdataNode = Group ? Group->Node() : TXmlElement();
  sheet->Group = Group;
  sheet->installEventFilter(this);
  const QFontMetrics metrics(PageControl1->tabBar()->font());
  const QString text =
      metrics.elidedText(caption, Qt::ElideRight, metrics.averageCharWidth() * kTabCaptionChars);
  index = PageControl1->insertTab(index, sheet, QString());
  // A tab text is shown as typed, with no "&" turned into a mnemonic.
  PageControl1->setTabText(index, QString(text).replace(u'&', QStringLiteral("&&")));
  if (text != caption)
    PageControl1->setTabToolTip(index, caption);
  return sheet;
}

TDataTabSheet *TPresetBar::FindOrCreateTabSheetGroup(const QString &GroupName, TPreset *Group) {
  if (const int index = TabIndex(GroupName); index >= 0)
    return qobject_cast<TDataTabSheet *>(PageControl1->widget(index));
  return InsertTabSheet(PageControl1->count(), GroupName, Group);
}

std::pair<QString, QString> TPresetBar::ActiveGroup() const {
  const auto *sheet = qobject_cast<const TDataTabSheet *>(PageControl1->currentWidget());
  if (!sheet || !sheet->Group || !sheet->Group->File())
    return {};
  return {QFileInfo(sheet->Group->File()->fileName).fileName(), sheet->Caption};
}

bool TPresetBar::SetActiveGroup(const QString &fileName, const QString &caption) {
  if (fileName.isEmpty())
    return false;
  int sameFile = -1;
  for (int g = 0; g < fStore.GetChildsCount(); ++g) {
    const TPreset *group = fStore.GetChilds(g);
    if (!dynamic_cast<const TPresetGroup *>(group) || !group->File() ||
        QFileInfo(group->File()->fileName).fileName() != fileName)
      continue;
    const int tab = TabIndex(GroupCaption(group));
    if (tab >= 0 && GroupCaption(group) == caption) {
      PageControl1->setCurrentIndex(tab);
      return true;
    }
    if (sameFile < 0)
      sameFile = tab;
  }
  if (sameFile >= 0)
    PageControl1->setCurrentIndex(sameFile);
  return sameFile >= 0;
}

TDataButton *TPresetBar::CreatePresetButton(TPreset *Preset) {
  TPreset *group = Preset->Parent();
  if (!group || !group->Node())
    return nullptr;
  TDataTabSheet *sheet = FindOrCreateTabSheetGroup(GroupCaption(group), group);
  // Buttons are the tab's only children and stay in their order, so the last
  // one is the rightmost; a scan of them all would make building a tab quadratic.
  int left = 0;
  const QObjectList &children = sheet->children();
  for (auto it = children.crbegin(); it != children.crend(); ++it)
    if (auto *last = qobject_cast<TDataButton *>(*it)) {
      left = last->geometry().right() + 1 + kButtonGap;
      break;
    }
  const QString caption = Preset->Node().Attribute(QStringLiteral("caption"));
  auto *button = new TDataButton(sheet);
  // "&" in a caption is a character, not a mnemonic.
  button->setText(QString(caption).replace(u'&', QStringLiteral("&&")));
  button->FdataNode = Preset->Node();
  button->Preset = Preset;
  const int width = QFontMetrics(fWindow->font()).horizontalAdvance(caption) + 10;
  button->setGeometry(left, 2, width, 25);
  button->installEventFilter(this);
  connect(button, &QPushButton::clicked, this, [this, button] { onPresetButtonClick(button); });
  button->show();
  return button;
}

void TPresetBar::RealignButtons(TDataTabSheet *Sheet) {
  int left = 0;
  for (auto *button : Sheet->findChildren<TDataButton *>(Qt::FindDirectChildrenOnly)) {
    button->move(left, button->y());
    left += button->width() + kButtonGap;
  }
}

QByteArray TPresetBar::PresetPacket(const TXmlElement &Preset) const {
  QByteArray bytes = HexToBinStr(Preset.Attribute(QStringLiteral("data")));
  const std::optional<uint8_t> address =
      ReplacementAddress ? ReplacementAddress() : std::optional<uint8_t>();
  if (address && sCheck_S97(bytes) == 0) {
    const TPelmarFormat97 frame = sDecode_S97(bytes);
    bytes = sEncode_S97(*address, frame.SIG, frame.INST_ACK, frame.DATA);
  }
  return bytes;
}

void TPresetBar::onPresetButtonClick(TDataButton *Button) {
  QByteArray bytes;
  try {
    bytes = PresetPacket(Button->FdataNode);
  } catch (const std::exception &error) {
    fSink.ShowError(
        Button, QString(),
        LanguageText(QStringLiteral("PresetFailed"), QStringLiteral("Předvolba \"%1\": %2"))
            .arg(Button->FdataNode.Attribute(QStringLiteral("caption")), ExceptionText(error)));
    return;
  }
  if (Send)
    Send(bytes);
}

void TPresetBar::aSetPresetExecute() {
  TfSavePacket dialog(fSink, fWindow);
  dialog.eName->setText(LanguageText(QStringLiteral("Preset"), QStringLiteral("předvolba")));
  dialog.eName->selectAll();
  dialog.eName->setFocus();
  for (int i = 0; i < PageControl1->count(); ++i)
    if (auto *sheet = qobject_cast<TDataTabSheet *>(PageControl1->widget(i)))
      dialog.cbGroup->addItem(sheet->Caption, QVariant::fromValue(static_cast<QObject *>(sheet)));
  dialog.cbGroup->setCurrentIndex(-1);
  dialog.cbGroup->setEditText(QString());
  if (RunSaveDialog(dialog) != QDialog::Accepted)
    return;
  const QString groupText = dialog.cbGroup->currentText();
  TPreset *group = nullptr;
  // A listed tab is used when its text was chosen unchanged.
  const int index = dialog.cbGroup->findText(groupText, Qt::MatchExactly);
  if (index >= 0)
    if (auto *sheet =
            qobject_cast<TDataTabSheet *>(dialog.cbGroup->itemData(index).value<QObject *>()))
      group = sheet->Group;
  if (!group)
    group = fStore.CreateNewPresetGroup(groupText);
  const QByteArray packet = PacketSource ? PacketSource() : QByteArray();
  QString error;
  TPreset *preset = fStore.AddPreset(group, dialog.eName->text(), BinStrToHex(packet), &error);
  CreatePresetButton(preset);
  if (!error.isEmpty())
    fSink.ShowError(PageControl1, QString(), error);
  if (fPcl)
    fPcl->LoadPresetObject();
}

void TPresetBar::miRemoveClick() {
  if (auto *button = qobject_cast<TDataButton *>(fXSender.data())) {
    auto *sheet = qobject_cast<TDataTabSheet *>(button->parentWidget());
    fStore.DeletePreset(button->Preset);
    fXSender = nullptr;
    delete button;
    if (SaveConfig)
      SaveConfig();
    if (sheet)
      RealignButtons(sheet);
  } else if (auto *sheet = qobject_cast<TDataTabSheet *>(fXSender.data())) {
    QString error;
    if (sheet->Group && !fStore.RemoveGroupFile(sheet->Group, &error)) {
      fSink.ShowError(PageControl1, QString(), error);
      return;
    }
    fXSender = nullptr;
    // Groups of other files with the same caption shared the tab; they come back on their own.
    ReloadPresets();
  }
  if (fPcl)
    fPcl->LoadPresetObject();
}

void TPresetBar::miFrameCopyClick() {
  if (auto *button = qobject_cast<TDataButton *>(fXSender.data()); button && CopyToComposer)
    CopyToComposer(button->FdataNode.Attribute(QStringLiteral("data")));
}

void TPresetBar::ShowPresetsList() {
  if (!fPcl) {
    fPcl = new TfPresetCheckList(fStore, fWindow);
    fPcl->OnChanged = [this] { ReloadPresets(); };
  }
  fPcl->show();
  fPcl->raise();
}

void TPresetBar::PopupMenu1Popup() {
  const bool onButton = qobject_cast<TDataButton *>(fXSender.data()) != nullptr;
  miSend->setVisible(onButton);
  miFrameCopy->setVisible(onButton);
}

bool TPresetBar::eventFilter(QObject *watched, QEvent *event) {
  if (event->type() == QEvent::MouseButtonPress) {
    if (watched == PageControl1->tabBar()) {
      const int tab =
          PageControl1->tabBar()->tabAt(static_cast<QMouseEvent *>(event)->position().toPoint());
      if (tab >= 0)
        fXSender = PageControl1->widget(tab);
    } else if (qobject_cast<TDataButton *>(watched)) {
      fXSender = static_cast<QWidget *>(watched);
    } else if (auto *sheet = qobject_cast<TDataTabSheet *>(watched)) {
      // A press a button ignored reaches its tab too; the button stays the target.
      if (!sheet->childAt(static_cast<QMouseEvent *>(event)->position().toPoint()))
        fXSender = sheet;
    }
  } else if (event->type() == QEvent::ContextMenu &&
             (watched == PageControl1->tabBar() || qobject_cast<TDataButton *>(watched) ||
              qobject_cast<TDataTabSheet *>(watched))) {
    PopupMenu1->popup(static_cast<QContextMenuEvent *>(event)->globalPos());
    return true;
  }
  return QObject::eventFilter(watched, event);
}

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

namespace {

constexpr int kButtonGap = 5;

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

void TPresetBar::ClearTabs() {
  while (PageControl1->count() > 0) {
    QWidget *page = PageControl1->widget(0);
    PageControl1->removeTab(0);
    delete page;
  }
}

void TPresetBar::ReloadPresets() {
  const QString active = PageControl1->tabText(PageControl1->currentIndex());
  ClearTabs();
  for (int g = 0; g < fStore.GetChildsCount(); ++g) {
    TPreset *group = fStore.GetChilds(g);
    // Presets directly under the root have no tab.
    if (!dynamic_cast<TPresetGroup *>(group) || !group->GetVisible())
      continue;
    for (int p = 0; p < group->GetChildsCount(); ++p)
      if (TPreset *preset = group->GetChilds(p); preset->GetVisible())
        CreatePresetButton(preset);
  }
  for (int i = 0; i < PageControl1->count(); ++i)
    if (PageControl1->tabText(i) == active) {
      PageControl1->setCurrentIndex(i);
      break;
    }
}

TDataTabSheet *TPresetBar::FindOrCreateTabSheetGroup(const QString &GroupName, TPreset *Group) {
  for (int i = 0; i < PageControl1->count(); ++i)
    if (PageControl1->tabText(i) == GroupName)
      return qobject_cast<TDataTabSheet *>(PageControl1->widget(i));
  auto *sheet = new TDataTabSheet;
  sheet->FdataNode = Group ? Group->Node() : TXmlElement();
  sheet->Group = Group;
  sheet->installEventFilter(this);
  // A tab text is shown as typed, with no "&" turned into a mnemonic.
  PageControl1->addTab(sheet, QString());
  PageControl1->setTabText(PageControl1->count() - 1, GroupName);
  return sheet;
}

TDataButton *TPresetBar::CreatePresetButton(TPreset *Preset) {
  TPreset *group = Preset->Parent();
  if (!group || !group->Node())
    return nullptr;
  const bool hasCaption = group->Node().HasAttribute(QStringLiteral("caption"));
  TDataTabSheet *sheet = FindOrCreateTabSheetGroup(
      hasCaption ? group->Node().Attribute(QStringLiteral("caption")) : QString(), group);
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
    dialog.cbGroup->addItem(PageControl1->tabText(i),
                            QVariant::fromValue(static_cast<QObject *>(PageControl1->widget(i))));
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

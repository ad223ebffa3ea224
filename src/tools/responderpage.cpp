#include "tools/responderpage.h"

#include "base/languagetext.h"
#include "base/pterror.h"
#include "widgets/messages.h"
#include "widgets/named.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

enum TColumn { colNumber, colRequest, colResponse, colMatch, colDelay, colHits };
enum TPointColumn { colAddress, colValue, colName };

// A value typed into the grid: decimal or "0x" hexadecimal up to `max`.
bool ParsePointNumber(const QString &text, int max, int &value) {
  bool ok = false;
  const QString t = text.trimmed();
  value = t.startsWith(QLatin1String("0x"), Qt::CaseInsensitive) ? t.mid(2).toInt(&ok, 16)
                                                                 : t.toInt(&ok, 10);
  return ok && value >= 0 && value <= max;
}

bool IsBitTable(int table) {
  return table == mtCoils || table == mtDiscreteInputs;
}

} // namespace

TRequestResponseDialog::TRequestResponseDialog(QWidget *parent, TMessageSink *messages)
    : QDialog(parent), edtRequest(Named(new QLineEdit(QStringLiteral("AT{0x0D}")), "edtRequest")),
      cbbMatch(Named(new QComboBox, "cbbMatch")),
      edtResponse(Named(new QLineEdit(QStringLiteral("OK{0x0D}")), "edtResponse")),
      seDelay(Named(new QSpinBox, "seDelay")),
      chkEnabled(Named(new QCheckBox(QStringLiteral("Zapnuto")), "chkEnabled")),
      fMessages(messages) {
  setObjectName(QStringLiteral("fRequestResponse"));
  setWindowTitle(QStringLiteral("Request/Response"));
  setModal(true);
  cbbMatch->addItems({QStringLiteral("celý paket"), QStringLiteral("začátek")});
  seDelay->setRange(0, kResponderMaxDelayMs);
  seDelay->setSuffix(QStringLiteral(" ms"));
  chkEnabled->setChecked(true);
  auto *form = new QFormLayout(this);
  form->addRow(Named(new QLabel(QStringLiteral("Request:")), "lblRequest"), edtRequest);
  form->addRow(Named(new QLabel(QStringLiteral("Shoda:")), "lblMatch"), cbbMatch);
  form->addRow(Named(new QLabel(QStringLiteral("Response:")), "lblResponse"), edtResponse);
  form->addRow(Named(new QLabel(QStringLiteral("Zpoždění:")), "lblDelay"), seDelay);
  form->addRow(chkEnabled);
  auto *ok = Named(new QPushButton(QStringLiteral("Ok")), "btnOk");
  ok->setDefault(true);
  auto *cancel = Named(new QPushButton(QStringLiteral("Storno")), "btnCancel");
  auto *buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  form->addRow(buttons);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TRequestResponseDialog::SetRule(const TResponderRule &rule) {
  edtRequest->setText(rule.request);
  cbbMatch->setCurrentIndex(rule.match == TResponderMatch::Prefix ? 1 : 0);
  edtResponse->setText(rule.response);
  seDelay->setValue(rule.delayMs);
  chkEnabled->setChecked(rule.enabled);
}

TResponderRule TRequestResponseDialog::Rule() const {
  TResponderRule rule;
  rule.request = edtRequest->text();
  rule.match = cbbMatch->currentIndex() == 1 ? TResponderMatch::Prefix : TResponderMatch::Whole;
  rule.response = edtResponse->text();
  rule.delayMs = seDelay->value();
  rule.enabled = chkEnabled->isChecked();
  return rule;
}

bool TRequestResponseDialog::Check(QLineEdit *field, const std::function<void()> &convert) {
  try {
    convert();
    if (fMessages)
      fMessages->ShowBalloon(field, QString(), QString());
    return true;
  } catch (const EPtError &e) {
    if (fMessages)
      fMessages->ShowBalloon(field, InputErrorTitle(), e.Message());
    field->setFocus();
    return false;
  }
}

void TRequestResponseDialog::accept() {
  if (!Check(edtRequest, [this] { ParseResponderRequest(edtRequest->text()); }) ||
      !Check(edtResponse, [this] { TResponderAnswer::Parse(edtResponse->text()); }))
    return;
  QDialog::accept();
}

TResponderPage::TResponderPage(QWidget *parent)
    : QWidget(parent), lvResponder(Named(new QTreeWidget, "lvResponder")),
      actAdd(Named(new QAction(QStringLiteral("Add"), this), "actAdd")),
      actEdit(Named(new QAction(QStringLiteral("Edit"), this), "actEdit")),
      actRemove(Named(new QAction(QStringLiteral("Remove"), this), "actRemove")),
      actUp(Named(new QAction(QStringLiteral("▲"), this), "actResponderUp")),
      actDown(Named(new QAction(QStringLiteral("▼"), this), "actResponderDown")),
      chkActive(Named(new QCheckBox(QStringLiteral("Zapnout simulátor")), "chkResponderActive")),
      gbDevice(Named(new QGroupBox(QStringLiteral("Modbus zařízení")), "gbDevice")),
      chkDeviceActive(Named(new QCheckBox(QStringLiteral("Odpovídat")), "chkDeviceActive")),
      seDeviceUnit(Named(new QSpinBox, "seDeviceUnit")),
      cbbDeviceTable(Named(new QComboBox, "cbbDeviceTable")),
      sgDevice(Named(new QTableWidget(0, 3), "sgDevice")),
      actPointAdd(Named(new QAction(QStringLiteral("Přidat"), this), "actPointAdd")),
      actPointRemove(Named(new QAction(QStringLiteral("Odebrat"), this), "actPointRemove")),
      fDeviceSave(new QTimer(this)) {
  fDeviceSave->setSingleShot(true);
  fDeviceSave->setInterval(1000);
  connect(fDeviceSave, &QTimer::timeout, this, &TResponderPage::Save);
  setObjectName(QStringLiteral("tsDataResponder"));
  // The caption its tab gets when the page is put on the panel.
  setWindowTitle(QStringLiteral("Odpovídač"));
  lvResponder->setHeaderLabels({QStringLiteral("#"), QStringLiteral("Dotaz"),
                                QStringLiteral("Odpověď"), QStringLiteral("Shoda"),
                                QStringLiteral("ms"), QStringLiteral("Zásahy")});
  lvResponder->setRootIsDecorated(false);
  lvResponder->setAllColumnsShowFocus(true);
  // The texts share what the narrow panel leaves; the short columns fit
  // their contents, so the list never scrolls sideways.
  lvResponder->header()->setStretchLastSection(false);
  for (const int column : {colNumber, colMatch, colDelay, colHits})
    lvResponder->header()->setSectionResizeMode(column, QHeaderView::ResizeToContents);
  lvResponder->header()->setSectionResizeMode(colRequest, QHeaderView::Stretch);
  lvResponder->header()->setSectionResizeMode(colResponse, QHeaderView::Stretch);
  auto *buttons = new QHBoxLayout;
  for (QAction *action : {actAdd, actEdit, actRemove, actUp, actDown}) {
    auto *button = new QToolButton;
    button->setDefaultAction(action);
    buttons->addWidget(button);
  }
  buttons->addStretch(1);
  seDeviceUnit->setRange(1, 247);
  cbbDeviceTable->addItems(
      {QStringLiteral("Cívky (01, 05, 15)"), QStringLiteral("Diskrétní vstupy (02)"),
       QStringLiteral("Holding registry (03, 06, 16)"), QStringLiteral("Vstupní registry (04)")});
  sgDevice->setHorizontalHeaderLabels(
      {QStringLiteral("Adresa"), QStringLiteral("Hodnota"), QStringLiteral("Název")});
  sgDevice->verticalHeader()->hide();
  sgDevice->horizontalHeader()->setStretchLastSection(true);
  sgDevice->setSelectionBehavior(QAbstractItemView::SelectRows);
  auto *unitRow = new QHBoxLayout;
  unitRow->addWidget(chkDeviceActive);
  unitRow->addStretch(1);
  unitRow->addWidget(Named(new QLabel(QStringLiteral("Adresa:")), "lblDeviceUnit"));
  unitRow->addWidget(seDeviceUnit);
  auto *pointButtons = new QHBoxLayout;
  for (QAction *action : {actPointAdd, actPointRemove}) {
    auto *button = new QToolButton;
    button->setDefaultAction(action);
    pointButtons->addWidget(button);
  }
  pointButtons->addStretch(1);
  auto *device = new QVBoxLayout(gbDevice);
  device->addLayout(unitRow);
  device->addWidget(cbbDeviceTable);
  device->addWidget(sgDevice, 1);
  device->addLayout(pointButtons);
  auto *layout = new QVBoxLayout(this);
  layout->addWidget(chkActive);
  layout->addWidget(lvResponder, 1);
  layout->addLayout(buttons);
  layout->addWidget(gbDevice, 1);
  RunDialog = [](TRequestResponseDialog &dialog) { return dialog.exec(); };
  connect(actAdd, &QAction::triggered, this, &TResponderPage::actAddExecute);
  connect(actEdit, &QAction::triggered, this, &TResponderPage::actEditExecute);
  connect(actRemove, &QAction::triggered, this, &TResponderPage::actRemoveExecute);
  connect(actUp, &QAction::triggered, this, [this] { Move(-1); });
  connect(actDown, &QAction::triggered, this, [this] { Move(1); });
  connect(lvResponder, &QTreeWidget::itemDoubleClicked, this, [this] { actEditExecute(); });
  connect(lvResponder, &QTreeWidget::currentItemChanged, this, &TResponderPage::UpdateActions);
  connect(lvResponder, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem *item, int column) {
    const int row = lvResponder->indexOfTopLevelItem(item);
    if (fFilling || column != colNumber || row < 0)
      return;
    const bool enabled = item->checkState(colNumber) == Qt::Checked;
    if (fSettings.rules[size_t(row)].enabled == enabled)
      return;
    fSettings.rules[size_t(row)].enabled = enabled;
    Changed();
  });
  connect(chkActive, &QCheckBox::toggled, this, &TResponderPage::ActiveChanged);
  connect(chkDeviceActive, &QCheckBox::toggled, this, [this](bool on) {
    if (fFilling || fSettings.device.enabled == on)
      return;
    fSettings.device.enabled = on;
    Changed();
  });
  connect(seDeviceUnit, &QSpinBox::valueChanged, this, [this](int unit) {
    if (fFilling || fSettings.device.unit == unit)
      return;
    fSettings.device.unit = uint8_t(unit);
    Changed();
  });
  connect(cbbDeviceTable, &QComboBox::currentIndexChanged, this, &TResponderPage::ShowTable);
  connect(sgDevice, &QTableWidget::itemChanged, this, &TResponderPage::PointEdited);
  connect(actPointAdd, &QAction::triggered, this, &TResponderPage::actPointAddExecute);
  connect(actPointRemove, &QAction::triggered, this, &TResponderPage::actPointRemoveExecute);
  UpdateActions();
}

void TResponderPage::FillDevice() {
  const bool filling = fFilling;
  fFilling = true;
  chkDeviceActive->setChecked(fSettings.device.enabled);
  seDeviceUnit->setValue(fSettings.device.unit);
  fFilling = filling;
  ShowTable(cbbDeviceTable->currentIndex());
}

void TResponderPage::ShowTable(int table) {
  if (table < 0 || table >= kModbusTables)
    return;
  const bool filling = fFilling;
  fFilling = true;
  const auto &points = fSettings.device.tables[size_t(table)];
  const int current = sgDevice->currentRow();
  sgDevice->setRowCount(int(points.size()));
  int row = 0;
  for (const auto &[address, point] : points) {
    auto set = [&](int column, const QString &text, bool editable) {
      QTableWidgetItem *item = sgDevice->item(row, column);
      if (!item)
        sgDevice->setItem(row, column, item = new QTableWidgetItem);
      item->setText(text);
      item->setFlags(editable ? item->flags() | Qt::ItemIsEditable
                              : item->flags() & ~Qt::ItemIsEditable);
    };
    set(colAddress, QString::number(address), false);
    set(colValue, QString::number(point.value), true);
    set(colName, point.name, true);
    ++row;
  }
  if (current >= 0 && current < sgDevice->rowCount())
    sgDevice->setCurrentCell(current, colValue);
  fFilling = filling;
}

void TResponderPage::PointEdited(QTableWidgetItem *item) {
  const int table = cbbDeviceTable->currentIndex();
  if (fFilling || !item || table < 0)
    return;
  const QTableWidgetItem *addressItem = sgDevice->item(item->row(), colAddress);
  if (!addressItem)
    return;
  auto &points = fSettings.device.tables[size_t(table)];
  const auto it = points.find(uint16_t(addressItem->text().toInt()));
  if (it == points.end())
    return;
  if (item->column() == colName) {
    it->second.name = item->text();
  } else if (int value = 0; ParsePointNumber(item->text(), IsBitTable(table) ? 1 : 0xFFFF, value)) {
    it->second.value = uint16_t(value);
    if (fMessages)
      fMessages->ShowBalloon(sgDevice, QString(), QString());
  } else {
    if (fMessages)
      fMessages->ShowBalloon(sgDevice, InputErrorTitle(),
                             LanguageText(QStringLiteral("ResponderBadValue"),
                                          QStringLiteral("Hodnota musí být od 0 do %1."))
                                 .arg(IsBitTable(table) ? 1 : 65535));
  }
  ShowTable(table);
  Changed();
}

void TResponderPage::actPointAddExecute() {
  const int table = cbbDeviceTable->currentIndex();
  if (table < 0)
    return;
  auto &points = fSettings.device.tables[size_t(table)];
  // The address after the selected one that is still free, else the first free.
  int address = 0;
  if (const QTableWidgetItem *at = sgDevice->item(sgDevice->currentRow(), colAddress))
    address = at->text().toInt() + 1;
  else if (!points.empty())
    address = points.rbegin()->first + 1;
  for (int tried = 0; tried <= 0xFFFF && points.count(uint16_t(address & 0xFFFF)); ++tried)
    ++address;
  address &= 0xFFFF;
  if (points.count(uint16_t(address)))
    return; // every address is taken
  points[uint16_t(address)] = {};
  ShowTable(table);
  const auto it = points.find(uint16_t(address));
  sgDevice->setCurrentCell(int(std::distance(points.begin(), it)), colValue);
  Changed();
}

void TResponderPage::actPointRemoveExecute() {
  const int table = cbbDeviceTable->currentIndex();
  const QTableWidgetItem *at = sgDevice->item(sgDevice->currentRow(), colAddress);
  if (table < 0 || !at)
    return;
  fSettings.device.tables[size_t(table)].erase(uint16_t(at->text().toInt()));
  ShowTable(table);
  Changed();
}

void TResponderPage::ShowDevice(const TModbusDevice &device) {
  // Only the values: the user may have edited names or entries since.
  for (int t = 0; t < kModbusTables; ++t)
    for (auto &[address, point] : fSettings.device.tables[size_t(t)]) {
      const auto &written = device.tables[size_t(t)];
      if (const auto it = written.find(address); it != written.end())
        point.value = it->second.value;
    }
  ShowTable(cbbDeviceTable->currentIndex());
  if (!fDeviceSave->isActive())
    fDeviceSave->start();
}

TResponderPage::~TResponderPage() {
  // Nobody is left to hear of a failure: the window goes first.
  blockSignals(true);
  if (fDeviceSave->isActive())
    Save();
}

bool TResponderPage::LoadFile(const QString &fileName, QString &error) {
  fFileName = fileName;
  bool missing = false;
  TResponderSettings settings;
  const bool read = LoadResponderFile(fileName, settings, error, &missing);
  fKeepFile = !read && !missing;
  fSettings = read ? settings : TResponderSettings{};
  fHits.assign(fSettings.rules.size(), 0);
  Fill();
  FillDevice();
  emit SettingsChanged(fSettings);
  return read || missing;
}

int TResponderPage::CurrentRow() const {
  return lvResponder->indexOfTopLevelItem(lvResponder->currentItem());
}

void TResponderPage::Fill() {
  fFilling = true;
  lvResponder->clear();
  for (size_t i = 0; i < fSettings.rules.size(); ++i)
    lvResponder->addTopLevelItem(new QTreeWidgetItem);
  for (int i = 0; i < int(fSettings.rules.size()); ++i)
    FillRow(i);
  fFilling = false;
  UpdateActions();
}

void TResponderPage::FillRow(int row) {
  QTreeWidgetItem *item = lvResponder->topLevelItem(row);
  if (!item)
    return;
  const bool filling = fFilling;
  fFilling = true;
  const TResponderRule &rule = fSettings.rules[size_t(row)];
  item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
  item->setCheckState(colNumber, rule.enabled ? Qt::Checked : Qt::Unchecked);
  item->setText(colNumber, QString::number(row + 1));
  item->setText(colRequest, rule.request);
  item->setText(colResponse, rule.response);
  item->setText(colMatch,
                rule.match == TResponderMatch::Prefix ? QStringLiteral("…") : QStringLiteral("="));
  item->setText(colDelay, QString::number(rule.delayMs));
  item->setText(colHits, QString::number(fHits[size_t(row)]));
  fFilling = filling;
}

void TResponderPage::AddHit(int rule) {
  if (rule < 0 || rule >= int(fHits.size()))
    return;
  ++fHits[size_t(rule)];
  if (QTreeWidgetItem *item = lvResponder->topLevelItem(rule))
    item->setText(colHits, QString::number(fHits[size_t(rule)]));
}

int TResponderPage::Hits(int rule) const {
  return rule >= 0 && rule < int(fHits.size()) ? fHits[size_t(rule)] : 0;
}

void TResponderPage::Changed() {
  emit SettingsChanged(fSettings);
  Save();
}

void TResponderPage::Save() {
  fDeviceSave->stop(); // what it would write goes now
  if (fFileName.isEmpty() || fKeepFile)
    return;
  QString error;
  if (!SaveResponderFile(fFileName, fSettings, error))
    emit SaveFailed(error);
}

void TResponderPage::actAddExecute() {
  TRequestResponseDialog dialog(this, fMessages);
  if (RunDialog(dialog) != QDialog::Accepted)
    return;
  fSettings.rules.push_back(dialog.Rule());
  fHits.push_back(0);
  fFilling = true;
  lvResponder->addTopLevelItem(new QTreeWidgetItem);
  fFilling = false;
  FillRow(int(fSettings.rules.size()) - 1);
  lvResponder->setCurrentItem(lvResponder->topLevelItem(int(fSettings.rules.size()) - 1));
  Changed();
}

void TResponderPage::actEditExecute() {
  const int row = CurrentRow();
  if (row < 0)
    return;
  TRequestResponseDialog dialog(this, fMessages);
  dialog.SetRule(fSettings.rules[size_t(row)]);
  if (RunDialog(dialog) != QDialog::Accepted)
    return;
  fSettings.rules[size_t(row)] = dialog.Rule();
  FillRow(row);
  Changed();
}

void TResponderPage::actRemoveExecute() {
  const int row = CurrentRow();
  if (row < 0)
    return;
  fSettings.rules.erase(fSettings.rules.begin() + row);
  fHits.erase(fHits.begin() + row);
  Fill();
  if (lvResponder->topLevelItemCount() > 0)
    lvResponder->setCurrentItem(
        lvResponder->topLevelItem(std::min(row, lvResponder->topLevelItemCount() - 1)));
  Changed();
}

void TResponderPage::Move(int by) {
  const int row = CurrentRow();
  const int to = row + by;
  if (row < 0 || to < 0 || to >= int(fSettings.rules.size()))
    return;
  std::swap(fSettings.rules[size_t(row)], fSettings.rules[size_t(to)]);
  std::swap(fHits[size_t(row)], fHits[size_t(to)]);
  FillRow(row);
  FillRow(to);
  lvResponder->setCurrentItem(lvResponder->topLevelItem(to));
  Changed();
}

void TResponderPage::UpdateActions() {
  const int row = CurrentRow();
  actEdit->setEnabled(row >= 0);
  actRemove->setEnabled(row >= 0);
  actUp->setEnabled(row > 0);
  actDown->setEnabled(row >= 0 && row + 1 < lvResponder->topLevelItemCount());
}

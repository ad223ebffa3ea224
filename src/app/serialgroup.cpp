#include "app/serialgroup.h"

#include "app/lastconnection.h"
#include "base/pterror.h"
#include "connections/connectiontexts.h"
#include "connections/devicechange.h"
#include "connections/serialreopenwatch.h"
#include "serial/comerrors.h"
#include "serial/comport.h"
#include "serial/posixcomdevice.h"
#include "widgets/language.h"
#include "widgets/named.h"
#include "widgets/numedit.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <chrono>
#include <utility>

namespace {

const QStringList kSpeeds{"110",   "300",   "1200",  "2400",   "4800",   "9600",
                          "19200", "38400", "57600", "115200", "vlastní"};
constexpr int kCustomSpeed = 10; // "vlastní": the list becomes a number field
// The parity list names them in this order.
constexpr TAfParity kParities[] = {paNone, paEven, paOdd, paMark, paSpace};
const QString kNoActivePort = QStringLiteral("No active port!");
const QString kReopenWaiting = QStringLiteral("Sériový port čeká na návrat zařízení %1");
const QString kReopened = QStringLiteral("Sériový port znovu otevřen (%1)");
const QString kReopenGaveUp =
    QStringLiteral("Zařízení %1 se nevrátilo včas, sériový port zůstává zavřený");
const QString kReopenCancelled = QStringLiteral("Sériový port už na zařízení %1 nečeká");
constexpr int kLongestReopenWait = 9999; // minutes

int ParityPosition(TAfParity parity) {
  for (int i = 0; i < 5; ++i)
    if (kParities[i] == parity)
      return i;
  return -1;
}

// Port items drawn as two columns: the device name, then what provides it.
class TPortItemDelegate : public QStyledItemDelegate {
public:
  using QStyledItemDelegate::QStyledItemDelegate;
  void paint(QPainter *painter, const QStyleOptionViewItem &option,
             const QModelIndex &index) const override {
    QStyleOptionViewItem o = option;
    initStyleOption(&o, index);
    const QString text = o.text;
    // The frame and selection through the style, without the text: the base
    // paint would fill the option in again and draw the whole text under the
    // two columns.
    o.text.clear();
    const QStyle *style = o.widget ? o.widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &o, painter, o.widget);
    const QString name = PortNameOfItemText(text);
    const QString description = text.mid(name.size() + 1);
    painter->save();
    painter->setFont(o.font);
    painter->setPen(o.palette.color(o.state & QStyle::State_Selected ? QPalette::HighlightedText
                                                                     : QPalette::Text));
    const QRect r = o.rect;
    const int column = qMax(60, o.fontMetrics.horizontalAdvance(QStringLiteral("ttyUSB00")) + 8);
    painter->drawText(r.adjusted(2, 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft, name);
    painter->drawText(r.adjusted(column, 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft, description);
    painter->restore();
  }
};

QComboBox *List(const char *name, const QStringList &items, int current) {
  auto *list = Named(new QComboBox, name);
  list->addItems(items);
  list->setCurrentIndex(current);
  return list;
}

} // namespace

TSerialPortGroup::TSerialPortGroup(TAfComPort &port, TSerialGroupWindow window, QWidget *parent)
    : QGroupBox(QStringLiteral("Sériový port"), parent), fPort(port), fWindow(std::move(window)),
      fReopen(new TSerialReopenWatch(this)) {
  setObjectName(QStringLiteral("gbComPort"));
  connect(fReopen, &TSerialReopenWatch::deviceBack, this, &TSerialPortGroup::ReopenPort);
  connect(fReopen, &TSerialReopenWatch::gaveUp, this, [this] {
    Log(LanguageText(QStringLiteral("SerialReopenGaveUp"), kReopenGaveUp).arg(fPort.PortName()),
        kColorMaroon);
  });
  BuildControls();
  ConnectPort();
  SerialLogSettingsReorganize();
}

void TSerialPortGroup::BuildControls() {
  auto *grid = new QGridLayout(this);
  grid->setVerticalSpacing(3);
  lblCOM = Named(new QLabel(QStringLiteral("COM:")), "lblCOM");
  cbbComPort = Named(new QComboBox, "cbbComPort");
  // Any device path may be typed: a pseudo-terminal, a by-id link.
  cbbComPort->setEditable(true);
  cbbComPort->setInsertPolicy(QComboBox::NoInsert);
  cbbComPort->setCompleter(nullptr);
  cbbComPort->setItemDelegate(new TPortItemDelegate(cbbComPort));
  btnComPortsRefresh = Named(new QPushButton(QStringLiteral("↻")), "btnComPortsRefresh");
  btnComPortsRefresh->setToolTip(QStringLiteral("Obnovit seznam portů"));
  btnComPortsRefresh->setFixedWidth(28);
  lblBaudRate = Named(new QLabel(QStringLiteral("Rychlost:")), "lblBaudRate");
  cbbBaudRate = List("cbbBaudRate", kSpeeds, 5);
  cbbBaudRate->setMaxVisibleItems(15);
  lblDataBits = Named(new QLabel(QStringLiteral("Datové bity:")), "lblDataBits");
  cbbDataBits = List("cbbDataBits", {"4", "5", "6", "7", "8"}, 4);
  lblParity = Named(new QLabel(QStringLiteral("Parita:")), "lblParity");
  cbbParity = List("cbbParity", {"Žádná", "Sudá", "Lichá", "Značka", "Mezera"}, 0);
  lblStopBits = Named(new QLabel(QStringLiteral("Počet stop-bitů:")), "lblStopBits");
  cbbStopBits = List("cbbStopBits", {"1", "1,5", "2"}, 0);
  lblFlowControl = Named(new QLabel(QStringLiteral("Řízení toku:")), "lblFlowControl");
  cbbFlowControl = List("cbbFlowControl", {"Žádné", "Xon/Xoff", "Rts/Cts", "Dtr/Dsr"}, 0);

  btnOpenClose = Named(new QPushButton(QStringLiteral("Open")), "btnOpenClose");
  btnComPortSystemSettings =
      Named(new QPushButton(QStringLiteral("Log…")), "btnComPortSystemSettings");
  btnComPortSystemSettings->setToolTip(
      QStringLiteral("Zobrazí podrobnější nastavení logování událostí na sériové lince"));
  btnComPortSystemSettings2 =
      Named(new QPushButton(QStringLiteral("Systém…")), "btnComPortSystemSettings2");
  btnComPortSystemSettings2->setToolTip(
      QStringLiteral("Vyvolá systémový dialog nastavení sériové linky (na některých verzí OS "
                     "nemusí být funkční)"));
  btnComPortDefaultSettings =
      Named(new QPushButton(QStringLiteral("Výchozí")), "btnComPortDefaultSettings");
  btnComPortDefaultSettings->setToolTip(
      QStringLiteral("Nastaví výchozí hodnoty sériového portu (9600,8,N,1)"));

  grpSerialLogSettings =
      Named(new QGroupBox(QStringLiteral("Logovat události")), "grpSerialLogSettings");
  auto *logLayout = new QGridLayout(grpSerialLogSettings);
  chkSerialPortLogDSR = Named(new QCheckBox(QStringLiteral("DSR")), "chkSerialPortLogDSR");
  chkSerialPortLogCTS = Named(new QCheckBox(QStringLiteral("CTS")), "chkSerialPortLogCTS");
  chkSerialPortLogRING = Named(new QCheckBox(QStringLiteral("RING")), "chkSerialPortLogRING");
  chkSerialPortLogRSD = Named(new QCheckBox(QStringLiteral("RSD")), "chkSerialPortLogRSD");
  chkSerialPortLogErrors = Named(new QCheckBox(QStringLiteral("Errors")), "chkSerialPortLogErrors");
  int column = 0;
  for (QCheckBox *c : {chkSerialPortLogDSR, chkSerialPortLogCTS, chkSerialPortLogRING,
                       chkSerialPortLogRSD, chkSerialPortLogErrors}) {
    c->setChecked(true);
    logLayout->addWidget(c, column / 3, column % 3);
    ++column;
  }
  grpSerialLogSettings->setVisible(false);

  chkSerialReopen =
      Named(new QCheckBox(QStringLiteral("Znovu otevřít po odpojení")), "chkSerialReopen");
  chkSerialReopen->setToolTip(QStringLiteral(
      "Když zařízení zmizí (odpojení), port se otevře se stejným nastavením, jakmile se vrátí"));
  ieSerialReopenMinutes = Named(new TIntEdit, "ieSerialReopenMinutes");
  ieSerialReopenMinutes->SetMinValue(0);
  ieSerialReopenMinutes->SetMaxValue(kLongestReopenWait);
  ieSerialReopenMinutes->SetValue(0);
  ieSerialReopenMinutes->setFixedWidth(60);
  ieSerialReopenMinutes->setToolTip(
      QStringLiteral("Jak dlouho čekat na návrat zařízení, v minutách (0 = bez omezení)"));
  lblSerialReopenMinutes = Named(new QLabel(QStringLiteral("min")), "lblSerialReopenMinutes");
  lblSerialReopenMinutes->setBuddy(ieSerialReopenMinutes);

  grid->addWidget(lblCOM, 0, 0);
  auto *portRow = new QHBoxLayout;
  portRow->addWidget(cbbComPort, 1);
  portRow->addWidget(btnComPortsRefresh);
  grid->addLayout(portRow, 0, 1);
  const std::pair<QLabel *, QComboBox *> rows[] = {{lblBaudRate, cbbBaudRate},
                                                   {lblDataBits, cbbDataBits},
                                                   {lblParity, cbbParity},
                                                   {lblStopBits, cbbStopBits},
                                                   {lblFlowControl, cbbFlowControl}};
  int row = 1;
  for (const auto &[label, list] : rows) {
    label->setBuddy(list);
    grid->addWidget(label, row, 0);
    grid->addWidget(list, row++, 1);
  }
  auto *buttons = new QHBoxLayout;
  buttons->addWidget(btnComPortSystemSettings);
  buttons->addWidget(btnComPortSystemSettings2);
  buttons->addWidget(btnComPortDefaultSettings);
  buttons->addStretch(1);
  buttons->addWidget(btnOpenClose);
  grid->addLayout(buttons, row++, 0, 1, 2);
  auto *reopen = new QHBoxLayout;
  reopen->addWidget(chkSerialReopen);
  reopen->addStretch(1);
  reopen->addWidget(ieSerialReopenMinutes);
  reopen->addWidget(lblSerialReopenMinutes);
  grid->addLayout(reopen, row++, 0, 1, 2);
  grid->addWidget(grpSerialLogSettings, row++, 0, 1, 2);
  grid->setColumnStretch(1, 1);
  grid->setRowStretch(row, 1);

  connect(btnOpenClose, &QPushButton::clicked, this, &TSerialPortGroup::btnOpenCloseClick);
  connect(btnComPortsRefresh, &QPushButton::clicked, this, &TSerialPortGroup::RefreshComList);
  connect(btnComPortSystemSettings, &QPushButton::clicked, this,
          &TSerialPortGroup::btnComPortSystemSettingsClick);
  connect(btnComPortSystemSettings2, &QPushButton::clicked, this,
          &TSerialPortGroup::btnComPortSystemSettings2Click);
  connect(btnComPortDefaultSettings, &QPushButton::clicked, this,
          &TSerialPortGroup::btnComPortDefaultSettingsClick);
  // Only the user's choices apply; filling the lists from code does not.
  connect(cbbComPort, &QComboBox::activated, this, &TSerialPortGroup::cbbComPortChange);
  connect(cbbComPort->lineEdit(), &QLineEdit::editingFinished, this, [this] {
    if (PortNameOfItemText(cbbComPort->currentText()) != fPort.PortName())
      cbbComPortChange();
  });
  connect(cbbBaudRate, &QComboBox::activated, this, &TSerialPortGroup::SpeedSelected);
  connect(cbbDataBits, &QComboBox::activated, this, &TSerialPortGroup::cbbDataBitsChange);
  connect(cbbParity, &QComboBox::activated, this, &TSerialPortGroup::cbbParityChange);
  connect(cbbStopBits, &QComboBox::activated, this, &TSerialPortGroup::cbbStopBitsChange);
  connect(cbbFlowControl, &QComboBox::activated, this, &TSerialPortGroup::cbbFlowControlChange);
  connect(chkSerialReopen, &QCheckBox::toggled, this, [this](bool on) {
    if (!on)
      StopWaiting();
  });
}

void TSerialPortGroup::ConnectPort() {
  connect(&fPort, &TAfComPort::OnPortOpen, this, [this] {
    // Any port opened ends the wait, and the device it opened is the next
    // one to wait for.
    fReopen->Stop();
    fReopen->Follow(TAfPosixComDevice::DevicePath(fPort.PortName()));
    if (fWindow.RememberSerial)
      fWindow.RememberSerial();
    Log(SerialPortOpenText(fPort.SettingsStr()), kColorGreen);
    StatusBarSerialPortUpdate();
    if (fWindow.PanelRefresh)
      fWindow.PanelRefresh();
  });
  connect(&fPort, &TAfComPort::OnPortClose, this, [this] {
    if (fWindow.StatusBarRefresh)
      fWindow.StatusBarRefresh(LanguageText(QStringLiteral("NoActivePort"), kNoActivePort));
    Log(kSerialPortCloseText, kColorMaroon);
    if (fWindow.PanelRefresh)
      fWindow.PanelRefresh();
    PortClosed();
  });
  connect(&fPort, &TAfComPort::OnDeviceLost, this, [this] { fDeviceLost = true; });
  connect(&fPort, &TAfComPort::OnDataRecived, this, [this](int) {
    // Everything queued by now, which may be more than the event counted.
    QByteArray data;
    thread_local std::vector<TArrivalMark> marks;
    try {
      data = fPort.ReadString(marks);
    } catch (const std::exception &error) {
      Log(ErrorLineText(ExceptionText(error)), kColorRed);
    }
    if (!data.isEmpty() && fWindow.Receive)
      fWindow.Receive(data, marks);
  });
  connect(&fPort, &TAfComPort::OnCTSChanged, this,
          [this] { LineEvent(chkSerialPortLogCTS, "CTS ", fPort.CTS()); });
  connect(&fPort, &TAfComPort::OnDSRChanged, this,
          [this] { LineEvent(chkSerialPortLogDSR, "DSR ", fPort.DSR()); });
  connect(&fPort, &TAfComPort::OnRINGDetected, this,
          [this] { LineEvent(chkSerialPortLogRING, "RING ", fPort.RING()); });
  connect(&fPort, &TAfComPort::OnRLSDChanged, this,
          [this] { LineEvent(chkSerialPortLogRSD, "RSD ", fPort.RLSD()); });
  connect(&fPort, &TAfComPort::OnLineError, this, [this](quint32 errors) {
    if (chkSerialPortLogErrors->isChecked())
      Log(AfLineErrorText(errors), kColorBlack);
  });
}

void TSerialPortGroup::LineEvent(QCheckBox *enabled, const char *name, bool state) {
  if (fWindow.StatusBarRefresh)
    fWindow.StatusBarRefresh(QString()); // the lamps
  if (enabled->isChecked())
    Log(QLatin1String(name) + (state ? QLatin1Char('1') : QLatin1Char('0')), kColorBlack);
}

void TSerialPortGroup::Log(const QString &text, TColor color) {
  if (fWindow.LogInfoMsg)
    fWindow.LogInfoMsg(text, color);
}

// --- reopening a port whose device came back ---------------------------------

void TSerialPortGroup::PortClosed() {
  const bool lost = std::exchange(fDeviceLost, false);
  if (!lost || !chkSerialReopen->isChecked() || fReopen->Path().isEmpty()) {
    fReopen->Stop();
    return;
  }
  const int minutes = qBound(0, ieSerialReopenMinutes->GetValue(), kLongestReopenWait);
  fReopen->Watch(std::chrono::minutes(minutes));
  Log(LanguageText(QStringLiteral("SerialReopenWaiting"), kReopenWaiting).arg(fPort.PortName()),
      kColorNavy);
}

void TSerialPortGroup::ReopenPort() {
  if (fPort.Active()) {
    fReopen->Stop();
    return;
  }
  try {
    fPort.Open(); // the settings it had: a close keeps them
  } catch (const std::exception &) {
    return; // not ready yet (still being set up): the watch asks again
  }
  Log(LanguageText(QStringLiteral("SerialReopened"), kReopened).arg(fPort.SettingsStr()),
      kColorGreen);
}

void TSerialPortGroup::StopWaiting() {
  if (!fReopen->Watching())
    return;
  fReopen->Stop();
  Log(LanguageText(QStringLiteral("SerialReopenCancelled"), kReopenCancelled).arg(fPort.PortName()),
      kColorNavy);
}

bool TSerialPortGroup::WaitingForDevice() const {
  return fReopen->Watching();
}

void TSerialPortGroup::DeviceChanged(const TDeviceChange &change) {
  // The open port's device removed: lost as on a hang-up, which may not
  // have come (yet).
  if (fPort.Active() && change.action == QLatin1String("remove") && fReopen->IsFollowed(change)) {
    fDeviceLost = true;
    fPort.Close();
    return;
  }
  fReopen->DeviceChanged(change);
}

// --- open, close and the parameter handlers --------------------------------

void TSerialPortGroup::btnOpenCloseClick() {
  StopWaiting(); // the user takes over
  if (fWindow.RememberSerial)
    fWindow.RememberSerial();
  try {
    if (fPort.Active()) {
      fPort.Close();
    } else {
      // Each list through its own handler, which logs its own failure.
      cbbComPortChange();
      cbbBaudRateChange();
      cbbDataBitsChange();
      cbbParityChange();
      cbbStopBitsChange();
      cbbFlowControlChange();
      fPort.Open();
    }
  } catch (const std::exception &error) {
    Log(ErrorLineText(ExceptionText(error)), kColorRed);
  }
  if (fWindow.PanelRefresh)
    fWindow.PanelRefresh();
}

void TSerialPortGroup::cbbComPortChange() {
  const QString name = PortNameOfItemText(cbbComPort->currentText()).trimmed();
  if (name.isEmpty() || name == fPort.PortName())
    return;
  StopWaiting(); // another port
  try {
    fPort.SetPortName(name);
  } catch (const std::exception &error) {
    Log(QStringLiteral("Serial port change filure - port number ") + name +
            QStringLiteral("        (exception: \r") + ExceptionText(error) + QLatin1Char(')'),
        kColorMaroon);
  }
}

void TSerialPortGroup::cbbBaudRateChange() {
  if (!SpeedEditable() && cbbBaudRate->currentIndex() == kCustomSpeed) {
    SetSpeedEditable(true);
    cbbBaudRate->setEditText(QString::number(fPort.UserBaudRate()));
    cbbBaudRate->lineEdit()->selectAll();
    return;
  }
  SpeedTextChange();
}

void TSerialPortGroup::SpeedTextChange() {
  const QString text = cbbBaudRate->currentText();
  bool ok = false;
  const uint32_t rate = text.trimmed().toUInt(&ok);
  if (!ok) {
    Log(QStringLiteral("ERROR: '") + text + QStringLiteral("' is not valid number!"), kColorMaroon);
    return;
  }
  try {
    // The rate first: the other order would hand an open port 0 baud
    // (the user rate a table rate leaves) on the way.
    fPort.SetUserBaudRate(rate);
    fPort.SetBaudRate(brUser);
    if (fPort.Active())
      ReportChange();
  } catch (const std::exception &error) {
    Log(QStringLiteral("Serial port change filure - speed ") + QString::number(rate) +
            QStringLiteral(" bps        (exception: \r") + ExceptionText(error) + QLatin1Char(')'),
        kColorMaroon);
  }
}

void TSerialPortGroup::SpeedSelected(int index) {
  if (index == kCustomSpeed) {
    SetSpeedEditable(false);
    cbbBaudRate->setCurrentIndex(kCustomSpeed);
  } else if (SpeedEditable()) {
    // A rate picked from the list makes it a plain list again.
    SetSpeedEditable(false);
    cbbBaudRate->setCurrentIndex(index);
  }
  cbbBaudRateChange();
}

void TSerialPortGroup::PositionListChange(QComboBox *list, const char *what, int portValue,
                                          const std::function<void(int)> &apply) {
  const int position = list->currentIndex();
  if (position < 0 || position == portValue)
    return;
  try {
    apply(position);
    if (fPort.Active())
      ReportChange();
  } catch (const std::exception &error) {
    Log(QStringLiteral("Serial port change failure - ") + QLatin1String(what) + QLatin1Char(' ') +
            list->currentText() + QStringLiteral(" (exception: ") + ExceptionText(error) +
            QLatin1Char(')'),
        kColorMaroon);
    list->setCurrentIndex(portValue);
  }
}

void TSerialPortGroup::cbbDataBitsChange() {
  PositionListChange(cbbDataBits, "data bits", fPort.Databits(),
                     [this](int p) { fPort.SetDatabits(static_cast<TAfDatabits>(p)); });
}

void TSerialPortGroup::cbbParityChange() {
  PositionListChange(cbbParity, "parity", ParityPosition(fPort.Parity()),
                     [this](int p) { fPort.SetParity(kParities[p]); });
}

void TSerialPortGroup::cbbStopBitsChange() {
  PositionListChange(cbbStopBits, "stop bits", fPort.Stopbits(),
                     [this](int p) { fPort.SetStopbits(static_cast<TAfStopbits>(p)); });
}

void TSerialPortGroup::cbbFlowControlChange() {
  PositionListChange(cbbFlowControl, "flow control", fPort.FlowControl(),
                     [this](int p) { fPort.SetFlowControl(static_cast<TAfFlowControl>(p)); });
}

void TSerialPortGroup::ReportChange() {
  Log(QStringLiteral("Serial port change (") + fPort.SettingsStr() + QLatin1Char(')'), kColorGreen);
  StatusBarSerialPortUpdate();
}

void TSerialPortGroup::StatusBarSerialPortUpdate() {
  if (fWindow.StatusBarRefresh)
    fWindow.StatusBarRefresh(fPort.SettingsStr());
}

// --- buttons ----------------------------------------------------------------

void TSerialPortGroup::btnComPortDefaultSettingsClick() {
  // The lists only: an open port keeps its parameters until they are applied.
  SetSpeedEditable(false);
  cbbBaudRate->setCurrentIndex(kSpeeds.indexOf(QStringLiteral("9600")));
  cbbDataBits->setCurrentIndex(4);
  cbbParity->setCurrentIndex(0);
  cbbStopBits->setCurrentIndex(0);
  cbbFlowControl->setCurrentIndex(0);
}

void TSerialPortGroup::btnComPortSystemSettingsClick() {
  grpSerialLogSettings->setVisible(grpSerialLogSettings->isHidden());
  SerialLogSettingsReorganize();
}

void TSerialPortGroup::btnComPortSystemSettings2Click() {
  if (!fPort.ExecuteConfigDialog())
    return;
  ReportChange();
  if (fWindow.PanelRefresh)
    fWindow.PanelRefresh();
}

// --- lists ------------------------------------------------------------------

bool TSerialPortGroup::SpeedEditable() const {
  return cbbBaudRate->isEditable();
}

void TSerialPortGroup::SetSpeedEditable(bool editable) {
  if (editable == SpeedEditable())
    return;
  cbbBaudRate->setEditable(editable);
  if (!editable)
    return;
  cbbBaudRate->setCompleter(nullptr);
  cbbBaudRate->setInsertPolicy(QComboBox::NoInsert);
  // Every keystroke reaches an open port.
  connect(cbbBaudRate->lineEdit(), &QLineEdit::textEdited, this,
          &TSerialPortGroup::SpeedTextChange);
}

void TSerialPortGroup::SelectSpeed(uint32_t rate) {
  const int index = kSpeeds.indexOf(QString::number(rate));
  if (index >= 0 && index < kCustomSpeed) {
    SetSpeedEditable(false);
    cbbBaudRate->setCurrentIndex(index);
  } else {
    SetSpeedEditable(true);
    cbbBaudRate->setEditText(QString::number(rate));
  }
}

void TSerialPortGroup::SelectPortItem(const QString &name) {
  for (int i = 0; i < cbbComPort->count(); ++i)
    if (PortNameOfItemText(cbbComPort->itemText(i)) == name) {
      cbbComPort->setCurrentIndex(i);
      return;
    }
  cbbComPort->setCurrentIndex(-1);
  cbbComPort->setEditText(name);
}

void TSerialPortGroup::RefreshComList() {
  const QList<TSerialPortItem> ports = PortLister ? PortLister() : QList<TSerialPortItem>();
  cbbComPort->clear();
  for (const TSerialPortItem &p : ports)
    cbbComPort->addItem(p.Text(), p.name);
  SelectPortItem(fPort.PortName());
}

void TSerialPortGroup::ShowPortSettings() {
  if (!fPort.Active())
    return;
  SelectPortItem(fPort.PortName());
  SelectSpeed(fPort.GetNumericBaudrate());
  cbbDataBits->setCurrentIndex(fPort.Databits());
  cbbStopBits->setCurrentIndex(fPort.Stopbits());
  cbbFlowControl->setCurrentIndex(fPort.FlowControl());
  cbbParity->setCurrentIndex(ParityPosition(fPort.Parity()));
}

void TSerialPortGroup::SerialLogSettingsReorganize() {
  const int wanted = grpSerialLogSettings->isHidden() ? kHeightWithoutLog : kHeightWithLog;
  setFixedHeight(qMax(wanted, sizeHint().height()));
  emit layoutChanged();
}

QList<QWidget *> TSerialPortGroup::SerialSet() const {
  return {lblCOM,         cbbComPort,     lblBaudRate,  cbbBaudRate,       lblDataBits,
          cbbDataBits,    lblStopBits,    cbbStopBits,  lblParity,         cbbParity,
          lblFlowControl, cbbFlowControl, btnOpenClose, btnComPortsRefresh};
}

// --- saved settings -----------------------------------------------------------

void TSerialPortGroup::LoadSettings(const TLastConnection &saved) {
  if (saved.spPort && !saved.spPort->isEmpty() && !fPort.Active())
    fPort.SetPortName(*saved.spPort);
  if (saved.spSpeed)
    SelectSpeed(static_cast<uint32_t>(qMax(0, *saved.spSpeed)));
  const std::pair<QComboBox *, std::optional<int>> lists[] = {
      {cbbDataBits, saved.spDataBits},
      {cbbStopBits, saved.spStopBits},
      {cbbParity, saved.spParity},
      {cbbFlowControl, saved.spFlowControl}};
  for (const auto &[list, position] : lists)
    if (position && *position >= 0 && *position < list->count())
      list->setCurrentIndex(*position);
  chkSerialPortLogDSR->setChecked(saved.spLogDSR);
  chkSerialPortLogCTS->setChecked(saved.spLogCTS);
  chkSerialPortLogRING->setChecked(saved.spLogRING);
  chkSerialPortLogRSD->setChecked(saved.spLogRSD);
  chkSerialPortLogErrors->setChecked(saved.spLogError);
  const bool allLogged =
      saved.spLogDSR && saved.spLogCTS && saved.spLogRING && saved.spLogRSD && saved.spLogError;
  grpSerialLogSettings->setVisible(!allLogged);
  chkSerialReopen->setChecked(saved.spReopen);
  ieSerialReopenMinutes->SetValue(saved.spReopenMinutes);
  SerialLogSettingsReorganize();
  RefreshComList();
}

void TSerialPortGroup::StoreSettings(TLastConnection &saved) const {
  const QString port = PortNameOfItemText(cbbComPort->currentText()).trimmed();
  saved.spPort = port.isEmpty() ? std::nullopt : std::optional<QString>(port);
  bool ok = false;
  const int speed = cbbBaudRate->currentText().trimmed().toInt(&ok);
  saved.spSpeed = ok ? std::optional<int>(speed) : std::nullopt;
  const auto position = [](const QComboBox *list) {
    return list->currentIndex() >= 0 ? std::optional<int>(list->currentIndex()) : std::nullopt;
  };
  saved.spDataBits = position(cbbDataBits);
  saved.spStopBits = position(cbbStopBits);
  saved.spParity = position(cbbParity);
  saved.spFlowControl = position(cbbFlowControl);
  saved.spLogDSR = chkSerialPortLogDSR->isChecked();
  saved.spLogCTS = chkSerialPortLogCTS->isChecked();
  saved.spLogRING = chkSerialPortLogRING->isChecked();
  saved.spLogRSD = chkSerialPortLogRSD->isChecked();
  saved.spLogError = chkSerialPortLogErrors->isChecked();
  saved.spReopen = chkSerialReopen->isChecked();
  saved.spReopenMinutes = qBound(0, ieSerialReopenMinutes->GetValue(), kLongestReopenWait);
}

// The serial group of the "Connection" tab on a real pseudo-terminal, the
// saved last connection and the port discovery side of the window.
#include "app/connectionpanel.h"
#include "app/lastconnection.h"
#include "app/launcher.h"
#include "app/serialgroup.h"
#include "app/statusbar.h"
#include "connections/connectioncontroller.h"
#include "connections/connectiontexts.h"
#include "connections/devicechange.h"
#include "serial/comport.h"
#include "serial/ptypair.h"
#include "widgets/numedit.h"
#include "windowfixture.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QImage>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

namespace {

class SerialGroupTest : public WindowTest {
protected:
  void SetUp() override {
    ASSERT_TRUE(pty.Valid());
    WindowTest::SetUp();
    Bind();
  }
  void Bind() {
    group = window->SerialGroup();
    ASSERT_NE(group, nullptr);
  }
  void Restart() {
    Close();
    Open();
    Bind();
  }
  // The user types the device path and presses Open.
  void OpenPty() {
    group->cbbComPort->setEditText(pty.Path());
    group->btnOpenClose->click();
  }
  // Picks an item as the user does, running the list's handler.
  void Pick(QComboBox *list, const QString &text) {
    const int index = list->findText(text);
    ASSERT_GE(index, 0) << text.toStdString();
    list->setCurrentIndex(index);
    emit list->activated(index);
  }
  QStringList Lines(TColor color) { return LogLines(window->vstTerminal(), color); }
  bool HasLine(const QString &text, TColor color) {
    return WaitFor([&] { return Lines(color).contains(text); });
  }
  QString Settings(const char *rest) { return pty.Path() + QStringLiteral(": ") + rest; }

  TPtyPair pty;
  TSerialPortGroup *group = nullptr;
};

TEST_F(SerialGroupTest, OpenExchangeAndClose) {
  OpenPty();
  ASSERT_TRUE(window->SerialPort().Active());
  EXPECT_TRUE(HasLine("Serial port open (" + Settings("9600,N,8,1") + ")", kColorGreen));
  EXPECT_EQ(window->PtStatusBar()->PanelText(1), Settings("9600,N,8,1"));
  EXPECT_EQ(window->LastConnection(), "SERIAL_PORT");
  EXPECT_EQ(group->btnOpenClose->text(), "Close");
  // The network groups rest while the port is open.
  EXPECT_FALSE(window->ConnectionPanel()->btnTcpConnectDisconnect->isEnabled());
  EXPECT_FALSE(window->ConnectionPanel()->btnUdpConnectDisconnect->isEnabled());
  EXPECT_TRUE(group->cbbBaudRate->isEnabled());

  auto *edit = window->findChild<QLineEdit *>("edtCommandLine");
  edit->setText(QStringLiteral("AT"));
  QTest::keyClick(edit, Qt::Key_Return);
  EXPECT_EQ(pty.Read(3), "AT\r");

  const QByteArray frame = QByteArray::fromHex("2A610008010223148107AA0D");
  ASSERT_TRUE(pty.Write(frame));
  ASSERT_TRUE(WaitFor([&] {
    const std::vector<Row> rows = Rows(window->vstTerminal());
    return std::any_of(rows.begin(), rows.end(),
                       [&](const Row &r) { return r.direction == spRx && r.bytes == frame; });
  }));

  group->btnOpenClose->click();
  EXPECT_FALSE(window->SerialPort().Active());
  EXPECT_TRUE(HasLine("Serial port close", kColorMaroon));
  EXPECT_EQ(window->PtStatusBar()->PanelText(1), "No active port!");
  EXPECT_EQ(group->btnOpenClose->text(), "Open");
  EXPECT_TRUE(window->ConnectionPanel()->btnTcpConnectDisconnect->isEnabled());
}

TEST_F(SerialGroupTest, TheReasonSpeaksTheCurrentLanguage) {
  window->LoadLanguage(QStringLiteral(PT_DATA_FILES_DIR "/pt.lng.en.xml"));
  group->cbbComPort->setEditText(QStringLiteral("/dev/pt-no-such-port"));
  group->btnOpenClose->click();
  EXPECT_TRUE(HasLine(
      "Error: Invalid port number (/dev/pt-no-such-port): the device does not exist", kColorRed));
}

TEST_F(SerialGroupTest, PortsThatCannotOpenLogTheReason) {
  group->cbbComPort->setEditText(QStringLiteral("/dev/pt-no-such-port"));
  group->btnOpenClose->click();
  EXPECT_TRUE(
      HasLine("Chyba: Invalid port number (/dev/pt-no-such-port): zařízení neexistuje", kColorRed));

  // Held by another program (flock, as root ignores TIOCEXCL).
  TAfComPort other;
  other.SetPortName(pty.Path());
  other.Open();
  ASSERT_TRUE(other.Active());
  OpenPty();
  EXPECT_FALSE(window->SerialPort().Active());
  EXPECT_TRUE(HasLine("Chyba: Can't open device " + pty.Path() +
                          ": port je obsazen, používá ho jiný program",
                      kColorRed));
  EXPECT_EQ(group->btnOpenClose->text(), "Open");
}

TEST_F(SerialGroupTest, AFarEndHangUpIsLoggedInWords) {
  group->chkSerialPortLogErrors->setChecked(true);
  OpenPty();
  ASSERT_TRUE(window->SerialPort().Active());
  pty.CloseMaster();
  EXPECT_TRUE(HasLine("Serial port data error: the line hung up (the far end closed it or the "
                      "device was removed) (1024)",
                      kColorBlack))
      << Lines(kColorBlack).join('\n').toStdString();
}

TEST_F(SerialGroupTest, LiveChangesOnAnOpenPort) {
  OpenPty();
  ASSERT_TRUE(window->SerialPort().Active());

  Pick(group->cbbStopBits, "2");
  EXPECT_EQ(window->SerialPort().Stopbits(), sbTwo);
  EXPECT_TRUE(HasLine("Serial port change (" + Settings("9600,N,8,2") + ")", kColorGreen));
  EXPECT_EQ(window->PtStatusBar()->PanelText(1), Settings("9600,N,8,2"));

  // The value the port already has: nothing to log.
  const qsizetype greens = Lines(kColorGreen).size();
  Pick(group->cbbDataBits, "8");
  EXPECT_EQ(Lines(kColorGreen).size(), greens);

  // Refused: 4 data bits by the engine, parity by the pseudo-terminal's
  // driver, which keeps 8 bits without parity whatever it is told. The
  // reason is logged and the list returns to the port's value.
  Pick(group->cbbDataBits, "4");
  Pick(group->cbbParity, "Sudá");
  ASSERT_TRUE(WaitFor([&] { return Lines(kColorMaroon).size() == 2; }));
  EXPECT_TRUE(
      Lines(kColorMaroon)[0].startsWith("Serial port change failure - data bits 4 (exception: "))
      << Lines(kColorMaroon)[0].toStdString();
  EXPECT_TRUE(
      Lines(kColorMaroon)[1].startsWith("Serial port change failure - parity Sudá (exception: "))
      << Lines(kColorMaroon)[1].toStdString();
  EXPECT_EQ(group->cbbDataBits->currentText(), "8");
  EXPECT_EQ(group->cbbParity->currentText(), "Žádná");
  EXPECT_EQ(window->SerialPort().SettingsStr(), Settings("9600,N,8,2"));

  // "vlastní" turns the list into a number field; each keystroke applies.
  Pick(group->cbbBaudRate, "vlastní");
  ASSERT_TRUE(group->SpeedEditable());
  EXPECT_EQ(group->cbbBaudRate->lineEdit()->selectedText(), group->cbbBaudRate->currentText());
  group->cbbBaudRate->lineEdit()->clear();
  QTest::keyClicks(group->cbbBaudRate->lineEdit(), "19200");
  for (const char *rate : {"1", "19", "192", "1920", "19200"})
    EXPECT_TRUE(HasLine("Serial port change (" + pty.Path() + ": " + rate + ",N,8,2)", kColorGreen))
        << rate;
  EXPECT_EQ(window->SerialPort().GetNumericBaudrate(), 19200u)
      << Lines(kColorMaroon).join(";").toStdString();
  QTest::keyClicks(group->cbbBaudRate->lineEdit(), "x");
  EXPECT_TRUE(HasLine("ERROR: '19200x' is not valid number!", kColorMaroon));

  // A rate from the list makes it a list again; a rate outside it a field.
  window->SerialPort().SetUserBaudRate(57600);
  window->rbChangeConnectionProvider();
  EXPECT_FALSE(group->SpeedEditable());
  EXPECT_EQ(group->cbbBaudRate->currentText(), "57600");
  window->SerialPort().SetUserBaudRate(250000);
  window->rbChangeConnectionProvider();
  EXPECT_TRUE(group->SpeedEditable());
  EXPECT_EQ(group->cbbBaudRate->currentText(), "250000");

  // The default button sets the lists only.
  group->btnComPortDefaultSettings->click();
  EXPECT_FALSE(group->SpeedEditable());
  EXPECT_EQ(group->cbbBaudRate->currentText(), "9600");
  EXPECT_EQ(group->cbbStopBits->currentText(), "1");
  EXPECT_EQ(window->SerialPort().Stopbits(), sbTwo);

  // A closed port takes any parity; it meets the device at the next open.
  group->btnOpenClose->click();
  Pick(group->cbbParity, "Sudá");
  EXPECT_EQ(window->SerialPort().Parity(), paEven);
  EXPECT_TRUE(window->SerialPort().SettingsStr().contains(",E,"));
}

TEST_F(SerialGroupTest, StatusBarLampsAndToggles) {
  TPtStatusBar *bar = window->PtStatusBar();
  const auto panelCentre = [&](int panel) {
    int x = 0;
    for (int i = 0; i < panel; ++i)
      x += TPtStatusBar::kPanelWidths[i];
    return QPoint(x + TPtStatusBar::kPanelWidths[panel] / 2, bar->height() / 2);
  };
  // Closed: the DTR lamp does nothing.
  QTest::mouseDClick(bar, Qt::LeftButton, {}, panelCentre(4));
  EXPECT_TRUE(Lines(kColorBlack).isEmpty());

  OpenPty();
  ASSERT_TRUE(window->SerialPort().Active());
  const bool dtr = window->SerialPort().DTR();
  QTest::mouseDClick(bar, Qt::LeftButton, {}, panelCentre(4));
  EXPECT_EQ(window->SerialPort().DTR(), !dtr);
  EXPECT_TRUE(HasLine(QStringLiteral("DTR ") + (dtr ? "0" : "1"), kColorBlack));
  const bool rts = window->SerialPort().RTS();
  QTest::mouseDClick(bar, Qt::LeftButton, {}, panelCentre(2));
  EXPECT_TRUE(HasLine(QStringLiteral("RTS ") + (rts ? "0" : "1"), kColorBlack));

  // The connection panel toggles the serial port, the last one used.
  QTest::mouseDClick(bar, Qt::LeftButton, {}, panelCentre(1));
  EXPECT_FALSE(window->SerialPort().Active());
  QTest::mouseDClick(bar, Qt::LeftButton, {}, panelCentre(1));
  EXPECT_TRUE(window->SerialPort().Active());
}

TEST_F(SerialGroupTest, LogGroupAndPortList) {
  EXPECT_TRUE(group->grpSerialLogSettings->isHidden());
  EXPECT_GE(group->height(), TSerialPortGroup::kHeightWithoutLog);
  const int closed = group->height();
  group->btnComPortSystemSettings->click();
  EXPECT_FALSE(group->grpSerialLogSettings->isHidden());
  EXPECT_GE(group->height(), TSerialPortGroup::kHeightWithLog);
  EXPECT_GT(group->height(), closed);
  // The network groups follow the serial group down.
  EXPECT_GT(window->ConnectionPanel()->gbTcpSocket->y(), group->y() + group->height());

  window->SerialPort().SetPortName(QStringLiteral("ttyUSB1"));
  group->PortLister = [] {
    return QList<TSerialPortItem>{{"ttyS0", "serial"}, {"ttyUSB1", "ftdi_sio"}};
  };
  group->RefreshComList();
  ASSERT_EQ(group->cbbComPort->count(), 2);
  EXPECT_EQ(group->cbbComPort->currentText(), "ttyUSB1=ftdi_sio");
  window->SerialPort().SetPortName(QStringLiteral("/dev/pts/99"));
  group->RefreshComList();
  EXPECT_EQ(group->cbbComPort->currentIndex(), -1);
  EXPECT_EQ(group->cbbComPort->currentText(), "/dev/pts/99");
}

// Dark pixels of an image, as text is drawn on the light item background.
int DarkPixels(const QImage &image, const QRect &area) {
  int count = 0;
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x)
      count += qGray(image.pixel(x, y)) < 128;
  return count;
}

TEST_F(SerialGroupTest, PortItemsDrawEachTextOnce) {
  group->PortLister = [] { return QList<TSerialPortItem>{{"ttyS0", "serial"}}; };
  group->RefreshComList();
  ASSERT_EQ(group->cbbComPort->itemText(0), "ttyS0=serial");
  QAbstractItemView *view = group->cbbComPort->view();
  QStyleOptionViewItem option;
  option.initFrom(view);
  option.state = QStyle::State_Enabled;
  option.rect = QRect(0, 0, 240, 24);
  option.widget = view;
  QImage image(option.rect.size(), QImage::Format_RGB32);
  image.fill(Qt::white);
  {
    QPainter painter(&image);
    group->cbbComPort->itemDelegate()->paint(&painter, option,
                                             group->cbbComPort->model()->index(0, 0));
  }
  // The name at the left edge and the description in its column, at least
  // 60 px in; between them nothing, where a second copy of the whole text
  // would show "=se".
  const int nameEnd = 2 + QFontMetrics(option.font).horizontalAdvance("ttyS0");
  ASSERT_LT(nameEnd, 50);
  EXPECT_GT(DarkPixels(image, QRect(0, 0, nameEnd, 24)), 10);
  EXPECT_GT(DarkPixels(image, QRect(60, 0, 180, 24)), 10);
  EXPECT_EQ(DarkPixels(image, QRect(nameEnd + 2, 0, 58 - nameEnd - 2, 24)), 0);
}

TEST_F(SerialGroupTest, EverySettingSurvivesARestart) {
  // First run: the defaults.
  TConnectionPanel *panel = window->ConnectionPanel();
  EXPECT_EQ(panel->edtTcpHost->text(), "192.168.1.254");
  EXPECT_EQ(panel->iedTcpPort->GetValue(), 10001);
  EXPECT_EQ(panel->edtUdpRemoteAddress->text(), "127.0.0.1");
  EXPECT_EQ(panel->ieUdpListenPort->GetValue(), 10001);
  EXPECT_EQ(panel->ieUdpRemotePort->GetValue(), 10001);
  EXPECT_EQ(group->cbbBaudRate->currentText(), "9600");
  EXPECT_TRUE(group->grpSerialLogSettings->isHidden());

  // Settings a pseudo-terminal can take, so that the port opens again.
  Pick(group->cbbBaudRate, "vlastní");
  group->cbbBaudRate->setEditText(QStringLiteral("250000"));
  group->cbbStopBits->setCurrentIndex(2);
  group->cbbFlowControl->setCurrentIndex(2);
  group->chkSerialPortLogRING->setChecked(false);
  group->chkSerialPortLogErrors->setChecked(false);
  panel->edtTcpHost->setText(QStringLiteral("localhost"));
  panel->iedTcpPort->setText(QStringLiteral("2101"));
  panel->edtUdpRemoteAddress->setText(QStringLiteral("127.0.0.9"));
  panel->ieUdpListenPort->setText(QStringLiteral("0"));
  panel->ieUdpRemotePort->setText(QStringLiteral("4001"));
  OpenPty(); // applies the lists; the open port is opened again next time
  ASSERT_TRUE(window->SerialPort().Active());
  EXPECT_EQ(window->SerialPort().SettingsStr(), Settings("250000,N,8,2"));

  Restart();
  panel = window->ConnectionPanel();
  EXPECT_EQ(group->cbbBaudRate->currentText(), "250000");
  EXPECT_TRUE(group->SpeedEditable());
  EXPECT_EQ(group->cbbStopBits->currentText(), "2");
  EXPECT_EQ(group->cbbFlowControl->currentText(), "Rts/Cts");
  EXPECT_TRUE(group->chkSerialPortLogDSR->isChecked());
  EXPECT_TRUE(group->chkSerialPortLogCTS->isChecked());
  EXPECT_FALSE(group->chkSerialPortLogRING->isChecked());
  EXPECT_TRUE(group->chkSerialPortLogRSD->isChecked());
  EXPECT_FALSE(group->chkSerialPortLogErrors->isChecked());
  EXPECT_FALSE(group->grpSerialLogSettings->isHidden());
  EXPECT_EQ(panel->edtTcpHost->text(), "localhost");
  EXPECT_EQ(panel->iedTcpPort->GetValue(), 2101);
  EXPECT_EQ(panel->edtUdpRemoteAddress->text(), "127.0.0.9");
  EXPECT_EQ(panel->ieUdpListenPort->GetValue(), 0);
  EXPECT_EQ(panel->ieUdpRemotePort->GetValue(), 4001);
  EXPECT_EQ(window->LastConnection(), "SERIAL_PORT");
  EXPECT_TRUE(window->SerialPort().Active()) << "the port was open when the window closed";
  EXPECT_EQ(window->SerialPort().PortName(), pty.Path());
  EXPECT_EQ(window->SerialPort().SettingsStr(), Settings("250000,N,8,2"));

  // A running UDP connection is saved as not connected: no restart of it.
  group->btnOpenClose->click();
  group->cbbDataBits->setCurrentIndex(3);
  group->cbbParity->setCurrentIndex(2);
  panel->btnUdpConnectDisconnect->click();
  ASSERT_EQ(panel->btnUdpConnectDisconnect->text(), kCaptionStop);
  Restart();
  EXPECT_EQ(group->cbbDataBits->currentText(), "7");
  EXPECT_EQ(group->cbbParity->currentText(), "Lichá");
  EXPECT_EQ(window->LastConnection(), "UDP_CLIENT");
  EXPECT_EQ(window->Connections().Connection(), nullptr);
  EXPECT_FALSE(window->SerialPort().Active());
}

TEST_F(SerialGroupTest, DeviceChangesAndHelperPrograms) {
  window->wmDeviceChange({"add", "tty", "ttyUSB0", "/devices/x/ttyUSB0"});
  EXPECT_TRUE(HasLine("system detected a new device - serial, parallel - ttyUSB0", kColorGreen));

  std::vector<TProgramStart> started;
  window->StartProgram = [&](const TProgramStart &s) {
    started.push_back(s);
    return true;
  };
  window->ConnectionPanel()->edtTcpHost->setText(QStringLiteral("127.0.0.1"));
  window->ConnectionPanel()->btnPing->click();
  if (const auto terminal = TerminalCommand({"ping", "127.0.0.1"}, SystemExecutableFinder())) {
    ASSERT_EQ(started.size(), 1u);
    EXPECT_EQ(started[0], *terminal);
  } else {
    EXPECT_TRUE(started.empty());
    ASSERT_EQ(dialogs.messages.size(), 1);
  }

  // Which programs the buttons choose, on a desktop with a given set.
  const auto finder = [](QStringList present) {
    return [present](const QString &name) {
      return present.contains(name) ? "/usr/bin/" + name : QString();
    };
  };
  EXPECT_EQ(TerminalCommand({"ping", "h"}, finder({"xterm", "konsole"})),
            (TProgramStart{"/usr/bin/konsole", {"-e", "ping", "h"}}));
  EXPECT_EQ(TerminalCommand({"ping", "h"}, finder({"gnome-terminal"})),
            (TProgramStart{"/usr/bin/gnome-terminal", {"--", "ping", "h"}}));
  EXPECT_FALSE(TerminalCommand({"ping", "h"}, finder({})));
  EXPECT_EQ(DeviceManagerCommand(finder({"lshw-gtk", "hardinfo"})),
            (TProgramStart{"/usr/bin/hardinfo", {}}));
  EXPECT_FALSE(DeviceManagerCommand(finder({})));
}

} // namespace

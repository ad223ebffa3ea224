#pragma once

#include <QList>
#include <QWidget>
#include <utility>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class TIntEdit;

// Which transport runs; the panel enables and captions itself from this.
struct TConnectionsRunning {
  bool tcp = false;
  bool udp = false;
  bool serial = false;
  bool Any() const { return tcp || udp || serial; }
};

// The "Connection" tab: one group per transport stacked from the top, and a
// stack of tool buttons growing up from the bottom edge. The groups'
// contents are public, as the window's handlers read and fill them.
class TConnectionPanel : public QWidget {
  Q_OBJECT
public:
  explicit TConnectionPanel(QWidget *parent = nullptr);

  // Another group (the serial port's) goes above the network groups; `set`
  // is what it enables when nothing else runs.
  void SetTopGroup(QGroupBox *group, const QList<QWidget *> &set);
  // A tool button for the stack at the bottom; the first added sits lowest.
  void AddBottomButton(QPushButton *button);

  // Captions and enabling from what runs.
  void Refresh(const TConnectionsRunning &running);
  // Places the groups and buttons; also on every resize.
  void pnlConnectionResize();

  QGroupBox *gbTcpSocket = nullptr;
  QLabel *lblTcpHost = nullptr;
  QLineEdit *edtTcpHost = nullptr;
  QLabel *lblTcpPort = nullptr;
  TIntEdit *iedTcpPort = nullptr;
  QLabel *lblTcpIpVersion = nullptr;
  QRadioButton *rbTcpIPv4 = nullptr;
  QRadioButton *rbTcpIpv6 = nullptr;
  QPushButton *btnTcpConnectDisconnect = nullptr;
  QPushButton *btnPing = nullptr;

  QGroupBox *gbUdp = nullptr;
  QLabel *lblUdpRemoteIP = nullptr;
  QLineEdit *edtUdpRemoteAddress = nullptr;
  QLabel *lblUdpRemotePort = nullptr;
  TIntEdit *ieUdpRemotePort = nullptr;
  QLabel *lblRemoteListenPort = nullptr;
  TIntEdit *ieUdpListenPort = nullptr;
  QPushButton *btnUdpConnectDisconnect = nullptr;

  static constexpr int kTcpGroupHeight = 149;

  // Everything placed without overlap; the least the panel needs.
  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

protected:
  void resizeEvent(QResizeEvent *event) override;

private:
  void BuildTcpGroup();
  void BuildUdpGroup();
  // The groups from the top with their heights.
  QList<std::pair<QGroupBox *, int>> Groups() const;
  QSize ContentSize() const;

  QGroupBox *fTopGroup = nullptr;
  QList<QWidget *> fTopGroupSet;
  QList<QPushButton *> fBottomButtons;
  QSize fContentSize;
};

#include "app/connectionpanel.h"

#include "connections/connectiontexts.h"
#include "widgets/endis.h"
#include "widgets/named.h"
#include "widgets/numedit.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace {

constexpr int kMargin = 5;    // groups from the left and top edges, and between groups
constexpr int kNarrower = 12; // groups are this much narrower than the panel
constexpr int kButtonGap = 6; // between the bottom buttons and from the bottom edge

TIntEdit *PortEdit(const char *name, int value) {
  auto *edit = Named(new TIntEdit, name);
  // One above the last port, so that the error of a refused port is shown
  // rather than the number silently clamped.
  edit->SetMinValue(0);
  edit->SetMaxValue(65536);
  edit->SetValue(value);
  return edit;
}

} // namespace

TConnectionPanel::TConnectionPanel(QWidget *parent) : QWidget(parent) {
  setObjectName(QStringLiteral("pnlConnection"));
  BuildTcpGroup();
  BuildUdpGroup();
}

void TConnectionPanel::BuildTcpGroup() {
  gbTcpSocket = Named(new QGroupBox(QStringLiteral("TCP socket"), this), "gbTcpSocket");
  auto *grid = new QGridLayout(gbTcpSocket);
  lblTcpHost = Named(new QLabel(QStringLiteral("Host:")), "lblTcpHost");
  edtTcpHost = Named(new QLineEdit(QStringLiteral("192.168.1.254")), "edtTcpHost");
  lblTcpPort = Named(new QLabel(QStringLiteral("Port:")), "lblTcpPort");
  iedTcpPort = PortEdit("iedTcpPort", 10001);
  lblTcpIpVersion = Named(new QLabel(QStringLiteral("IP:")), "lblTcpIpVersion");
  rbTcpIPv4 = Named(new QRadioButton(QStringLiteral("IPv4")), "rbTcpIPv4");
  rbTcpIpv6 = Named(new QRadioButton(QStringLiteral("IPv6")), "rbTcpIpv6");
  rbTcpIPv4->setChecked(true);
  btnTcpConnectDisconnect = Named(new QPushButton(kCaptionConnect), "btnTcpConnectDisconnect");
  btnPing = Named(new QPushButton(QStringLiteral("Ping")), "btnPing");
  lblTcpHost->setBuddy(edtTcpHost);
  lblTcpPort->setBuddy(iedTcpPort);

  auto *versions = new QHBoxLayout;
  versions->addWidget(rbTcpIPv4);
  versions->addWidget(rbTcpIpv6);
  versions->addStretch(1);
  grid->addWidget(lblTcpHost, 0, 0);
  grid->addWidget(edtTcpHost, 0, 1);
  grid->addWidget(lblTcpPort, 1, 0);
  grid->addWidget(iedTcpPort, 1, 1);
  grid->addWidget(lblTcpIpVersion, 2, 0);
  grid->addLayout(versions, 2, 1);
  auto *buttons = new QHBoxLayout;
  buttons->addWidget(btnPing);
  buttons->addStretch(1);
  buttons->addWidget(btnTcpConnectDisconnect);
  grid->addLayout(buttons, 3, 0, 1, 2);
  grid->setColumnStretch(1, 1);
}

void TConnectionPanel::BuildUdpGroup() {
  gbUdp = Named(new QGroupBox(QStringLiteral("UDP"), this), "gbUdp");
  auto *grid = new QGridLayout(gbUdp);
  lblUdpRemoteIP = Named(new QLabel(QStringLiteral("Remote IP:")), "lblUdpRemoteIP");
  edtUdpRemoteAddress =
      Named(new QLineEdit(QStringLiteral("192.168.1.254")), "edtUdpRemoteAddress");
  lblUdpRemotePort = Named(new QLabel(QStringLiteral("Remote port:")), "lblUdpRemotePort");
  ieUdpRemotePort = PortEdit("ieUdpRemotePort", 10001);
  lblRemoteListenPort = Named(new QLabel(QStringLiteral("Listen port:")), "lblRemoteListenPort");
  ieUdpListenPort = PortEdit("ieUdpListenPort", 30718);
  btnUdpConnectDisconnect = Named(new QPushButton(kCaptionStart), "btnUdpConnectDisconnect");
  lblUdpRemoteIP->setBuddy(edtUdpRemoteAddress);
  lblUdpRemotePort->setBuddy(ieUdpRemotePort);
  lblRemoteListenPort->setBuddy(ieUdpListenPort);

  grid->addWidget(lblUdpRemoteIP, 0, 0);
  grid->addWidget(edtUdpRemoteAddress, 0, 1);
  grid->addWidget(lblUdpRemotePort, 1, 0);
  grid->addWidget(ieUdpRemotePort, 1, 1);
  grid->addWidget(lblRemoteListenPort, 2, 0);
  grid->addWidget(ieUdpListenPort, 2, 1);
  grid->addWidget(btnUdpConnectDisconnect, 3, 1, Qt::AlignRight);
  grid->setColumnStretch(1, 1);
}

void TConnectionPanel::SetTopGroup(QGroupBox *group, const QList<QWidget *> &set) {
  fTopGroup = group;
  fTopGroupSet = set;
  group->setParent(this);
  pnlConnectionResize();
}

void TConnectionPanel::AddBottomButton(QPushButton *button) {
  button->setParent(this);
  fBottomButtons.append(button);
  pnlConnectionResize();
}

void TConnectionPanel::Refresh(const TConnectionsRunning &running) {
  EnDis({lblTcpHost, edtTcpHost, lblTcpPort, iedTcpPort, btnTcpConnectDisconnect},
        !running.Any() || running.tcp);
  EnDis({lblUdpRemoteIP, lblUdpRemotePort, lblRemoteListenPort, edtUdpRemoteAddress,
         ieUdpRemotePort, ieUdpListenPort, btnUdpConnectDisconnect},
        !running.Any() || running.udp);
  EnDis(fTopGroupSet, !running.Any() || running.serial);
  // The IP version cannot change under a running TCP connection either.
  EnDis({lblTcpIpVersion, rbTcpIPv4, rbTcpIpv6}, !running.Any());
  btnTcpConnectDisconnect->setText(TcpButtonCaption(running.tcp));
  btnUdpConnectDisconnect->setText(UdpButtonCaption(running.udp));
}

void TConnectionPanel::resizeEvent(QResizeEvent *event) {
  QWidget::resizeEvent(event);
  pnlConnectionResize();
}

QList<std::pair<QGroupBox *, int>> TConnectionPanel::Groups() const {
  QList<std::pair<QGroupBox *, int>> groups;
  if (fTopGroup)
    groups.append({fTopGroup,
                   fTopGroup->height() > 0 ? fTopGroup->height() : fTopGroup->sizeHint().height()});
  groups.append({gbTcpSocket, qMax(kTcpGroupHeight, gbTcpSocket->sizeHint().height())});
  groups.append({gbUdp, gbUdp->sizeHint().height()});
  return groups;
}

QSize TConnectionPanel::ContentSize() const {
  int height = kMargin, width = 0;
  for (const auto &[group, h] : Groups()) {
    height += h + kMargin;
    width = qMax(width, group->minimumSizeHint().width());
  }
  for (const QPushButton *button : fBottomButtons) {
    height += button->sizeHint().height() + kButtonGap;
    width = qMax(width, button->minimumSizeHint().width());
  }
  return {width + kNarrower, height + kButtonGap};
}

QSize TConnectionPanel::sizeHint() const {
  return ContentSize();
}

QSize TConnectionPanel::minimumSizeHint() const {
  return ContentSize();
}

void TConnectionPanel::pnlConnectionResize() {
  const int groupWidth = qMax(0, width() - kNarrower);
  int top = kMargin;
  for (const auto &[group, h] : Groups()) {
    group->setGeometry(kMargin, top, groupWidth, h);
    group->raise();
    top += h + kMargin;
  }
  // The buttons grow up from the bottom edge but never into the groups: a
  // panel too short for both is made taller, and the tab scrolls.
  const QSize content = ContentSize();
  int bottom = qMax(height(), content.height()) - kButtonGap;
  for (QPushButton *button : fBottomButtons) {
    const int h = button->sizeHint().height();
    button->setGeometry(gbTcpSocket->x(), bottom - h, gbTcpSocket->width(), h);
    bottom -= h + kButtonGap;
  }
  if (content != fContentSize) {
    fContentSize = content;
    updateGeometry();
  }
}

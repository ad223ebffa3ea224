// The "Odpovídač" page at work: its rules answer what the receive path cuts,
// through the window's own Send, so every answer is a transmitted row.

#include "app/mainwindow.h"
#include "base/datafolder.h"
#include "connections/connectioncontroller.h"
#include "connections/connectiontexts.h"
#include "connections/responder.h"
#include "serial/comport.h"
#include "tools/responderpage.h"
#include "widgets/dialogs.h"

void TfMainPelmarTerm::BuildResponder() {
  fAnswering = new TResponder(this);
  fAnswering->Send = [this](const QByteArray &answer) { Send(answer); };
  fAnswering->Warn = [this](const QString &text) { LogInfoMsg(text, kColorMaroon); };
  fResponder->SetMessages(&fDialogs);
  connect(fResponder, &TResponderPage::SettingsChanged, fAnswering, &TResponder::SetSettings);
  connect(fResponder, &TResponderPage::ActiveChanged, fAnswering, &TResponder::SetActive);
  connect(fAnswering, &TResponder::RuleHit, fResponder, &TResponderPage::AddHit);
  connect(fResponder, &TResponderPage::SaveFailed, this,
          [this](const QString &error) { LogInfoMsg(error, kColorMaroon); });
  // Set before any transport delivers; the responder itself is off until
  // switched on.
  fReceiver.OnPacket = [this](QByteArrayView packet, int64_t stamp) {
    fAnswering->Packet(packet, stamp);
  };
  fAnswering->ModbusType = [this] { return fReceiver.fVexlinParser_Modbus.ModbusType(); };
  connect(fAnswering, &TResponder::DeviceChanged, fResponder, &TResponderPage::ShowDevice);
  // The serial line's speed bounds the answers and times the RTU silence.
  connect(AfComPort1.get(), &TAfComPort::OnPortOpen, this,
          [this] { fAnswering->SetLineSpeed(int64_t(AfComPort1->GetNumericBaudrate())); });
  connect(AfComPort1.get(), &TAfComPort::OnPortClose, this, [this] {
    fAnswering->SetLineSpeed(0);
    fAnswering->DropPending();
  });
  const TDataFolders folders = DataFolders();
  folders.MakeUserFolders();
  QString error;
  if (!fResponder->LoadFile(folders.WritePath(QLatin1String(cResponderFileName)), error))
    LogInfoMsg(error, kColorMaroon);
}

void TfMainPelmarTerm::ResponderLinkChanged() {
  if (!fAnswering)
    return;
  const bool up = (AfComPort1 && AfComPort1->Active()) ||
                  (fConnections && (fConnections->TcpConnected() || fConnections->UdpRunning()));
  if (!up)
    fAnswering->DropPending();
}

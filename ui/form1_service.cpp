// The controller's interface protocol and scene run mode, set by single commands.

#include <QRadioButton>

#include "protocol/connection.h"
#include "protocol/frames.h"
#include "ui/form1.h"

namespace qz {

namespace {
// Every service command arms the threshold for the 8-byte answer first, then refuses to go out
// without a connection. True when the command may be sent.
bool mayCommand(SerialPort& port, Platform& desktop, bool connected) {
  port.setReceiveThreshold(frames::kServiceReplyLength);
  if (connected) return true;
  desktop.messageBox(QStringLiteral("设备没有连接!"), QStringLiteral("接口协议配置"),
                     MessageIcon::Exclamation);
  return false;
}
}  // namespace

void Form1::Command2_Click() {
  if (!mayCommand(MSComm1, CommonDialog1, Connected)) return;
  const bool old = Option1->isChecked();
  serviceAsked = old ? 0x01 : 0x02;
  ask(MSComm1, old ? frames::kProtocol1200 : frames::kProtocol19200, frames::kServiceReplyLength);
}

void Form1::Command3_Click() {
  if (!mayCommand(MSComm1, CommonDialog1, Connected)) return;
  serviceAsked = 0xFF;
  ask(MSComm1, frames::kProtocolCancel, frames::kServiceReplyLength);
}

void Form1::Command8_Click() {
  if (!mayCommand(MSComm1, CommonDialog1, Connected)) return;
  const bool overlay = Option4->isChecked();
  serviceAsked = overlay ? 0x20 : 0x10;
  ask(MSComm1, overlay ? frames::kRunModeOverlay : frames::kRunModeSwitch,
      frames::kServiceReplyLength);
}

}  // namespace qz

// The controller's interface protocol and scene run mode, set by single commands.

#include <QRadioButton>

#include "protocol/frames.h"
#include "ui/form1.h"

namespace qz {

namespace {
const QString kNotConnected = QStringLiteral("设备没有连接!");
const QString kProtocolTitle = QStringLiteral("接口协议配置");
}  // namespace

void Form1::Command2_Click() {
  MSComm1.setReceiveThreshold(frames::kServiceReplyLength);
  if (!Connected) {
    CommonDialog1.messageBox(kNotConnected, kProtocolTitle, MessageIcon::Exclamation);
    return;
  }
  sendText(Option1->isChecked() ? frames::kProtocol1200 : frames::kProtocol19200);
}

void Form1::Command3_Click() {
  MSComm1.setReceiveThreshold(frames::kServiceReplyLength);
  if (!Connected) {
    CommonDialog1.messageBox(kNotConnected, kProtocolTitle, MessageIcon::Exclamation);
    return;
  }
  sendText(frames::kProtocolCancel);
}

void Form1::Command8_Click() {
  MSComm1.setReceiveThreshold(frames::kServiceReplyLength);
  if (!Connected) {
    CommonDialog1.messageBox(kNotConnected, kProtocolTitle, MessageIcon::Exclamation);
    return;
  }
  sendText(Option4->isChecked() ? frames::kRunModeOverlay : frames::kRunModeSwitch);
}

}  // namespace qz

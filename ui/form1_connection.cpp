// Connecting: handshake attempts every 200 ms, settling, the version query; disconnecting and
// leaving.

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include "link/com_ports.h"
#include "protocol/connection.h"
#include "protocol/frames.h"
#include "ui/form1.h"

namespace qz {

void Form1::Command建立连接_Click() {
  if (Connected) {
    stopTransfers();
    serviceAsked.reset();
    Command建立连接->setText(QStringLiteral("建立连接"));
    Connected = false;
    Combo串口->setEnabled(true);
    Combo机型->setEnabled(true);
    for (int i = 0; i < disconnectFrames(DisconnectBy::Button); ++i) sendText(frames::kDisconnect);
    CloseComPort(MSComm1);
    Label软件版本->setText(QString());
    Label机型->setText(QString());
    Command下载->setEnabled(false);
    Command上传->setEnabled(false);
    return;
  }

  const OpenResult opened = OpenComPort(MSComm1, Combo串口->currentText().toStdString(),
                                        Combo波特率->currentText().toStdString(), "NONE", "8", "1");
  if (opened.message) {
    CommonDialog1.messageBox(QString::fromStdString(*opened.message), QStringLiteral("提示信息!"),
                             MessageIcon::Information);
  }
  if (!opened.opened) return;
  Command建立连接->setText(QStringLiteral("正在连接"));
  Label提示->setText(QStringLiteral("   正在连接……"));
  Frame提示->show();
  Combo串口->setEnabled(false);
  Combo机型->setEnabled(false);
  LinkTick = 0;
  Timer2->start();
  setEnabled(false);
}

void Form1::Timer2_Timer() {
  ++LinkTick;
  switch (connectStep(LinkTick, Connected)) {
    case ConnectStep::SendHandshake:
      sendHandshake(MSComm1);
      break;
    case ConnectStep::ShowFailure:
      Label提示->setText(QStringLiteral(" 连接失败，请重试"));
      Command建立连接->setText(QStringLiteral("连接失败"));
      CloseComPort(MSComm1);
      break;
    case ConnectStep::Reset:
      LinkTick = 0;
      Command建立连接->setText(QStringLiteral("建立连接"));
      Frame提示->hide();
      setEnabled(true);
      Combo串口->setEnabled(true);
      Combo机型->setEnabled(true);
      Timer2->stop();
      break;
    case ConnectStep::ShowConnected:
      Command建立连接->setText(QStringLiteral("断开连接"));
      Label提示->setText(QStringLiteral("    连接成功"));
      Frame提示->show();
      break;
    case ConnectStep::StartVersion:
      Combo串口->setEnabled(false);
      Combo机型->setEnabled(false);
      Timer3->start();
      Command下载->setEnabled(true);
      Command上传->setEnabled(true);
      Timer2->stop();
      break;
    case ConnectStep::Nothing:
      break;
  }
}

void Form1::Timer3_Timer() {
  VersionText.clear();
  VersionMode = true;
  ask(MSComm1, frames::kVersionQuery, frames::kVersionTextLength);
  TimerGetVision->start();
  Timer3->stop();
}

void Form1::TimerGetVision_Timer() {
  Label软件版本->setText(VersionText);
  VersionMode = false;
  TimerGetVision->stop();
  Frame提示->hide();
  setEnabled(true);
}

void Form1::Command7_Click() {
  if (Connected) {
    sendText(frames::kDisconnect);
    CloseComPort(MSComm1);
  }
  close();
}

void Form1::portLost() {
  // The adapter was pulled or the other end hung up. Whatever was under way ends here: no
  // timer goes on writing into a dead port, and the user is told why the connection is gone.
  const bool linked =
      wasLinked(Connected, Timer2->isActive(), Timer3->isActive(), TimerGetVision->isActive());
  CloseComPort(MSComm1);
  Timer2->stop();
  Timer3->stop();
  TimerGetVision->stop();
  Timer上传超时->stop();
  Timer下载超时->stop();
  Load_JD(0, 0);
  Connected = false;
  VersionMode = false;
  serviceAsked.reset();
  LinkTick = 0;
  Command建立连接->setText(QStringLiteral("建立连接"));
  Combo串口->setEnabled(true);
  Combo机型->setEnabled(true);
  Command下载->setEnabled(false);
  Command上传->setEnabled(false);
  Label软件版本->setText(QString());
  Label机型->setText(QString());
  setEnabled(true);
  if (linked) {
    Label提示->setText(QStringLiteral(" 串口已断开，连接中断"));
    Frame提示->show();
  }
  // A transfer under way says that it failed.
  stopTransfers();
}

}  // namespace qz

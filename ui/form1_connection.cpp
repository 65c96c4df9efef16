// Connecting: handshake attempts every 200 ms, settling, the version query; disconnecting and
// leaving. The conversation keeps the schedule; the window shows where it has got to.

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include "link/com_ports.h"
#include "ui/form1.h"

namespace qz {

void Form1::Command建立连接_Click() {
  if (Connected()) {
    drive([this] { session.disconnect(DisconnectBy::Button); });
    return;
  }
  const OpenResult opened = OpenComPort(MSComm1, Combo串口->currentText().toStdString(),
                                        Combo波特率->currentText().toStdString(), "NONE", "8", "1");
  if (opened.message) {
    CommonDialog1.messageBox(QString::fromStdString(*opened.message), QStringLiteral("提示信息!"),
                             opened.mustFix ? MessageIcon::Critical : MessageIcon::Information);
  }
  if (!opened.opened) return;
  // The quiet that ends a reply lasts a few characters at the chosen speed.
  if (const int baud = Combo波特率->currentText().toInt(); baud > 0) session.setBaud(baud);
  drive([this] { session.connect(); });
}

void Form1::Timer2_Timer() {
  drive([this] { session.tick(Tick::Link); });
}

void Form1::Timer3_Timer() {
  drive([this] { session.tick(Tick::VersionQuery); });
}

void Form1::TimerGetVision_Timer() {
  drive([this] { session.tick(Tick::VersionShown); });
}

void Form1::Command7_Click() {
  if (!mayLeave()) return;
  drive([this] { session.disconnect(DisconnectBy::Exit); });
  close();
}

QString Form1::VersionText() const {
  return QString::fromStdU16String(versionText(session.versionText()));
}

void Form1::connectionEvent(const SessionEvent& e) {
  const auto idleControls = [this] {
    Command建立连接->setText(QStringLiteral("建立连接"));
    Combo串口->setEnabled(true);
    Combo机型->setEnabled(true);
  };
  const auto noController = [this] {
    Label软件版本->setText(QString());
    Label机型->setText(QString());
    Command下载->setEnabled(false);
    Command上传->setEnabled(false);
  };
  if (std::holds_alternative<event::Connecting>(e)) {
    Command建立连接->setText(QStringLiteral("正在连接"));
    Label提示->setText(QStringLiteral("   正在连接……"));
    Frame提示->show();
    Combo串口->setEnabled(false);
    Combo机型->setEnabled(false);
    setEnabled(false);
  } else if (const auto* a = std::get_if<event::ControllerAnswered>(&e)) {
    // The first answer's model change sends no preview.
    takingModel_ = a->first;
    显示对应灯控通道设置(a->model);
    排风空调设置选项(a->model);
    显示机型(a->model);
    CurModel = a->model;
    takingModel_ = false;
  } else if (std::holds_alternative<event::AttemptFailed>(e)) {
    Label提示->setText(QStringLiteral(" 连接失败，请重试"));
    Command建立连接->setText(QStringLiteral("连接失败"));
  } else if (std::holds_alternative<event::AttemptOver>(e)) {
    idleControls();
    Frame提示->hide();
    setEnabled(true);
  } else if (std::holds_alternative<event::Linked>(e)) {
    Command建立连接->setText(QStringLiteral("断开连接"));
    Label提示->setText(QStringLiteral("    连接成功"));
    Frame提示->show();
  } else if (std::holds_alternative<event::TransfersOpen>(e)) {
    Combo串口->setEnabled(false);
    Combo机型->setEnabled(false);
    Command下载->setEnabled(true);
    Command上传->setEnabled(true);
  } else if (std::holds_alternative<event::VersionKnown>(e)) {
    Label软件版本->setText(VersionText());
    Frame提示->hide();
    setEnabled(true);
  } else if (const auto* d = std::get_if<event::Disconnected>(&e)) {
    // Leaving closes the window; only the button leaves it to be used again.
    if (d->by != DisconnectBy::Button) return;
    idleControls();
    noController();
  } else if (const auto* lost = std::get_if<event::PortLost>(&e)) {
    // The adapter was pulled or the other end hung up: the user is told why the connection is
    // gone.
    Load_JD(0, 0);
    idleControls();
    noController();
    setEnabled(true);
    if (lost->wasLinked) {
      Label提示->setText(QStringLiteral(" 串口已断开，连接中断"));
      Frame提示->show();
    }
  }
}

}  // namespace qz

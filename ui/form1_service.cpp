// The controller's interface protocol and scene run mode, set by single commands.

#include <QRadioButton>

#include "protocol/replies.h"
#include "ui/form1.h"
#include "ui/module1.h"

namespace qz {

void Form1::Command2_Click() {
  const ServiceCommand c =
      Option1->isChecked() ? ServiceCommand::Protocol1200 : ServiceCommand::Protocol19200;
  drive([this, c] { session.service(c); });
}

void Form1::Command3_Click() {
  drive([this] { session.service(ServiceCommand::ProtocolCancel); });
}

void Form1::Command8_Click() {
  const ServiceCommand c =
      Option4->isChecked() ? ServiceCommand::RunModeOverlay : ServiceCommand::RunModeSwitch;
  drive([this, c] { session.service(c); });
}

void Form1::serviceEvent(const SessionEvent& e) {
  if (std::holds_alternative<event::ServiceRefused>(e)) {
    CommonDialog1.messageBox(QStringLiteral("设备没有连接!"), QStringLiteral("接口协议配置"),
                             MessageIcon::Exclamation);
    return;
  }
  const auto* a = std::get_if<event::ServiceAnswered>(&e);
  if (a == nullptr) return;
  // A code of the other command family is a refusal, shown with the code; a code the controller
  // does not send shows nothing.
  if (!a->answer) return;
  const ServiceAnswer& answer = *a->answer;
  QString text = uiText(answer.message.text);
  if (!answer.ownCode) {
    text += QStringLiteral("  设备返回代码 ") + QString::asprintf("%02X", a->result);
  }
  CommonDialog1.messageBox(text, uiText(answer.message.title),
                           answer.message.severity == Severity::Failure ? MessageIcon::Critical
                                                                        : MessageIcon::Information);
}

}  // namespace qz

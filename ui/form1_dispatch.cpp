// The receive notification: everything the controller says arrives here and goes to the
// conversation, which knows each reply by its length and fixed bytes. What the conversation
// asks of the port and the timers is done here as well.

#include <QGroupBox>
#include <QLabel>
#include <QTimer>

#include "ui/form1.h"

namespace qz {

void Form1::MSComm1_OnComm() {
  const CommEvent event = MSComm1.commEvent();
  if (event == CommEvent::Lost) {
    session.portLost();
    return;
  }
  if (event == CommEvent::TxFull) {
    // The controller does not take what is sent: the frame that did not fit was dropped, the
    // connection stays.
    Label提示->setText(QStringLiteral(" 串口发送受阻，数据未能发出"));
    Frame提示->show();
    return;
  }
  if (event == CommEvent::Receive) receiveWaiting(MSComm1, session);
}

QTimer* Form1::timerOf(Tick t) const {
  switch (t) {
    case Tick::Link:
      return Timer2;
    case Tick::VersionQuery:
      return Timer3;
    case Tick::VersionShown:
      return TimerGetVision;
    case Tick::Download:
      return Timer下载超时;
    case Tick::Upload:
      return Timer上传超时;
    case Tick::Service:
      break;  // the window waits for a service answer as long as it takes
  }
  return nullptr;
}

void Form1::perform(const PortOp& op) {
  if (doOnPort(MSComm1, op, &RxBuf)) return;
  if (QTimer* timer = timerOf(op.tick)) {
    if (op.kind == PortOp::Kind::StartTick) {
      timer->start();
    } else {
      timer->stop();
    }
  }
}

void Form1::happened(const SessionEvent& e) {
  if (std::holds_alternative<event::Progress>(e) || std::holds_alternative<event::RowArrived>(e) ||
      std::holds_alternative<event::Transfer>(e) || std::holds_alternative<event::Uploaded>(e) ||
      std::holds_alternative<event::TransferRefused>(e)) {
    transferEvent(e);
  } else if (std::holds_alternative<event::ServiceRefused>(e) ||
             std::holds_alternative<event::ServiceAnswered>(e)) {
    serviceEvent(e);
  } else {
    connectionEvent(e);
  }
}

}  // namespace qz

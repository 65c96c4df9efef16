// The receive notification: everything the controller says arrives here and goes to the
// conversation, which knows each reply by its length and fixed bytes. What the conversation
// asks of the port and the timers is done here as well.

#include <QGroupBox>
#include <QLabel>
#include <QTimer>
#include <algorithm>
#include <chrono>

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

void Form1::perform(const PortOp& op) {
  if (doOnPort(MSComm1, op, &RxBuf)) return;
  armSessionTimer();
}

void Form1::armSessionTimer() {
  const auto due = session.nextDeadline();
  if (!due) {
    TimerSession->stop();
    return;
  }
  const auto wait =
      std::chrono::ceil<std::chrono::milliseconds>(*due - TransferClock::now()).count();
  TimerSession->start(static_cast<int>(std::max<decltype(wait)>(wait, 0)));
}

void Form1::TimerSession_Timer() {
  receiveBeforeTimeout(MSComm1, session);
  session.timeout();
  armSessionTimer();
}

void Form1::happened(const SessionEvent& e) {
  if (readBackEvent(e)) return;  // compare and verify (form1_compare.cpp)
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
  showOutcome(e);
}

}  // namespace qz

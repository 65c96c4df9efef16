// The conversation on the window's port: the port's notification and the session's one timer
// go to the driver, and what happened comes back here once each call has returned.

#include <QGroupBox>
#include <QLabel>
#include <QTimer>

#include "ui/form1.h"

namespace qz {

void Form1::wireSession() {
  MSComm1.onComm = [this] { MSComm1_OnComm(); };
  TimerSession = &sessionDriver.timer();
  sessionDriver.onEvent = [this](const SessionEvent& e) { sessionEvent(e); };
  sessionDriver.onTxFull = [this] {
    // The controller does not take what is sent: the frame that did not fit was dropped, the
    // connection stays.
    Label提示->setText(QStringLiteral(" 串口发送受阻，数据未能发出"));
    Frame提示->show();
  };
}

void Form1::MSComm1_OnComm() {
  sessionDriver.portNotified();
}

void Form1::TimerSession_Timer() {
  sessionDriver.timedOut();
}

void Form1::sessionEvent(const SessionEvent& e) {
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

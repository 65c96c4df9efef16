// The receive notification: everything the controller says arrives here, is known by its
// length and fixed bytes, and is acted on whatever the tool is doing.

#include <QGroupBox>
#include <QLabel>

#include "protocol/connection.h"
#include "protocol/frames.h"
#include "protocol/replies.h"
#include "ui/form1.h"
#include "ui/module1.h"

namespace qz {

void Form1::MSComm1_OnComm() {
  const CommEvent event = MSComm1.commEvent();
  if (event == CommEvent::Lost) {
    portLost();
    return;
  }
  if (event == CommEvent::TxFull) {
    // The controller does not take what is sent: the frame that did not fit was dropped, the
    // connection stays.
    Label提示->setText(QStringLiteral(" 串口发送受阻，数据未能发出"));
    Frame提示->show();
    return;
  }
  if (event != CommEvent::Receive) return;

  RxBuf = MSComm1.readAll();
  if (RxBuf.empty()) return;  // nothing to dispatch, nothing to discard
  // Anything that came in meanwhile is dropped, before an answer sends the next frame: the
  // reply of a controller that answers at once must not go with it.
  MSComm1.discardInput();

  if (VersionMode) {
    VersionText.append(QString::fromStdU16String(versionText(RxBuf)));
  } else {
    const Reply reply = recogniseReply(RxBuf);
    if (const auto* h = std::get_if<HandshakeReply>(&reply);
        h != nullptr && handshakeReplyCounts(Connected, LinkTick)) {
      显示对应灯控通道设置(h->model);
      排风空调设置选项(h->model);
      显示机型(h->model);
      Connected = true;
      LinkTick = 0;
      CurModel = h->model;
      ControllerModel = h->model;
    } else if (const auto* ack = std::get_if<DownloadAck>(&reply)) {
      downloadAcknowledged(ack->nextRow);
    } else if (const auto* row = std::get_if<UploadRow>(&reply)) {
      uploadRowReceived(row->row, row->data);
    } else if (const auto* service = std::get_if<ServiceReply>(&reply)) {
      // The command sent is answered once; a code that is not its own answer is a refusal,
      // shown with the code.
      if (serviceAsked) {
        const ServiceAnswer answer = serviceAnswer(*serviceAsked, service->result);
        serviceAsked.reset();
        QString text = uiText(answer.message.text);
        if (!answer.ownCode) {
          text += QStringLiteral("  设备返回代码 ") + QString::asprintf("%02X", service->result);
        }
        CommonDialog1.messageBox(text, uiText(answer.message.title),
                                 answer.message.severity == Severity::Failure
                                     ? MessageIcon::Critical
                                     : MessageIcon::Information);
        // What came while the box was open is stale by now.
        MSComm1.discardInput();
      }
    }
  }
}

}  // namespace qz

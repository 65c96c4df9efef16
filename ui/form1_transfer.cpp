// Moving the image to and from the controller. The steps live in the transfer core; these
// procedures carry its answers out on the port and the window.

#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include "config/frames.h"
#include "config/settings.h"
#include "ui/clock_text.h"
#include "ui/form1.h"
#include "ui/module1.h"

namespace qz {

void Form1::Command下载_Click() {
  // An image made for another model would be read with another split of switch and dimming
  // channels: the controller gets nothing until the editor holds an image of its model.
  if (Connected && CurModel != ControllerModel) {
    CommonDialog1.messageBox(
        QStringLiteral("连接的控制器是 %1，编辑中的参数是 %2 的。\n参数没有下载。\n\n"
                       "请读取 %1 的参数文件，或上传设备参数后再编辑。")
            .arg(uiText(modelName(ControllerModel)), uiText(modelName(CurModel))),
        QStringLiteral("提示信息!"), MessageIcon::Exclamation);
    return;
  }
  const TransferAction a = downloadTransfer.start(
      SetData, protocolAndRunModeArgument(Option1->isChecked(), Option3->isChecked()),
      TransferClock::now());
  carryOut(a, Command下载, Timer下载超时);
}

void Form1::Command上传_Click() {
  carryOut(uploadTransfer.start(TransferClock::now()), Command上传, Timer上传超时);
}

void Form1::Timer下载超时_Timer() {
  carryOut(downloadTransfer.tick(SetData, TransferClock::now()), Command下载, Timer下载超时);
}

void Form1::Timer上传超时_Timer() {
  carryOut(uploadTransfer.tick(TransferClock::now()), Command上传, Timer上传超时);
}

void Form1::downloadAcknowledged(std::uint8_t nextRow) {
  carryOut(downloadTransfer.acknowledged(nextRow, SetData, TransferClock::now()), Command下载,
           Timer下载超时);
}

void Form1::uploadRowReceived(std::uint8_t row, const Row& bytes) {
  carryOut(uploadTransfer.rowReceived(row, bytes, TransferClock::now()), Command上传,
           Timer上传超时);
}

void Form1::stopTransfers() {
  carryOut(downloadTransfer.stop(), Command下载, Timer下载超时);
  carryOut(uploadTransfer.stop(), Command上传, Timer上传超时);
}

void Form1::DownLoadSet(std::uint8_t r) {
  MSComm1.write(downloadRowFrame(SetData, r));
  MSComm1.setReceiveThreshold(kDownloadAckBytes);
}

void Form1::UpLoadSet(std::uint8_t r) {
  const ShortFrame f = uploadRequestFrame(r);
  TsetControl(f[0], f[1], f[2], f[3], f[4], f[5]);
  MSComm1.setReceiveThreshold(kUploadRowBytes);
}

void Form1::Load_485CJ() {
  MSComm1.write(protocolAndRunModeFrame(
      protocolAndRunModeArgument(Option1->isChecked(), Option3->isChecked())));
}

void Form1::Load_JD(std::uint8_t mode, std::uint8_t p) {
  if (mode == 0) {
    Shape1->hide();
    Shape2->hide();
    Shape2->resize(0, Shape2->height());
    Label18->hide();
  } else if (mode == 1) {
    Shape1->show();
    Shape2->show();
    Shape2->resize(progressFillWidth(p, Shape1->width()), Shape2->height());
    Label18->setText(QString::number(progressPercent(p)) + QLatin1Char('%'));
    Label18->show();
  }
}

void Form1::carryOut(const TransferAction& a, QPushButton* button, QTimer* timer) {
  if (a.dropInput) RxBuf = MSComm1.readAll();
  if (a.historyHeader) List1->addItem(uploadHeaderText(CommonDialog1.now()));
  if (a.historyRow) {
    List1->addItem(uiText(*a.historyRow));
    List1->setCurrentRow(List1->count() - 1);
  }
  for (const OutgoingFrame& f : a.frames) {
    // Upload requests are live commands: they go out only while connected.
    if (f.kind == OutgoingFrame::Kind::UploadRequest) {
      if (f.bytes.size() == 6) {
        TsetControl(f.bytes[0], f.bytes[1], f.bytes[2], f.bytes[3], f.bytes[4], f.bytes[5]);
      }
    } else {
      MSComm1.write(f.bytes);
    }
  }
  if (a.threshold) MSComm1.setReceiveThreshold(*a.threshold);
  if (a.progressRow) Load_JD(1, *a.progressRow);
  if (a.hideProgress) Load_JD(0, 0);
  if (a.showPanel) Frame提示->show();
  if (a.status) Label提示->setText(uiText(*a.status));
  if (a.hidePanel) Frame提示->hide();
  if (a.disableButton) button->setEnabled(false);
  if (a.enableButton) button->setEnabled(true);
  if (a.startTimer) timer->start();
  if (a.stopTimer) timer->stop();
  if (a.image) {
    // The controller's image is read as the controller's model, whatever model a file read
    // since the connection left in the editor.
    if (Connected && CurModel != ControllerModel) 显示机型(ControllerModel);
    SetData = *a.image;
    Show_Set(1);
  }
}

}  // namespace qz

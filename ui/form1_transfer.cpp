// Moving the image to and from the controller. The steps live in the conversation; these
// procedures start them and show what became of them.

#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include "config/frames.h"
#include "config/settings.h"
#include "session/transfer.h"
#include "ui/clock_text.h"
#include "ui/form1.h"
#include "ui/module1.h"
#include "ui/transfer_words.h"

namespace qz {

void Form1::Command下载_Click() {
  drive([this] {
    session.setReadBack(verifyAfterDownload());
    session.download(
        SetData, protocolAndRunModeArgument(Option1->isChecked(), Option3->isChecked()), CurModel);
  });
}

void Form1::Command上传_Click() {
  if (!editsSettled()) return;
  drive([this] { session.upload(); });
}

void Form1::Timer下载超时_Timer() {
  drive([this] { session.tick(Tick::Download); });
}

void Form1::Timer上传超时_Timer() {
  drive([this] { session.tick(Tick::Upload); });
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

void Form1::transferEvent(const SessionEvent& e) {
  if (const auto* refused = std::get_if<event::TransferRefused>(&e)) {
    // An image made for another model: the controller gets nothing until the editor holds an
    // image of its model. Another transfer running: its button is off, nothing to say.
    if (!refused->otherModel) return;
    CommonDialog1.messageBox(
        QStringLiteral("连接的控制器是 %1，编辑中的参数是 %2 的。\n参数没有下载。\n\n"
                       "请读取 %1 的参数文件，或上传设备参数后再编辑。")
            .arg(uiText(modelName(refused->controller)), uiText(modelName(refused->imageModel))),
        QStringLiteral("提示信息!"), MessageIcon::Exclamation);
  } else if (const auto* p = std::get_if<event::Progress>(&e)) {
    Load_JD(1, p->row);
  } else if (const auto* r = std::get_if<event::RowArrived>(&e)) {
    if (r->row == 0) List1->addItem(uploadHeaderText(CommonDialog1.now()));
    List1->addItem(uiText(historyHexLine(r->data)));
    List1->setCurrentRow(List1->count() - 1);
  } else if (const auto* u = std::get_if<event::Uploaded>(&e)) {
    // The controller's image is read as the controller's model, whatever model a file read
    // since the connection left in the editor.
    if (Connected() && CurModel != session.controllerModel()) 显示机型(session.controllerModel());
    SetData = u->image;
    Show_Set(1);
  } else if (const auto* t = std::get_if<event::Transfer>(&e)) {
    const bool down = t->direction == Direction::Download;
    // One transfer at a time: a button is on when the conversation may start its transfer.
    const auto buttons = [this] {
      Command下载->setEnabled(session.mayStart(Direction::Download));
      Command上传->setEnabled(session.mayStart(Direction::Upload));
    };
    const auto say = [this](std::string_view text) {
      Frame提示->show();
      Label提示->setText(uiText(text));
    };
    switch (t->news) {
      case TransferNews::Started:
        say(down ? kDownloadingText : kUploadingText);
        buttons();
        break;
      case TransferNews::Succeeded:
        Label提示->setText(uiText(down ? kDownloadedText : kUploadedText));
        buttons();
        break;
      case TransferNews::Failed:
        say(down ? kDownloadFailedText : kUploadFailedText);
        break;
      case TransferNews::Incomplete:
        Label提示->setText(uiText(kUploadIncompleteText));
        break;
      case TransferNews::Closed:
        Load_JD(0, 0);
        Frame提示->hide();
        buttons();
        break;
      case TransferNews::Interrupted:
        // The connection decides about the buttons; a transfer that had not succeeded failed,
        // unless the port went away, which the connection says.
        Load_JD(0, 0);
        if (!t->done && t->why != TransferEnd::PortLost) {
          say(down ? kDownloadFailedText : kUploadFailedText);
        }
        break;
      case TransferNews::None:
        break;
    }
  }
}

}  // namespace qz

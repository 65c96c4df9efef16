// Moving the image to and from the controller.

#include <QFrame>
#include <QLabel>

#include "ui/form1.h"

namespace qz {

void Form1::Command下载_Click() {}
void Form1::Command上传_Click() {}
void Form1::Timer下载超时_Timer() {}
void Form1::Timer上传超时_Timer() {}
void Form1::DownLoadSet(std::uint8_t) {}
void Form1::UpLoadSet(std::uint8_t) {}
void Form1::Load_485CJ() {}

void Form1::Load_JD(std::uint8_t mode, std::uint8_t) {
  if (mode == 0) {
    Shape1->hide();
    Shape2->hide();
    Shape2->resize(0, Shape2->height());
    Label18->hide();
  }
}

void Form1::downloadAcknowledged(std::uint8_t) {}
void Form1::uploadRowReceived(std::uint8_t, const Row&) {}

}  // namespace qz

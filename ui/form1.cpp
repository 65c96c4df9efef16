#include "ui/form1.h"

#include <QComboBox>
#include <QRadioButton>

#include "link/com_ports.h"
#include "link/hex_text.h"
#include "protocol/frames.h"

namespace qz {

Form1::Form1(SerialPort& port, Platform& platform, QWidget* parent)
    : QWidget(parent), MSComm1(port), CommonDialog1(platform) {
  buildWindow();
  MSComm1.onComm = [this] { MSComm1_OnComm(); };
  Form_Load();
}

Form1::~Form1() {
  MSComm1.onComm = nullptr;
}

void Form1::Form_Load() {
  ControlBarInit();
  LiveTest = true;
  Option1->setChecked(true);
  Option3->setChecked(true);
}

void Form1::Form_Unload() {
  // Closing through the exit button runs this a second time on a closed port: the write then
  // does nothing, and the controller hears the disconnect once.
  stopTransfers();
  if (Connected) {
    sendText(frames::kDisconnect);
    CloseComPort(MSComm1);
  }
}

void Form1::sendText(std::string_view hexText) {
  HexTextToBytes(MSComm1, hexText);
}

}  // namespace qz

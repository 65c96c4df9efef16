// qzconfig: the configuration tool for the QZ lighting-scene controllers.

#include <QApplication>

#include "link/qt_serial_port.h"
#include "ui/form1.h"
#include "ui/platform.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  qz::QtSerialPort port;
  qz::DesktopPlatform platform;
  qz::Form1 window(port, platform);
  window.show();
  return QApplication::exec();
}

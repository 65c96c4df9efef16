// qzconfig: the configuration tool for the QZ lighting-scene controllers.

#include <QApplication>
#include <QTimer>
#include <cstdio>

#include "link/qt_serial_port.h"
#include "ui/command_line.h"
#include "ui/form1.h"
#include "ui/platform.h"

int main(int argc, char* argv[]) {
  // Read before the application exists: help, version and a wrong option need no display.
  QStringList arguments;
  for (int i = 0; i < argc; ++i) arguments.append(QString::fromLocal8Bit(argv[i]));
  const qz::StartRequest request = qz::parseCommandLine(arguments);
  switch (request.action) {
    case qz::StartRequest::Action::Help:
    case qz::StartRequest::Action::Version:
      std::fputs(request.text.toLocal8Bit().constData(), stdout);
      return 0;
    case qz::StartRequest::Action::Usage:
      std::fputs(request.text.toLocal8Bit().constData(), stderr);
      return 2;
    case qz::StartRequest::Action::Run:
      break;
  }

  QApplication app(argc, argv);
  // Where QSettings keeps the window's choices (verify after download, the files read last).
  QApplication::setOrganizationName(QStringLiteral("qzconfig"));
  QApplication::setApplicationName(QStringLiteral("qzconfig"));
  qz::installQtTranslations(app);
  qz::QtSerialPort port;
  qz::DesktopPlatform platform;
  qz::Form1 window(port, platform);
  if (!request.port.isEmpty()) window.preselectPort(request.port);
  window.show();
  // The file is read once the window is up, as if "读取参数" had chosen it.
  if (!request.file.isEmpty()) {
    QTimer::singleShot(0, &window, [&window, &request] { window.readParameterFile(request.file); });
  }
  return QApplication::exec();
}

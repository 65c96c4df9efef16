// qz_window_picture: draws the window for the README, as a newcomer sees it after connecting
// to a controller and reading a parameter file. scripts/render-window runs it under the
// offscreen platform against qzsim.
//
//   qz_window_picture COMn FILE.QZ OUT.png

#include <QApplication>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QLabel>
#include <QPushButton>
#include <cstdio>

#include "link/qt_serial_port.h"
#include "ui/form1.h"
#include "ui/platform.h"

namespace {

// No desktop to ask: a message box is a failure of the picture, the clock stands still so
// that the picture changes only with the window.
class NoDesktop final : public qz::Platform {
 public:
  void messageBox(const QString& text, const QString& title, qz::MessageIcon) override {
    std::fprintf(stderr, "qz_window_picture: the window said: %s: %s\n", qPrintable(title),
                 qPrintable(text));
    said = true;
  }
  // Nothing is edited for the picture; a question would be a failure of it as well.
  qz::SaveChoice askToSave(const QString& text, const QString& title) override {
    messageBox(text, title, qz::MessageIcon::None);
    return qz::SaveChoice::Cancel;
  }
  QString openFileName(const QString&) override { return {}; }
  QString saveFileName(const QString&) override { return {}; }
  void beep(int, int) override {}
  [[nodiscard]] QDateTime now() const override {
    return QDateTime(QDate(2026, 3, 2), QTime(9, 30, 0));
  }
  bool said = false;
};

}  // namespace

int main(int argc, char* argv[]) {
  if (argc != 4) {
    std::fputs("usage: qz_window_picture COMn FILE.QZ OUT.png\n", stderr);
    return 2;
  }
  QApplication app(argc, argv);
  qz::installQtTranslations(app);
  qz::QtSerialPort port;
  NoDesktop desktop;
  qz::Form1 window(port, desktop);
  window.show();

  window.Combo串口->setCurrentText(QString::fromLocal8Bit(argv[1]));
  window.Command建立连接->click();
  const QDeadlineTimer deadline(15000);
  while (!desktop.said && !deadline.hasExpired() &&
         !(window.Connected() && window.isEnabled() && !window.Label软件版本->text().isEmpty())) {
    QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
  }
  if (!window.Connected()) {
    std::fprintf(stderr, "qz_window_picture: no controller answered on %s\n", argv[1]);
    return 1;
  }
  window.readParameterFile(QString::fromLocal8Bit(argv[2]));
  QApplication::processEvents();
  if (desktop.said) return 1;
  if (!window.grab().save(QString::fromLocal8Bit(argv[3]))) {
    std::fprintf(stderr, "qz_window_picture: cannot write %s\n", argv[3]);
    return 1;
  }
  return 0;
}

// Not a benchmark: draws the README's picture of the tool beside qzsim's view of the lamps.
// The tool connects to a simulated QZ-0804 through the real port, assigns exhaust fan 1,
// downloads, and opens scene 2 with a few edits; the view shows what the controller drives.
//
//   qz_view_picture OUT.png        (scripts/render-view runs it)

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "link/qt_serial_port.h"
#include "quiet_platform.h"
#include "sim/pty_server.h"
#include "support/event_loop.h"
#include "ui/form1.h"
#include "ui/platform.h"
#include "view/sim_view.h"

int main(int argc, char* argv[]) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: qz_view_picture OUT.png\n");
    return 2;
  }
  ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  std::string runtime = "/tmp/qz-picture-XXXXXX";
  if (::mkdtemp(runtime.data()) == nullptr) return 1;
  ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
  QApplication app(argc, argv);
  qz::sim::Options options;
  options.pacing = false;
  qz::sim::PtyServer server(options);
  server.start();
  qz::QtSerialPort port;
  // The same clock on every run, so the picture changes only with what it shows.
  qz::bench::QuietPlatform platform(QDateTime(QDate(2026, 3, 2), QTime(9, 30, 0)));
  int status = 0;
  {
    qz::Form1 w(port, platform);
    qz::view::SimView view(server, options);
    w.show();
    view.show();
    using qz::test::pumpUntil;
    w.Combo串口->setCurrentIndex(w.Combo串口->findText(QString::fromStdString(server.comName())));
    w.Command建立连接->click();
    if (!pumpUntil([&] { return w.Connected() && w.isEnabled(); }, 15'000)) return 1;
    w.Combo空调排风[0]->setCurrentIndex(8);  // 排风1 on switch channel 8
    w.Command下载->click();
    if (!pumpUntil([&] { return w.Command下载->isEnabled(); }, 10'000)) status = 1;
    // Scene 2: switch channels 1, 2 and 5 on, the dimmers at levels 9, 5, 2 and 0.
    w.Command6[2]->click();
    for (int c : {0, 4}) w.TD3[c]->setChecked(true);
    const int levels[] = {9, 5, 2, 0};
    for (int c = 0; c < 4; ++c) w.TG3[c]->setCurrentIndex(levels[c]);
    pumpUntil([&] { return false; }, 300);
    view.refresh();
    const QPixmap tool = w.grab();
    const QPixmap lamps = view.grab();
    constexpr int kGap = 16;
    QImage picture(tool.width() + kGap + lamps.width(), std::max(tool.height(), lamps.height()),
                   QImage::Format_RGB32);
    picture.fill(Qt::white);
    QPainter painter(&picture);
    painter.drawPixmap(0, 0, tool);
    painter.drawPixmap(tool.width() + kGap, 0, lamps);
    painter.end();
    if (!picture.save(QString::fromLocal8Bit(argv[1]), "PNG")) status = 1;
  }
  server.stop();
  return status;
}

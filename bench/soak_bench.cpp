// Connect, transfer and disconnect, over and over: the real window and port adapter against
// qzsim (pacing off) on a pseudo-terminal, printing resident memory as it goes. Growth must be
// flat. The connection ticks are driven one by one, as the timers would, so a cycle takes
// milliseconds rather than the seconds the real schedule waits.
//
//   qz_soak_bench [--cycles N] [--seconds S] [--every K]   (defaults 10000, 240, 1000)
//
// Each cycle: connect (handshake, settling, version), a preview of every scene key, a
// download, an upload, disconnect. Every upload adds 20 lines to the history list, by design:
// they are the installer's record. The soak clears the list after each cycle (and says how
// many lines it took away), so what remains is the tool's own memory; the simulator keeps its
// 100 latest log entries.

#include <unistd.h>

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "link/qt_serial_port.h"
#include "measure.h"
#include "quiet_platform.h"
#include "session/transfer.h"
#include "sim/pty_server.h"
#include "support/attempt.h"
#include "ui/form1.h"
#include "ui/platform.h"

namespace {

using qz::bench::median;
using qz::bench::QuietPlatform;
using qz::test::pumpUntil;

long residentKiB() {
  std::ifstream statm("/proc/self/statm");
  long pages = 0;
  long resident = 0;
  statm >> pages >> resident;
  return resident * (::sysconf(_SC_PAGESIZE) / 1024);
}

QString text(std::string_view s) {
  return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

}  // namespace

int main(int argc, char* argv[]) {
  int cycles = 10000;
  int seconds = 240;
  int every = 1000;
  for (int i = 1; i + 1 < argc; i += 2) {
    const int v = std::max(1, std::atoi(argv[i + 1]));
    if (std::strcmp(argv[i], "--cycles") == 0) cycles = v;
    if (std::strcmp(argv[i], "--seconds") == 0) seconds = v;
    if (std::strcmp(argv[i], "--every") == 0) every = v;
  }
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  std::string runtime = "/tmp/qz-soak-XXXXXX";
  if (::mkdtemp(runtime.data()) == nullptr) return 1;
  ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
  QApplication app(argc, argv);

  qz::sim::Options options;
  options.pacing = false;
  options.logLimit = 100;
  qz::sim::PtyServer server(options);
  server.start();
  qz::QtSerialPort port;
  QuietPlatform platform;
  int status = 0;
  int done = 0;
  long historyLines = 0;
  {
    qz::Form1 w(port, platform);
    w.Timer1->stop();
    w.Combo串口->setCurrentIndex(w.Combo串口->findText(QString::fromStdString(server.comName())));
    QElapsedTimer clock;
    clock.start();
    std::printf("cycle %6d: resident %ld KiB\n", 0, residentKiB());
    for (int cycle = 1; cycle <= cycles && clock.elapsed() < seconds * 1000LL; ++cycle) {
      w.Command建立连接_Click();
      if (!qz::test::finishAttempt(w)) {
        std::fprintf(stderr, "cycle %d: no connection\n", cycle);
        status = 1;
        break;
      }

      for (int key = 1; key <= 17; ++key) w.Command6[key]->click();
      const struct {
        QPushButton* button;
        QString success;
      } transfers[] = {{w.Command下载, text(qz::kDownloadedText)},
                       {w.Command上传, text(qz::kUploadedText)}};
      for (const auto& t : transfers) {
        if (!pumpUntil([&] { return t.button->isEnabled() && w.isEnabled(); }, 5000)) {
          std::fprintf(stderr, "cycle %d: the window stays busy\n", cycle);
          status = 1;
          break;
        }
        t.button->click();
        if (!pumpUntil([&] { return w.Label提示->text() == t.success; }, 10'000)) {
          std::fprintf(stderr, "cycle %d: transfer did not succeed: \"%s\"\n", cycle,
                       w.Label提示->text().toStdString().c_str());
          status = 1;
          break;
        }
      }
      if (status != 0) break;
      w.Command建立连接_Click();
      pumpUntil([] { return false; }, 1);
      historyLines += w.List1->count();
      w.List1->clear();
      done = cycle;
      if (cycle % every == 0) {
        std::printf("cycle %6d: resident %ld KiB, %.1f s\n", cycle, residentKiB(),
                    static_cast<double>(clock.elapsed()) / 1000);
        std::fflush(stdout);
      }
    }
    std::printf("%d cycles in %.1f s, resident %ld KiB at the end; %ld history lines cleared\n",
                done, static_cast<double>(clock.elapsed()) / 1000, residentKiB(), historyLines);
  }
  server.stop();
  ::rmdir((runtime + "/qzconfig/ports").c_str());
  ::rmdir((runtime + "/qzconfig").c_str());
  ::rmdir(runtime.c_str());
  return status;
}

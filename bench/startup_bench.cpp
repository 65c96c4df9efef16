// Start-up time and memory of the tool as the user starts it: the real serial port adapter
// (which probes COM1..COM50 while the window loads), the real desktop, the offscreen platform.
//
// The benchmark starts itself again as a child N times. The child builds the window exactly as
// qzconfig does (Qt's translations too), shows it, waits until it has painted and the event loop
// has nothing left to do, then reports its resident memory and exits. The parent times each child
// from the moment it spawns it to the moment the report arrives, so the figure includes loading the
// program and its libraries.
//
// For scale it also starts, taking turns with the tool, a child that shows the least a Qt
// Widgets program can: an empty window with one Chinese label. Each tool run is paired with the
// empty run right after it, and the ratio is the median of the pairs' ratios, with its quartiles:
// a busy moment of the machine then weighs on both halves of a pair, where the two medians taken
// apart drift by several milliseconds from one invocation to the next.
//
//   qz_startup_bench [--runs N]

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "link/qt_serial_port.h"
#include "measure.h"
#include "ui/form1.h"
#include "ui/platform.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
using qz::bench::median;

constexpr const char* kChildFlag = "--child";
constexpr const char* kEmptyChildFlag = "--empty-child";

// Resident and peak resident memory of this process, in kB, from /proc/self/status.
std::pair<long, long> residentKb() {
  std::ifstream status("/proc/self/status");
  long rss = -1;
  long hwm = -1;
  std::string key;
  while (status >> key) {
    if (key == "VmRSS:") status >> rss;
    if (key == "VmHWM:") status >> hwm;
    status.ignore(1 << 16, '\n');
  }
  return {rss, hwm};
}

// Waits for the window's first paint, then for one more pass of an event loop with nothing
// pending.
class ShownAndIdle final : public QObject {
 public:
  explicit ShownAndIdle(std::function<void()> ready) : ready_(std::move(ready)) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint && !painted_) {
      painted_ = true;
      QTimer::singleShot(0, this, [this] { ready_(); });
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  std::function<void()> ready_;
  bool painted_ = false;
};

// Shows `window`, reports once it has painted and gone idle, and quits.
int showAndReport(QWidget& window, std::chrono::time_point<Clock> entered) {
  ShownAndIdle watcher([&] {
    const auto [rss, hwm] = residentKb();
    const double inProcessMs =
        std::chrono::duration<double, std::milli>(Clock::now() - entered).count();
    std::printf("ready %.3f %ld %ld\n", inProcessMs, rss, hwm);
    std::fflush(stdout);
    QApplication::quit();
  });
  window.installEventFilter(&watcher);
  // Give up rather than hang if the window never paints.
  QTimer::singleShot(30000, qApp, [] { QApplication::exit(2); });
  window.show();
  return QApplication::exec();
}

int child(int argc, char** argv) {
  const auto entered = Clock::now();
  QApplication app(argc, argv);
  qz::installQtTranslations(app);
  qz::QtSerialPort port;
  qz::DesktopPlatform platform;
  qz::Form1 window(port, platform);
  return showAndReport(window, entered);
}

int emptyChild(int argc, char** argv) {
  const auto entered = Clock::now();
  QApplication app(argc, argv);
  QWidget window;
  window.resize(653, 690);
  QLabel label(QStringLiteral("灯光场景配置"), &window);
  label.move(20, 20);
  return showAndReport(window, entered);
}

struct Sample {
  double totalMs = 0;      // spawn to report
  double inProcessMs = 0;  // main() to report
  long rssKb = 0;
  long hwmKb = 0;
};

bool runChild(const char* self, const char* childFlag, Sample& sample) {
  int pipeFds[2];
  if (pipe(pipeFds) != 0) return false;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
  std::string selfArg = self;
  std::string flag = childFlag;
  std::vector<char*> args = {selfArg.data(), flag.data(), nullptr};

  const auto started = Clock::now();
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, self, &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(pipeFds[1]);
  if (spawned != 0) {
    close(pipeFds[0]);
    return false;
  }
  std::string line;
  char c = 0;
  while (read(pipeFds[0], &c, 1) == 1 && c != '\n') line.push_back(c);
  const auto reported = Clock::now();
  close(pipeFds[0]);
  int status = 0;
  waitpid(pid, &status, 0);

  sample.totalMs = std::chrono::duration<double, std::milli>(reported - started).count();
  return std::sscanf(line.c_str(), "ready %lf %ld %ld", &sample.inProcessMs, &sample.rssKb,
                     &sample.hwmKb) == 3 &&
         WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

template <class T>
T maximum(const std::vector<T>& values) {
  return *std::max_element(values.begin(), values.end());
}

struct Series {
  std::vector<double> total;
  std::vector<double> inProcess;
  std::vector<long> rss;
  std::vector<long> hwm;

  void add(const Sample& s) {
    total.push_back(s.totalMs);
    inProcess.push_back(s.inProcessMs);
    rss.push_back(s.rssKb);
    hwm.push_back(s.hwmKb);
  }
};

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && std::strcmp(argv[1], kChildFlag) == 0) return child(argc, argv);
  if (argc >= 2 && std::strcmp(argv[1], kEmptyChildFlag) == 0) return emptyChild(argc, argv);

  int runs = 20;
  if (argc >= 3 && std::strcmp(argv[1], "--runs") == 0) runs = std::max(1, std::atoi(argv[2]));
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  const std::string self = "/proc/self/exe";
  char path[4096] = {};
  const ssize_t length = readlink(self.c_str(), path, sizeof path - 1);
  if (length <= 0) {
    std::fprintf(stderr, "cannot find this program's path\n");
    return 1;
  }

  // The first start loads the libraries from disk; it is reported on its own.
  Sample first;
  Sample warmEmpty;
  if (!runChild(path, kChildFlag, first) || !runChild(path, kEmptyChildFlag, warmEmpty)) {
    std::fprintf(stderr, "the child did not start or did not report\n");
    return 1;
  }
  // The two kinds of child take turns, so that a busy moment of the machine weighs on both.
  Series tool;
  Series empty;
  for (int i = 0; i < runs; ++i) {
    Sample s;
    Sample e;
    if (!runChild(path, kChildFlag, s) || !runChild(path, kEmptyChildFlag, e)) {
      std::fprintf(stderr, "run %d failed\n", i + 1);
      return 1;
    }
    tool.add(s);
    empty.add(e);
  }

  std::vector<double> ratios;
  for (std::size_t i = 0; i < tool.total.size(); ++i) {
    ratios.push_back(tool.total[i] / empty.total[i]);
  }
  std::sort(ratios.begin(), ratios.end());
  const double ratio = median(ratios);
  const double lowerQuartile = ratios[ratios.size() / 4];
  const double upperQuartile = ratios[(ratios.size() * 3) / 4];
  std::printf("qzconfig start-up, offscreen, real serial port adapter, %d runs\n", runs);
  std::printf("first run (cold):             %8.1f ms, VmRSS %ld kB\n", first.totalMs, first.rssKb);
  std::printf("spawn to shown and idle:      median %8.1f ms   max %8.1f ms\n", median(tool.total),
              maximum(tool.total));
  std::printf(
      "against the empty window:     %.2fx (median of %d pairs; quartiles %.2fx .. %.2fx)\n", ratio,
      runs, lowerQuartile, upperQuartile);
  std::printf("main() to shown and idle:     median %8.1f ms   max %8.1f ms\n",
              median(tool.inProcess), maximum(tool.inProcess));
  std::printf("VmRSS after start-up:         median %8ld kB   max %8ld kB\n", median(tool.rss),
              maximum(tool.rss));
  std::printf("VmHWM (peak) after start-up:  median %8ld kB   max %8ld kB\n", median(tool.hwm),
              maximum(tool.hwm));
  std::printf("empty window, one Chinese label:\n");
  std::printf("spawn to shown and idle:      median %8.1f ms   max %8.1f ms\n", median(empty.total),
              maximum(empty.total));
  std::printf("main() to shown and idle:     median %8.1f ms   max %8.1f ms\n",
              median(empty.inProcess), maximum(empty.inProcess));
  std::printf("VmRSS after start-up:         median %8ld kB\n", median(empty.rss));
  return 0;
}

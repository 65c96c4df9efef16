// Download and upload as the user meets them: the real window and port adapter against qzsim
// paced at 9600 baud on a pseudo-terminal. Each run is timed from the click to the success
// text and set against the time the bytes need on the line:
//   download: 19 rows of 15, 19 acknowledgements of 3, the 12-byte option frame = 354 bytes;
//   upload:   19 requests of 6 and 19 rows of 14 = 380 bytes (the request for row 19, which
//             gets no answer, comes after the success text).
// Then the same through a line that echoes every byte the tool sends, byte by byte as a
// two-wire RS-485 adapter does: the echo shares the request's wire time, so the ratio stays.
//
//   qz_transfer_bench [--runs N]      (default 20 of each, on each line)

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "link/qt_serial_port.h"
#include "measure.h"
#include "quiet_platform.h"
#include "session/transfer.h"
#include "sim/pty_server.h"
#include "support/event_loop.h"
#include "ui/form1.h"
#include "ui/platform.h"

namespace {

using qz::bench::median;
using qz::bench::QuietPlatform;
using qz::test::pumpUntil;

double wireMs(int bytes) {
  return bytes * 10.0 / 9600 * 1000;
}

int measure(const char* line, qz::sim::Echo echo, int runs);

}  // namespace

int main(int argc, char* argv[]) {
  int runs = 20;
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::strcmp(argv[i], "--runs") == 0) runs = std::max(1, std::atoi(argv[i + 1]));
  }
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  // A private alias folder, so the benchmark never meets a running qzsim.
  std::string runtime = "/tmp/qz-bench-XXXXXX";
  if (::mkdtemp(runtime.data()) == nullptr) return 1;
  ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
  QApplication app(argc, argv);
  int status = measure("plain line", qz::sim::Echo::None, runs);
  if (status == 0) status = measure("echoing line", qz::sim::Echo::ByteByByte, runs);
  ::rmdir((runtime + "/qzconfig/ports").c_str());
  ::rmdir((runtime + "/qzconfig").c_str());
  ::rmdir(runtime.c_str());
  return status;
}

namespace {

int measure(const char* line, qz::sim::Echo echo, int runs) {
  std::printf("%s:\n", line);
  qz::sim::Options options;
  options.echo = echo;
  qz::sim::PtyServer server(options);
  server.start();
  qz::QtSerialPort port;
  QuietPlatform platform;
  int status = 0;
  {
    qz::Form1 w(port, platform);
    w.Combo串口->setCurrentIndex(w.Combo串口->findText(QString::fromStdString(server.comName())));
    w.Command建立连接->click();
    if (!pumpUntil([&] { return w.Connected() && w.isEnabled() && w.Command下载->isEnabled(); },
                   15'000)) {
      std::fprintf(stderr, "no connection to %s\n", server.comName().c_str());
      return 1;
    }

    // The window's own work per reply: the whole receive notification, timed around it.
    std::vector<double> handling;
    auto dispatch = port.onComm;
    port.onComm = [&] {
      QElapsedTimer h;
      h.start();
      dispatch();
      handling.push_back(static_cast<double>(h.nsecsElapsed()) / 1e3);
    };

    struct Direction {
      const char* name;
      QPushButton* button;
      std::string_view success;
      int bytes;
      std::vector<double> ms;
    };
    std::vector<Direction> directions = {
        {"download", w.Command下载, qz::kDownloadedText, 354, {}},
        {"upload", w.Command上传, qz::kUploadedText, 380, {}},
    };
    for (int run = 0; run < runs && status == 0; ++run) {
      for (Direction& d : directions) {
        const QString success = QString::fromUtf8(d.success.data(), qsizetype(d.success.size()));
        QElapsedTimer t;
        t.start();
        d.button->click();
        if (!pumpUntil([&] { return w.Label提示->text() == success; }, 10'000)) {
          std::fprintf(stderr, "%s run %d did not succeed: \"%s\"\n", d.name, run + 1,
                       w.Label提示->text().toStdString().c_str());
          status = 1;
          break;
        }
        d.ms.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);
        // The panel closes and the button comes back a second later.
        if (!pumpUntil([&] { return d.button->isEnabled(); }, 5000)) status = 1;
      }
    }
    for (const Direction& d : directions) {
      if (d.ms.empty()) continue;
      const double m = median(d.ms);
      std::printf(
          "  %-8s %2zu runs: median %.1f ms, min %.1f, max %.1f; wire time %.1f ms (%d "
          "bytes); ratio %.3f\n",
          d.name, d.ms.size(), m, *std::min_element(d.ms.begin(), d.ms.end()),
          *std::max_element(d.ms.begin(), d.ms.end()), wireMs(d.bytes), d.bytes,
          m / wireMs(d.bytes));
    }
    // Where the time goes: from a reply's last byte leaving qzsim to the tool's next frame
    // arriving there, and qzsim's own time from a request to its reply's last byte.
    const auto log = server.log();
    std::vector<double> tool;
    std::vector<double> controller;
    for (std::size_t i = 1; i < log.size(); ++i) {
      if (log[i - 1].sentAt && !log[i].received.empty() &&
          (log[i].kind == qz::sim::FrameKind::DownloadRow ||
           log[i].kind == qz::sim::FrameKind::UploadRequest)) {
        tool.push_back(
            std::chrono::duration<double, std::milli>(log[i].time - *log[i - 1].sentAt).count());
      }
      if (log[i].sentAt) {
        controller.push_back(
            std::chrono::duration<double, std::milli>(*log[i].sentAt - log[i].time).count());
      }
    }
    if (!tool.empty() && !controller.empty()) {
      std::printf(
          "  per exchange: the tool's turnaround median %.3f ms (max %.3f), qzsim's "
          "request to reply median %.3f ms\n",
          median(tool), *std::max_element(tool.begin(), tool.end()), median(controller));
    }
    if (!handling.empty()) {
      std::printf("  the window's work per reply: median %.1f us, max %.1f us (%zu replies)\n",
                  median(handling), *std::max_element(handling.begin(), handling.end()),
                  handling.size());
    }
    port.onComm = dispatch;
    if (w.Connected()) w.Command建立连接->click();
  }
  server.stop();
  return status;
}

}  // namespace

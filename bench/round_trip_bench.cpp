// What the tool adds to the wire time: the time from a reply's last byte leaving qzsim to the
// tool's next frame arriving there, through the real port adapter on a pseudo-terminal.
//
// The tool answers every reply at once the way the session does during a transfer: each
// notification reads everything waiting, and once the whole reply is in the next frame is
// written from inside the notification. qzsim answers with pacing off, so only the software
// on both sides is measured.
//
//   qz_round_trip_bench [exchanges]      (default 500)

#include <QCoreApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "link/com_ports.h"
#include "link/hex_text.h"
#include "link/qt_serial_port.h"
#include "protocol/frames.h"
#include "sim/pty_server.h"

namespace {

double percentile(std::vector<double> v, double p) {
  std::sort(v.begin(), v.end());
  const auto i = static_cast<std::size_t>(p * static_cast<double>(v.size() - 1) + 0.5);
  return v.at(i);
}

}  // namespace

int main(int argc, char* argv[]) {
  QCoreApplication app(argc, argv);
  const int exchanges = argc > 1 ? std::max(10, std::atoi(argv[1])) : 500;

  // A private alias folder, so the benchmark never meets a running qzsim.
  std::string runtime = "/tmp/qz-bench-XXXXXX";
  if (::mkdtemp(runtime.data()) == nullptr) return 1;
  ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);

  qz::sim::Options options;
  options.pacing = false;
  qz::sim::PtyServer server(options);
  server.start();

  qz::QtSerialPort port;
  port.setPortNumber(server.comNumber());
  if (!port.open()) {
    std::fprintf(stderr, "cannot open %s: %s\n", server.comName().c_str(),
                 port.lastErrorText().c_str());
    return 1;
  }

  int sent = 0;
  std::size_t got = 0;  // of the reply to the latest request
  auto request = [&] {
    got = 0;
    qz::HexTextToBytes(port, qz::frames::kHandshake);
    ++sent;
  };
  port.onComm = [&] {
    if (port.commEvent() != qz::CommEvent::Receive) return;
    got += port.readAll().size();
    if (got >= static_cast<std::size_t>(qz::frames::kHandshakeReplyLength) &&
        sent < exchanges + 1) {
      request();
    }
  };

  QElapsedTimer total;
  total.start();
  request();
  while (
      !server.waitForLog(static_cast<std::size_t>(exchanges + 1), std::chrono::milliseconds(0))) {
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
    if (total.elapsed() > 60'000) {
      std::fprintf(stderr, "no progress after 60 s\n");
      return 1;
    }
  }
  const double seconds = static_cast<double>(total.nsecsElapsed()) / 1e9;

  // Reply out (qzsim) to the next request in (qzsim): the tool's share of each exchange.
  const auto log = server.log();
  std::vector<double> turnaround;
  for (std::size_t i = 1; i < log.size(); ++i) {
    if (!log[i - 1].sentAt) continue;
    const auto d = log[i].time - *log[i - 1].sentAt;
    turnaround.push_back(std::chrono::duration<double, std::micro>(d).count());
  }
  port.close();
  server.stop();
  ::rmdir((runtime + "/qzconfig/ports").c_str());
  ::rmdir((runtime + "/qzconfig").c_str());
  ::rmdir(runtime.c_str());
  if (turnaround.empty()) return 1;

  std::printf("round trip through the port adapter and qzsim, %zu exchanges\n", turnaround.size());
  std::printf("  reply out -> next frame in: median %.1f us, p95 %.1f us, max %.1f us\n",
              percentile(turnaround, 0.5), percentile(turnaround, 0.95),
              *std::max_element(turnaround.begin(), turnaround.end()));
  std::printf("  whole exchange: %.1f us on average\n",
              seconds * 1e6 / static_cast<double>(exchanges));
  std::printf("  for scale: a 12-byte frame and a 5-byte reply take %.1f ms on a 9600 baud line\n",
              17 * 10.0 / 9600 * 1000);
  return 0;
}

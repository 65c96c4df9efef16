// qzctl's transfers against their wire time, with qzsim paced at 9600 baud on pseudo-terminals.
//
// One controller: download (with its read-back) and upload, each timed on the line from the
// first byte of the first row frame to the last byte of the last answer, against the bytes that
// must pass: download 19 rows of 15 + 19 acknowledgements of 3 + the 12-byte option frame, then
// the read-back of 19 requests of 6 + 19 rows of 14; upload the same 380 bytes.
// Eight controllers: one download to all eight at once against one to a single controller,
// the whole command and the transfer span alike.
//
//   qz_ctl_transfer_bench [runs]      (default 5)

#include <QCoreApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "config/param_file.h"
#include "ctl/runner.h"
#include "measure.h"
#include "sim/pty_server.h"

namespace {

using Clock = std::chrono::steady_clock;
using qz::bench::median;
constexpr double kByteMs = 10.0 * 1000.0 / 9600.0;
constexpr double kDownloadBytes = 19 * 15 + 19 * 3 + 12;
constexpr double kReadBackBytes = 19 * 6 + 19 * 14;

// From the first byte of the first transfer frame (its arrival less its own wire time) to the
// moment the last answer left.
double transferSpanMs(const qz::sim::PtyServer& s, Clock::time_point* first = nullptr,
                      Clock::time_point* last = nullptr) {
  std::optional<Clock::time_point> begin;
  std::optional<Clock::time_point> end;
  for (const auto& e : s.log()) {
    const bool transfer =
        !e.received.empty() &&
        (e.received[0] == 0xD0 || (e.received[0] == 0xA2 && e.received.size() == 6));
    if (!transfer) continue;
    const auto wire =
        std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double, std::milli>(
            kByteMs * static_cast<double>(e.received.size())));
    if (!begin) begin = e.time - wire;
    if (e.sentAt) end = *e.sentAt;
  }
  if (!begin || !end) return -1;
  if (first) *first = *begin;
  if (last) *last = *end;
  return std::chrono::duration<double, std::milli>(*end - *begin).count();
}

int qzctl(const std::vector<std::string>& args) {
  std::vector<std::string_view> v(args.begin(), args.end());
  std::ostringstream out;
  std::ostringstream err;
  const int code = qz::ctl::run(v, {out, err, false});
  if (code != 0)
    std::fprintf(stderr, "qzctl failed (%d): %s%s", code, out.str().c_str(), err.str().c_str());
  return code;
}

}  // namespace

int main(int argc, char* argv[]) {
  QCoreApplication app(argc, argv);
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;

  std::string runtime = "/tmp/qz-bench-XXXXXX";
  if (::mkdtemp(runtime.data()) == nullptr) return 1;
  ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
  const std::string file = runtime + "/site.QZ";
  {
    qz::ConfigImage image;
    for (int r = 0; r < qz::kRows; ++r) {
      for (int c = 0; c < qz::kRowBytes; ++c)
        image(r, c) = static_cast<std::uint8_t>(r * 31 + c * 7);
    }
    const auto bytes = qz::writeParamFile(2, image);
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
  }

  // One controller.
  std::vector<double> down;
  std::vector<double> up;
  std::vector<double> single;
  for (int i = 0; i < runs; ++i) {
    qz::sim::PtyServer s(qz::sim::Options{});
    s.start();
    QElapsedTimer t;
    t.start();
    if (qzctl({"--port", s.comName(), "download", file}) != 0) return 1;
    single.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);
    down.push_back(transferSpanMs(s));
    s.stop();
    qz::sim::PtyServer u(qz::sim::Options{});
    u.start();
    if (qzctl({"--port", u.comName(), "upload", runtime + "/up.QZ"}) != 0) return 1;
    up.push_back(transferSpanMs(u));
    u.stop();
  }
  const double downWire = (kDownloadBytes + kReadBackBytes) * kByteMs;
  const double upWire = kReadBackBytes * kByteMs;
  std::printf("one controller, 9600 baud, median of %d runs\n", runs);
  std::printf("  download + read-back: %.1f ms on the line, wire %.1f ms, ratio %.3f\n",
              median(down), downWire, median(down) / downWire);
  std::printf("  upload:               %.1f ms on the line, wire %.1f ms, ratio %.3f\n", median(up),
              upWire, median(up) / upWire);
  std::printf("  whole download command (connect, settle, version, transfer): %.0f ms\n",
              median(single));

  // Eight controllers at once.
  std::vector<double> eightWhole;
  std::vector<double> eightSpan;
  std::vector<double> longest;  // each controller's own transfer span
  std::vector<double> starts;   // when each began, after the first
  for (int i = 0; i < runs; ++i) {
    std::vector<std::unique_ptr<qz::sim::PtyServer>> sims;
    std::vector<std::string> args;
    for (int k = 0; k < 8; ++k) {
      sims.push_back(std::make_unique<qz::sim::PtyServer>(qz::sim::Options{}));
      sims.back()->start();
      args.insert(args.end(), {"--port", sims.back()->comName()});
    }
    args.insert(args.end(), {"download", file});
    QElapsedTimer t;
    t.start();
    if (qzctl(args) != 0) return 1;
    eightWhole.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);
    Clock::time_point first = Clock::time_point::max();
    Clock::time_point last = Clock::time_point::min();
    for (const auto& s : sims) {
      Clock::time_point a;
      Clock::time_point b;
      if (transferSpanMs(*s, &a, &b) < 0) return 1;
      first = std::min(first, a);
      last = std::max(last, b);
    }
    eightSpan.push_back(std::chrono::duration<double, std::milli>(last - first).count());
    for (const auto& s : sims) {
      Clock::time_point a;
      Clock::time_point b;
      const double span = transferSpanMs(*s, &a, &b);
      longest.push_back(span);
      starts.push_back(std::chrono::duration<double, std::milli>(a - first).count());
    }
    for (auto& s : sims) s->stop();
  }
  std::printf("eight controllers at once, download with read-back, median of %d runs\n", runs);
  std::printf("  whole command: %.0f ms against %.0f ms for one, ratio %.3f\n", median(eightWhole),
              median(single), median(eightWhole) / median(single));
  std::printf(
      "  transfers, first byte to last answer: %.1f ms against %.1f ms for one, ratio %.3f\n",
      median(eightSpan), median(down), median(eightSpan) / median(down));
  std::printf("  each controller's own transfer: median %.1f ms, longest %.1f ms, ratio %.3f\n",
              median(longest), *std::max_element(longest.begin(), longest.end()),
              *std::max_element(longest.begin(), longest.end()) / median(down));
  std::printf("  the last transfer began %.1f ms after the first\n",
              *std::max_element(starts.begin(), starts.end()));
  return 0;
}

// The faults of a real RS-485 line that qzsim can play besides those of its answers: noise from
// dimmers, collisions and cuts in the echo, an adapter that hands bytes on late, and a
// controller busy writing its memory.

#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "sim/pty_server.h"
#include "sim/steady_time.h"

namespace qz::sim {

void PtyServer::deliverLate(std::span<const std::uint8_t> bytes, Clock::time_point first) {
  // The adapter hands each byte on as it has come, the whole stream shifted by its latency.
  const Clock::duration bt = byteTime(options_.baud);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    // In the order they were on the line: noise may fall between the bytes of an answer.
    const Clock::time_point at = first + options_.line.late + bt * static_cast<long>(i);
    const auto place =
        std::upper_bound(outbox_.begin(), outbox_.end(), at,
                         [](Clock::time_point t, const auto& e) { return t < e.first; });
    outbox_.emplace(place, at, bytes[i]);
  }
}

void PtyServer::flushOutbox(Clock::time_point now) {
  while (!outbox_.empty() && outbox_.front().first <= now) {
    const std::uint8_t b = outbox_.front().second;
    outbox_.pop_front();
    ssize_t n = 0;
    do {
      n = ::write(master_, &b, 1);
    } while (n < 0 && errno == EINTR);
    // A byte nobody takes is lost, as on a line.
  }
}

std::optional<Clock::time_point> PtyServer::lineDeadline() const {
  std::optional<Clock::time_point> t = nextNoise_;
  if (!outbox_.empty()) t = std::min(t.value_or(Clock::time_point::max()), outbox_.front().first);
  if (options_.line.noisePerSecond > 0 && !t) t = Clock::now();
  return t;
}

Bytes PtyServer::noiseDue(Clock::time_point now) {
  const LineFaults& line = options_.line;
  if (line.noisePerSecond <= 0) return {};
  // Bursts come at random, on average noisePerSecond of them a second.
  auto gap = [&] {
    std::exponential_distribution<double> wait(line.noisePerSecond);
    return std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(wait(random_)));
  };
  if (!nextNoise_) {
    nextNoise_ = now + gap();
    return {};
  }
  if (*nextNoise_ > now) return {};
  nextNoise_ = now + gap();
  Bytes burst(std::uniform_int_distribution<std::size_t>(1, 4)(random_));
  for (std::uint8_t& b : burst) {
    b = static_cast<std::uint8_t>(std::uniform_int_distribution<int>(0, 255)(random_));
  }
  if (line.late.count() > 0) {
    deliverLate(burst, now);
  } else if (::write(master_, burst.data(), burst.size()) < 0) {
    // Nobody listens: the noise is lost, as on a line.
  }
  logLine("noise " + hexBytes(burst), now);
  return burst;
}

Bytes PtyServer::echoOf(std::span<const std::uint8_t> bytes) {
  Bytes echo(bytes.begin(), bytes.end());
  const LineFaults& line = options_.line;
  ++echoes_;
  auto hit = [&](int which) { return which == LineFaults::kEvery || which == echoes_; };
  if (hit(line.collideEcho) && !echo.empty()) {
    echo[std::min(line.collideAt, echo.size() - 1)] ^= 0x40;
  }
  if (hit(line.cutEcho) && line.cutTo < echo.size()) echo.resize(line.cutTo);
  return echo;
}

void PtyServer::busyWithRow(const Frame& frame) {
  const Clock::duration rowTime = options_.line.rowTime;
  if (rowTime.count() <= 0) return;
  if (frame.kind != FrameKind::DownloadRow && frame.kind != FrameKind::UploadRequest) return;
  // Writing its memory, the controller reads nothing: what the tool sends meanwhile waits in
  // its input. The adapter still hands late bytes on.
  const Clock::time_point until = frame.time + rowTime;
  while (!stopping_) {
    const Clock::time_point now = Clock::now();
    flushOutbox(now);
    if (now >= until) return;
    const Clock::time_point next = outbox_.empty() ? until : std::min(until, outbox_.front().first);
    if (!sleepUntil(next)) return;
  }
}

}  // namespace qz::sim

#include <poll.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "sim/pty_server.h"
#include "sim/steady_time.h"

// How the simulated line carries bytes towards the tool: paced at the line's bit rate, echoed
// as an adapter that hears itself would, and lost when nobody listens.

namespace qz::sim {

using namespace std::chrono_literals;

std::string PtyServer::send(const Bytes& reply, Clock::time_point requestEnd,
                            std::size_t requestLength, bool oneWrite) {
  {
    std::lock_guard lock(mutex_);
    if (listeners_ == 0) return "nobody has the port open, not sent";
  }
  auto lostText = [&](std::size_t written) {
    return std::to_string(reply.size() - written) + " bytes lost: " +
           (errno == EAGAIN ? std::string("nobody reads the port") : std::strerror(errno));
  };
  const Clock::duration bt = byteTime(options_.baud);
  // The request took its own wire time to arrive, and the line carries one byte at a time.
  const Clock::time_point start =
      std::max(requestEnd + bt * static_cast<long>(requestLength), lineFreeAt_);
  if (options_.line.late.count() > 0) {
    deliverLate(reply, start);
    lineFreeAt_ = start + bt * static_cast<long>(reply.size());
    return {};
  }
  if (!options_.pacing || oneWrite) {
    if (options_.pacing) {
      // Handed over when its last byte would have arrived.
      lineFreeAt_ = start + bt * static_cast<long>(reply.size());
      if (!sleepUntil(lineFreeAt_ - bt)) return "stopped while answering";
    }
    std::size_t written = 0;
    while (written < reply.size()) {
      const ssize_t n = ::write(master_, reply.data() + written, reply.size() - written);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return lostText(written);
      written += static_cast<std::size_t>(n);
    }
    return {};
  }
  for (std::size_t i = 0; i < reply.size(); ++i) {
    if (!sleepUntil(start + bt * static_cast<long>(i))) return "stopped while answering";
    // Noise falls inside answers too.
    (void)noiseDue(Clock::now());
    ssize_t n = 0;
    do {
      n = ::write(master_, &reply[i], 1);
    } while (n < 0 && errno == EINTR);
    if (n != 1) return lostText(i);
  }
  lineFreeAt_ = start + bt * static_cast<long>(reply.size());
  return {};
}

void PtyServer::echoBack(std::span<const std::uint8_t> bytes, Clock::time_point arrived) {
  const Clock::duration bt = byteTime(options_.baud);
  const bool whole = options_.echo == Echo::Whole;
  // The line carries the tool's bytes one after the other: the answer waits until they are out.
  if (options_.pacing)
    lineFreeAt_ = std::max(lineFreeAt_, arrived) + bt * static_cast<long>(bytes.size());
  if (options_.line.late.count() > 0) {
    deliverLate(bytes, arrived + bt);
    return;
  }
  for (std::size_t at = 0; at < bytes.size();) {
    const std::size_t count = whole ? bytes.size() : 1;
    if (!whole && options_.pacing && !sleepUntil(arrived + bt * static_cast<long>(at + 1))) return;
    const ssize_t n = ::write(master_, bytes.data() + at, count);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;  // nobody reads: the echo is lost, as on a line
    at += static_cast<std::size_t>(n);
  }
}

void PtyServer::dropUnread() {
  // On a real line whatever the controller sent while nobody listened is gone; here it would
  // wait in the pseudo-terminal for the next opener. Flushing also drops bytes still on their
  // way from the master.
  ::tcflush(ownSlave_, TCIFLUSH);
}

void PtyServer::waitUntilTaken() {
  // Cutting the line discards what the tool has not read yet, so give it up to a second to
  // take the last answer. Polling the device first delivers bytes still on their way, so
  // "nothing to read" means the tool has them.
  const Clock::time_point limit = Clock::now() + 1s;
  for (;;) {
    const Clock::time_point now = Clock::now();
    if (now >= limit || stopping_) return;
    {
      std::lock_guard lock(mutex_);
      if (listeners_ == 0) return;
    }
    pollfd p{ownSlave_, POLLIN, 0};
    if (::poll(&p, 1, 0) <= 0 || (p.revents & POLLIN) == 0) return;
    if (!sleepUntil(now + 1ms)) return;
  }
}

bool PtyServer::sleepUntil(Clock::time_point t) {
  // In slices, so stop() is not kept waiting by a long reply at a low baud rate.
  for (;;) {
    if (stopping_) return false;
    const Clock::time_point now = Clock::now();
    if (now >= t) return true;
    const timespec ts = toTimespec(std::min(t, now + 50ms));
    while (::clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr) == EINTR) {
    }
  }
}

}  // namespace qz::sim

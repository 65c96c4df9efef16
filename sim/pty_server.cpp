#include "sim/pty_server.h"

#include "config/settings.h"
#include "link/com_ports.h"
#include "sim/image_file.h"
#include "sim/outputs.h"
#include "sim/steady_time.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <stdexcept>

namespace qz::sim {

namespace {

using namespace std::chrono_literals;

constexpr Clock::duration kSecondAnswerPause = 50ms;

std::runtime_error failure(const std::string& what, int error) {
  return std::runtime_error(what + ": " + std::strerror(error));
}

// HH:MM:SS.uuuuuu of the wall clock at steady time t.
std::string wallClockText(Clock::time_point t) {
  const auto wall =
      std::chrono::system_clock::now() -
      std::chrono::duration_cast<std::chrono::system_clock::duration>(Clock::now() - t);
  const auto us = std::chrono::duration_cast<std::chrono::microseconds>(wall.time_since_epoch());
  const time_t secs = static_cast<time_t>(us.count() / 1'000'000);
  tm local{};
  localtime_r(&secs, &local);
  char text[32];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d.%06lld", local.tm_hour, local.tm_min,
                local.tm_sec, static_cast<long long>(us.count() % 1'000'000));
  return text;
}

void closeFd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

}  // namespace

PtyServer::PtyServer(Options options, LogSink sink)
    : options_(std::move(options)), sink_(std::move(sink)), controller_(options_) {}

PtyServer::~PtyServer() {
  stop();
}

void PtyServer::start() {
  if (master_ >= 0 || thread_.joinable()) throw std::runtime_error("already started");
  try {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0) throw failure("cannot open a pseudo-terminal", errno);
    if (::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
      throw failure("cannot unlock the pseudo-terminal", errno);
    }
    std::array<char, 128> name{};
    if (::ptsname_r(master_, name.data(), name.size()) != 0) {
      throw failure("cannot name the pseudo-terminal", errno);
    }
    devicePath_ = name.data();
    // Our own slave descriptor keeps the line up while the tool has the port closed (reading
    // the master with no slave open fails) and sets the raw mode every opener starts with.
    ownSlave_ = ::open(devicePath_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (ownSlave_ < 0) throw failure("cannot open " + devicePath_, errno);
    termios tio{};
    if (::tcgetattr(ownSlave_, &tio) != 0) throw failure("cannot read the line settings", errno);
    ::cfmakeraw(&tio);
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    if (::tcsetattr(ownSlave_, TCSANOW, &tio) != 0) {
      throw failure("cannot set the line to raw mode", errno);
    }
    for (const int fd : {master_, ownSlave_}) {
      const int flags = ::fcntl(fd, F_GETFL);
      if (flags < 0 || ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) != 0) {
        throw failure("cannot make the pseudo-terminal non-blocking", errno);
      }
    }
    stopEvent_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (stopEvent_ < 0) throw failure("cannot create an event", errno);
    // Opens and closes of the device tell when the tool holds the port; without that
    // knowledge the server still works, it only cannot drop what nobody reads.
    watch_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (watch_ >= 0 && ::inotify_add_watch(watch_, devicePath_.c_str(), IN_OPEN | IN_CLOSE) < 0) {
      closeFd(watch_);
    }
    listeners_ = watch_ >= 0 ? 0 : -1;
    alias_.claim(options_.aliasFolder, options_.comNumber, devicePath_);
  } catch (...) {
    closeAll();
    throw;
  }
  stopping_ = false;
  thread_ = std::thread([this] { run(); });
}

void PtyServer::stop() {
  if (thread_.joinable()) {
    stopping_ = true;
    const std::uint64_t one = 1;
    if (::write(stopEvent_, &one, sizeof one) < 0) {
      // The event is non-blocking and cannot be full; the flag alone still ends the loop.
    }
    thread_.join();
  }
  closeAll();
}

void PtyServer::closeAll() {
  closeFd(master_);
  closeFd(ownSlave_);
  closeFd(watch_);
  closeFd(stopEvent_);
  alias_.release();
}

bool PtyServer::hungUp() const {
  std::lock_guard lock(mutex_);
  return hungUp_;
}

int PtyServer::listeners() const {
  std::lock_guard lock(mutex_);
  return listeners_;
}

bool PtyServer::waitForLog(std::size_t entries, std::chrono::milliseconds timeout) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, timeout, [&] { return settled_ >= entries || hungUp_; }) &&
         settled_ >= entries;
}

bool PtyServer::waitForHangUp(std::chrono::milliseconds timeout) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, timeout, [&] { return hungUp_; });
}

bool PtyServer::waitForListeners(int count, std::chrono::milliseconds timeout) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, timeout, [&] { return listeners_ == count || hungUp_; }) &&
         listeners_ == count;
}

std::vector<LogEntry> PtyServer::log() const {
  std::lock_guard lock(mutex_);
  const auto& log = controller_.log();
  return {log.begin(), log.end()};
}

ConfigImage PtyServer::image() const {
  std::lock_guard lock(mutex_);
  return controller_.image();
}

std::optional<RowFrame> PtyServer::lastPreview() const {
  std::lock_guard lock(mutex_);
  return controller_.lastPreview();
}

Outputs PtyServer::outputs() const {
  std::lock_guard lock(mutex_);
  return controller_.outputs();
}

Controller PtyServer::snapshot() const {
  std::lock_guard lock(mutex_);
  return controller_;
}

bool PtyServer::inject(const Bytes& bytes) {
  if (master_ < 0) return false;
  std::size_t written = 0;
  while (written < bytes.size()) {
    const ssize_t n = ::write(master_, bytes.data() + written, bytes.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    written += static_cast<std::size_t>(n);
  }
  return true;
}

void PtyServer::setFaults(Faults faults) {
  std::lock_guard lock(mutex_);
  controller_.setFaults(std::move(faults));
}

void PtyServer::setServiceResult(std::uint8_t request, std::uint8_t code) {
  std::lock_guard lock(mutex_);
  controller_.setServiceResult(request, code);
}

void PtyServer::setImage(const ConfigImage& image) {
  std::lock_guard lock(mutex_);
  controller_.setImage(image);
}

void PtyServer::press(int row) {
  std::string line;
  {
    std::lock_guard lock(mutex_);
    controller_.press(row);
    line = "key " + std::string(sceneKeyName(row)) + ": " +
           outputsText(controller_.image(), controller_.model(), controller_.outputs());
  }
  logLine(line, Clock::now());
}

void PtyServer::powerOn() {
  std::string line;
  {
    std::lock_guard lock(mutex_);
    controller_.powerOn();
    line =
        "power on: " + outputsText(controller_.image(), controller_.model(), controller_.outputs());
  }
  logLine(line, Clock::now());
}

void PtyServer::run() {
  FrameReader reader(quietGapFor(options_.baud));
  std::array<std::uint8_t, 4096> buffer{};
  while (!stopping_) {
    const bool paused = readingPaused_;
    std::array<pollfd, 3> fds{
        {{paused ? -1 : master_, POLLIN, 0}, {stopEvent_, POLLIN, 0}, {watch_, POLLIN, 0}}};
    auto deadline = reader.deadline();
    // While reading is paused, look again now and then whether it still is.
    if (paused)
      deadline = std::min(deadline.value_or(Clock::time_point::max()), Clock::now() + 10ms);
    timespec wait{};
    if (deadline) wait = toTimespec(*deadline - Clock::now());
    if (::ppoll(fds.data(), fds.size(), deadline ? &wait : nullptr, nullptr) < 0) {
      if (errno == EINTR) continue;
      cutLine(std::string("waiting for the line failed: ") + std::strerror(errno));
      return;
    }
    if (stopping_) return;
    // Opens are looked at first: an open comes before the frames written after it.
    watchOpens();
    const Clock::time_point now = Clock::now();
    std::vector<Frame> frames;
    if ((fds[0].revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
      const ssize_t n = ::read(master_, buffer.data(), buffer.size());
      if (n > 0) {
        const std::span<const std::uint8_t> came(buffer.data(), static_cast<std::size_t>(n));
        if (options_.echo != Echo::None) echoBack(came, now);
        frames = reader.feed(came, now);
      } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
        continue;
      } else {
        cutLine(std::string("the pseudo-terminal failed: ") +
                (n == 0 ? "end of file" : std::strerror(errno)));
        return;
      }
    } else {
      frames = reader.idle(now);
    }
    for (const Frame& frame : frames) {
      Controller::Response response;
      std::optional<ConfigImage> changed;  // the image to keep in the dump file
      {
        std::lock_guard lock(mutex_);
        const ConfigImage before = controller_.image();
        response = controller_.handle(frame);
        if (!options_.dumpFile.empty() && controller_.image() != before) {
          changed = controller_.image();
        }
      }
      std::string lost;
      if (!response.reply.empty()) {
        lost = send(response.reply, frame.time, frame.bytes.size(), response.oneWrite);
      }
      if (!response.again.empty() && lost.empty()) {
        // After a pause the second copy is an answer of its own, also to a tool that is slow
        // to take the first.
        const Clock::time_point later = std::max(Clock::now(), lineFreeAt_) + kSecondAnswerPause;
        if (!options_.pacing) sleepUntil(later);
        lost = send(response.again, later, 0);
      }
      const Clock::time_point sentAt = Clock::now();
      LogEntry entry;
      {
        std::lock_guard lock(mutex_);
        if (!response.reply.empty() && lost.empty()) controller_.markLastSent(sentAt);
        controller_.annotateLast(lost);
        entry = controller_.log().back();
      }
      logLine(describe(entry), entry.time);
      // After the answer is out, before the frame counts as handled.
      if (changed) dumpImage(*changed);
      if (response.hangUp && !response.reply.empty()) waitUntilTaken();
      {
        std::lock_guard lock(mutex_);
        ++settled_;
      }
      changed_.notify_all();
      if (response.hangUp) {
        cutLine("line cut");
        return;
      }
      if (stopping_) return;
    }
  }
}

void PtyServer::watchOpens() {
  if (watch_ < 0) return;
  alignas(inotify_event) std::array<char, 4096> events{};
  for (;;) {
    const ssize_t n = ::read(watch_, events.data(), events.size());
    if (n <= 0) return;
    for (std::size_t at = 0; at < static_cast<std::size_t>(n);) {
      inotify_event event{};
      std::memcpy(&event, events.data() + at, sizeof event);
      at += sizeof event + event.len;
      std::string what;
      bool flush = false;
      {
        std::lock_guard lock(mutex_);
        if (listeners_ < 0) continue;
        if ((event.mask & (IN_Q_OVERFLOW | IN_IGNORED)) != 0) {
          listeners_ = -1;
        } else if ((event.mask & IN_OPEN) != 0) {
          ++listeners_;
          what = "port opened";
        } else if ((event.mask & IN_CLOSE) != 0 && listeners_ > 0) {
          --listeners_;
          what = "port closed";
          flush = listeners_ == 0;
        }
      }
      if (flush) dropUnread();
      if (!what.empty()) logLine(what, Clock::now());
      changed_.notify_all();
    }
  }
}

void PtyServer::cutLine(const std::string& why) {
  // Closing the master hangs the line up: the tool's port sees an error or end of file.
  closeFd(master_);
  closeFd(ownSlave_);
  closeFd(watch_);
  logLine(why, Clock::now());
  {
    std::lock_guard lock(mutex_);
    hungUp_ = true;
  }
  changed_.notify_all();
}

void PtyServer::dumpImage(const ConfigImage& image) {
  try {
    dumpImageFile(options_.dumpFile, options_.model, image);
  } catch (const std::exception& e) {
    logLine(std::string("the image was not kept: ") + e.what(), Clock::now());
  }
}

void PtyServer::logLine(const std::string& text, Clock::time_point time) {
  if (sink_) sink_(wallClockText(time) + " " + text);
}

}  // namespace qz::sim

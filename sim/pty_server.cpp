#include "sim/pty_server.h"

#include "link/com_ports.h"
#include "sim/image_file.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <stdexcept>
#include <system_error>

namespace qz::sim {

namespace {

using namespace std::chrono_literals;

constexpr Clock::duration kSecondAnswerPause = 50ms;

std::runtime_error failure(const std::string& what, int error) {
  return std::runtime_error(what + ": " + std::strerror(error));
}

timespec toTimespec(Clock::time_point t) {
  // steady_clock is CLOCK_MONOTONIC on Linux.
  const auto ns =
      std::chrono::duration_cast<std::chrono::nanoseconds>(t.time_since_epoch()).count();
  timespec ts{};
  ts.tv_sec = static_cast<time_t>(ns / 1'000'000'000);
  ts.tv_nsec = static_cast<long>(ns % 1'000'000'000);
  return ts;
}

timespec toTimespec(Clock::duration d) {
  return toTimespec(Clock::time_point(std::max(d, Clock::duration::zero())));
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

bool isStaleAlias(const std::filesystem::path& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return false;
  return ::stat(path.c_str(), &st) != 0 && errno == ENOENT;
}

}  // namespace

void ensurePrivateFolder(const std::filesystem::path& folder) {
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
    throw failure("cannot create " + folder.string(), errno);
  }
  struct stat st {};
  if (::lstat(folder.c_str(), &st) != 0) throw failure("cannot look at " + folder.string(), errno);
  // Aliases lead the tool to a device: a folder another user could write to, or a link
  // pointing elsewhere, is not one to put them in.
  if (!S_ISDIR(st.st_mode) || st.st_uid != ::geteuid() || (st.st_mode & 022) != 0) {
    throw std::runtime_error(folder.string() +
                             " is not a private folder of this user (a link, another owner, "
                             "or writable by others)");
  }
}

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
    createAlias();
  } catch (...) {
    closeAll();
    throw;
  }
  stopping_ = false;
  thread_ = std::thread([this] { run(); });
}

void PtyServer::createAlias() {
  std::filesystem::path folder = options_.aliasFolder;
  if (folder.empty()) {
    folder = comAliasFolder();
    ensurePrivateFolder(folder.parent_path());
  }
  ensurePrivateFolder(folder);

  auto tryNumber = [&](int n) -> int {
    const std::filesystem::path path = folder / ("COM" + std::to_string(n));
    const std::filesystem::path lock = comAliasLockPath(path);
    struct stat st {};
    const bool hadLock = ::lstat(lock.c_str(), &st) == 0;
    const int fd = ::open(lock.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return errno;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
      ::close(fd);
      return EEXIST;  // a live simulator holds the name
    }
    // A lock file nobody holds, beside an alias, was left by a simulator that was killed; so
    // was an alias whose device is gone. An alias without a lock file is the user's own.
    if (hadLock || isStaleAlias(path)) ::unlink(path.c_str());
    if (::symlink(devicePath_.c_str(), path.c_str()) == 0) {
      comNumber_ = n;
      aliasPath_ = path;
      lockPath_ = lock;
      lockFd_ = fd;
      return 0;
    }
    const int error = errno;
    if (!hadLock) ::unlink(lock.c_str());
    ::close(fd);
    return error;
  };

  if (options_.comNumber != 0) {
    if (options_.comNumber < 1 || options_.comNumber > 50) {
      throw std::runtime_error("COM" + std::to_string(options_.comNumber) +
                               " is not one of COM1..COM50");
    }
    const int error = tryNumber(options_.comNumber);
    if (error == EEXIST) {
      throw std::runtime_error("COM" + std::to_string(options_.comNumber) +
                               " already has an alias in " + folder.string());
    }
    if (error != 0) throw failure("cannot create the alias in " + folder.string(), error);
    return;
  }
  for (int n = 1; n <= 50; ++n) {
    // A real adapter keeps its own COM name.
    const std::string fixed = fixedComDevice(n);
    struct stat st {};
    if (!fixed.empty() && ::stat(fixed.c_str(), &st) == 0) continue;
    const int error = tryNumber(n);
    if (error == 0) return;
    if (error != EEXIST) throw failure("cannot create the alias in " + folder.string(), error);
  }
  throw std::runtime_error("no free COM number in " + folder.string());
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
  if (!aliasPath_.empty()) {
    // Only our own alias: another simulator may have taken the name since.
    std::error_code ec;
    if (std::filesystem::read_symlink(aliasPath_, ec) == devicePath_ && !ec) {
      std::filesystem::remove(aliasPath_, ec);
    }
    aliasPath_.clear();
  }
  if (!lockPath_.empty()) {
    ::unlink(lockPath_.c_str());
    lockPath_.clear();
  }
  closeFd(lockFd_);
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

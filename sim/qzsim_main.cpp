// qzsim: a simulated controller on a pseudo-terminal.

#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <deque>
#include <exception>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "config/settings.h"
#include "link/com_ports.h"
#include "sim/command_line.h"
#include "sim/image_file.h"
#include "sim/pty_server.h"
#include "sim/view_loader.h"

namespace {

using qz::sim::CommandLine;
using qz::sim::PtyServer;

// The log goes out on a thread of its own, so a reader that does not keep up (a pager left on
// its first page) never holds up the controller: lines wait in a bounded queue and, when it is
// full, are dropped and counted.
class LogOutput {
 public:
  explicit LogOutput(int fd) : fd_(fd), thread_([this] { run(); }) {}
  ~LogOutput() { finish(std::chrono::milliseconds(0)); }
  LogOutput(const LogOutput&) = delete;
  LogOutput& operator=(const LogOutput&) = delete;

  void push(std::string line) {
    {
      std::lock_guard lock(mutex_);
      if (queue_.size() >= kMaxLines) {
        ++dropped_;
        return;
      }
      queue_.push_back(std::move(line));
    }
    changed_.notify_all();
  }

  // Gives the writer up to `limit` to write what waits, then leaves it behind: a reader that
  // never reads must not keep the program from ending.
  void finish(std::chrono::milliseconds limit) {
    if (!thread_.joinable()) return;
    std::unique_lock lock(mutex_);
    done_ = true;
    changed_.notify_all();
    const bool finished = changed_.wait_for(lock, limit, [&] { return ended_; });
    lock.unlock();
    if (finished) {
      thread_.join();
    } else {
      thread_.detach();
    }
  }

 private:
  static constexpr std::size_t kMaxLines = 10000;

  void run() {
    std::unique_lock lock(mutex_);
    for (;;) {
      changed_.wait(lock, [&] { return done_ || !queue_.empty(); });
      if (queue_.empty() && done_) break;
      std::string text;
      if (dropped_ > 0) {
        text = "qzsim: " + std::to_string(dropped_) + " log lines dropped: nobody read them\n";
        dropped_ = 0;
      }
      for (const std::string& line : queue_) text += line + "\n";
      queue_.clear();
      lock.unlock();
      const bool ok = writeAll(text);
      lock.lock();
      if (!ok) queue_.clear();
    }
    ended_ = true;
    changed_.notify_all();
  }

  [[nodiscard]] bool writeAll(const std::string& text) const {
    std::size_t at = 0;
    while (at < text.size()) {
      const ssize_t n = ::write(fd_, text.data() + at, text.size() - at);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      at += static_cast<std::size_t>(n);
    }
    return true;
  }

  int fd_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::string> queue_;
  std::size_t dropped_ = 0;
  bool done_ = false;
  bool ended_ = false;
  std::thread thread_;  // last: started once the fields above are there
};

// Whether what went to standard output reached it; says why not on standard error.
bool printed() {
  if (std::fflush(stdout) == 0 && std::ferror(stdout) == 0) return true;
  std::fprintf(stderr, "qzsim: cannot write standard output: %s\n", std::strerror(errno));
  return false;
}

int usageError(const char* what) {
  std::fprintf(stderr, "qzsim: %s\nRun qzsim --help for the options.\n", what);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string_view> args(argv + 1, argv + argc);
  CommandLine cl;
  try {
    cl = qz::sim::parseCommandLine(args);
  } catch (const std::exception& e) {
    return usageError(e.what());
  }
  if (cl.help || cl.version) {
    // One write for the whole text: a reader that stops at its first match (grep -q) then
    // finds it all, and the program does not meet a closed pipe halfway.
    static std::array<char, 1 << 16> whole;
    std::setvbuf(stdout, whole.data(), _IOFBF, whole.size());
    std::fputs((cl.help ? qz::sim::usageText() : qz::sim::versionText()).data(), stdout);
    return printed() ? 0 : 1;
  }
  if (!cl.imageFile.empty()) {
    try {
      const auto start = qz::sim::loadImageFile(
          cl.imageFile, cl.modelGiven ? std::optional(cl.options.model) : std::nullopt);
      cl.options.model = start.model;
      cl.options.image = start.image;
    } catch (const std::exception& e) {
      std::fprintf(stderr, "qzsim: %s\n", e.what());
      return 1;
    }
  }
  // The log goes out line by line as frames come; memory keeps only the latest entries.
  cl.options.logLimit = 16;
  const qz::sim::Options& o = cl.options;
  if (!o.dumpFile.empty()) {
    try {
      qz::sim::dumpImageFile(o.dumpFile, o.model, o.image.value_or(qz::sim::defaultImage(o.model)));
    } catch (const std::exception& e) {
      std::fprintf(stderr, "qzsim: %s\n", e.what());
      return 1;
    }
  }
  if (o.comNumber != 0) {
    const std::string fixed = qz::fixedComDevice(o.comNumber);
    struct stat st {};
    if (!fixed.empty() && ::stat(fixed.c_str(), &st) == 0) {
      std::fprintf(stderr, "qzsim: warning: the alias COM%d hides %s from the tool\n", o.comNumber,
                   fixed.c_str());
    }
  }

  // The view is loaded before anything starts, so a missing display stops nothing half-way.
  std::optional<qz::sim::ViewModule> view;
  if (cl.view) {
    try {
      view = qz::sim::ViewModule::load();
    } catch (const std::exception& e) {
      std::fprintf(stderr, "qzsim: %s\n", e.what());
      return 1;
    }
  }

  std::FILE* log = stdout;
  if (!cl.logFile.empty()) {
    log = std::fopen(cl.logFile.c_str(), "w");
    if (log == nullptr) {
      std::perror(("qzsim: " + cl.logFile).c_str());
      return 1;
    }
  }

  // A log reader that goes away must not kill the simulator before it removes its alias.
  ::signal(SIGPIPE, SIG_IGN);
  // Every thread inherits the blocked signals, so they wait for sigtimedwait below.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGHUP);  // its terminal was closed
  sigaddset(&stopSignals, SIGQUIT);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

  // Nothing goes out before the first line names the port.
  std::mutex outMutex;
  bool named = false;
  std::vector<std::string> early;
  std::fflush(log);
  LogOutput output(::fileno(log));
  auto writeLine = [&](const std::string& line) { output.push(line); };
  PtyServer server(cl.options, [&](const std::string& line) {
    std::lock_guard lock(outMutex);
    if (named) {
      writeLine(line);
    } else {
      early.push_back(line);
    }
  });
  try {
    server.start();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "qzsim: %s\n", e.what());
    return 1;
  }
  {
    std::lock_guard lock(outMutex);
    std::printf("%s %s\n", server.comName().c_str(), server.devicePath().c_str());
    // Whoever started it learns the port from this line; without it qzsim is no use.
    if (!printed()) {
      server.stop();
      return 1;
    }
    named = true;
    const std::string model = o.model >= 0 && o.model < qz::kModels
                                  ? std::string(qz::modelName(o.model))
                                  : "model " + std::to_string(o.model);
    const std::string faults = qz::sim::faultOptions(args);
    writeLine("qzsim: " + model + " at " + std::to_string(o.baud) + " baud, pacing " +
              (o.pacing ? "on" : "off") + (faults.empty() ? ", no faults" : ", faults: " + faults) +
              (o.echo == qz::sim::Echo::None         ? ""
               : o.echo == qz::sim::Echo::ByteByByte ? ", echo byte by byte"
                                                     : ", echo whole") +
              ", alias " + server.aliasPath().string() +
              (cl.imageFile.empty() ? "" : ", image from " + cl.imageFile) +
              (o.dumpFile.empty() ? "" : ", image kept in " + o.dumpFile.string()));
    // What to do next, for whoever started it by hand.
    writeLine("qzsim: next: qzconfig → " + server.comName() + " → 建立连接, or qzctl --port " +
              server.comName() + " info");
    for (const std::string& line : early) writeLine(line);
    early.clear();
  }

  if (view) {
    view->run({&server, &cl, [&] {
                 const timespec now{};
                 return sigtimedwait(&stopSignals, nullptr, &now) > 0 || server.hungUp();
               }});
  } else {
    for (;;) {
      const timespec slice{0, 100'000'000};
      const int signal = sigtimedwait(&stopSignals, nullptr, &slice);
      if (signal > 0) break;
      if (server.hungUp()) break;
    }
  }
  server.stop();
  output.finish(std::chrono::milliseconds(500));
  // The writer may still be stuck on a reader that never reads; its descriptor stays open
  // until the process ends.
  return 0;
}

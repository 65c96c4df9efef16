// qzsim: a simulated controller on a pseudo-terminal.

#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>

#include <cstdio>
#include <ctime>
#include <exception>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "link/com_ports.h"
#include "sim/command_line.h"
#include "sim/pty_server.h"

namespace {

using qz::sim::CommandLine;
using qz::sim::PtyServer;

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
  if (cl.help) {
    std::fputs(qz::sim::usageText().data(), stdout);
    return 0;
  }
  const qz::sim::Options& o = cl.options;
  if (o.comNumber != 0) {
    const std::string fixed = qz::fixedComDevice(o.comNumber);
    struct stat st {};
    if (!fixed.empty() && ::stat(fixed.c_str(), &st) == 0) {
      std::fprintf(stderr, "qzsim: warning: the alias COM%d hides %s from the tool\n", o.comNumber,
                   fixed.c_str());
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
  auto writeLine = [&](const std::string& line) {
    std::fprintf(log, "%s\n", line.c_str());
    std::fflush(log);
  };
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
    std::fflush(stdout);
    named = true;
    const std::string model = o.model >= 0 && o.model < qz::kModels
                                  ? std::string(qz::sim::kModelNames[o.model])
                                  : "model " + std::to_string(o.model);
    writeLine("qzsim: " + model + " at " + std::to_string(o.baud) + " baud, pacing " +
              (o.pacing ? "on" : "off") + ", alias " + server.aliasPath().string());
    for (const std::string& line : early) writeLine(line);
    early.clear();
  }

  for (;;) {
    const timespec slice{0, 100'000'000};
    const int signal = sigtimedwait(&stopSignals, nullptr, &slice);
    if (signal > 0) break;
    if (server.hungUp()) break;
  }
  server.stop();
  if (log != stdout) std::fclose(log);
  return 0;
}

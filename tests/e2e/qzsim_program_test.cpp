// The qzsim program on a real pseudo-terminal, driven from the tool's side with plain POSIX
// calls.

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "config/frames.h"
#include "link/com_ports.h"
#include "protocol/frames.h"
#include "sim/command_line.h"
#include "sim/image_file.h"
#include "support/pty.h"

#include "e2e/tool_side.h"

extern char** environ;

namespace qz::sim {
namespace {

using namespace e2e;

// The qzsim program, started with its own runtime folder.
class Program {
 public:
  Program(const TempDir& runtime, const std::vector<std::string>& args) {
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    std::vector<std::string> env = {"XDG_RUNTIME_DIR=" + runtime.path().string()};
    for (char** e = environ; *e != nullptr; ++e) {
      if (std::string_view(*e).starts_with("XDG_RUNTIME_DIR=")) continue;
      env.emplace_back(*e);
    }
    std::vector<std::string> argv = {QZSIM_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> cargv;
    for (std::string& a : argv) cargv.push_back(a.data());
    cargv.push_back(nullptr);
    std::vector<char*> cenv;
    for (std::string& e : env) cenv.push_back(e.data());
    cenv.push_back(nullptr);
    if (::posix_spawn(&pid_, QZSIM_PATH, &actions, nullptr, cargv.data(), cenv.data()) != 0) {
      pid_ = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    out_ = out[0];
  }
  ~Program() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    if (out_ >= 0) ::close(out_);
  }
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  // The next line of its standard output, waiting at most 5 s.
  std::string line() {
    std::string text;
    const auto end = std::chrono::steady_clock::now() + 5s;
    for (;;) {
      if (const auto nl = buffer_.find('\n'); nl != std::string::npos) {
        text = buffer_.substr(0, nl);
        buffer_.erase(0, nl + 1);
        return text;
      }
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          end - std::chrono::steady_clock::now());
      pollfd p{out_, POLLIN, 0};
      if (left <= 0ms || ::poll(&p, 1, static_cast<int>(left.count())) <= 0) return {};
      char buf[256];
      const ssize_t r = ::read(out_, buf, sizeof buf);
      if (r <= 0) return {};
      buffer_.append(buf, static_cast<std::size_t>(r));
    }
  }

  // Its exit status once it has ended, waiting at most 5 s; -1 if it has not.
  int exitStatus() {
    const int pidfd = static_cast<int>(::syscall(SYS_pidfd_open, pid_, 0));
    if (pidfd >= 0) {
      pollfd p{pidfd, POLLIN, 0};
      ::poll(&p, 1, 5000);
      ::close(pidfd);
    }
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) != pid_) return -1;
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }

  void signal(int sig) { ::kill(pid_, sig); }

 private:
  pid_t pid_ = -1;
  int out_ = -1;
  std::string buffer_;
};

struct Named {
  std::string com;
  std::string device;
};

Named parseFirstLine(const std::string& line) {
  std::smatch m;
  static const std::regex shape(R"(^(COM[0-9]+) (/dev/pts/[0-9]+)$)");
  if (!std::regex_match(line, m, shape)) return {};
  return {m[1], m[2]};
}

TEST(QzsimProgram, NamesItsPortAnswersAndRemovesItsAliasOnSigterm) {
  QZ_SKIP_WITHOUT_PTY();
  TempDir runtime;
  const fs::path ports = runtime.path() / "qzconfig" / "ports";
  Program sim(runtime, {});
  const Named first = parseFirstLine(sim.line());
  const std::string com1 = "COM" + std::to_string(firstFreeCom(1));
  const std::string com2 = "COM" + std::to_string(firstFreeCom(firstFreeCom(1) + 1));
  ASSERT_EQ(first.com, com1);
  EXPECT_EQ(fs::read_symlink(ports / com1), first.device);
  EXPECT_EQ(fs::status(ports).permissions(), fs::perms::owner_all);
  EXPECT_EQ(fs::status(ports.parent_path()).permissions(), fs::perms::owner_all);

  // A second simulator takes the next name.
  Program other(runtime, {"--model", "QZ-1200", "--no-pacing"});
  const Named second = parseFirstLine(other.line());
  EXPECT_EQ(second.com, com2);
  {
    ToolSide tool((ports / com2).string());
    EXPECT_EQ(tool.ask(frames::kHandshake, 5), hex("AA 55 04 88 66"));
  }
  other.signal(SIGINT);
  EXPECT_EQ(other.exitStatus(), 0);
  EXPECT_FALSE(fs::exists(fs::symlink_status(ports / com2)));

  ToolSide tool((ports / com1).string());
  ASSERT_TRUE(tool.isOpen());
  EXPECT_EQ(tool.ask(frames::kHandshake, 5), kHandshakeReply0804);
  EXPECT_EQ(tool.ask(frames::kVersionQuery, 31).size(), 31u);
  // The log names each frame and its answer after the model line.
  EXPECT_NE(sim.line().find("QZ-0804 at 9600 baud, pacing on, no faults"), std::string::npos);
  EXPECT_EQ(sim.line(),
            "qzsim: next: qzconfig → " + com1 + " → 建立连接, or qzctl --port " + com1 + " info");
  std::string logged;
  for (int i = 0; i < 4 && logged.find("handshake") == std::string::npos; ++i) logged = sim.line();
  EXPECT_NE(logged.find("RX A1 B2 C3 D4 E5 A1 AE 5E 4D 3C 2B 1A  handshake -> AA 55 02 88 66"),
            std::string::npos)
      << logged;

  sim.signal(SIGTERM);
  EXPECT_EQ(sim.exitStatus(), 0);
  EXPECT_FALSE(fs::exists(fs::symlink_status(ports / com1)));
  EXPECT_TRUE(tool.seesLineEnd());
}

TEST(QzsimProgram, HangsUpAndEndsWithFaultsFromTheCommandLine) {
  QZ_SKIP_WITHOUT_PTY();
  TempDir runtime;
  const fs::path logFile = runtime.path() / "sim.log";
  Program sim(runtime, {"--no-pacing", "--com", "40", "--answer-from", "2", "--corrupt",
                        "version@0", "--hangup-after", "3", "--log", logFile.string()});
  const Named named = parseFirstLine(sim.line());
  ASSERT_EQ(named.com, "COM40");
  ToolSide tool((runtime.path() / "qzconfig" / "ports" / "COM40").string());
  ASSERT_TRUE(tool.write(hex(frames::kHandshake)));  // not answered
  EXPECT_EQ(tool.ask(frames::kHandshake, 5), kHandshakeReply0804);
  const Bytes version = tool.ask(frames::kVersionQuery, 31);
  ASSERT_EQ(version.size(), 31u);
  EXPECT_EQ(version[0], 'Q' ^ 0xFF);
  EXPECT_TRUE(tool.seesLineEnd());
  EXPECT_EQ(sim.exitStatus(), 0);
  EXPECT_FALSE(fs::exists(fs::symlink_status(runtime.path() / "qzconfig" / "ports" / "COM40")));

  std::ifstream in(logFile);
  std::vector<std::string> lines;
  for (std::string l; std::getline(in, l);) lines.push_back(l);
  ASSERT_GE(lines.size(), 2u);
  EXPECT_NE(lines[0].find(", faults: --answer-from 2 --corrupt version@0 --hangup-after 3,"),
            std::string::npos)
      << lines[0];
  int frames = 0;
  for (const std::string& l : lines) frames += l.find(" RX ") != std::string::npos ? 1 : 0;
  EXPECT_EQ(frames, 3);
  ASSERT_FALSE(lines.empty());
  EXPECT_NE(lines.back().find("line cut"), std::string::npos);
}

TEST(QzsimProgram, LeavesNoAliasOnHangupOrQuitAndAKilledOnesAliasIsKnownStale) {
  TempDir runtime;
  const fs::path ports = runtime.path() / "qzconfig" / "ports";
  for (const int sig : {SIGHUP, SIGQUIT}) {
    Program sim(runtime, {"--com", "41"});
    ASSERT_EQ(parseFirstLine(sim.line()).com, "COM41");
    sim.signal(sig);
    EXPECT_EQ(sim.exitStatus(), 0) << sig;
    EXPECT_FALSE(fs::exists(fs::symlink_status(ports / "COM41"))) << sig;
  }

  // Killed outright, qzsim leaves its alias; the system then hands the device name out again
  // (here: the alias is pointed at a live pseudo-terminal of this test).
  const int com = firstFreeCom(1);
  const std::string name = "COM" + std::to_string(com);
  {
    Program killed(runtime, {});
    ASSERT_EQ(parseFirstLine(killed.line()).com, name);
    killed.signal(SIGKILL);
    EXPECT_NE(killed.exitStatus(), 0);
  }
  ASSERT_TRUE(fs::is_symlink(fs::symlink_status(ports / name)));
  int master = -1;
  int slave = -1;
  char device[128] = {};
  ASSERT_EQ(::openpty(&master, &slave, device, nullptr, nullptr), 0);
  fs::remove(ports / name);
  fs::create_symlink(device, ports / name);
  // A user's own alias beside it.
  fs::create_symlink(device, ports / "COM45");

  const char* old = std::getenv("XDG_RUNTIME_DIR");
  const std::string saved = old != nullptr ? old : "";
  ::setenv("XDG_RUNTIME_DIR", runtime.path().c_str(), 1);
  const std::string stale = comDevicePath(com);
  const std::string own = comDevicePath(45);
  if (old != nullptr) {
    ::setenv("XDG_RUNTIME_DIR", saved.c_str(), 1);
  } else {
    ::unsetenv("XDG_RUNTIME_DIR");
  }
  EXPECT_NE(stale, std::string(device));  // the tool does not write into that terminal
  EXPECT_EQ(stale, fixedComDevice(com));
  EXPECT_EQ(own, std::string(device));

  // The next qzsim takes the name back; the user's alias stays.
  Program next(runtime, {});
  const Named named = parseFirstLine(next.line());
  EXPECT_EQ(named.com, name);
  EXPECT_EQ(fs::read_symlink(ports / name), named.device);
  EXPECT_EQ(fs::read_symlink(ports / "COM45"), std::string(device));
  next.signal(SIGTERM);
  EXPECT_EQ(next.exitStatus(), 0);
  EXPECT_EQ(fs::read_symlink(ports / "COM45"), std::string(device));
  ::close(master);
  ::close(slave);
}

TEST(QzsimProgram, KeepsAnsweringWhenNobodyReadsItsLogAndStillEndsOnSigterm) {
  TempDir runtime;
  Program sim(runtime, {"--no-pacing"});
  const Named named = parseFirstLine(sim.line());
  ASSERT_FALSE(named.com.empty());
  // From here on nobody reads its output, like a pager left on its first page: a few hundred
  // log lines fill the pipe.
  ToolSide tool((runtime.path() / "qzconfig" / "ports" / named.com).string());
  ASSERT_TRUE(tool.isOpen());
  int answered = 0;
  for (int i = 0; i < 3000; ++i) {
    if (tool.ask(frames::kHandshake, 5) == kHandshakeReply0804) {
      ++answered;
    } else {
      break;
    }
  }
  EXPECT_EQ(answered, 3000);
  sim.signal(SIGTERM);
  EXPECT_EQ(sim.exitStatus(), 0);
  EXPECT_FALSE(fs::exists(fs::symlink_status(runtime.path() / "qzconfig" / "ports" / named.com)));
}

TEST(QzsimProgram, RefusesBadOptions) {
  TempDir runtime;
  Program sim(runtime, {"--drop", "sometimes"});
  EXPECT_EQ(sim.line(), "");
  EXPECT_EQ(sim.exitStatus(), 2);
  EXPECT_FALSE(fs::exists(runtime.path() / "qzconfig"));
}

TEST(QzsimViewProgram, OpensAPreparedImageInTheViewAndLogsWhatTheOutputsBecame) {
  QZ_SKIP_WITHOUT_PTY();
  TempDir runtime;
  ConfigImage image = defaultImage(1);
  image(17, 0) = 2;  // 排风1 on channel 2, on at power-on
  image(17, 1) = 1;
  const fs::path site = runtime.path() / "site.QZ";
  dumpImageFile(site, 1, image);
  // The test's environment has QT_QPA_PLATFORM=offscreen: the window is drawn off screen.
  Program sim(runtime, {"--view", "--image", site.string(), "--no-pacing"});
  const Named named = parseFirstLine(sim.line());
  ASSERT_FALSE(named.com.empty());
  ToolSide tool((runtime.path() / "qzconfig" / "ports" / named.com).string());
  ASSERT_TRUE(tool.write(hex("D1 D1 01 00 01 00 00 01 00 FA 46 46 82 14 55")));
  EXPECT_EQ(tool.ask(frames::kHandshake, 5), hex("AA 55 01 88 66"));
  std::string logged;
  for (int i = 0; i < 12 && logged.find("scene preview") == std::string::npos; ++i) {
    logged = sim.line();
  }
  EXPECT_NE(logged.find("(outputs 1 排风1=1 1 0 0 1 | 0 250 70 70 130 20)"), std::string::npos)
      << logged;
  sim.signal(SIGTERM);
  EXPECT_EQ(sim.exitStatus(), 0);
}

}  // namespace
}  // namespace qz::sim

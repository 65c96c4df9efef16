// qzsim on a real pseudo-terminal, driven from the tool's side with plain POSIX calls: the
// in-process server and the qzsim program.

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
#include <QObject>  // Qt's keywords are macros (emit, signals, slots): the server lives beside them

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "config/frames.h"
#include "link/com_ports.h"
#include "link/hex_text.h"
#include "protocol/frames.h"
#include "sim/command_line.h"
#include "sim/pty_server.h"
#include "support/pty.h"

extern char** environ;

namespace qz::sim {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

Bytes hex(std::string_view text) {
  return hexTextBytes(text).value();
}

const Bytes kHandshakeReply0804 = {0xAA, 0x55, 0x02, 0x88, 0x66};

class TempDir {
 public:
  TempDir() {
    std::string pattern = (fs::temp_directory_path() / "qzsim-e2e-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
  }
  ~TempDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  [[nodiscard]] const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

// The tool's end of the line: the device opened in raw mode.
class ToolSide {
 public:
  explicit ToolSide(const std::string& path) {
    fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) return;
    termios tio{};
    ::tcgetattr(fd_, &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(fd_, TCSANOW, &tio);
  }
  ~ToolSide() { close(); }
  ToolSide(const ToolSide&) = delete;
  ToolSide& operator=(const ToolSide&) = delete;

  [[nodiscard]] bool isOpen() const { return fd_ >= 0; }
  void close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

  bool write(const Bytes& bytes) {
    return ::write(fd_, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
  }

  // Up to n bytes, waiting at most `limit` in all; fewer when the line ends or time is up.
  Bytes read(std::size_t n, std::chrono::milliseconds limit = 3s) {
    Bytes got;
    const auto end = std::chrono::steady_clock::now() + limit;
    while (got.size() < n) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          end - std::chrono::steady_clock::now());
      if (left <= 0ms) break;
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
      std::uint8_t buf[64];
      const ssize_t r = ::read(fd_, buf, std::min(sizeof buf, n - got.size()));
      if (r < 0 && errno == EAGAIN) continue;
      if (r <= 0) {
        ended_ = true;
        break;
      }
      got.insert(got.end(), buf, buf + r);
    }
    return got;
  }

  Bytes ask(std::string_view request, std::size_t answerLength) {
    if (!write(hex(request))) return {};
    return read(answerLength);
  }

  // Waits (bounded) until a read sees the end of the line: end of file or an error.
  bool seesLineEnd() {
    while (!ended_) {
      if (read(64).empty() && !ended_) return false;
    }
    return true;
  }

 private:
  int fd_ = -1;
  bool ended_ = false;
};

// The lowest COM number from n on that no serial device of this machine holds.
int firstFreeCom(int n) {
  while (!fixedComDevice(n).empty() && fs::exists(fixedComDevice(n))) ++n;
  return n;
}

Options serverOptions(const TempDir& dir, bool pacing) {
  Options o;
  o.pacing = pacing;
  o.aliasFolder = dir.path() / "ports";
  return o;
}

TEST(QzsimServer, AnswersOnAPseudoTerminalWithAndWithoutPacing) {
  QZ_SKIP_WITHOUT_PTY();
  for (const bool pacing : {true, false}) {
    SCOPED_TRACE(pacing ? "pacing" : "no pacing");
    TempDir dir;
    PtyServer server(serverOptions(dir, pacing));
    server.start();
    EXPECT_EQ(server.comName(), "COM1");  // the folder is empty, and COMn aliases come first
    EXPECT_EQ(fs::read_symlink(server.aliasPath()), server.devicePath());
    EXPECT_EQ(server.aliasPath(), dir.path() / "ports" / "COM1");
    EXPECT_EQ(fs::status(dir.path() / "ports").permissions(), fs::perms::owner_all);

    ToolSide tool(server.aliasPath());
    ASSERT_TRUE(tool.isOpen());
    const auto before = std::chrono::steady_clock::now();
    EXPECT_EQ(tool.ask(frames::kHandshake, 5), kHandshakeReply0804);
    const auto took = std::chrono::steady_clock::now() - before;
    // The request's 12 bytes and the answer's 5 take at least 16 ms at 9600 baud.
    if (pacing) {
      EXPECT_GE(took, 15ms);
    }
    EXPECT_LT(took, 3s);

    const Bytes version = tool.ask(frames::kVersionQuery, 31);
    EXPECT_EQ(std::string(version.begin(), version.end()), kDefaultVersionText);

    const ConfigImage sent = [] {
      ConfigImage image;
      for (int c = 0; c < kRowBytes; ++c) image(7, c) = static_cast<std::uint8_t>(0x30 + c);
      return image;
    }();
    const RowFrame row = downloadRowFrame(sent, 7);
    ASSERT_TRUE(tool.write(Bytes(row.begin(), row.end())));
    EXPECT_EQ(tool.read(3), hex("D0 08 55"));
    EXPECT_EQ(server.image().rows[7], sent.rows[7]);
    const ShortFrame up = uploadRequestFrame(7);
    ASSERT_TRUE(tool.write(Bytes(up.begin(), up.end())));
    EXPECT_EQ(tool.read(14), hex("A2 07 30 31 32 33 34 35 36 37 38 39 3A 3B"));

    // Results and faults change while it runs.
    server.setServiceResult(0x20, 0xA0);
    EXPECT_EQ(tool.ask(frames::kRunModeOverlay, 8), hex("A1 B2 C3 D4 E5 F5 A0 00"));
    Faults faults;
    faults.rules.push_back(parseFaultRule(FaultAction::Duplicate, "handshake/1"));
    server.setFaults(faults);
    EXPECT_EQ(tool.ask(frames::kHandshake, 10), hex("AA 55 02 88 66 AA 55 02 88 66"));

    // Frames without an answer: the next answer is the first thing on the line.
    const RowFrame preview = scenePreviewFrame(defaultImage(2), 0, 2, kDefaultLevelTable);
    ASSERT_TRUE(tool.write(Bytes(preview.begin(), preview.end())));
    const ShortFrame sw = switchTestFrame(2, true);
    ASSERT_TRUE(tool.write(Bytes(sw.begin(), sw.end())));
    ASSERT_TRUE(tool.write(hex("A1 B2 C3 D4 E5 F6 11 5E 4D 3C 2B 1A")));
    ASSERT_TRUE(tool.write(hex(frames::kDisconnect)));
    EXPECT_EQ(tool.ask(frames::kHandshake, 5), kHandshakeReply0804);
    ASSERT_TRUE(server.lastPreview());
    EXPECT_EQ(*server.lastPreview(), preview);
    EXPECT_EQ(server.outputs(), (Outputs{1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(server.snapshot().protocolAndRunMode(), 0x11);

    const auto log = server.log();
    ASSERT_EQ(log.size(), 11u);
    EXPECT_EQ(log[0].kind, FrameKind::Handshake);
    EXPECT_EQ(log[0].received, hex(frames::kHandshake));
    EXPECT_EQ(log[0].sent, kHandshakeReply0804);
    EXPECT_EQ(log[6].kind, FrameKind::ScenePreview);
    EXPECT_EQ(log[10].sent, kHandshakeReply0804);
    EXPECT_LE(log[0].time, log[1].time);
    EXPECT_EQ(server.listeners(), 1);

    server.stop();
    EXPECT_FALSE(fs::exists(fs::symlink_status(dir.path() / "ports" / "COM1")));
  }
}

TEST(QzsimServer, AnEchoingLineGivesTheToolItsOwnBytesBeforeTheAnswer) {
  QZ_SKIP_WITHOUT_PTY();
  for (const Echo echo : {Echo::Whole, Echo::ByteByByte}) {
    SCOPED_TRACE(echo == Echo::Whole ? "whole" : "byte by byte");
    TempDir dir;
    Options o = serverOptions(dir, true);
    o.echo = echo;
    PtyServer server(o);
    server.start();
    ToolSide tool(server.aliasPath());
    ASSERT_TRUE(tool.isOpen());
    const Bytes handshake = hex(frames::kHandshake);
    Bytes expected = handshake;
    expected.insert(expected.end(), kHandshakeReply0804.begin(), kHandshakeReply0804.end());
    EXPECT_EQ(tool.ask(frames::kHandshake, expected.size()), expected);
    // A frame without an answer comes back all the same.
    EXPECT_EQ(tool.ask(frames::kDisconnect, 12), hex(frames::kDisconnect));
  }
}

TEST(QzsimServer, SurvivesTheToolClosingAndReopeningAndDropsWhatNobodyRead) {
  QZ_SKIP_WITHOUT_PTY();
  TempDir dir;
  PtyServer server(serverOptions(dir, false));
  server.start();
  {
    ToolSide tool(server.devicePath());
    EXPECT_EQ(tool.ask(frames::kHandshake, 5), kHandshakeReply0804);
    // The version text goes out, but the tool closes the port without reading it.
    ASSERT_TRUE(tool.write(hex(frames::kVersionQuery)));
    ASSERT_TRUE(server.waitForLog(2, 3s));
  }
  // Once the server has seen the port closed, what nobody read is gone, as on a real line.
  ASSERT_TRUE(server.waitForListeners(0, 3s));
  ToolSide tool(server.aliasPath());
  ASSERT_TRUE(tool.isOpen());
  EXPECT_EQ(tool.ask(frames::kHandshake, 5), kHandshakeReply0804);
  ASSERT_TRUE(server.waitForListeners(1, 3s));
  ToolSide again(server.aliasPath());  // a second opener does not upset the count
  ASSERT_TRUE(server.waitForListeners(2, 3s));
  again.close();
  ASSERT_TRUE(server.waitForListeners(1, 3s));
  EXPECT_EQ(tool.ask(frames::kHandshake, 5), kHandshakeReply0804);
  EXPECT_FALSE(server.hungUp());
}

TEST(QzsimServer, HangsUpAfterTheChosenFrame) {
  QZ_SKIP_WITHOUT_PTY();
  TempDir dir;
  Options o = serverOptions(dir, true);
  o.faults.hangupAfter = 2;
  PtyServer server(o);
  server.start();
  ToolSide tool(server.aliasPath());
  EXPECT_EQ(tool.ask(frames::kHandshake, 5), kHandshakeReply0804);
  // The second frame is still answered, then the line goes.
  EXPECT_EQ(tool.ask(frames::kVersionQuery, 31).size(), 31u);
  EXPECT_TRUE(tool.seesLineEnd());
  EXPECT_TRUE(server.waitForHangUp(3s));
  EXPECT_TRUE(server.hungUp());
  EXPECT_TRUE(fs::is_symlink(server.aliasPath()));
  server.stop();
  EXPECT_FALSE(fs::exists(fs::symlink_status(dir.path() / "ports" / "COM1")));
}

TEST(QzsimServer, KeepsRealDevicesAndOtherAliasesAndRefusesUnsafeFolders) {
  QZ_SKIP_WITHOUT_PTY();
  TempDir dir;
  const fs::path ports = dir.path() / "ports";
  fs::create_directory(ports);
  fs::permissions(ports, fs::perms::owner_all);
  fs::create_symlink("/dev/null", ports / "COM1");        // someone's live alias
  fs::create_symlink("/dev/pts/999999", ports / "COM2");  // left by a killed simulator
  PtyServer server(serverOptions(dir, false));
  server.start();
  EXPECT_EQ(server.comNumber(), firstFreeCom(2));
  EXPECT_EQ(fs::read_symlink(ports / "COM1"), "/dev/null");

  Options taken = serverOptions(dir, false);
  taken.comNumber = 1;
  PtyServer second(taken);
  EXPECT_THROW(second.start(), std::runtime_error);
  server.stop();
  EXPECT_EQ(fs::read_symlink(ports / "COM1"), "/dev/null");

  fs::permissions(ports, fs::perms::owner_all | fs::perms::others_write);
  PtyServer unsafe(serverOptions(dir, false));
  EXPECT_THROW(unsafe.start(), std::runtime_error);

  EXPECT_EQ(fixedComDevice(1), "/dev/ttyUSB0");
  EXPECT_EQ(fixedComDevice(16), "/dev/ttyACM7");
  EXPECT_EQ(fixedComDevice(17), "/dev/ttyS0");
  EXPECT_EQ(fixedComDevice(32), "/dev/ttyS15");
  EXPECT_EQ(fixedComDevice(33), "");
}

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
  EXPECT_NE(sim.line().find("QZ-0804 at 9600 baud, pacing on"), std::string::npos);
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

}  // namespace
}  // namespace qz::sim

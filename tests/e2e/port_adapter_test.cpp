// The real port adapter against a pseudo-terminal: the test holds the controller's end (the
// master) and reaches the other end through a COM alias, as the tool does.

#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <ctime>
#include <fstream>
#include <optional>
#include <thread>

#include "link/com_ports.h"
#include "link/hex_text.h"
#include "link/line_speed.h"
#include "link/qt_serial_port.h"
#include "support/event_loop.h"
#include "support/pty.h"
#include "support/runtime_dir.h"
#include "support/timed.h"

namespace qz {
namespace {

using Bytes = std::vector<std::uint8_t>;
namespace fs = std::filesystem;

constexpr int kCom = 40;
using test::Pty;
using test::pumpUntil;
using test::settle;

const Bytes kHandshakeReply{0xAA, 0x55, 0x02, 0x88, 0x66};

double cpuSeconds() {
  timespec ts{};
  ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

class PortAdapter : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!pty.ok()) GTEST_SKIP() << "no pseudo-terminal on this machine";
    dir.alias(kCom, pty.name());
    port.onComm = [this] { events.push_back(port.commEvent()); };
  }
  void TearDown() override { port.onComm = nullptr; }

  bool openAt(const char* baud) {
    const OpenResult r = OpenComPort(port, "COM" + std::to_string(kCom), baud, "NONE", "8", "1");
    EXPECT_FALSE(r.message) << *r.message;
    return r.opened;
  }

  test::RuntimeDir dir;
  Pty pty;
  QtSerialPort port;
  std::vector<CommEvent> events;
};

TEST_F(PortAdapter, FramesGoOutWholeAndARepliesNotifiesOnceWholeOrByteByByte) {
  ASSERT_TRUE(openAt("9600"));
  EXPECT_TRUE(port.isOpen());
  EXPECT_EQ(port.settings(), LineSettings{});  // 9600,N,8,1

  pty.send(kHandshakeReply);
  ASSERT_TRUE(pumpUntil([&] { return !events.empty(); }));
  settle(50);
  EXPECT_EQ(events, std::vector<CommEvent>{CommEvent::Receive});
  EXPECT_EQ(port.bytesWaiting(), 5U);
  EXPECT_EQ(port.readAll(), kHandshakeReply);

  events.clear();
  for (std::size_t i = 0; i < kHandshakeReply.size(); ++i) {
    pty.send({kHandshakeReply[i]});
    ASSERT_TRUE(pumpUntil([&] { return events.size() == i + 1; })) << "byte " << i + 1;
  }
  settle(50);
  EXPECT_EQ(events, std::vector<CommEvent>(kHandshakeReply.size(), CommEvent::Receive));
  EXPECT_EQ(port.readAll(), kHandshakeReply);
  EXPECT_EQ(port.bytesWaiting(), 0U);

  HexTextToBytes(port, "A1 B2 C3 D4 E5 A1 AE 5E 4D 3C 2B 1A");
  EXPECT_EQ(pty.readOnce(),
            (Bytes{0xA1, 0xB2, 0xC3, 0xD4, 0xE5, 0xA1, 0xAE, 0x5E, 0x4D, 0x3C, 0x2B, 0x1A}));
  // The disconnect frame written right before the port closes still goes out.
  HexTextToBytes(port, "A1 B2 C3 D4 E5 A2 AD 5E 4D 3C 2B 1A");
  CloseComPort(port);
  EXPECT_EQ(pty.readOnce(),
            (Bytes{0xA1, 0xB2, 0xC3, 0xD4, 0xE5, 0xA2, 0xAD, 0x5E, 0x4D, 0x3C, 0x2B, 0x1A}));
}

// Reading and the order of notifications: port_contract_test.cpp.

TEST_F(PortAdapter, TimedAnAdapterThatEchoesGivesTheToolOnlyTheReply) {
  QZ_TIMED_TEST();
  ASSERT_TRUE(openAt("9600"));
  for (const bool byteByByte : {false, true}) {
    events.clear();
    HexTextToBytes(port, "A1 B2 C3 D4 E5 A1 AE 5E 4D 3C 2B 1A");
    const Bytes written = pty.readOnce();
    ASSERT_EQ(written.size(), 12U);
    // The adapter hears the frame go out, then the controller answers.
    for (std::size_t i = 0; byteByByte && i < written.size(); ++i) {
      pty.send({written[i]});
      settle(2);
    }
    if (!byteByByte) pty.send(written);
    EXPECT_TRUE(events.empty());
    pty.send(kHandshakeReply);
    ASSERT_TRUE(pumpUntil([&] { return !events.empty(); })) << byteByByte;
    settle(20);
    EXPECT_EQ(events, std::vector<CommEvent>{CommEvent::Receive}) << byteByByte;
    EXPECT_EQ(port.readAll(), kHandshakeReply) << byteByByte;
  }
}

TEST_F(PortAdapter, WhatWaitedBeforeOpeningIsGoneOnceOpen) {
  pty.send(kHandshakeReply);  // the test's own slave end keeps them waiting
  ASSERT_TRUE(openAt("9600"));
  settle(30);
  EXPECT_EQ(port.bytesWaiting(), 0U);
  EXPECT_TRUE(events.empty());
  pty.send({7});
  ASSERT_TRUE(pumpUntil([&] { return port.bytesWaiting() == 1; }));
}

TEST_F(PortAdapter, TimedBytesArrivingWithoutPauseNeverLookLikeALostDevice) {
  QZ_TIMED_TEST();
  ASSERT_TRUE(openAt("115200"));
  // The session's way: each notification takes everything that came.
  std::size_t taken = 0;
  port.onComm = [&] {
    events.push_back(port.commEvent());
    if (port.commEvent() != CommEvent::Receive) return;
    taken += port.readAll().size();
  };
  std::atomic<bool> stop{false};
  std::thread noise([&] {
    const std::uint8_t b = 0x5A;
    while (!stop) {
      if (::write(pty.master(), &b, 1) < 0) std::this_thread::yield();
      const timespec pause{0, 150'000};
      ::nanosleep(&pause, nullptr);
    }
  });
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < 4000 && port.isOpen()) settle(20);
  stop = true;
  noise.join();
  EXPECT_TRUE(port.isOpen());
  EXPECT_EQ(std::count(events.begin(), events.end(), CommEvent::Lost), 0);
  EXPECT_GT(taken, 1000U);

  // Replies still come through afterwards.
  settle(20);
  (void)port.readAll();
  std::optional<Bytes> reply;
  port.onComm = [&] {
    if (port.commEvent() == CommEvent::Receive) reply = port.readAll();
  };
  pty.send(kHandshakeReply);
  ASSERT_TRUE(pumpUntil([&] { return reply.has_value(); }));
  EXPECT_EQ(*reply, kHandshakeReply);
}

TEST_F(PortAdapter, ALineThatDoesNotDrainIsToldAndKeptNeverTakenForLost) {
  ASSERT_TRUE(openAt("9600"));
  // The controller's end stops reading: the line fills up. Frames go on being written.
  const Bytes preview = {0xD1, 0xD1, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 0x55};
  int refused = 0;
  for (int i = 0; i < 3000 && port.isOpen(); ++i) {
    if (!port.write(preview)) ++refused;
    if (i % 100 == 0) settle(1);
  }
  settle(50);
  EXPECT_TRUE(port.isOpen());
  EXPECT_GT(refused, 0);
  EXPECT_EQ(std::count(events.begin(), events.end(), CommEvent::Lost), 0);
  EXPECT_EQ(std::count(events.begin(), events.end(), CommEvent::TxFull), 1);

  // The controller reads again: what was accepted arrives whole, frame after frame, and
  // frames go out again.
  std::size_t got = 0;
  Bytes all;
  for (Bytes b = pty.readOnce(); !b.empty(); b = pty.readOnceWithin(200)) {
    all.insert(all.end(), b.begin(), b.end());
    settle(1);
  }
  got = all.size();
  EXPECT_EQ(got % preview.size(), 0U);
  EXPECT_EQ(got / preview.size(), static_cast<std::size_t>(3000 - refused));
  EXPECT_TRUE(port.write(preview));
  EXPECT_EQ(pty.readOnce(), preview);
  EXPECT_TRUE(port.isOpen());
}

TEST_F(PortAdapter, TimedClosingLetsEveryByteLeaveBeforeTheSettingsGoBack) {
  QZ_TIMED_TEST();
  ASSERT_TRUE(openAt("9600"));
  std::vector<std::string> steps;
  port.setTrace([&](std::string_view step) { steps.emplace_back(step); });
  // A slow controller: the line is full and the port still holds frames when the tool
  // closes it. The controller reads again a moment later.
  const Bytes frame = {0xA1, 0xB2, 0xC3, 0xD4, 0xE5, 0xA2, 0xAD, 0x5E, 0x4D, 0x3C, 0x2B, 0x1A};
  std::size_t accepted = 0;
  while (port.write(frame)) accepted += frame.size();
  ASSERT_GT(accepted, 4096U);
  std::size_t got = 0;
  std::thread reader([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    for (Bytes b = pty.readOnce(); !b.empty(); b = pty.readOnceWithin(300)) got += b.size();
  });
  port.close();
  reader.join();
  EXPECT_EQ(got, accepted);
  ASSERT_GE(steps.size(), 2U);
  EXPECT_EQ(steps[steps.size() - 1], "close");
  EXPECT_EQ(steps[steps.size() - 2], "drained");
}

TEST_F(PortAdapter, NotificationsComeFromTheEventLoopNeverInsideOneAnother) {
  ASSERT_TRUE(openAt("9600"));

  // A handler that runs the event loop itself (as a message box does) while the next reply
  // comes in is not entered a second time; that reply is told once it returned.
  int depth = 0;
  int deepest = 0;
  std::vector<Bytes> read;
  port.onComm = [&] {
    ++depth;
    deepest = std::max(deepest, depth);
    events.push_back(port.commEvent());
    read.push_back(port.readAll());
    if (read.size() == 1) {
      pty.send(kHandshakeReply);
      EXPECT_TRUE(pumpUntil([&] { return port.bytesWaiting() == 5; }));
      settle(30);
    }
    --depth;
  };
  pty.send(kHandshakeReply);
  ASSERT_TRUE(pumpUntil([&] { return read.size() == 2; }));
  settle(30);
  EXPECT_EQ(deepest, 1);
  EXPECT_EQ(events, (std::vector<CommEvent>{CommEvent::Receive, CommEvent::Receive}));
  EXPECT_EQ(read, (std::vector<Bytes>{kHandshakeReply, kHandshakeReply}));
}

TEST_F(PortAdapter, OpenFailuresAreToldApart) {
  // A device that is gone, a number with no device at all.
  dir.alias(41, dir.root() / "gone");
  for (const int n : {41, 45}) {
    port.setPortNumber(n);
    EXPECT_FALSE(port.open());
    EXPECT_EQ(port.lastError(), PortError::NoSuchPort) << n;
    EXPECT_FALSE(port.lastErrorText().empty());
  }
  OpenResult r = OpenComPort(port, "COM41", "9600", "NONE", "8", "1");
  EXPECT_FALSE(r.opened);
  EXPECT_EQ(r.message, "COM41已移除，请选择其它串口！");

  // Not a terminal at all.
  std::ofstream(dir.root() / "plain") << "x";
  dir.alias(42, dir.root() / "plain");
  port.setPortNumber(42);
  EXPECT_FALSE(port.open());
  EXPECT_EQ(port.lastError(), PortError::Other);
  EXPECT_FALSE(port.isOpen());
  r = OpenComPort(port, "COM42", "9600", "NONE", "8", "1");
  EXPECT_FALSE(r.opened);
  EXPECT_FALSE(r.message);

  // Held by another program, under its own name or another name of the same device.
  dir.alias(43, pty.name());
  QtSerialPort other;
  other.setPortNumber(kCom);
  ASSERT_TRUE(other.open());
  for (const int n : {kCom, 43}) {
    port.setPortNumber(n);
    EXPECT_FALSE(port.open()) << n;
    EXPECT_EQ(port.lastError(), PortError::InUse) << n;
  }
  r = OpenComPort(port, "COM43", "9600", "NONE", "8", "1");
  EXPECT_EQ(r.message, "COM43已被其它程序打开，请选择其它串口！");
  port.clearError();

  // The probe at start-up lists the held port under both names and leaves the holder alone.
  const auto names = EnumComPorts(port);
  auto listed = [&](const char* name) {
    return std::find(names.begin(), names.end(), name) != names.end();
  };
  EXPECT_TRUE(listed("COM40"));
  EXPECT_TRUE(listed("COM43"));
  EXPECT_FALSE(listed("COM41"));
  EXPECT_FALSE(listed("COM42"));
  EXPECT_FALSE(listed("COM45"));
  EXPECT_FALSE(port.isOpen());
  EXPECT_TRUE(other.isOpen());
  ASSERT_TRUE(other.write(kHandshakeReply));
  EXPECT_EQ(pty.readOnce(), kHandshakeReply);

  // Free again: it opens, and a port already open is not opened twice.
  other.close();
  EXPECT_TRUE(openAt("9600"));
  r = OpenComPort(port, "COM40", "9600", "NONE", "8", "1");
  EXPECT_FALSE(r.opened);
  EXPECT_FALSE(r.message);
  EXPECT_TRUE(port.isOpen());
  CloseComPort(port);
  EXPECT_FALSE(port.isOpen());
  EXPECT_FALSE(port.write(kHandshakeReply));

  // Settings no port takes.
  r = OpenComPort(port, "COM40", "0", "NONE", "8", "1");
  EXPECT_EQ(r.message, "波特率不适应，请重新设置波特率！");
  r = OpenComPort(port, "COM40", "9600", "NONE", "8", "1.5");  // no such stop bits here
  EXPECT_EQ(r.message, "波特率不适应，请重新设置波特率！");
  EXPECT_FALSE(port.isOpen());
}

TEST_F(PortAdapter, EveryListedRateTakesOnAPseudoTerminal) {
  for (const std::string& rate : baudRates()) {
    ASSERT_TRUE(openAt(rate.c_str())) << rate;
    EXPECT_EQ(deviceLineSpeed(pty.slave()), std::stoll(rate)) << rate;
    HexTextToBytes(port, "A1 B2");
    EXPECT_EQ(pty.readOnce(), (Bytes{0xA1, 0xB2})) << rate;
    CloseComPort(port);
  }
}

TEST_F(PortAdapter, TheOtherEndGoingAwayClosesThePortAndTellsOnce) {
  ASSERT_TRUE(openAt("9600"));
  pty.closeMaster();

  const double before = cpuSeconds();
  settle(200);
  const double used = cpuSeconds() - before;
  EXPECT_EQ(events, std::vector<CommEvent>{CommEvent::Lost});
  EXPECT_FALSE(port.isOpen());
  EXPECT_FALSE(port.write(kHandshakeReply));
  EXPECT_EQ(port.bytesWaiting(), 0U);
  // Left open, the port would report the error again and again at full speed.
  EXPECT_LT(used, 0.05) << "the event loop kept spinning: " << used << " s";

  CloseComPort(port);  // what the window does next: nothing left to do
  settle(20);
  EXPECT_EQ(events.size(), 1U);
}

TEST_F(PortAdapter, AUserOutsideTheDeviceGroupIsToldSo) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to act as another user";
  // The other user's own alias folder.
  constexpr uid_t kNobody = 65534;
  test::RuntimeDir theirs;
  theirs.alias(kCom, pty.name());
  for (const fs::path& p : {theirs.root(), theirs.root() / "qzconfig", theirs.ports()}) {
    ASSERT_EQ(::chown(p.c_str(), kNobody, kNobody), 0);
  }
  int out[2];
  ASSERT_EQ(::pipe(out), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::close(out[0]);
    std::string answer = "?";
    if (::setgroups(0, nullptr) == 0 && ::setresgid(kNobody, kNobody, kNobody) == 0 &&
        ::setresuid(kNobody, kNobody, kNobody) == 0) {
      QtSerialPort probe;
      const OpenResult r = OpenComPort(probe, "COM40", "9600", "NONE", "8", "1");
      answer = r.opened ? "opened" : r.message.value_or("no message");
    }
    const ssize_t ignored = ::write(out[1], answer.data(), answer.size());
    static_cast<void>(ignored);
    ::_exit(0);
  }
  ::close(out[1]);
  std::string answer;
  char buf[256];
  for (ssize_t n; (n = ::read(out[0], buf, sizeof buf)) > 0;) {
    answer.append(buf, static_cast<std::size_t>(n));
  }
  ::close(out[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  EXPECT_TRUE(answer.starts_with("COM40没有访问权限，请把用户加入dialout组！\n")) << answer;
}

}  // namespace
}  // namespace qz

// What every port promises the tool, checked against the fake that the window tests use and the
// real adapter on a pseudo-terminal: the same steps and the same expectations for both, with the
// event loop running between them as it does in the tool.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <type_traits>
#include <vector>

#include "link/fake_port.h"
#include "link/qt_serial_port.h"
#include "support/event_loop.h"
#include "support/pty.h"
#include "support/runtime_dir.h"

namespace qz {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Events = std::vector<CommEvent>;
constexpr int kCom = 41;

// The fake: bytes arrive when the test injects them.
struct FakeRig {
  FakePort port;
  [[nodiscard]] static const char* missing() { return nullptr; }
  bool open() {
    port.ports[kCom] = PortError::None;
    port.setPortNumber(kCom);
    return port.open();
  }
  void send(const Bytes& bytes) { port.inject(bytes); }
  void hangUp() { port.pull(); }
};

// The adapter: bytes arrive through the controller's end of a pseudo-terminal.
struct PtyRig {
  test::RuntimeDir dir;
  test::Pty pty;
  QtSerialPort port;
  [[nodiscard]] const char* missing() const {
    return pty.ok() ? nullptr : "no pseudo-terminal on this machine";
  }
  bool open() {
    dir.alias(kCom, pty.name());
    port.setPortNumber(kCom);
    return port.open();
  }
  void send(const Bytes& bytes) { pty.send(bytes); }
  void hangUp() { pty.closeMaster(); }
};

template <typename Rig>
class PortContract : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const char* why = rig.missing()) GTEST_SKIP() << why;
    ASSERT_TRUE(rig.open());
    port().onComm = [this] { events.push_back(port().commEvent()); };
  }
  void TearDown() override { port().onComm = nullptr; }

  SerialPort& port() { return rig.port; }
  // Bytes come in; the event loop runs until the port has them all, then a while longer.
  void arrive(const Bytes& bytes) {
    const std::size_t expected = port().bytesWaiting() + bytes.size();
    rig.send(bytes);
    ASSERT_TRUE(test::pumpUntil([&] { return port().bytesWaiting() == expected; }));
    test::settle(30);
  }
  // Bytes come in while the event loop does not run: the port finds them when asked.
  void arriveUntold(const Bytes& bytes) {
    const std::size_t expected = port().bytesWaiting() + bytes.size();
    rig.send(bytes);
    for (int i = 0; i < 5000 && port().bytesWaiting() < expected; ++i) ::usleep(1000);
    ASSERT_EQ(port().bytesWaiting(), expected);
  }

  Rig rig;
  Events events;
};

using Rigs = ::testing::Types<FakeRig, PtyRig>;
class RigNames {
 public:
  template <typename T>
  static std::string GetName(int) {
    return std::is_same_v<T, FakeRig> ? "FakePort" : "QtSerialPortOnAPty";
  }
};
TYPED_TEST_SUITE(PortContract, Rigs, RigNames);

TYPED_TEST(PortContract, TellsEveryArrivalInOrderAndNeverInsideACall) {
  SerialPort& port = this->port();
  const Bytes reply{0xAA, 0x55, 0x02, 0x88, 0x66};

  // Whole, or a byte at a time: each arrival is told once, whatever already waits.
  this->arrive(reply);
  EXPECT_EQ(this->events, Events{CommEvent::Receive});
  EXPECT_EQ(port.readAll(), reply);
  for (const std::uint8_t b : reply) this->arrive({b});
  EXPECT_EQ(this->events, Events(6, CommEvent::Receive));
  EXPECT_EQ(port.readAll(), reply);

  // Bytes a call finds are told from the event loop, not inside the call.
  this->events.clear();
  this->arriveUntold(reply);
  EXPECT_TRUE(this->events.empty()) << "told inside a call";
  test::settle(30);
  EXPECT_EQ(this->events, Events{CommEvent::Receive});
  EXPECT_EQ(port.readAll(), reply);
}

TYPED_TEST(PortContract, AHandlerThatTurnsTheEventLoopIsNotEnteredAgain) {
  SerialPort& port = this->port();
  int depth = 0;
  int deepest = 0;
  std::vector<Bytes> read;
  port.onComm = [&] {
    ++depth;
    deepest = std::max(deepest, depth);
    this->events.push_back(port.commEvent());
    read.push_back(port.readAll());
    // As a message box does: the next reply comes in while this one is being handled.
    if (read.size() == 1) this->arrive({4, 5, 6});
    --depth;
  };
  this->arrive({1, 2, 3});
  ASSERT_TRUE(test::pumpUntil([&] { return read.size() == 2; }));
  test::settle(30);
  EXPECT_EQ(deepest, 1);
  EXPECT_EQ(this->events, (Events{CommEvent::Receive, CommEvent::Receive}));
  EXPECT_EQ(read, (std::vector<Bytes>{{1, 2, 3}, {4, 5, 6}}));
}

TYPED_TEST(PortContract, ReadTakesEverythingCloseEndsIt) {
  SerialPort& port = this->port();
  this->arrive({1, 2, 3, 4, 5, 6, 7});
  (void)port.readAll();
  EXPECT_EQ(port.bytesWaiting(), 0U);
  EXPECT_TRUE(port.readAll().empty());

  this->arrive({8, 9});
  this->arrive({10});
  EXPECT_EQ(port.readAll(), (Bytes{8, 9, 10}));
  EXPECT_TRUE(port.readAll().empty());
  EXPECT_EQ(this->events, Events(3, CommEvent::Receive));

  // A notification still queued when the port closes is not delivered; nothing waits after.
  this->events.clear();
  this->arriveUntold({11, 12, 13});
  port.close();
  test::settle(30);
  EXPECT_TRUE(this->events.empty());
  EXPECT_FALSE(port.isOpen());
  EXPECT_EQ(port.bytesWaiting(), 0U);
  EXPECT_TRUE(port.readAll().empty());
  EXPECT_FALSE(port.write(Bytes{1}));
}

TYPED_TEST(PortContract, TheOtherEndGoingAwayIsToldOnceAndClosesThePort) {
  SerialPort& port = this->port();
  this->rig.hangUp();
  ASSERT_TRUE(test::pumpUntil([&] { return !this->events.empty(); }));
  test::settle(50);
  EXPECT_EQ(this->events, Events{CommEvent::Lost});
  EXPECT_FALSE(port.isOpen());
  EXPECT_EQ(port.bytesWaiting(), 0U);
  port.close();
  test::settle(30);
  EXPECT_EQ(this->events.size(), 1U);
}

}  // namespace
}  // namespace qz

// qzctl's conversation with one controller, over the fake port.

#include <gtest/gtest.h>

#include <QCoreApplication>

#include "ctl/session.h"
#include "link/fake_port.h"
#include "support/event_loop.h"

namespace qz::ctl {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Like the window, qzctl takes a handshake reply only once its own handshake has gone out: a
// reply that reaches it before answers nothing it asked.
TEST(CtlSession, AHandshakeReplyCountsOnlyAfterItsOwnHandshake) {
  int argc = 0;
  QCoreApplication app(argc, nullptr);
  FakePort port;
  port.ports = {{1, PortError::None}};
  port.setPortNumber(1);
  Session s("COM1", port, Job{});
  s.start();
  port.inject({0xAA, 0x55, 0x04, 0x88, 0x66});
  port.deliver();
  EXPECT_EQ(s.progress(), "handshake 0/30");
  EXPECT_EQ(s.result().model, -1);

  ASSERT_TRUE(test::pumpUntil([&] { return !port.writes.empty(); }));
  port.inject({0xAA, 0x55, 0x02, 0x88, 0x66});
  port.deliver();
  EXPECT_EQ(s.result().model, 2);
  EXPECT_EQ(s.progress(), "connected, QZ-0804");
  s.interrupt();
  const Bytes handshake = {0xA1, 0xB2, 0xC3, 0xD4, 0xE5, 0xA1, 0xAE, 0x5E, 0x4D, 0x3C, 0x2B, 0x1A};
  const Bytes goodbye = {0xA1, 0xB2, 0xC3, 0xD4, 0xE5, 0xA2, 0xAD, 0x5E, 0x4D, 0x3C, 0x2B, 0x1A};
  EXPECT_EQ(port.writes, (std::vector<Bytes>{handshake, goodbye}));
  EXPECT_FALSE(port.isOpen());
}

}  // namespace
}  // namespace qz::ctl

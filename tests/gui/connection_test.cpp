// Connecting, settling, the version query, disconnecting and leaving, through the real window
// with the fake port.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include "link/fake_port.h"
#include "support/fake_platform.h"
#include "ui/form1.h"

namespace qz {
namespace {

using Bytes = std::vector<std::uint8_t>;

const Bytes kHandshake = {0xA1, 0xB2, 0xC3, 0xD4, 0xE5, 0xA1, 0xAE, 0x5E, 0x4D, 0x3C, 0x2B, 0x1A};
const Bytes kDisconnect = {0xA1, 0xB2, 0xC3, 0xD4, 0xE5, 0xA2, 0xAD, 0x5E, 0x4D, 0x3C, 0x2B, 0x1A};
const Bytes kVersionQuery = {0xA1, 0xB2, 0xC3, 0xD4, 0xE5, 0xA3,
                             0xAC, 0x5E, 0x4D, 0x3C, 0x2B, 0x1A};

struct Window {
  FakePort port;
  test::FakePlatform platform;
  std::unique_ptr<Form1> w;

  explicit Window(std::map<int, PortError> ports = {{1, PortError::None}}) {
    port.ports = std::move(ports);
    w = std::make_unique<Form1>(port, platform);
  }
  [[nodiscard]] int count(const Bytes& frame) const {
    return static_cast<int>(std::count(port.writes.begin(), port.writes.end(), frame));
  }
  void handshakeReply(std::uint8_t model) {
    port.inject({0xAA, 0x55, model, 0x88, 0x66});
    port.deliver();
  }
  // Connect button, first handshake, the controller's answer, settled: the version query is
  // next.
  void settle(std::uint8_t model) {
    w->Command建立连接->click();
    w->Timer2_Timer();
    handshakeReply(model);
    for (int t = 0; t < 6; ++t) w->Timer2_Timer();
  }
  // ...then the version query, and the version shown.
  void connect(std::uint8_t model = 2, const std::string& version = std::string(31, 'V')) {
    settle(model);
    w->Timer3_Timer();
    port.inject(Bytes(version.begin(), version.end()));
    port.deliver();
    w->TimerGetVision_Timer();
    port.writes.clear();
  }
};

TEST(Connection, ControllerAnsweringTheThirdHandshakeGetsThreeAndTheWindowSettles) {
  Window t;
  Form1& w = *t.w;
  EXPECT_EQ(w.Combo串口->currentText(), "COM1");
  EXPECT_FALSE(w.Frame提示->isVisibleTo(&w));
  EXPECT_FALSE(w.Command上传->isEnabled());
  EXPECT_FALSE(w.Command下载->isEnabled());

  w.Command建立连接->click();
  EXPECT_TRUE(t.port.isOpen());
  EXPECT_EQ(t.port.settings(), LineSettings{});  // 9600,N,8,1
  EXPECT_EQ(t.port.portNumber(), 1);
  EXPECT_EQ(w.Command建立连接->text(), "正在连接");
  EXPECT_EQ(w.Label提示->text(), "   正在连接……");
  EXPECT_TRUE(w.Frame提示->isVisibleTo(&w));
  EXPECT_FALSE(w.isEnabled());
  EXPECT_FALSE(w.Combo串口->isEnabledTo(&w));
  EXPECT_FALSE(w.Combo机型->isEnabledTo(&w));
  EXPECT_TRUE(w.session.ticking(Tick::Link));
  EXPECT_TRUE(w.TimerSession->isActive() && w.TimerSession->remainingTime() <= 200);
  EXPECT_TRUE(t.port.writes.empty());

  for (int tick = 1; tick <= 3; ++tick) {
    w.Timer2_Timer();
    EXPECT_EQ(t.count(kHandshake), tick);
    EXPECT_EQ(w.session.awaiting(), 5);
  }
  t.handshakeReply(2);
  EXPECT_TRUE(w.Connected());
  EXPECT_EQ(w.LinkTick(), 0);
  EXPECT_EQ(w.CurModel, 2);
  EXPECT_EQ(w.Combo机型->currentText(), "QZ-0804");
  EXPECT_EQ(w.Label机型->text(), "QZ-0804");
  EXPECT_EQ(t.port.bytesWaiting(), 0U);

  w.Timer2_Timer();  // tick 1 of settling
  EXPECT_EQ(w.Command建立连接->text(), "断开连接");
  EXPECT_EQ(w.Label提示->text(), "    连接成功");
  EXPECT_FALSE(w.isEnabled());
  for (int tick = 2; tick <= 5; ++tick) w.Timer2_Timer();
  EXPECT_FALSE(w.Command下载->isEnabledTo(&w));
  EXPECT_FALSE(w.session.ticking(Tick::VersionQuery));
  w.Timer2_Timer();  // tick 6
  EXPECT_TRUE(w.Command下载->isEnabledTo(&w));
  EXPECT_TRUE(w.Command上传->isEnabledTo(&w));
  EXPECT_FALSE(w.session.ticking(Tick::Link));
  EXPECT_TRUE(w.session.ticking(Tick::VersionQuery));
  EXPECT_TRUE(w.TimerSession->isActive() && w.TimerSession->remainingTime() > 300);
  EXPECT_EQ(t.count(kHandshake), 3);

  w.Timer3_Timer();
  EXPECT_EQ(t.port.writes.back(), kVersionQuery);
  EXPECT_EQ(w.session.awaiting(), 31);
  EXPECT_TRUE(w.VersionMode());
  EXPECT_FALSE(w.session.ticking(Tick::VersionQuery));
  EXPECT_TRUE(w.session.ticking(Tick::VersionShown));
  const std::string version = "QZ-0804 V2.4 2019-07-01 build 7";
  ASSERT_EQ(version.size(), 31U);
  t.port.inject(Bytes(version.begin(), version.end()));
  t.port.deliver();
  w.TimerGetVision_Timer();
  EXPECT_EQ(w.Label软件版本->text(), QString::fromStdString(version));
  EXPECT_FALSE(w.VersionMode());
  EXPECT_FALSE(w.session.ticking(Tick::VersionShown));
  EXPECT_FALSE(w.Frame提示->isVisibleTo(&w));
  EXPECT_TRUE(w.isEnabled());
  EXPECT_FALSE(w.Combo串口->isEnabled());
  EXPECT_FALSE(w.Combo机型->isEnabled());
  EXPECT_EQ(w.Command建立连接->text(), "断开连接");
  // Only three handshakes, one version query: nothing else went out.
  EXPECT_EQ(t.port.writes.size(), 4U);
}

TEST(Connection, NoControllerGetsThirtyHandshakesThenFailsAndResets) {
  Window t;
  Form1& w = *t.w;
  w.Command建立连接->click();
  for (int tick = 1; tick <= 30; ++tick) w.Timer2_Timer();
  EXPECT_EQ(t.count(kHandshake), 30);
  EXPECT_EQ(w.Command建立连接->text(), "正在连接");
  EXPECT_TRUE(t.port.isOpen());

  w.Timer2_Timer();  // 31
  EXPECT_EQ(w.Label提示->text(), " 连接失败，请重试");
  EXPECT_EQ(w.Command建立连接->text(), "连接失败");
  EXPECT_FALSE(t.port.isOpen());
  EXPECT_FALSE(w.isEnabled());
  for (int tick = 32; tick <= 35; ++tick) {
    w.Timer2_Timer();
    EXPECT_EQ(w.Command建立连接->text(), "连接失败");
  }
  w.Timer2_Timer();  // 36
  EXPECT_EQ(w.Command建立连接->text(), "建立连接");
  EXPECT_TRUE(w.Frame提示->isVisibleTo(&w));  // the failure stays until the user acts
  EXPECT_TRUE(w.isEnabled());
  EXPECT_TRUE(w.Combo串口->isEnabled());
  EXPECT_TRUE(w.Combo机型->isEnabled());
  EXPECT_FALSE(w.session.ticking(Tick::Link));
  EXPECT_EQ(w.LinkTick(), 0);
  EXPECT_EQ(t.count(kHandshake), 30);
  EXPECT_EQ(t.port.writes.size(), 30U);
  EXPECT_FALSE(w.Connected());
}

TEST(Connection, WrongRepliesDuringAnAttemptAreIgnored) {
  Window t;
  Form1& w = *t.w;
  w.Command建立连接->click();
  w.Timer2_Timer();
  t.port.inject({0x55, 0xAA, 0x02, 0x88, 0x66});  // first two bytes exchanged
  t.port.deliver();
  EXPECT_FALSE(w.Connected());
  t.port.inject({0xAA, 0x55, 0x05, 0x88, 0x66});  // names no model
  t.port.deliver();
  EXPECT_FALSE(w.Connected());
  EXPECT_EQ(w.CurModel, 0);
  t.port.inject({0x01, 0x02, 0x03, 0x04, 0x05, 0x06});  // more than expected: dropped whole
  t.port.deliver();
  EXPECT_FALSE(w.Connected());
  EXPECT_EQ(t.port.bytesWaiting(), 0U);
  w.Timer2_Timer();
  EXPECT_EQ(t.count(kHandshake), 2);
  t.handshakeReply(4);
  EXPECT_TRUE(w.Connected());
  EXPECT_EQ(w.Combo机型->currentText(), "QZ-1200");
}

TEST(Connection, ANoiseByteBeforeAReplyDoesNotShiftEveryLaterOne) {
  Window t;
  Form1& w = *t.w;
  w.Command建立连接->click();
  w.Timer2_Timer();
  // A noise byte, then the reply byte by byte: the read comes at five bytes, and the reply's
  // last byte arrives after it.
  t.port.inject({0x00, 0xAA, 0x55, 0x02, 0x88});
  t.port.deliver();
  t.port.inject({0x66});
  t.port.deliver();
  EXPECT_FALSE(w.Connected());
  // The next handshake's reply is read whole.
  w.Timer2_Timer();
  EXPECT_EQ(t.count(kHandshake), 2);
  t.handshakeReply(3);
  EXPECT_TRUE(w.Connected());
  EXPECT_EQ(w.Combo机型->currentText(), "QZ-1002");
}

TEST(Connection, DisconnectSendsThreeFramesClosesAndClears) {
  Window t;
  Form1& w = *t.w;
  t.connect(2);
  ASSERT_TRUE(w.Connected());
  EXPECT_FALSE(w.Label软件版本->text().isEmpty());
  w.Command建立连接->click();
  EXPECT_EQ(t.port.writes, (std::vector<Bytes>{kDisconnect, kDisconnect, kDisconnect}));
  EXPECT_FALSE(t.port.isOpen());
  EXPECT_FALSE(w.Connected());
  EXPECT_EQ(w.Command建立连接->text(), "建立连接");
  EXPECT_TRUE(w.Label软件版本->text().isEmpty());
  EXPECT_TRUE(w.Label机型->text().isEmpty());
  EXPECT_FALSE(w.Command上传->isEnabled());
  EXPECT_FALSE(w.Command下载->isEnabled());
  EXPECT_TRUE(w.Combo串口->isEnabled());
  EXPECT_TRUE(w.Combo机型->isEnabled());

  // And connecting again works from the start.
  t.port.writes.clear();
  w.Command建立连接->click();
  w.Timer2_Timer();
  EXPECT_EQ(t.port.writes, std::vector<Bytes>{kHandshake});
}

TEST(Connection, ExitAndClosingTheWindowPutOneDisconnectOnTheLine) {
  {
    Window t;
    t.w->show();
    t.connect();
    t.w->Command7->click();
    EXPECT_EQ(t.port.writes, std::vector<Bytes>{kDisconnect});
    EXPECT_FALSE(t.port.isOpen());
    EXPECT_FALSE(t.w->isVisible());
  }
  {
    Window t;
    t.w->show();
    t.connect();
    t.w->close();
    EXPECT_EQ(t.port.writes, std::vector<Bytes>{kDisconnect});
    EXPECT_FALSE(t.port.isOpen());
  }
  {
    Window t;  // not connected: nothing at all
    t.w->show();
    t.w->Command7->click();
    EXPECT_TRUE(t.port.writes.empty());
  }
}

TEST(Connection, VersionTextShorterThan31BytesLeavesTheLabelEmpty) {
  Window t;
  Form1& w = *t.w;
  t.settle(1);
  w.Timer3_Timer();
  t.port.inject(Bytes(20, 'x'));
  t.port.deliver();
  w.TimerGetVision_Timer();
  EXPECT_TRUE(w.Label软件版本->text().isEmpty());
  EXPECT_TRUE(w.Connected());
  EXPECT_TRUE(w.isEnabled());
}

TEST(Connection, AStrayByteBeforeTheVersionQueryIsNoPartOfTheVersion) {
  Window t;
  Form1& w = *t.w;
  t.settle(1);
  t.port.inject({0x66});  // less than a reply: it waits
  t.port.deliver();
  w.Timer3_Timer();
  const std::string version = "QZ-0606 V2.31 2019-06-18 ABCDEF";
  t.port.inject(Bytes(version.begin(), version.end()));
  t.port.deliver();
  w.TimerGetVision_Timer();
  EXPECT_EQ(w.Label软件版本->text().toStdString(), version);
}

TEST(Connection, WhileCollectingTheVersionEvenAHandshakeReplyIsText) {
  Window t;
  Form1& w = *t.w;
  w.Command建立连接->click();
  w.Timer2_Timer();
  t.handshakeReply(3);
  for (int i = 0; i < 6; ++i) w.Timer2_Timer();
  w.Timer3_Timer();
  t.handshakeReply(0);
  t.port.inject(Bytes(26, 0x20));
  t.port.deliver();
  EXPECT_EQ(w.VersionText().size(), 31);
  EXPECT_EQ(w.VersionText()[0], QChar(0xAA));
  EXPECT_EQ(w.CurModel, 3);  // not taken as a handshake
}

TEST(Connection, PortThatCannotOpenShowsItsMessageAndStaysIdle) {
  struct Case {
    PortError error;
    QString text;
    MessageIcon icon = MessageIcon::Information;
  };
  const Case cases[] = {
      {PortError::NoSuchPort, "COM4已移除，请选择其它串口！"},
      {PortError::InUse, "COM4已被其它程序打开，请选择其它串口！"},
      {PortError::AccessDenied,
       "COM4没有访问权限，请把用户加入dialout组！\n在终端中运行: sudo adduser $USER dialout\n"
       "然后注销并重新登录，新的组才生效。",
       MessageIcon::Critical},
  };
  for (const auto& c : cases) {
    Window t({{4, PortError::None}});
    ASSERT_EQ(t.w->Combo串口->currentText(), "COM4");
    t.port.ports[4] = c.error;  // the adapter vanished or was taken after start-up
    t.w->Command建立连接->click();
    ASSERT_EQ(t.platform.messages.size(), 1U);
    EXPECT_EQ(t.platform.messages[0].text, c.text);
    EXPECT_EQ(t.platform.messages[0].title, "提示信息!");
    EXPECT_EQ(t.platform.messages[0].icon, c.icon);
    EXPECT_EQ(t.w->Command建立连接->text(), "建立连接");
    EXPECT_TRUE(t.w->isEnabled());
    EXPECT_FALSE(t.w->session.ticking(Tick::Link));
    EXPECT_FALSE(t.port.isOpen());
  }
  {
    Window t;
    t.port.refusedBauds = {9600};
    t.w->Command建立连接->click();
    ASSERT_EQ(t.platform.messages.size(), 1U);
    EXPECT_EQ(t.platform.messages[0].text, "波特率不适应，请重新设置波特率！");
    EXPECT_FALSE(t.w->session.ticking(Tick::Link));
  }
  {
    Window t(std::map<int, PortError>{});  // no ports at all: nothing opens, nothing is said
    EXPECT_EQ(t.w->Combo串口->count(), 0);
    EXPECT_EQ(t.w->Combo串口->currentIndex(), -1);
    t.w->Command建立连接->click();
    EXPECT_TRUE(t.platform.messages.empty());
    EXPECT_FALSE(t.w->session.ticking(Tick::Link));
    EXPECT_EQ(t.w->Command建立连接->text(), "建立连接");
  }
}

TEST(Connection, AdapterPulledWhileConnectedReturnsToIdleAndSaysSo) {
  Window t;
  Form1& w = *t.w;
  t.connect();
  t.port.pull();
  t.port.deliver();
  EXPECT_FALSE(w.Connected());
  EXPECT_FALSE(t.port.isOpen());
  EXPECT_EQ(w.Command建立连接->text(), "建立连接");
  EXPECT_TRUE(w.Frame提示->isVisibleTo(&w));
  EXPECT_FALSE(w.Label提示->text().trimmed().isEmpty());
  EXPECT_FALSE(w.Command上传->isEnabled());
  EXPECT_FALSE(w.Command下载->isEnabled());
  EXPECT_TRUE(w.Combo串口->isEnabled());
  EXPECT_TRUE(w.isEnabled());
  // Nothing more goes to the dead port, and leaving sends nothing.
  w.close();
  EXPECT_TRUE(t.port.writes.empty());

  // Pulled during the attempt: the handshakes stop and the window comes back.
  Window u;
  u.w->Command建立连接->click();
  u.w->Timer2_Timer();
  u.port.pull();
  u.port.deliver();
  EXPECT_FALSE(u.w->session.ticking(Tick::Link));
  EXPECT_TRUE(u.w->isEnabled());
  EXPECT_EQ(u.w->Command建立连接->text(), "建立连接");
  EXPECT_EQ(u.count(kHandshake), 1);
}

TEST(ServiceCommands, RefusedWhileNotConnectedAndRepliesShownWhenConnected) {
  Window t;
  Form1& w = *t.w;
  for (QPushButton* b : {w.Command2, w.Command3, w.Command8}) {
    t.platform.messages.clear();
    b->click();
    ASSERT_EQ(t.platform.messages.size(), 1U);
    EXPECT_EQ(t.platform.messages[0].text, "设备没有连接!");
    EXPECT_EQ(t.platform.messages[0].title, "接口协议配置");
    EXPECT_EQ(t.platform.messages[0].icon, MessageIcon::Exclamation);
    EXPECT_EQ(w.session.awaiting(), 8);
  }
  EXPECT_TRUE(t.port.writes.empty());

  t.connect();
  t.platform.messages.clear();
  auto sent = [&](std::uint8_t arg) {
    return Bytes{0xA1, 0xB2, 0xC3, 0xD4, 0xE5, 0xF5, arg, 0x5E, 0x4D, 0x3C, 0x2B, 0x1A};
  };
  w.Command2->click();
  EXPECT_EQ(t.port.writes.back(), sent(0x01));
  EXPECT_EQ(w.session.awaiting(), 8);
  w.Option2->setChecked(true);
  w.Command2->click();
  EXPECT_EQ(t.port.writes.back(), sent(0x02));
  w.Command3->click();
  EXPECT_EQ(t.port.writes.back(), sent(0xFF));
  w.Command8->click();
  EXPECT_EQ(t.port.writes.back(), sent(0x10));
  w.Option4->setChecked(true);
  w.Command8->click();
  EXPECT_EQ(t.port.writes.back(), sent(0x20));
  EXPECT_TRUE(t.platform.messages.empty());

  // Each answer follows its own command; one that answers none shows nothing.
  w.Command2->click();
  t.port.inject({0xA1, 0xB2, 0xC3, 0xD4, 0xE5, 0xF5, 0x02, 0x00});
  t.port.deliver();
  ASSERT_EQ(t.platform.messages.size(), 1U);
  EXPECT_EQ(t.platform.messages[0].text, "485协议配置成功!  重启生效");
  EXPECT_EQ(t.platform.messages[0].title, "接口协议配置");
  EXPECT_EQ(t.platform.messages[0].icon, MessageIcon::Information);
  w.Command8->click();
  t.port.inject({0xA1, 0xB2, 0xC3, 0xD4, 0xE5, 0xF5, 0xA0, 0x00});
  t.port.deliver();
  ASSERT_EQ(t.platform.messages.size(), 2U);
  EXPECT_EQ(t.platform.messages[1].text, "场景叠加模式配置失败!");
  EXPECT_EQ(t.platform.messages[1].title, "场景模式配置");
  EXPECT_EQ(t.platform.messages[1].icon, MessageIcon::Critical);
  t.port.inject({0xA1, 0xB2, 0xC3, 0xD4, 0xE5, 0xF5, 0x30, 0x00});  // answers nothing asked
  t.port.deliver();
  Bytes twelve(12, 0xA1);  // more than an answer in one notification: dropped
  t.port.inject(twelve);
  t.port.deliver();
  EXPECT_EQ(t.platform.messages.size(), 2U);
  EXPECT_EQ(t.port.bytesWaiting(), 0U);

  // A stray byte waiting when a command goes out does not take its answer's place.
  t.port.inject({0x00});
  t.port.deliver();
  w.Command8->click();
  t.port.inject({0xA1, 0xB2, 0xC3, 0xD4, 0xE5, 0xF5, 0x20, 0x00});
  t.port.deliver();
  ASSERT_EQ(t.platform.messages.size(), 3U);
  EXPECT_EQ(t.platform.messages[2].text, "场景叠加模式配置成功!  重启生效。");
}

}  // namespace
}  // namespace qz

// The tool as the user runs it: the real window and the real serial port adapter, talking to
// qzsim on a pseudo-terminal found through its COM alias.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <functional>

#include "link/com_ports.h"
#include "link/qt_serial_port.h"
#include "sim/pty_server.h"
#include "support/event_loop.h"
#include "support/fake_platform.h"
#include "support/pty.h"
#include "support/qzsim_rig.h"
#include "support/runtime_dir.h"
#include "support/timed.h"
#include "ui/form1.h"

namespace qz {
namespace {

using Bytes = std::vector<std::uint8_t>;
using std::chrono::milliseconds;

const Bytes kHandshake = {0xA1, 0xB2, 0xC3, 0xD4, 0xE5, 0xA1, 0xAE, 0x5E, 0x4D, 0x3C, 0x2B, 0x1A};
const Bytes kDisconnect = {0xA1, 0xB2, 0xC3, 0xD4, 0xE5, 0xA2, 0xAD, 0x5E, 0x4D, 0x3C, 0x2B, 0x1A};

using test::Rig;

TEST(ToolAgainstQzsim, ConnectsShowsModelAndVersionAndDisconnects) {
  QZ_SKIP_WITHOUT_PTY();
  sim::Options options;
  options.model = 2;
  options.versionText = sim::paddedVersionText("QZ-0804 V2.4 2019-07-01 sim 01");
  Rig rig(options);
  Form1& w = *rig.w;
  if (!std::filesystem::exists("/dev/ttyUSB0")) {
    // With no adapter plugged in the simulator is COM1, the port the tool preselects.
    EXPECT_EQ(rig.server->comName(), "COM1");
    EXPECT_EQ(w.Combo串口->currentText(), "COM1");
  }
  ASSERT_TRUE(rig.connect());
  EXPECT_EQ(rig.count(kHandshake), 1);
  EXPECT_EQ(w.Label机型->text(), "QZ-0804");
  EXPECT_EQ(w.Combo机型->currentText(), "QZ-0804");
  EXPECT_TRUE(w.Frame6[2]->isVisibleTo(&w));
  EXPECT_EQ(w.Label软件版本->text().trimmed(), "QZ-0804 V2.4 2019-07-01 sim 01");
  EXPECT_EQ(w.Command建立连接->text(), "断开连接");
  EXPECT_TRUE(w.isEnabled());
  EXPECT_TRUE(w.Command上传->isEnabled());
  EXPECT_TRUE(w.Command下载->isEnabled());

  w.Command建立连接->click();
  ASSERT_TRUE(rig.server->waitForLog(5, milliseconds(3000)));
  EXPECT_EQ(rig.count(kDisconnect), 3);
  EXPECT_FALSE(rig.port.isOpen());
  EXPECT_TRUE(rig.server->waitForListeners(0, milliseconds(3000)));
  EXPECT_TRUE(w.Label软件版本->text().isEmpty());
  EXPECT_TRUE(w.Label机型->text().isEmpty());

  // The simulator keeps the line: a second connection works as the first.
  rig.platform.messages.clear();
  ASSERT_TRUE(rig.connect());
  EXPECT_EQ(rig.count(kHandshake), 2);
  EXPECT_TRUE(rig.platform.messages.empty());
}

TEST(ToolAgainstQzsim, ControllerAnsweringLateGetsItsHandshakesUntilItAnswers) {
  QZ_SKIP_WITHOUT_PTY();
  sim::Options options;
  options.pacing = false;
  options.faults.answerFrom = 3;
  Rig rig(options);
  ASSERT_TRUE(rig.connect());
  EXPECT_EQ(rig.count(kHandshake), 3);
}

TEST(ToolAgainstQzsim, SilentControllerGetsThirtyHandshakesAndTheToolResets) {
  QZ_SKIP_WITHOUT_PTY();
  sim::Options options;
  options.pacing = false;
  options.faults.silent = true;
  Rig rig(options);
  Form1& w = *rig.w;
  ASSERT_TRUE(rig.startAttempt());
  for (int tick = 1; tick <= 30; ++tick) w.Timer2_Timer();
  ASSERT_TRUE(rig.server->waitForLog(30, milliseconds(3000)));
  test::settle(50);  // anything the controller might say arrives now
  EXPECT_FALSE(w.Connected());
  w.Timer2_Timer();  // 31
  EXPECT_EQ(w.Label提示->text(), " 连接失败，请重试");
  EXPECT_FALSE(rig.port.isOpen());
  EXPECT_TRUE(rig.server->waitForListeners(0, milliseconds(3000)));
  for (int tick = 32; tick <= 36; ++tick) w.Timer2_Timer();
  EXPECT_EQ(w.Command建立连接->text(), "建立连接");
  EXPECT_TRUE(w.isEnabled());
  EXPECT_EQ(rig.count(kHandshake), 30);
  EXPECT_EQ(rig.received().size(), 30U);
}

TEST(ToolAgainstQzsim, TimedRealTimersSpaceTheHandshakesTwoHundredMillisecondsApart) {
  QZ_TIMED_TEST();
  sim::Options options;
  options.pacing = false;
  options.faults.silent = true;
  Rig rig(options);
  Form1& w = *rig.w;
  ASSERT_TRUE(rig.choosePort());
  // The window's own timers run the whole attempt.
  const auto pressed = std::chrono::steady_clock::now();
  w.Command建立连接->click();
  ASSERT_TRUE(rig.port.isOpen());
  ASSERT_TRUE(test::pumpUntil([&] { return w.Command建立连接->text() == "建立连接"; }, 9000));
  const auto log = rig.server->log();
  ASSERT_EQ(log.size(), 30U);
  // qzsim stamps each frame as its last byte arrives. A busy machine delays single frames by a
  // few milliseconds either way; the line fitted through all thirty stamps shows the period.
  std::vector<double> at;
  for (const auto& e : log) {
    at.push_back(std::chrono::duration<double, std::milli>(e.time - log.front().time).count());
  }
  const double n = static_cast<double>(at.size());
  double sumI = 0, sumT = 0, sumII = 0, sumIT = 0;
  for (std::size_t i = 0; i < at.size(); ++i) {
    const double x = static_cast<double>(i);
    sumI += x;
    sumT += at[i];
    sumII += x * x;
    sumIT += x * at[i];
  }
  const double period = (n * sumIT - sumI * sumT) / (n * sumII - sumI * sumI);
  // A tick may come late on a busy machine but never early: handshake i leaves 200 x i ms
  // after the press at the soonest.
  double earliest = 1e9;
  for (std::size_t i = 0; i < log.size(); ++i) {
    const double due = 200.0 * static_cast<double>(i + 1);
    earliest = std::min(
        earliest, std::chrono::duration<double, std::milli>(log[i].time - pressed).count() - due);
  }
  EXPECT_GE(earliest, -0.5);
  EXPECT_NEAR(period, 200.0, 0.8);
}

TEST(ToolAgainstQzsim, OnlyAReplyToAHandshakeOfThisAttemptConnects) {
  sim::Options options;
  options.pacing = false;
  options.faults.answerFrom = 2;  // the first handshake goes unanswered
  Rig rig(options);
  Form1& w = *rig.w;
  const Bytes reply = {0xAA, 0x55, 0x02, 0x88, 0x66};
  ASSERT_TRUE(rig.choosePort());
  // A reply already waits on the line when the tool opens it...
  ASSERT_TRUE(rig.server->inject(reply));
  w.Command建立连接->click();
  ASSERT_TRUE(rig.port.isOpen());
  w.TimerSession->stop();
  test::settle(50);
  EXPECT_FALSE(w.Connected());
  // ...and another comes before the first handshake frame went out.
  ASSERT_TRUE(rig.server->inject(reply));
  test::settle(50);
  EXPECT_FALSE(w.Connected());
  EXPECT_EQ(w.Command建立连接->text(), "正在连接");
  EXPECT_EQ(w.Label提示->text(), "   正在连接……");
  EXPECT_EQ(rig.count(kHandshake), 0);

  w.Timer2_Timer();  // first handshake: no answer
  ASSERT_TRUE(rig.server->waitForLog(1, milliseconds(3000)));
  test::settle(50);
  EXPECT_FALSE(w.Connected());
  w.Timer2_Timer();  // second handshake: answered
  ASSERT_TRUE(test::pumpUntil([&] { return w.Connected(); }, 2000));
  EXPECT_EQ(rig.count(kHandshake), 2);
  EXPECT_EQ(w.Label机型->text(), "QZ-0804");
}

TEST(ToolAgainstQzsim, ANoiseByteBeforeTheReplyDoesNotKeepTheToolFromConnecting) {
  QZ_SKIP_WITHOUT_PTY();
  sim::Options options;           // paced at 9600: a reply comes byte by byte
  options.faults.answerFrom = 2;  // the first handshake goes unanswered
  Rig rig(options);
  Form1& w = *rig.w;
  ASSERT_TRUE(rig.startAttempt());
  w.Timer2_Timer();
  ASSERT_TRUE(rig.server->waitForLog(1, milliseconds(3000)));
  // A byte of noise while the tool waits for a reply: alone it is less than a reply and
  // waits. Read together with the reply it would take the reply's place, and the reply's last
  // byte, left waiting, would spoil the next reply the same way. The reply to the handshake
  // that follows connects.
  ASSERT_TRUE(rig.server->inject({0x00}));
  test::settle(50);
  EXPECT_FALSE(w.Connected());
  w.Timer2_Timer();
  ASSERT_TRUE(test::pumpUntil([&] { return w.Connected(); }, 2000));
  EXPECT_EQ(rig.count(kHandshake), 2);
  EXPECT_EQ(w.Label机型->text(), "QZ-0804");
}

TEST(ToolAgainstQzsim, ExtraBytesAfterTheHandshakeReplyNeverDropTheConnection) {
  sim::Options options;
  options.baud = 115200;
  sim::FaultRule extra;
  extra.action = sim::FaultAction::Extra;
  extra.which.kind = sim::ReplyKind::Handshake;
  extra.extra = Bytes(40, 0x33);
  options.faults.rules.push_back(extra);
  Rig rig(options);
  Form1& w = *rig.w;
  w.Combo波特率->setCurrentText("19200");
  // The tool takes the five bytes of the reply and drops the forty that follow as they come
  // in. When the machine is slow to answer, all 45 are waiting and the reply is not
  // recognised: then the attempt goes on or fails, but the line is never taken for lost.
  int connections = 0;
  for (int round = 1; round <= 12; ++round) {
    SCOPED_TRACE(round);
    if (rig.connect()) {
      ++connections;
      test::settle(20);
      EXPECT_TRUE(rig.port.isOpen());
      EXPECT_TRUE(w.Connected());
      w.Command建立连接->click();
    } else {
      EXPECT_TRUE(rig.port.isOpen());
      for (int tick = 31; tick <= 36; ++tick) w.Timer2_Timer();
    }
    EXPECT_NE(w.Label提示->text(), " 串口已断开，连接中断");
    ASSERT_TRUE(rig.server->waitForListeners(0, milliseconds(3000)));
  }
  EXPECT_GT(connections, 6);
}

TEST(ToolAgainstQzsim, TimedAControllerThatStopsReadingIsToldAndTheConnectionStays) {
  QZ_TIMED_TEST();
  sim::Options options;
  options.pacing = false;
  Rig rig(options);
  Form1& w = *rig.w;
  ASSERT_TRUE(rig.connect());
  rig.server->pauseReading(true);
  // Scene previews, fifteen bytes each, until the line is full several times over.
  for (int i = 0; i < 2000; ++i) {
    w.Command6[1 + i % 17]->click();
    if (i % 50 == 0) QCoreApplication::processEvents();
  }
  test::settle(50);
  EXPECT_TRUE(w.Connected());
  EXPECT_TRUE(rig.port.isOpen());
  EXPECT_EQ(w.Label提示->text(), " 串口发送受阻，数据未能发出");
  EXPECT_TRUE(w.Frame提示->isVisibleTo(&w));
  EXPECT_EQ(w.Command建立连接->text(), "断开连接");

  // The controller reads again: the frames the tool kept arrive whole, and new ones follow.
  rig.server->pauseReading(false);
  test::settle(200);
  const std::size_t before = rig.server->log().size();
  w.Command6[5]->click();
  ASSERT_TRUE(rig.server->waitForLog(before + 1, milliseconds(3000)));
  const auto log = rig.server->log();
  for (const auto& e : log) EXPECT_NE(e.kind, sim::FrameKind::Noise);
  EXPECT_EQ(log.back().kind, sim::FrameKind::ScenePreview);
  EXPECT_TRUE(w.Connected());
}

TEST(ToolAgainstQzsim, ControllerHangingUpWhileConnectedLeavesTheToolIdle) {
  QZ_SKIP_WITHOUT_PTY();
  sim::Options options;
  options.pacing = false;
  options.faults.hangupAfter = 3;  // handshake, version query, then the first scene preview
  Rig rig(options);
  Form1& w = *rig.w;
  ASSERT_TRUE(rig.connect());
  w.Command6[2]->click();
  ASSERT_TRUE(rig.server->waitForHangUp(milliseconds(3000)));
  ASSERT_TRUE(test::pumpUntil([&] { return !w.Connected(); }));
  EXPECT_FALSE(rig.port.isOpen());
  EXPECT_EQ(w.Command建立连接->text(), "建立连接");
  EXPECT_TRUE(w.Frame提示->isVisibleTo(&w));
  EXPECT_FALSE(w.Label提示->text().trimmed().isEmpty());
  EXPECT_FALSE(w.Command下载->isEnabled());
  EXPECT_TRUE(w.Combo串口->isEnabled());
  // The tool settles: more events, more edits and leaving the window write nothing and
  // raise nothing.
  test::settle(100);
  w.TD3[0]->click();
  w.close();
  EXPECT_TRUE(rig.platform.messages.empty());
}

TEST(ToolAgainstQzsim, EditsAreShownOnTheInstallationAtOnce) {
  QZ_SKIP_WITHOUT_PTY();
  sim::Options options;
  options.model = 2;  // QZ-0804: eight switch channels, four dimming channels
  Rig rig(options);
  Form1& w = *rig.w;
  ASSERT_TRUE(rig.connect());
  const std::size_t before = rig.server->log().size();

  // The installer picks "场景3", ticks switch channel 1 and sets dimming channel 2 to level 5.
  w.Command6[3]->click();
  const Row row = w.SetData.rows[2];  // the scene as the key opened it
  const bool wasTicked = w.TD3[0]->isChecked();
  w.TD3[0]->click();
  w.TG3[1]->setCurrentIndex(5);
  ASSERT_TRUE(rig.server->waitForLog(before + 3, milliseconds(3000)));
  const auto log = rig.server->log();
  ASSERT_EQ(log.size(), before + 3);

  Bytes preview = {0xD1, 0xD1};
  for (std::size_t c = 0; c < 12; ++c)
    preview.push_back(c < 8 ? row[c] : kDefaultLevelTable.at(row[c]));
  preview.push_back(0x55);
  EXPECT_EQ(log[before].received, preview);
  EXPECT_EQ(
      log[before + 1].received,
      (Bytes{0xA0, 0x01, static_cast<std::uint8_t>(wasTicked ? 0xD0 : 0xD1), 0xAA, 0xFE, 0xFF}));
  EXPECT_EQ(log[before + 2].received, (Bytes{0xA1, 0x02, 0x82, 0xAA, 0xFE, 0xFF}));
  // Nothing was answered, and the controller's outputs follow the edits.
  for (std::size_t i = before; i < log.size(); ++i) EXPECT_TRUE(log[i].sent.empty());
  EXPECT_EQ(rig.server->outputs()[9], 0x82);
  EXPECT_EQ(w.SetData(2, 9), 5);
}

TEST(ToolAgainstQzsim, AServiceAnswerThatIsNotTheCommandsOwnIsARefusalWithItsCode) {
  QZ_SKIP_WITHOUT_PTY();
  Rig rig;
  Form1& w = *rig.w;
  ASSERT_TRUE(rig.connect());
  w.Option4->setChecked(true);  // 场景叠加模式
  // Answers of the protocol commands.
  for (const int code : {0x01, 0x11}) {
    rig.platform.messages.clear();
    rig.server->setServiceResult(0x20, static_cast<std::uint8_t>(code));
    w.Command8->click();
    ASSERT_TRUE(test::pumpUntil([&] { return !rig.platform.messages.empty(); }, 3000)) << code;
    test::settle(50);
    ASSERT_EQ(rig.platform.messages.size(), 1U);
    EXPECT_EQ(
        rig.platform.messages[0].text,
        QStringLiteral("场景叠加模式配置失败!  设备返回代码 ") + QString::asprintf("%02X", code));
    EXPECT_EQ(rig.platform.messages[0].title, "场景模式配置");
    EXPECT_EQ(rig.platform.messages[0].icon, MessageIcon::Critical);
  }
}

}  // namespace
}  // namespace qz

// 查找控制器 through the real window and port adapter: qzsim on COM7 found among other ports,
// each greeted with the connection attempt's handshake, and the search cancelled.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QPointer>
#include <QProgressDialog>

#include "support/editor_window.h"
#include "support/pty.h"
#include "support/qzsim_rig.h"
#include "ui/module1.h"

namespace qz {
namespace {

using test::Rig;

int handshakes(const sim::PtyServer& server) {
  int n = 0;
  for (const auto& e : server.log()) n += e.kind == sim::FrameKind::Handshake ? 1 : 0;
  return n;
}

sim::Options on(int com, bool silent) {
  sim::Options o;
  o.comNumber = com;
  o.faults.silent = silent;
  return o;
}

TEST(FindController, TheFirstPortThatAnswersIsSelectedAndNamed) {
  QZ_SKIP_WITHOUT_PTY();
  Rig rig(on(7, false));
  sim::PtyServer quiet(on(3, true));
  quiet.start();
  Form1& w = *rig.w;
  EnumComPorts(rig.port, w.Combo串口);
  ASSERT_LT(w.Combo串口->findText("COM3"), w.Combo串口->findText("COM7"));
  w.Combo串口->setCurrentIndex(w.Combo串口->findText("COM3"));

  w.findController();
  ASSERT_TRUE(test::pumpUntil([&] { return !rig.platform.messages.empty(); }, 60000));
  EXPECT_EQ(rig.platform.messages[0].text,
            "在 COM7 找到控制器 QZ-0804。\n已选中这个串口，按“建立连接”连接。");
  EXPECT_EQ(w.Combo串口->currentText(), "COM7");
  EXPECT_FALSE(rig.port.isOpen());
  EXPECT_EQ(handshakes(quiet), 5);  // tried, and given up on
  // The window's own conversation has its port back.
  EXPECT_TRUE(rig.connect());
  quiet.stop();
}

TEST(FindController, CancellingStopsTheSearchAndClosesThePort) {
  QZ_SKIP_WITHOUT_PTY();
  Rig rig(on(7, true));
  Form1& w = *rig.w;
  w.findController();
  const QPointer<QProgressDialog> progress = w.findChild<QProgressDialog*>("findProgress");
  ASSERT_NE(progress, nullptr);
  ASSERT_TRUE(test::pumpUntil([&] { return handshakes(*rig.server) >= 1; }, 60000));
  progress->findChild<QPushButton*>()->click();  // 取消
  ASSERT_TRUE(test::pumpUntil([&] { return progress.isNull() || !progress->isVisible(); }, 2000));
  EXPECT_FALSE(rig.port.isOpen());
  EXPECT_TRUE(rig.platform.messages.empty());
}

}  // namespace
}  // namespace qz

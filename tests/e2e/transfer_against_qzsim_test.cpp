// Download and upload as the user runs them: the real window and port adapter against qzsim
// paced at 9600 baud, with the real tick timers.

#include <gtest/gtest.h>

#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QRadioButton>
#include <algorithm>
#include <string>

#include "sim/command_line.h"
#include "support/editor_window.h"
#include "support/pty.h"
#include "support/qzsim_rig.h"

namespace qz {
namespace {

using test::Rig;
using Bytes = std::vector<std::uint8_t>;

// The rows the controller was sent, in order.
std::vector<int> rowsSent(const Rig& rig) {
  std::vector<int> rows;
  for (const auto& e : rig.server->log()) {
    if (e.kind == sim::FrameKind::DownloadRow) rows.push_back(e.received[1]);
  }
  return rows;
}

std::vector<int> rowsRequested(const Rig& rig) {
  std::vector<int> rows;
  for (const auto& e : rig.server->log()) {
    if (e.kind == sim::FrameKind::UploadRequest) rows.push_back(e.received[1]);
  }
  return rows;
}

// The rows in the order they went, a row sent again at once counted once: a machine that stalls
// for 200 ms lets the tick send a row again, which is the tick's job and not what is checked.
std::vector<int> inOrder(std::vector<int> rows) {
  rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
  return rows;
}

std::vector<int> range(int first, int last) {
  std::vector<int> v;
  for (int i = first; i <= last; ++i) v.push_back(i);
  return v;
}

sim::Options withFault(sim::FaultAction action, std::string_view rule) {
  sim::Options o;
  o.faults.rules.push_back(sim::parseFaultRule(action, rule));
  return o;
}

// What a transfer that did not finish leaves to look at: the status, and the rows each way.
std::string whereItStopped(const Rig& rig) {
  std::string text = "status \"" + rig.w->Label提示->text().toStdString() + "\", rows sent:";
  for (int row : rowsSent(rig)) text += " " + std::to_string(row);
  text += ", rows requested:";
  for (int row : rowsRequested(rig)) text += " " + std::to_string(row);
  return text;
}

bool statusIs(const Rig& rig, const char* text) {
  return rig.w->Label提示->text() == QString::fromUtf8(text);
}

// What the user changed in the editor before a download; what the controller held before an
// upload.
void editSomething(Form1& w) {
  w.Command6[3]->click();
  w.TD3[1]->click();
  w.TG3[2]->setCurrentIndex(7);
  w.Combo1DMX地址->setCurrentIndex(299);
}

ConfigImage controllerImage() {
  ConfigImage image = sim::defaultImage(2);
  image.rows[0] = {1, 1, 0, 0, 1, 0, 1, 0, 9, 2, 0, 5};
  image.rows[17] = {3, 1, 4, 0, 5, 6, 7, 8, 2, 1, 1, 2};  // DMX512 at 258
  image.rows[18] = {1, 5, 25, 45, 75, 105, 135, 165, 195, 225, 255, 16};
  return image;
}

TEST(TransferAgainstQzsim, DownloadLeavesTheControllersImageEqualToTheEditors) {
  QZ_SKIP_WITHOUT_PTY();
  Rig rig;
  Form1& w = *rig.w;
  ASSERT_TRUE(rig.connect());
  editSomething(w);
  w.Option2->setChecked(true);
  w.Option4->setChecked(true);
  ASSERT_NE(rig.server->image(), w.SetData);

  w.Command下载->click();
  EXPECT_FALSE(w.Command下载->isEnabled());
  ASSERT_TRUE(test::pumpUntil([&] { return statusIs(rig, "  参数下载成功"); }, 5000));
  EXPECT_EQ(rig.server->image(), w.SetData);
  EXPECT_EQ(rig.server->snapshot().protocolAndRunMode(), 0x04);
  EXPECT_EQ(inOrder(rowsSent(rig)), range(0, 18));
  // The options follow the first row at once.
  const auto log = rig.server->log();
  const auto first = std::find_if(log.begin(), log.end(), [](const sim::LogEntry& e) {
    return e.kind == sim::FrameKind::DownloadRow;
  });
  ASSERT_NE(first + 1, log.end());
  EXPECT_EQ((first + 1)->kind, sim::FrameKind::ProtocolAndRunMode);

  // The panel closes about a second later, and the button is back.
  ASSERT_TRUE(test::pumpUntil([&] { return !w.Frame提示->isVisibleTo(&w); }, 3000));
  EXPECT_TRUE(w.Command下载->isEnabled());
  EXPECT_FALSE(w.session.ticking(Tick::Download));
}

TEST(TransferAgainstQzsim, UploadBringsTheControllersImageIntoTheEditor) {
  QZ_SKIP_WITHOUT_PTY();
  sim::Options options;
  options.image = controllerImage();
  Rig rig(options);
  Form1& w = *rig.w;
  ASSERT_TRUE(rig.connect());
  w.Command6[5]->click();
  w.Command上传->click();
  ASSERT_TRUE(test::pumpUntil([&] { return statusIs(rig, "  参数上传成功"); }, 5000));
  EXPECT_EQ(w.SetData, controllerImage());
  // Scene 1 is open, and the controller shows it with the uploaded level table.
  EXPECT_EQ(test::buttonColour(w.Command6[1]), test::kRed);
  EXPECT_EQ(w.CurScene, 0);
  EXPECT_EQ(w.Combo1DMX地址->currentText(), "258");
  ASSERT_TRUE(test::pumpUntil([&] { return rig.server->lastPreview().has_value(); }, 2000));
  test::settle(100);
  const auto preview = rig.server->lastPreview();
  ASSERT_TRUE(preview);
  EXPECT_EQ(Bytes(preview->begin(), preview->end()),
            test::preview({1, 1, 0, 0, 1, 0, 1, 0, 255, 45, 5, 135}));

  ASSERT_EQ(w.List1->count(), 20);
  EXPECT_EQ(w.List1->item(0)->text(), "上传参数 2019-07-01 14:05:09");
  const ConfigImage uploaded = controllerImage();
  for (int r = 0; r < kRows; ++r) {
    QString line;
    for (const std::uint8_t b : uploaded.rows[static_cast<std::size_t>(r)]) {
      line += QString::asprintf("%02X ", b);
    }
    EXPECT_EQ(w.List1->item(r + 1)->text(), line) << r;
  }
  // Row 19 is asked for after the last row; the controller has nothing to say to it.
  EXPECT_EQ(inOrder(rowsRequested(rig)), range(0, 19));
  ASSERT_TRUE(test::pumpUntil([&] { return w.Command上传->isEnabled(); }, 3000));
  EXPECT_FALSE(w.Frame提示->isVisibleTo(&w));
}

TEST(TransferAgainstQzsim, ControllerAskingAgainGetsTheRowsItNames) {
  QZ_SKIP_WITHOUT_PTY();
  // Row 7 acknowledged by asking for row 5; row 3 unanswered twice; row 11's answer arriving
  // twice in one write.
  sim::Options options = withFault(sim::FaultAction::AckEarlier, "7=5");
  options.faults.rules.push_back(sim::parseFaultRule(sim::FaultAction::Drop, "download:3/2"));
  options.faults.rules.push_back(sim::parseFaultRule(sim::FaultAction::Merge, "download:11/1"));
  Rig rig(options);
  Form1& w = *rig.w;
  ASSERT_TRUE(rig.connect());
  editSomething(w);
  w.Command下载->click();
  ASSERT_TRUE(test::pumpUntil([&] { return statusIs(rig, "  参数下载成功"); }, 8000));
  std::vector<int> expected = {0, 1, 2, 3, 3, 3, 4, 5, 6, 7, 5, 6, 7, 8, 9, 10, 11, 11};
  for (int r = 12; r <= 18; ++r) expected.push_back(r);
  EXPECT_EQ(rowsSent(rig), expected);
  EXPECT_EQ(rig.server->image(), w.SetData);
}

TEST(TransferAgainstQzsim, HangUpMidUploadLeavesTheImageAndSaysSo) {
  QZ_SKIP_WITHOUT_PTY();
  sim::Options options = withFault(sim::FaultAction::HangUp, "upload:9");
  options.image = controllerImage();
  Rig rig(options);
  Form1& w = *rig.w;
  ASSERT_TRUE(rig.connect());
  const ConfigImage before = w.SetData;
  w.Command上传->click();
  ASSERT_TRUE(test::pumpUntil([&] { return rig.server->hungUp(); }, 5000));
  ASSERT_TRUE(test::pumpUntil([&] { return !w.Connected(); }, 3000));
  EXPECT_EQ(w.Label提示->text(), " 串口已断开，连接中断");
  EXPECT_TRUE(w.Frame提示->isVisibleTo(&w));
  EXPECT_FALSE(w.session.ticking(Tick::Upload));
  EXPECT_FALSE(w.Label18->isVisibleTo(&w));
  EXPECT_EQ(w.SetData, before);
  EXPECT_EQ(w.List1->count(), 11);  // the header, rows 0..8 that came, the outcome
  EXPECT_FALSE(w.Command上传->isEnabled());
  test::settle(500);
  EXPECT_EQ(w.SetData, before);
  EXPECT_TRUE(rig.platform.messages.empty());
}

TEST(TransferAgainstQzsim, AnswersSentTwiceStillMoveTheWholeImage) {
  QZ_SKIP_WITHOUT_PTY();
  // One upload row and one download acknowledgement come twice: the second copy asks for the
  // frame that has just gone out for the first and sends nothing more, and the input dropped
  // under it must not look like a lost line.
  sim::Options options = withFault(sim::FaultAction::Twice, "upload:3/1");
  options.faults.rules.push_back(sim::parseFaultRule(sim::FaultAction::Twice, "download:3/1"));
  options.image = controllerImage();
  Rig rig(options);
  Form1& w = *rig.w;
  ASSERT_TRUE(rig.connect());
  w.Command上传->click();
  ASSERT_TRUE(test::pumpUntil([&] { return statusIs(rig, "  参数上传成功"); }, 5000))
      << whereItStopped(rig);
  EXPECT_TRUE(w.Connected());
  EXPECT_EQ(w.SetData, controllerImage());
  // The last request may still be on its way to qzsim when the window says it is done.
  test::pumpUntil([&] { return inOrder(rowsRequested(rig)) == range(0, 19); }, 2000);
  EXPECT_EQ(inOrder(rowsRequested(rig)), range(0, 19));
  ASSERT_TRUE(test::pumpUntil(
      [&] { return w.Command上传->isEnabled() && w.Command下载->isEnabled(); }, 5000));

  editSomething(w);
  w.Command下载->click();
  ASSERT_TRUE(test::pumpUntil([&] { return statusIs(rig, "  参数下载成功"); }, 5000))
      << whereItStopped(rig);
  EXPECT_EQ(inOrder(rowsSent(rig)), range(0, 18));
  EXPECT_TRUE(w.Connected());
  ASSERT_TRUE(test::pumpUntil([&] { return w.Command下载->isEnabled(); }, 5000));
  EXPECT_EQ(rig.server->image(), w.SetData);
  EXPECT_TRUE(rig.platform.messages.empty());
}

}  // namespace
}  // namespace qz

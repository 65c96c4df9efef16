// 与控制器比较 and 下载后校验 through the real window and port adapter against qzsim: the
// controller's image read back, the editor untouched, the differences in the window's words.

#include <gtest/gtest.h>

#include <QAction>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>

#include "sim/command_line.h"
#include "support/editor_window.h"
#include "support/pty.h"
#include "support/qzsim_rig.h"

namespace qz {
namespace {

using test::Rig;

int framesOf(const Rig& rig, sim::FrameKind kind) {
  int n = 0;
  for (const auto& e : rig.server->log()) n += e.kind == kind ? 1 : 0;
  return n;
}

TEST(ReadBack, CompareListsTheDifferencesInTheWindowsWordsAndLeavesTheEditor) {
  QZ_SKIP_WITHOUT_PTY();
  sim::Options options;
  ConfigImage& controller = options.image.emplace(sim::defaultImage(2));
  controller(2, 1) = 0;    // 场景3 开关通道2 off
  controller(17, 0) = 0;   // no channel for 排风1
  controller(18, 11) = 0;  // 开机场景 场景1
  Rig rig(options);
  Form1& w = *rig.w;
  ASSERT_TRUE(rig.connect());
  w.Command上传->click();
  ASSERT_TRUE(test::pumpUntil([&] { return w.Command上传->isEnabled(); }, 8000));
  w.Command6[3]->click();
  w.TD3[1]->click();
  w.Combo开机场景->setCurrentIndex(13);
  w.Combo空调排风[0]->setCurrentIndex(8);
  const ConfigImage edited = w.SetData;

  w.compareWithController();
  const auto shown = [&] {
    const auto* dialog = w.findChild<QDialog*>("compareDialog");
    return dialog != nullptr ? dialog->findChild<QLabel*>("text")->text() : QString();
  };
  ASSERT_TRUE(test::pumpUntil([&] { return !shown().isEmpty(); }, 8000));
  EXPECT_EQ(shown(),
            "有 3 处不同:\n场景3 开关通道2: 控制器 关, 编辑中 开\n排风1: 控制器 关闭, 编辑中 通道8"
            "\n开机场景: 控制器 场景1, 编辑中 灯光全关");
  EXPECT_EQ(w.SetData, edited);
  EXPECT_EQ(framesOf(rig, sim::FrameKind::DownloadRow), 0);
  ASSERT_TRUE(test::pumpUntil([&] { return w.Command上传->isEnabled(); }, 3000));

  // Downloaded, the controller holds the editor's image: nothing differs.
  w.Command下载->click();
  ASSERT_TRUE(test::pumpUntil([&] { return w.Command下载->isEnabled(); }, 8000));
  w.compareWithController();
  ASSERT_TRUE(
      test::pumpUntil([&] { return shown() == "控制器中的参数与编辑中的参数相同。"; }, 8000));
}

TEST(ReadBack, VerifyReadsADownloadBackAndNamesTheRowTheControllerStoredWrong) {
  QZ_SKIP_WITHOUT_PTY();
  struct Case {
    int wrongRow;  // -1: the controller stores what it gets
    bool verify;
    int readBack;  // upload requests after the download
    const char* status;
  };
  for (const Case c : {Case{-1, false, 0, "  参数下载成功"}, Case{-1, true, 20, "  参数下载成功"},
                       Case{7, true, 20, "    下载失败"}}) {
    SCOPED_TRACE(c.wrongRow);
    SCOPED_TRACE(c.verify);
    sim::Options options;
    options.faults.wrongRow = c.wrongRow;
    Rig rig(options);
    Form1& w = *rig.w;
    w.MenuVerify->setChecked(c.verify);
    ASSERT_TRUE(rig.connect());
    w.Command下载->click();
    ASSERT_TRUE(test::pumpUntil([&] { return w.Label提示->text() == c.status; }, 10000))
        << w.Label提示->text().toStdString();
    ASSERT_TRUE(test::pumpUntil([&] { return w.Command下载->isEnabled(); }, 8000));
    EXPECT_EQ(framesOf(rig, sim::FrameKind::UploadRequest), c.readBack);
    EXPECT_TRUE(rig.platform.messages.empty());
    // The history's outcome line; a difference stays in the status frame, naming the row.
    const QString history = w.List1->item(w.List1->count() - 1)->text();
    if (c.wrongRow < 0) {
      EXPECT_TRUE(history.startsWith("下载成功 ")) << history.toStdString();
      EXPECT_FALSE(w.isWindowModified());
    } else {
      EXPECT_TRUE(w.Label原因->isVisibleTo(&w));
      EXPECT_TRUE(w.Label原因->text().contains("不同的行: CJ07（场景8）"))
          << w.Label原因->text().toStdString();
      EXPECT_TRUE(history.startsWith("  场景8 开关通道1: 控制器 ")) << history.toStdString();
    }
    w.MenuVerify->setChecked(false);
  }
}

}  // namespace
}  // namespace qz

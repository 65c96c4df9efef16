// qzsim's view of the lamps beside the tool: what the installer edits and downloads is what the
// view's lamps show, read as a screen reader reads them.

#include <gtest/gtest.h>

#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include "support/pty.h"
#include "support/qzsim_rig.h"
#include "view/sim_view.h"

namespace qz {
namespace {

using test::Rig;

// What the lamps of a QZ-0606 should say for switch states and levels: "开"/"关", then the
// output value of each level in the default table.
QString expected(const std::array<int, 6>& on, const std::array<int, 6>& levels) {
  QStringList t;
  for (int v : on) t << (v != 0 ? "开" : "关");
  for (int l : levels) t << QString::number(kDefaultLevelTable.at(static_cast<std::size_t>(l)));
  return t.join(" | ");
}

// The lamps' descriptions as assistive technology gets them.
QString lamps(view::SimView& v) {
  v.refresh();
  QStringList t;
  for (int c = 0; c < kRowBytes; ++c) {
    t << QAccessible::queryAccessibleInterface(v.lamp(c))->text(QAccessible::Description);
  }
  return t.join(" | ");
}

// Sets scene `key` of a QZ-0606 in the editor as the installer would, control by control.
void editScene(Form1& w, int key, const std::array<int, 6>& on, const std::array<int, 6>& levels) {
  w.Command6[key]->click();
  for (int c = 0; c < 6; ++c) {
    if (w.TD2[c]->isChecked() != (on[static_cast<std::size_t>(c)] != 0)) w.TD2[c]->click();
    w.TG2[c]->setCurrentIndex(levels[static_cast<std::size_t>(c)]);
  }
}

struct ViewRig {
  sim::Options options = [] {
    sim::Options o;
    o.model = 1;  // QZ-0606: six switch channels, six dimming channels
    o.pacing = false;
    return o;
  }();
  Rig rig{options};
  view::SimView view{*rig.server, options};
};

TEST(ViewAgainstTool, EditingAScenePreviewsExactlyItsLampsAtTheTablesLevels) {
  QZ_SKIP_WITHOUT_PTY();
  ViewRig r;
  ASSERT_TRUE(r.rig.connect());
  const std::array on{1, 0, 1, 0, 0, 1};
  const std::array levels{0, 9, 3, 3, 5, 1};
  editScene(*r.rig.w, 2, on, levels);
  EXPECT_TRUE(test::pumpUntil([&] { return lamps(r.view) == expected(on, levels); }, 3000))
      << lamps(r.view).toStdString();
  EXPECT_EQ(QAccessible::queryAccessibleInterface(r.view.lamp(7))->text(QAccessible::Name),
            "调光2");
  // Opening the scene again sends it whole: the same lamps.
  r.rig.w->Command6[1]->click();
  r.rig.w->Command6[2]->click();
  EXPECT_TRUE(test::pumpUntil([&] { return lamps(r.view) == expected(on, levels); }, 3000));
}

TEST(ViewAgainstTool, TheControllersKeysPlayTheDownloadedScenes) {
  QZ_SKIP_WITHOUT_PTY();
  ViewRig r;
  Form1& w = *r.rig.w;
  ASSERT_TRUE(r.rig.connect());
  const std::array on{0, 1, 1, 0, 1, 1};
  const std::array levels{2, 0, 9, 4, 6, 8};
  editScene(w, 3, on, levels);
  w.Combo空调排风[0]->setCurrentIndex(6);  // 排风1 on channel 6,
  w.Combo空调排风[1]->setCurrentIndex(1);  // on at power-on
  w.Combo开机场景->setCurrentIndex(14);    // 灯光全开
  w.Command6[1]->click();
  w.Command下载->click();
  ASSERT_TRUE(test::pumpUntil([&] { return w.Label提示->text() == "  参数下载成功"; }, 5000));
  r.view.refresh();
  EXPECT_EQ(r.view.transfer()->text(), "下载 19/19");

  // The fan's channel is the fan's, not the scenes': it stays as scene 1's preview left it.
  r.view.key(2)->click();  // 场景3
  EXPECT_EQ(lamps(r.view), "关 | 开 | 开 | 关 | 开 | 排风1 关 | 40 | 0 | 250 | 100 | 160 | 220");
  r.view.key(13)->click();  // 灯光全关
  EXPECT_EQ(lamps(r.view), "关 | 关 | 关 | 关 | 关 | 排风1 关 | 0 | 0 | 0 | 0 | 0 | 0");
  // Power-on: its scene, the fan in its power-on state.
  r.view.powerKey()->click();
  EXPECT_EQ(lamps(r.view), "开 | 开 | 开 | 开 | 开 | 排风1 开 | 250 | 250 | 250 | 250 | 250 | 250");
}

}  // namespace
}  // namespace qz

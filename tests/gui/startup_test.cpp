// The window as it comes up: every list, every default, the image and the level table.

#include <gtest/gtest.h>

#include <QGroupBox>
#include <QLabel>

#include "support/editor_window.h"

namespace qz {
namespace {

using test::Bytes;
using test::EditorWindow;
using test::items;

QStringList levelItems() {
  QStringList out;
  for (int i = 0; i <= 9; ++i) out.append(QString::number(i));
  return out;
}

TEST(StartUp, EveryListHoldsItsItemsAndItsDefault) {
  EditorWindow t;
  Form1& w = *t.w;

  EXPECT_EQ(items(w.Combo机型),
            QStringList({"QZ-0408", "QZ-0606", "QZ-0804", "QZ-1002", "QZ-1200"}));
  EXPECT_EQ(w.Combo机型->currentIndex(), 0);
  EXPECT_TRUE(w.Combo机型->isEnabled());
  EXPECT_EQ(w.Label机型->text(), "QZ-0408");
  EXPECT_EQ(w.Label软件版本->text(), "");

  // The baud rate is fixed at 9600: the user cannot reach the list.
  EXPECT_EQ(w.Combo波特率->count(), 11);
  EXPECT_EQ(w.Combo波特率->currentText(), "9600");
  EXPECT_FALSE(w.Combo波特率->isEnabled());

  // Every panel level list: "0".."9", on "0".
  for (int m = 0; m < 4; ++m) {
    for (int i = 0; i < dimCount(m); ++i) {
      SCOPED_TRACE(testing::Message() << "panel " << m << " list " << i);
      EXPECT_EQ(items(w.levelList(m, i)), levelItems());
      EXPECT_EQ(w.levelList(m, i)->currentIndex(), 0);
    }
  }

  EXPECT_EQ(items(w.Combo工作模式), QStringList({"LINK模式", "DMX512模式"}));
  EXPECT_EQ(w.Combo工作模式->currentIndex(), 0);
  EXPECT_EQ(items(w.Combo场景模式), QStringList({"切换", "叠加"}));
  EXPECT_EQ(w.Combo场景模式->currentIndex(), 0);
  EXPECT_FALSE(w.Combo场景模式->isVisibleTo(&w));
  EXPECT_FALSE(w.Label21->isVisibleTo(&w));

  ASSERT_EQ(w.Combo1DMX地址->count(), 501);
  EXPECT_EQ(w.Combo1DMX地址->itemText(0), "1");
  EXPECT_EQ(w.Combo1DMX地址->itemText(255), "256");
  EXPECT_EQ(w.Combo1DMX地址->itemText(500), "501");
  EXPECT_EQ(w.Combo1DMX地址->currentIndex(), 0);

  EXPECT_EQ(items(w.Combo开机场景),
            QStringList({"场景1", "场景2", "场景3", "场景4", "场景5", "场景6", "场景7", "场景8",
                         "场景9", "场景10", "场景11", "场景12", "场景13", "灯光全关", "灯光全开",
                         "暂停", "静音"}));
  EXPECT_EQ(w.Combo开机场景->currentIndex(), 2);  // "场景3", not "场景1"
  EXPECT_EQ(w.Combo开机场景->currentText(), "场景3");

  // The level table: 256 values each, on the default of its level, locked.
  const int defaults[] = {0, 20, 40, 70, 100, 130, 160, 190, 220, 250};
  for (int k = 0; k < 10; ++k) {
    SCOPED_TRACE(testing::Message() << "level " << k);
    ASSERT_EQ(w.Combo调光级别[k]->count(), 256);
    EXPECT_EQ(w.Combo调光级别[k]->itemText(0), "0");
    EXPECT_EQ(w.Combo调光级别[k]->itemText(255), "255");
    EXPECT_EQ(w.Combo调光级别[k]->currentIndex(), defaults[k]);
    EXPECT_FALSE(w.Combo调光级别[k]->isEnabled());
  }
  EXPECT_EQ(w.Combo调光级别[3]->currentText(), "70");
  EXPECT_EQ(w.Combo调光级别[9]->currentText(), "250");

  // Assignment lists for QZ-0408: fans on four channels, no air conditioner.
  const QStringList fan = {"关闭", "通道1", "通道2", "通道3", "通道4"};
  const QStringList power = {"关闭", "打开"};
  EXPECT_EQ(items(w.Combo空调排风[0]), fan);
  EXPECT_EQ(items(w.Combo空调排风[1]), power);
  EXPECT_EQ(items(w.Combo空调排风[2]), fan);
  EXPECT_EQ(items(w.Combo空调排风[3]), power);
  for (int k = 0; k <= 3; ++k) {
    EXPECT_EQ(w.Combo空调排风[k]->currentIndex(), 0);
    EXPECT_TRUE(w.Combo空调排风[k]->isEnabled());
  }
  for (int k = 4; k <= 8; ++k) {
    EXPECT_EQ(items(w.Combo空调排风[k]), QStringList({"关闭"}));
    EXPECT_EQ(w.Combo空调排风[k]->currentIndex(), 0);
    EXPECT_FALSE(w.Combo空调排风[k]->isEnabled());
  }
  EXPECT_TRUE(w.Frame4->isEnabled());
  EXPECT_FALSE(w.Frame5->isEnabled());
}

TEST(StartUp, ScenePanelFramesAndState) {
  EditorWindow t;
  Form1& w = *t.w;

  EXPECT_EQ(w.width(), twips(kNarrowWidthTwips));
  EXPECT_FALSE(w.WideView);
  EXPECT_EQ(w.CurScene, 0);
  EXPECT_EQ(w.CurModel, 0);
  EXPECT_TRUE(w.LiveTest);
  EXPECT_FALSE(w.VersionMode());
  EXPECT_FALSE(w.Connected());

  EXPECT_EQ(test::buttonColour(w.Command6[1]), test::kRed);
  for (int i = 2; i <= 17; ++i) {
    EXPECT_EQ(test::buttonColour(w.Command6[i]), test::kLightOrange) << i;
  }
  for (int m = 0; m < 5; ++m) {
    EXPECT_EQ(w.Frame6[m]->title(), "当前设置->场景1") << m;
    EXPECT_EQ(w.Frame6[m]->isVisibleTo(&w), m == 0) << m;
  }
  // Scene 1 of QZ-0408 switches on channel 1 by default.
  EXPECT_EQ(w.TD1[0]->checkState(), Qt::Checked);
  for (int i = 1; i < 4; ++i) EXPECT_EQ(w.TD1[i]->checkState(), Qt::Unchecked) << i;
  for (int i = 0; i < 4; ++i) {
    EXPECT_TRUE(w.TD1[i]->isEnabled()) << i;
    EXPECT_FALSE(w.TD1[i]->isTristate()) << i;
  }

  EXPECT_FALSE(w.Frame密码->isVisibleTo(&w));
  EXPECT_FALSE(w.Frame7->isVisibleTo(&w));
  EXPECT_FALSE(w.Frame提示->isVisibleTo(&w));
  EXPECT_TRUE(w.Frame2[0]->isEnabled());
  EXPECT_FALSE(w.Command上传->isEnabled());
  EXPECT_FALSE(w.Command下载->isEnabled());

  const LevelTable table = {0, 20, 40, 70, 100, 130, 160, 190, 220, 250};
  EXPECT_EQ(w.DimTable, table);
  ASSERT_EQ(t.platform.beeps.size(), 1U);
  EXPECT_EQ(t.platform.beeps[0], std::make_pair(4000, 200));
  EXPECT_TRUE(t.port.writes.empty());
}

TEST(StartUp, TheImageHoldsTheQz0408PatternAndTheDefaults) {
  EditorWindow t;
  const std::vector<Bytes> expected = {
      {1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},  // scene 1: channel 1, every level 0
      {0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
      {0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0},
      {0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0},
      {0, 0, 0, 0, 9, 0, 0, 0, 0, 0, 0, 0},
      {0, 0, 0, 0, 0, 9, 0, 0, 0, 0, 0, 0},
      {0, 0, 0, 0, 0, 0, 9, 0, 0, 0, 0, 0},
      {0, 0, 0, 0, 0, 0, 0, 9, 0, 0, 0, 0},
      {0, 0, 0, 0, 0, 0, 0, 0, 9, 0, 0, 0},
      {0, 0, 0, 0, 0, 0, 0, 0, 0, 9, 0, 0},
      {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 9, 0},
      {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 9},
      {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},                 // scene 13
      {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},                 // all off
      {1, 1, 1, 1, 9, 9, 9, 9, 9, 9, 9, 9},                 // all on
      {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},                 // pause
      {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},                 // mute
      {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1},                 // nothing assigned, LINK, DMX address 1
      {0, 0, 20, 40, 70, 100, 130, 160, 190, 220, 250, 2},  // switch mode, table, "场景3"
  };
  for (int r = 0; r < kRows; ++r) EXPECT_EQ(t.row(r), expected[static_cast<std::size_t>(r)]) << r;
}

TEST(StartUp, ShowingTheSameModelAgainOnlySetsTheLabel) {
  EditorWindow t;
  Form1& w = *t.w;
  // A rerun of the model handler would rewrite the scene pattern and reset the air conditioner.
  w.SetData(0, 0) = 0;
  w.SetData(14, 5) = 3;
  w.SetData(17, 4) = 2;
  w.Label机型->setText(QString());
  w.显示机型(0);
  EXPECT_EQ(w.Label机型->text(), "QZ-0408");
  EXPECT_EQ(w.SetData(0, 0), 0);
  EXPECT_EQ(w.SetData(14, 5), 3);
  EXPECT_EQ(w.SetData(17, 4), 2);
}

}  // namespace
}  // namespace qz

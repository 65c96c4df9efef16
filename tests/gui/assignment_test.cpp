// Exhaust-fan and air-conditioner channels: the duplicate prompt, withdrawn channels and the
// rebuild of the lists for a model.

#include <gtest/gtest.h>

#include <QGroupBox>
#include <QLabel>

#include "support/editor_window.h"

namespace qz {
namespace {

using test::Bytes;
using test::EditorWindow;
using test::items;

enum List { kFan1 = 0, kFan1On = 1, kFan2 = 2, kFan2On = 3, kValveOpen = 4, kHigh = 6 };

TEST(Assignment, AClashIsRefusedAndHoldsTheEditorUntilAcknowledged) {
  EditorWindow t;
  Form1& w = *t.w;
  EditorWindow::choose(w.Combo机型, 1);  // QZ-0606
  EditorWindow::choose(w.Combo空调排风[kFan1], 3);
  EXPECT_EQ(w.SetData(17, 0), 3);
  EXPECT_FALSE(w.Frame7->isVisibleTo(&w));

  EditorWindow::choose(w.Combo空调排风[kValveOpen], 3);
  EXPECT_TRUE(w.Frame7->isVisibleTo(&w));
  EXPECT_EQ(w.Label19->text(), "与“排风1”通道定义重复");
  EXPECT_EQ(w.Label22->text(), "请重新定义");
  EXPECT_EQ(w.Combo空调排风[kValveOpen]->currentIndex(), 0);
  EXPECT_EQ(w.Combo空调排风[kValveOpen]->currentText(), "关闭");
  EXPECT_EQ(w.SetData(17, 4), 0);
  EXPECT_EQ(w.SetData(17, 0), 3);
  EXPECT_FALSE(w.TD2[2]->isEnabled());  // still held by fan 1
  EXPECT_FALSE(w.Frame2[0]->isEnabled());

  // Nothing in the editor reacts meanwhile.
  w.Command6[4]->click();
  EXPECT_EQ(w.CurScene, 0);
  EXPECT_EQ(test::buttonColour(w.Command6[1]), test::kRed);

  w.Command1->click();
  EXPECT_FALSE(w.Frame7->isVisibleTo(&w));
  EXPECT_TRUE(w.Frame2[0]->isEnabled());
  w.Command6[4]->click();
  EXPECT_EQ(w.CurScene, 3);

  // A fan list against an air-conditioner list, named by the list that holds the channel.
  EditorWindow::choose(w.Combo空调排风[kValveOpen], 2);
  EXPECT_EQ(w.SetData(17, 4), 2);
  EditorWindow::choose(w.Combo空调排风[kFan2], 2);
  EXPECT_EQ(w.Label19->text(), "与“阀开”通道定义重复");
  EXPECT_EQ(w.Combo空调排风[kFan2]->currentIndex(), 0);
  EXPECT_EQ(w.SetData(17, 2), 0);
  w.Command1->click();
  EXPECT_TRUE(t.port.writes.empty());
}

TEST(Assignment, OffAndPowerOnChoicesNeverClash) {
  EditorWindow t;
  Form1& w = *t.w;
  EditorWindow::choose(w.Combo机型, 3);
  for (int k = 0; k < 9; ++k) {
    EditorWindow::choose(w.Combo空调排风[k], 1);
    EditorWindow::choose(w.Combo空调排风[k], 0);
  }
  EXPECT_FALSE(w.Frame7->isVisibleTo(&w));
  // Fan 1 on "通道1" and on at power-up.
  EditorWindow::choose(w.Combo空调排风[kFan1], 1);
  EditorWindow::choose(w.Combo空调排风[kFan1On], 1);
  EditorWindow::choose(w.Combo空调排风[kFan2On], 1);
  EXPECT_FALSE(w.Frame7->isVisibleTo(&w));
  EXPECT_EQ(t.row(17), Bytes({1, 1, 0, 1, 0, 0, 0, 0, 0, 0, 0, 1}));
  EXPECT_EQ(w.Combo空调排风[kFan1On]->currentText(), "打开");
}

TEST(Assignment, AnAssignedChannelIsWithdrawnFromTheCurrentPanelOnly) {
  EditorWindow t;
  Form1& w = *t.w;
  EditorWindow::choose(w.Combo机型, 1);
  EditorWindow::choose(w.Combo空调排风[kFan1], 2);
  EXPECT_FALSE(w.TD2[1]->isEnabled());
  EXPECT_TRUE(w.TD1[1]->isEnabled());
  EditorWindow::choose(w.Combo空调排风[kHigh], 6);
  EXPECT_FALSE(w.TD2[5]->isEnabled());
  for (const int i : {0, 2, 3, 4}) EXPECT_TRUE(w.TD2[i]->isEnabled()) << i;
  // The scene still loads the withdrawn box's state.
  w.SetData(0, 1) = 1;
  w.Command6[1]->click();
  EXPECT_EQ(w.TD2[1]->checkState(), Qt::Checked);

  EditorWindow::choose(w.Combo空调排风[kFan1], 0);
  EXPECT_TRUE(w.TD2[1]->isEnabled());
  EXPECT_EQ(w.SetData(0, 1), 1);
}

TEST(Assignment, ANewModelResetsTheAirConditionerAndKeepsTheFans) {
  EditorWindow t;
  Form1& w = *t.w;
  EditorWindow::choose(w.Combo机型, 1);
  EditorWindow::choose(w.Combo空调排风[kFan1], 3);
  EditorWindow::choose(w.Combo空调排风[kFan1On], 1);
  EditorWindow::choose(w.Combo空调排风[kFan2], 5);
  const int air[] = {1, 2, 4, 6, 5};
  for (int k = 4; k <= 8; ++k) EditorWindow::choose(w.Combo空调排风[k], air[k - 4]);
  // "低风" on 5 clashed with fan 2; the others are stored.
  EXPECT_EQ(w.Label19->text(), "与“排风2”通道定义重复");
  EXPECT_EQ(t.row(17), Bytes({3, 1, 5, 0, 1, 2, 4, 6, 0, 0, 0, 1}));
  w.Command1->click();

  EditorWindow::choose(w.Combo机型, 2);  // QZ-0804
  const QStringList eight = {"关闭",  "通道1", "通道2", "通道3", "通道4",
                             "通道5", "通道6", "通道7", "通道8"};
  EXPECT_EQ(items(w.Combo空调排风[kFan1]), eight);
  for (int k = 4; k <= 8; ++k) {
    EXPECT_EQ(items(w.Combo空调排风[k]), eight) << k;
    EXPECT_EQ(w.Combo空调排风[k]->currentIndex(), 0) << k;
    EXPECT_TRUE(w.Combo空调排风[k]->isEnabled()) << k;
  }
  EXPECT_TRUE(w.Frame5->isEnabled());
  EXPECT_EQ(w.Combo空调排风[kFan1]->currentIndex(), 3);
  EXPECT_EQ(w.Combo空调排风[kFan1On]->currentIndex(), 1);
  EXPECT_EQ(w.Combo空调排风[kFan2]->currentIndex(), 5);
  EXPECT_EQ(t.row(17), Bytes({3, 1, 5, 0, 0, 0, 0, 0, 0, 0, 0, 1}));
  // The new panel has the fans' channels withdrawn.
  for (int i = 0; i < 8; ++i) EXPECT_EQ(w.TD3[i]->isEnabled(), i != 2 && i != 4) << i;

  // Back to QZ-0408: no air conditioner.
  EditorWindow::choose(w.Combo机型, 0);
  EXPECT_FALSE(w.Frame5->isEnabled());
  for (int k = 4; k <= 8; ++k) EXPECT_EQ(items(w.Combo空调排风[k]), QStringList({"关闭"})) << k;
  EXPECT_TRUE(w.Frame7->isHidden());
}

// A fan channel the new model lacks, or a power-on state that is neither off nor on, shows
// "关闭" and is stored as 0: nothing stays assigned that the user cannot see or clear.
TEST(Assignment, StoredValuesTheNewModelCannotHaveBecomeOff) {
  EditorWindow t;
  Form1& w = *t.w;
  EditorWindow::choose(w.Combo机型, 4);
  EditorWindow::choose(w.Combo空调排风[kFan1], 12);
  EditorWindow::choose(w.Combo空调排风[kFan2], 3);
  w.SetData(17, 3) = 2;  // a power-on state from elsewhere
  EditorWindow::choose(w.Combo机型, 0);
  EXPECT_EQ(w.Combo空调排风[kFan1]->currentText(), "关闭");
  EXPECT_EQ(w.Combo空调排风[kFan2]->currentText(), "通道3");
  EXPECT_EQ(w.Combo空调排风[kFan2On]->currentText(), "关闭");
  EXPECT_EQ(t.row(17), Bytes({0, 0, 3, 0, 0, 0, 0, 0, 0, 0, 0, 1}));
  for (int i = 0; i < 4; ++i) EXPECT_EQ(w.TD1[i]->isEnabled(), i != 2) << i;
  EXPECT_FALSE(w.Frame7->isVisibleTo(&w));

  // The user chooses again: stored as usual.
  EditorWindow::choose(w.Combo空调排风[kFan1], 4);
  EXPECT_EQ(w.SetData(17, 0), 4);
  EXPECT_FALSE(w.TD1[3]->isEnabled());
}

// On QZ-0408 an image's air-conditioner channel cannot hide: it shows "关闭" and becomes 0, so
// giving its channel to a fan later is no clash, and what goes out holds no channel twice.
TEST(Assignment, AnAirConditionerChannelOnQz0408NeitherHidesNorCollides) {
  EditorWindow t;
  Form1& w = *t.w;
  w.SetData(17, 4) = 1;  // "阀开" on channel 1, from a file or a controller
  w.SetData(17, 7) = 3;
  w.Show_Set(1);
  for (int k = kValveOpen; k <= 8; ++k) {
    EXPECT_EQ(w.Combo空调排风[k]->currentText(), "关闭") << k;
  }
  EXPECT_EQ(t.row(17), Bytes({0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}));
  for (int i = 0; i < 4; ++i) EXPECT_TRUE(w.TD1[i]->isEnabled()) << i;

  EditorWindow::choose(w.Combo空调排风[kFan1], 1);
  EditorWindow::choose(w.Combo空调排风[kFan2], 3);
  EXPECT_FALSE(w.Frame7->isVisibleTo(&w));
  EXPECT_EQ(t.row(17), Bytes({1, 0, 3, 0, 0, 0, 0, 0, 0, 0, 0, 1}));
  EXPECT_FALSE(w.TD1[0]->isEnabled());
  EXPECT_FALSE(w.TD1[2]->isEnabled());
}

}  // namespace
}  // namespace qz

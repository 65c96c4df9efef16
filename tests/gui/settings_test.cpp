// The model and the global settings: which image cells each list writes, and what a model
// change rewrites.

#include <gtest/gtest.h>

#include <QGroupBox>
#include <QLabel>

#include "support/editor_window.h"

namespace qz {
namespace {

using test::Bytes;
using test::EditorWindow;

TEST(Model, ChoosingAModelShowsItsPanelAndNameAndWritesItsPattern) {
  EditorWindow t;
  Form1& w = *t.w;
  const char* names[] = {"QZ-0408", "QZ-0606", "QZ-0804", "QZ-1002", "QZ-1200"};
  for (const int m : {2, 4, 1, 3, 0}) {
    SCOPED_TRACE(names[m]);
    EditorWindow::choose(w.Combo机型, m);
    EXPECT_EQ(w.CurModel, m);
    EXPECT_EQ(w.Label机型->text(), names[m]);
    for (int k = 0; k < 5; ++k) EXPECT_EQ(w.Frame6[k]->isVisibleTo(&w), k == m) << k;
    EXPECT_EQ(w.Combo空调排风[0]->count(), 2 * m + 5);
    EXPECT_EQ(w.Frame5->isEnabled(), m != 0);
  }
  EXPECT_TRUE(t.port.writes.empty());
}

TEST(Model, Qz1200ThenQz0408RewritesOnlyTheDiagonalAndAllOn) {
  EditorWindow t;
  Form1& w = *t.w;
  EditorWindow::choose(w.Combo机型, 4);
  for (int c = 0; c < 12; ++c) {
    EXPECT_EQ(w.SetData(c, c), 1) << c;
    EXPECT_EQ(w.SetData(14, c), 1) << c;
  }
  // Mark every cell the pattern must not touch.
  for (int r = 0; r < 17; ++r) {
    for (int c = 0; c < 12; ++c) {
      if (r != c && r != 14) w.SetData(r, c) = 5;
    }
  }
  const ConfigImage before = w.SetData;
  EditorWindow::choose(w.Combo机型, 0);
  for (int r = 0; r < kRows; ++r) {
    for (int c = 0; c < 12; ++c) {
      std::uint8_t expected = before(r, c);
      if (r == c || r == 14) expected = c < 4 ? 1 : 9;
      EXPECT_EQ(w.SetData(r, c), expected) << r << "," << c;
    }
  }
  // Scene 13 and the keys "灯光全关", "暂停", "静音" never receive defaults.
  for (const int r : {12, 13, 15, 16}) EXPECT_EQ(t.row(r), Bytes(12, 5)) << r;
}

TEST(GlobalSettings, EachListWritesItsCell) {
  EditorWindow t;
  Form1& w = *t.w;
  EditorWindow::choose(w.Combo开机场景, 13);
  EXPECT_EQ(w.SetData(18, 11), 13);
  EXPECT_EQ(w.Combo开机场景->currentText(), "灯光全关");
  EditorWindow::choose(w.Combo开机场景, 16);
  EXPECT_EQ(w.SetData(18, 11), 16);
  EditorWindow::choose(w.Combo工作模式, 1);
  EXPECT_EQ(w.SetData(17, 9), 1);
  EditorWindow::choose(w.Combo场景模式, 1);
  EXPECT_EQ(w.SetData(18, 0), 1);

  EditorWindow::choose(w.Combo1DMX地址, 255);  // "256"
  EXPECT_EQ(w.SetData(17, 10), 1);
  EXPECT_EQ(w.SetData(17, 11), 0);
  EditorWindow::choose(w.Combo1DMX地址, 254);  // "255"
  EXPECT_EQ(w.SetData(17, 10), 0);
  EXPECT_EQ(w.SetData(17, 11), 255);
  EditorWindow::choose(w.Combo1DMX地址, 500);  // "501"
  EXPECT_EQ(w.SetData(17, 10), 1);
  EXPECT_EQ(w.SetData(17, 11), 245);
  EditorWindow::choose(w.Combo1DMX地址, 0);
  EXPECT_EQ(w.SetData(17, 10), 0);
  EXPECT_EQ(w.SetData(17, 11), 1);

  // A model change keeps every one of them.
  EditorWindow::choose(w.Combo机型, 2);
  EXPECT_EQ(t.row(17)[9], 1);
  EXPECT_EQ(t.row(18)[0], 1);
  EXPECT_EQ(t.row(18)[11], 16);
  EXPECT_TRUE(t.port.writes.empty());
}

TEST(LevelTable, AChangedValueUpdatesTheTableAndResendsTheScene) {
  EditorWindow t;
  Form1& w = *t.w;
  // Not connected: the image and the table change, nothing goes out.
  EditorWindow::choose(w.Combo调光级别[9], 255);
  EXPECT_EQ(w.SetData(18, 10), 255);
  EXPECT_EQ(w.DimTable[9], 255);
  EXPECT_TRUE(t.port.writes.empty());

  t.connect(1);
  w.SetData(0, 6) = 9;
  w.SetData(0, 7) = 3;
  EditorWindow::choose(w.Combo调光级别[3], 75);
  EXPECT_EQ(w.SetData(18, 4), 75);
  EXPECT_EQ(w.DimTable[3], 75);
  ASSERT_EQ(t.port.writes.size(), 1U);
  EXPECT_EQ(t.port.writes[0], Bytes({0xD1, 0xD1, 1, 0, 0, 0, 0, 0, 255, 75, 0, 0, 0, 0, 0x55}));
}

}  // namespace
}  // namespace qz

// A whole image pushed into the editor (after an upload or a file), and the controller's
// handshake preparing the editor for its model.

#include <gtest/gtest.h>

#include <QGroupBox>
#include <QLabel>

#include "support/editor_window.h"

namespace qz {
namespace {

using test::Bytes;
using test::EditorWindow;
using test::items;
using test::preview;

TEST(ShowImage, OpensKey1AndShowsEverySetting) {
  EditorWindow t;
  Form1& w = *t.w;
  EditorWindow::choose(w.Combo机型, 1);  // QZ-0606
  w.Command6[9]->click();
  ConfigImage image;
  image.rows[0] = {1, 0, 1, 1, 0, 1, 9, 0, 2, 3, 4, 5};
  image.rows[17] = {2, 1, 4, 0, 0, 6, 0, 1, 0, 1, 1, 0};
  image.rows[18] = {1, 0, 10, 30, 60, 90, 120, 150, 180, 210, 255, 14};
  w.SetData = image;

  w.Show_Set(1);
  EXPECT_EQ(w.CurScene, 0);
  for (int i = 1; i <= 17; ++i) {
    EXPECT_EQ(test::buttonColour(w.Command6[i]), i == 1 ? test::kRed : test::kLightOrange) << i;
  }
  for (int m = 0; m < 5; ++m) EXPECT_EQ(w.Frame6[m]->title(), "当前设置->场景1");
  const Qt::CheckState boxes[] = {Qt::Checked, Qt::Unchecked, Qt::Checked,
                                  Qt::Checked, Qt::Unchecked, Qt::Checked};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(w.TD2[i]->checkState(), boxes[i]) << i;
  for (int i = 0; i < 6; ++i) EXPECT_EQ(w.TG2[i]->currentIndex(), image(0, 6 + i)) << i;

  const int assignment[] = {2, 1, 4, 0, 0, 6, 0, 1, 0};
  for (int k = 0; k < 9; ++k) EXPECT_EQ(w.Combo空调排风[k]->currentIndex(), assignment[k]) << k;
  EXPECT_FALSE(w.TD2[1]->isEnabled());
  EXPECT_FALSE(w.TD2[3]->isEnabled());
  EXPECT_FALSE(w.TD2[5]->isEnabled());
  EXPECT_FALSE(w.TD2[0]->isEnabled());  // "中风" on channel 1
  EXPECT_TRUE(w.TD2[2]->isEnabled());
  EXPECT_EQ(w.Combo工作模式->currentText(), "DMX512模式");
  EXPECT_EQ(w.Combo1DMX地址->currentText(), "256");
  EXPECT_EQ(w.Combo场景模式->currentText(), "叠加");
  EXPECT_EQ(w.Combo开机场景->currentText(), "灯光全开");
  for (int i = 0; i < 10; ++i) {
    EXPECT_EQ(w.Combo调光级别[i]->currentIndex(), image(18, i + 1)) << i;
    EXPECT_EQ(w.DimTable[static_cast<std::size_t>(i)], image(18, i + 1)) << i;
  }
  // Every handler wrote back what it showed.
  EXPECT_EQ(w.SetData, image);
  EXPECT_FALSE(w.Frame7->isVisibleTo(&w));
  EXPECT_TRUE(t.port.writes.empty());
}

TEST(ShowImage, PowerOnScenesBeyondTheThirteenScenesAreTheSpecialKeys) {
  EditorWindow t;
  Form1& w = *t.w;
  const char* names[] = {"灯光全关", "灯光全开", "暂停", "静音"};
  for (int v = 13; v <= 16; ++v) {
    w.SetData(18, 11) = static_cast<std::uint8_t>(v);
    w.Show_Set(1);
    EXPECT_EQ(w.Combo开机场景->currentText(), names[v - 13]);
  }
}

TEST(ShowImage, WhileConnectedSendsTheSceneAndAgainForEachNewLevelValue) {
  EditorWindow t;
  t.connect(0);  // QZ-0408: bytes 4..11 are levels
  Form1& w = *t.w;
  w.SetData.rows[0] = {1, 0, 0, 1, 0, 1, 2, 3, 9, 9, 9, 9};
  w.SetData(18, 10) = 255;  // level 9
  w.SetData(18, 2) = 21;    // level 1
  w.Show_Set(1);
  ASSERT_EQ(t.port.writes.size(), 3U);
  EXPECT_EQ(t.port.writes[0], preview({1, 0, 0, 1, 0, 20, 40, 70, 250, 250, 250, 250}));
  EXPECT_EQ(t.port.writes[1], preview({1, 0, 0, 1, 0, 21, 40, 70, 250, 250, 250, 250}));
  EXPECT_EQ(t.port.writes[2], preview({1, 0, 0, 1, 0, 21, 40, 70, 255, 255, 255, 255}));
  EXPECT_EQ(w.DimTable[1], 21);
  EXPECT_EQ(w.DimTable[9], 255);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(w.TG1[i]->currentIndex(), w.SetData(0, 4 + i)) << i;
}

TEST(ShowImage, Qz1200RowsAreTwelveSwitchBytes) {
  EditorWindow t;
  t.connect(4);
  Form1& w = *t.w;
  w.SetData.rows[0] = {1, 1, 0, 0, 1, 0, 1, 0, 0, 1, 1, 1};
  w.Show_Set(1);
  for (int i = 0; i < 12; ++i) {
    EXPECT_EQ(w.TD5[i]->checkState(), w.SetData(0, i) == 1 ? Qt::Checked : Qt::Unchecked) << i;
  }
  ASSERT_EQ(t.port.writes.size(), 1U);
  EXPECT_EQ(t.port.writes[0], preview({1, 1, 0, 0, 1, 0, 1, 0, 0, 1, 1, 1}));
}

TEST(ShowImage, AFanAndHighSpeedOnOneChannelRefuseHighSpeed) {
  EditorWindow t;
  Form1& w = *t.w;
  EditorWindow::choose(w.Combo机型, 3);  // QZ-1002; every list on "关闭"
  w.SetData(17, 0) = 7;
  w.SetData(17, 6) = 7;
  w.Show_Set(1);
  EXPECT_TRUE(w.Frame7->isVisibleTo(&w));
  EXPECT_EQ(w.Label19->text(), "与“排风1”通道定义重复");
  EXPECT_EQ(w.Combo空调排风[0]->currentIndex(), 7);
  EXPECT_EQ(w.Combo空调排风[6]->currentIndex(), 0);
  EXPECT_EQ(w.SetData(17, 0), 7);
  EXPECT_EQ(w.SetData(17, 6), 0);
  EXPECT_FALSE(w.Frame2[0]->isEnabled());
  EXPECT_FALSE(w.TD4[6]->isEnabled());
  // The rest of the image is still shown.
  EXPECT_EQ(w.Combo开机场景->currentIndex(), 2);
  w.Command1->click();
  EXPECT_TRUE(w.Frame2[0]->isEnabled());
}

// Bytes no control can show: an assignment the model cannot have shows "关闭" and becomes 0;
// every other list shows nothing and its byte stays; nothing extra is sent.
TEST(ShowImage, ValuesTheControlsCannotShowAreKeptButImpossibleAssignmentsTurnOff) {
  EditorWindow t;
  t.connect(1);  // QZ-0606
  Form1& w = *t.w;
  EditorWindow::choose(w.Combo空调排风[0], 3);  // fan 1 shown on "通道3" before
  ASSERT_FALSE(w.TD2[2]->isEnabled());
  w.SetData.rows[0] = {3, 1, 0, 0, 0, 2, 12, 9, 0, 0, 0, 0};
  w.SetData.rows[17] = {7, 2, 0, 5, 9, 0, 0, 0, 13, 2, 1, 246};  // address 502
  w.SetData(18, 0) = 2;
  w.SetData(18, 11) = 17;
  const ConfigImage image = w.SetData;
  t.port.writes.clear();

  w.Show_Set(1);
  ConfigImage expected = image;
  expected.rows[17] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 1, 246};
  EXPECT_EQ(w.SetData, expected);
  EXPECT_EQ(w.TD2[0]->checkState(), Qt::PartiallyChecked);
  EXPECT_EQ(w.TD2[5]->checkState(), Qt::PartiallyChecked);
  EXPECT_EQ(w.TG2[0]->currentIndex(), -1);
  for (int k = 0; k < 9; ++k) EXPECT_EQ(w.Combo空调排风[k]->currentText(), "关闭") << k;
  EXPECT_EQ(w.Combo工作模式->currentIndex(), -1);
  EXPECT_EQ(w.Combo1DMX地址->currentIndex(), -1);
  EXPECT_EQ(w.Combo场景模式->currentIndex(), -1);
  EXPECT_EQ(w.Combo开机场景->currentIndex(), -1);
  // No list names channel 3 any more: its box is given back.
  for (int i = 0; i < 6; ++i) EXPECT_TRUE(w.TD2[i]->isEnabled()) << i;
  EXPECT_FALSE(w.Frame7->isVisibleTo(&w));
  ASSERT_EQ(t.port.writes.size(), 1U);
  EXPECT_EQ(t.port.writes[0], preview({3, 1, 0, 0, 0, 2, 0, 250, 0, 0, 0, 0}));

  // Showing it again changes nothing more.
  w.Show_Set(1);
  EXPECT_EQ(w.SetData, expected);
  EXPECT_EQ(t.port.writes.size(), 2U);
}

TEST(ShowImage, AirConditionerChannelsOnQz0408AndAddressesAtTheEdges) {
  EditorWindow t;
  Form1& w = *t.w;
  w.SetData(17, 4) = 1;
  w.SetData(17, 8) = 4;
  w.SetData(17, 10) = 0;
  w.SetData(17, 11) = 0;  // no address
  ConfigImage expected = w.SetData;
  expected(17, 4) = 0;  // QZ-0408 drives no air conditioner
  expected(17, 8) = 0;
  w.Show_Set(1);
  EXPECT_EQ(w.SetData, expected);
  for (int k = 4; k <= 8; ++k) EXPECT_EQ(w.Combo空调排风[k]->currentText(), "关闭") << k;
  EXPECT_EQ(w.Combo1DMX地址->currentIndex(), -1);

  w.SetData(17, 10) = 1;
  w.SetData(17, 11) = 245;
  w.Show_Set(1);
  EXPECT_EQ(w.Combo1DMX地址->currentText(), "501");
  EXPECT_EQ(w.SetData(17, 10), 1);
  EXPECT_EQ(w.SetData(17, 11), 245);
  EXPECT_TRUE(t.port.writes.empty());
}

TEST(Handshake, ShowsTheModelsPanelAndRebuildsTheListsWithoutAPreview) {
  EditorWindow t;
  Form1& w = *t.w;
  EditorWindow::choose(w.Combo空调排风[0], 3);
  w.SetData(17, 6) = 2;  // an air-conditioner channel from an earlier file
  w.Command建立连接->click();
  if (!t.port.isOpen()) {
    t.port.setPortNumber(1);
    t.port.open();
  }
  w.Timer2_Timer();
  t.port.inject({0xAA, 0x55, 0x02, 0x88, 0x66});
  t.port.deliver();
  EXPECT_TRUE(w.Connected());
  EXPECT_EQ(w.CurModel, 2);
  EXPECT_EQ(w.Label机型->text(), "QZ-0804");
  for (int m = 0; m < 5; ++m) EXPECT_EQ(w.Frame6[m]->isVisibleTo(&w), m == 2) << m;
  EXPECT_EQ(w.Combo空调排风[0]->count(), 9);
  EXPECT_EQ(w.Combo空调排风[0]->currentIndex(), 3);
  for (int k = 4; k <= 8; ++k) {
    EXPECT_EQ(w.Combo空调排风[k]->count(), 9) << k;
    EXPECT_EQ(w.Combo空调排风[k]->currentIndex(), 0) << k;
  }
  EXPECT_TRUE(w.Frame5->isEnabledTo(&w));
  EXPECT_EQ(w.SetData(17, 6), 0);
  EXPECT_EQ(w.SetData(17, 0), 3);
  EXPECT_FALSE(w.TD3[2]->isEnabledTo(&w));
  EXPECT_EQ(w.SetData(8, 8), 9);  // the QZ-0804 pattern
  // Only the handshake went out.
  ASSERT_EQ(t.port.writes.size(), 1U);
  EXPECT_EQ(t.port.writes[0].size(), 12U);
}

TEST(Handshake, AModelByteAboveFourNeverReachesTheWindow) {
  EditorWindow t;
  Form1& w = *t.w;
  w.Command建立连接->click();
  if (!t.port.isOpen()) {
    t.port.setPortNumber(1);
    t.port.open();
  }
  w.Timer2_Timer();
  const ConfigImage image = w.SetData;
  for (const std::uint8_t m : Bytes{5, 6, 0x80, 0xFF}) {
    t.port.inject({0xAA, 0x55, m, 0x88, 0x66});
    t.port.deliver();
    EXPECT_FALSE(w.Connected());
    EXPECT_EQ(w.CurModel, 0);
    EXPECT_EQ(w.Combo机型->currentIndex(), 0);
    EXPECT_TRUE(w.Frame6[0]->isVisibleTo(&w));
    EXPECT_EQ(w.SetData, image);
  }
  EXPECT_EQ(t.port.writes.size(), 1U);
  // The attempt goes on and a proper reply still connects.
  t.port.inject({0xAA, 0x55, 0x01, 0x88, 0x66});
  t.port.deliver();
  EXPECT_TRUE(w.Connected());
  EXPECT_EQ(w.Combo机型->currentText(), "QZ-0606");
}

}  // namespace
}  // namespace qz

// The scene keys and the model panels: what each edit stores and what goes on the line.

#include <gtest/gtest.h>

#include <QGroupBox>

#include "support/editor_window.h"

namespace qz {
namespace {

using test::Bytes;
using test::EditorWindow;
using test::preview;

TEST(SceneKeys, AllLightsOffEditsRow13AndTitlesEveryPanel) {
  EditorWindow t;
  Form1& w = *t.w;
  w.SetData(13, 1) = 1;
  w.SetData(13, 6) = 4;
  w.Command6[14]->click();
  EXPECT_EQ(w.CurScene, 13);
  for (int m = 0; m < 5; ++m) EXPECT_EQ(w.Frame6[m]->title(), "当前设置->灯光全关") << m;
  for (int i = 1; i <= 17; ++i) {
    EXPECT_EQ(test::buttonColour(w.Command6[i]), i == 14 ? test::kRed : test::kLightOrange) << i;
  }
  // The QZ-0408 panel shows row 13.
  EXPECT_EQ(w.TD1[0]->checkState(), Qt::Unchecked);
  EXPECT_EQ(w.TD1[1]->checkState(), Qt::Checked);
  EXPECT_EQ(w.TG1[2]->currentIndex(), 4);
  // Disconnected: only the display and the key being edited changed.
  EXPECT_TRUE(t.port.writes.empty());

  w.Command6[3]->click();
  EXPECT_EQ(w.CurScene, 2);
  EXPECT_EQ(w.Frame6[0]->title(), "当前设置->场景3");
  EXPECT_EQ(test::buttonColour(w.Command6[14]), test::kLightOrange);
  EXPECT_EQ(test::buttonColour(w.Command6[3]), test::kRed);
}

TEST(SceneKeys, ChoosingAKeySendsTheWholeSceneEachTimeAndNoChannelTests) {
  EditorWindow t;
  t.connect(1);  // QZ-0606
  Form1& w = *t.w;
  w.SetData(4, 0) = 1;
  w.SetData(4, 1) = 0;
  w.SetData(4, 2) = 1;
  w.SetData(4, 3) = 0;
  w.SetData(4, 4) = 0;
  w.SetData(4, 5) = 1;
  const Row levels = {0, 0, 0, 0, 0, 0, 0, 9, 3, 3, 5, 1};
  for (int c = 6; c < 12; ++c) w.SetData(4, c) = levels[static_cast<std::size_t>(c)];
  const Bytes scene5 = {0xD1, 0xD1, 0x01, 0x00, 0x01, 0x00, 0x00, 0x01,
                        0x00, 0xFA, 0x46, 0x46, 0x82, 0x14, 0x55};

  // Loading ticks boxes and moves level lists; none of that goes out as a channel test.
  w.Command6[5]->click();
  ASSERT_EQ(t.port.writes.size(), 1U);
  EXPECT_EQ(t.port.writes[0], scene5);
  EXPECT_EQ(w.TD2[2]->checkState(), Qt::Checked);
  EXPECT_EQ(w.TG2[1]->currentIndex(), 9);
  EXPECT_EQ(w.TG2[4]->currentIndex(), 5);
  // The same key again: the same scene again, though nothing changed.
  w.Command6[5]->click();
  ASSERT_EQ(t.port.writes.size(), 2U);
  EXPECT_EQ(t.port.writes[1], scene5);
  EXPECT_EQ(t.row(4), Bytes({1, 0, 1, 0, 0, 1, 0, 9, 3, 3, 5, 1}));
}

TEST(Panels, SwitchBoxesStoreTheirByteAndTestTheirChannel) {
  EditorWindow t;
  Form1& w = *t.w;
  // Not connected: stored, nothing sent.
  w.TD1[2]->click();
  EXPECT_EQ(w.SetData(0, 2), 1);
  w.TD1[0]->click();
  EXPECT_EQ(w.SetData(0, 0), 0);
  EXPECT_TRUE(t.port.writes.empty());

  t.connect(1);
  w.Command6[2]->click();  // scene 2 of QZ-0606: channel 2 on by default
  t.port.writes.clear();
  w.TD2[2]->click();
  EXPECT_EQ(w.SetData(1, 2), 1);
  w.TD2[2]->click();  // unticking switch channel 3
  EXPECT_EQ(w.SetData(1, 2), 0);
  ASSERT_EQ(t.port.writes.size(), 2U);
  EXPECT_EQ(t.port.writes[0], Bytes({0xA0, 0x03, 0xD1, 0xAA, 0xFE, 0xFF}));
  EXPECT_EQ(t.port.writes[1], Bytes({0xA0, 0x03, 0xD0, 0xAA, 0xFE, 0xFF}));
}

TEST(Panels, Qz1200TicksChannel12) {
  EditorWindow t;
  t.connect(4);
  Form1& w = *t.w;
  EXPECT_TRUE(w.Frame6[4]->isVisibleTo(&w));
  w.Command6[1]->click();
  t.port.writes.clear();
  ASSERT_EQ(w.TD5[11]->checkState(), Qt::Unchecked);
  w.TD5[11]->click();
  EXPECT_EQ(w.SetData(0, 11), 1);
  w.TD5[11]->click();
  EXPECT_EQ(w.SetData(0, 11), 0);
  ASSERT_EQ(t.port.writes.size(), 2U);
  EXPECT_EQ(t.port.writes[0], Bytes({0xA0, 0x0C, 0xD1, 0xAA, 0xFE, 0xFF}));
  EXPECT_EQ(t.port.writes[1], Bytes({0xA0, 0x0C, 0xD0, 0xAA, 0xFE, 0xFF}));
}

TEST(Panels, LevelListsStoreTheLevelAndSendItsOutputValue) {
  EditorWindow t;
  Form1& w = *t.w;
  // QZ-0408, "调光3": byte 6 of the row.
  EditorWindow::choose(w.TG1[2], 5);
  EXPECT_EQ(w.SetData(0, 6), 5);
  EXPECT_TRUE(t.port.writes.empty());

  t.connect(0);
  EditorWindow::choose(w.TG1[2], 4);
  EditorWindow::choose(w.TG1[2], 5);
  EXPECT_EQ(w.SetData(0, 6), 5);
  ASSERT_EQ(t.port.writes.size(), 2U);
  EXPECT_EQ(t.port.writes[1], Bytes({0xA1, 0x03, 0x82, 0xAA, 0xFE, 0xFF}));
}

TEST(Panels, Qz0606Dimming2AtLevel9) {
  EditorWindow t;
  t.connect(1);
  Form1& w = *t.w;
  EditorWindow::choose(w.TG2[1], 9);
  EXPECT_EQ(w.SetData(0, 7), 9);
  ASSERT_EQ(t.port.writes.size(), 1U);
  EXPECT_EQ(t.port.writes[0], Bytes({0xA1, 0x02, 0xFA, 0xAA, 0xFE, 0xFF}));
}

TEST(Panels, Qz1002DimmingChannelsAreBytes10And11) {
  EditorWindow t;
  t.connect(3);
  Form1& w = *t.w;
  w.Command6[7]->click();
  t.port.writes.clear();
  EditorWindow::choose(w.TG4[0], 2);
  EditorWindow::choose(w.TG4[1], 7);
  EXPECT_EQ(w.SetData(6, 10), 2);
  EXPECT_EQ(w.SetData(6, 11), 7);
  ASSERT_EQ(t.port.writes.size(), 2U);
  EXPECT_EQ(t.port.writes[0], Bytes({0xA1, 0x01, 40, 0xAA, 0xFE, 0xFF}));
  EXPECT_EQ(t.port.writes[1], Bytes({0xA1, 0x02, 190, 0xAA, 0xFE, 0xFF}));
}

// Whichever way the model changes, the panel it shows holds the scene being edited as the
// image holds it, and loading it sends nothing.
TEST(Panels, ANewModelsPanelShowsTheImage) {
  EditorWindow t;
  Form1& w = *t.w;
  w.Command6[5]->click();  // row 4
  w.TD1[1]->click();       // switch channel 2 on
  EditorWindow::choose(w.TG1[6], 3);
  EditorWindow::choose(w.TG1[7], 8);  // bytes 10 and 11: levels 3 and 8

  EditorWindow::choose(w.Combo机型, 3);  // QZ-1002: bytes 10 and 11 are its two levels
  for (int m = 0; m < 5; ++m) EXPECT_EQ(w.Frame6[m]->isVisibleTo(&w), m == 3) << m;
  for (int i = 0; i < 10; ++i) {
    // Channel 2 as edited, channel 5 from the model's pattern for scene 5.
    EXPECT_EQ(w.TD4[i]->checkState(), i == 1 || i == 4 ? Qt::Checked : Qt::Unchecked) << i;
  }
  EXPECT_EQ(w.TG4[0]->currentText(), "3");
  EXPECT_EQ(w.TG4[1]->currentText(), "8");

  // A controller of another model answers: its panel shows the same row, and only the
  // handshake went out.
  w.Command建立连接->click();
  w.Timer2_Timer();
  t.port.inject({0xAA, 0x55, 0x04, 0x88, 0x66});  // QZ-1200
  t.port.deliver();
  ASSERT_TRUE(w.Connected());
  for (int i = 0; i < 12; ++i) {
    // Levels 3 and 8 read as switch bytes are neither off nor on.
    const Qt::CheckState shown = i == 1 || i == 4 ? Qt::Checked
                                 : i >= 10        ? Qt::PartiallyChecked
                                                  : Qt::Unchecked;
    EXPECT_EQ(w.TD5[i]->checkState(), shown) << i;
  }
  EXPECT_EQ(t.port.writes.size(), 1U);
}

TEST(Panels, GrayedSwitchBytesAreKeptUntilTheUserChooses) {
  EditorWindow t;
  t.connect(1);
  Form1& w = *t.w;
  w.SetData(8, 0) = 2;
  w.SetData(8, 4) = 255;
  w.SetData(8, 1) = 1;
  w.Command6[9]->click();
  ASSERT_EQ(t.port.writes.size(), 1U);
  EXPECT_EQ(t.port.writes[0], preview({2, 1, 0, 0, 255, 0, 0, 0, 250, 0, 0, 0}));
  EXPECT_EQ(w.TD2[0]->checkState(), Qt::PartiallyChecked);
  EXPECT_TRUE(w.TD2[0]->isTristate());
  EXPECT_EQ(w.TD2[4]->checkState(), Qt::PartiallyChecked);
  EXPECT_FALSE(w.TD2[1]->isTristate());
  EXPECT_EQ(w.SetData(8, 0), 2);
  EXPECT_EQ(w.SetData(8, 4), 255);

  // The grayed state itself stores and sends nothing, whoever sets it.
  t.port.writes.clear();
  w.TD2[1]->setTristate(true);
  w.TD2[1]->setCheckState(Qt::PartiallyChecked);
  EXPECT_EQ(w.SetData(8, 1), 1);
  EXPECT_TRUE(t.port.writes.empty());

  // A click leads to a plain state, and from then on the box has only two.
  w.TD2[0]->click();
  EXPECT_EQ(w.TD2[0]->checkState(), Qt::Checked);
  EXPECT_FALSE(w.TD2[0]->isTristate());
  EXPECT_EQ(w.SetData(8, 0), 1);
  w.TD2[0]->click();
  EXPECT_EQ(w.TD2[0]->checkState(), Qt::Unchecked);
  EXPECT_EQ(w.SetData(8, 0), 0);
  w.TD2[0]->click();
  EXPECT_EQ(w.TD2[0]->checkState(), Qt::Checked);
  ASSERT_EQ(t.port.writes.size(), 3U);
  EXPECT_EQ(t.port.writes[0], Bytes({0xA0, 0x01, 0xD1, 0xAA, 0xFE, 0xFF}));
  EXPECT_EQ(t.port.writes[1], Bytes({0xA0, 0x01, 0xD0, 0xAA, 0xFE, 0xFF}));

  // Loading a plain value into a box that was grayed leaves it two-state.
  w.SetData(8, 4) = 0;
  w.Command6[9]->click();
  EXPECT_EQ(w.TD2[4]->checkState(), Qt::Unchecked);
  w.TD2[4]->click();
  w.TD2[4]->click();
  EXPECT_EQ(w.TD2[4]->checkState(), Qt::Unchecked);
}

TEST(Panels, LevelsAboveNineShowNothingAndAreKept) {
  EditorWindow t;
  t.connect(1);
  Form1& w = *t.w;
  EditorWindow::choose(w.TG2[3], 6);  // the list shows a level before the key is chosen
  w.SetData(10, 9) = 10;
  w.SetData(10, 11) = 200;
  w.SetData(10, 10) = 9;
  t.port.writes.clear();
  w.Command6[11]->click();
  EXPECT_EQ(w.TG2[3]->currentIndex(), -1);
  EXPECT_EQ(w.TG2[5]->currentIndex(), -1);
  EXPECT_EQ(w.TG2[4]->currentIndex(), 9);
  EXPECT_EQ(w.SetData(10, 9), 10);
  EXPECT_EQ(w.SetData(10, 11), 200);
  // The preview sends those channels dark; no channel test went out.
  ASSERT_EQ(t.port.writes.size(), 1U);
  EXPECT_EQ(t.port.writes[0], preview({0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 250, 0}));

  // The user picks a level: stored and tested as usual.
  EditorWindow::choose(w.TG2[3], 3);
  EXPECT_EQ(w.SetData(10, 9), 3);
  EXPECT_EQ(t.port.writes.back(), Bytes({0xA1, 0x04, 70, 0xAA, 0xFE, 0xFF}));
}

}  // namespace
}  // namespace qz

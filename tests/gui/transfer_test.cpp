// Download and upload through the window: the bytes on the line, the status panel, the progress
// bar, the buttons and the history across whole transactions, with the ticks called by hand.

#include <gtest/gtest.h>

#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include "support/editor_window.h"

namespace qz {
namespace {

using test::Bytes;
using test::EditorWindow;

Bytes rowFrame(const ConfigImage& image, int r) {
  Bytes f = {0xD0, static_cast<std::uint8_t>(r)};
  for (int c = 0; c < kRowBytes; ++c) f.push_back(image(r, c));
  f.push_back(0x55);
  return f;
}

Bytes request(int r) {
  const auto b = static_cast<std::uint8_t>(r);
  return {0xA2, b, b, 0xAA, 0xFE, 0xFF};
}

// The controller's row r: byte c is 3 r + c, except what the editor must be able to show.
Bytes uploadReply(int r) {
  Bytes reply = {0xA2, static_cast<std::uint8_t>(r)};
  for (int c = 0; c < kRowBytes; ++c) reply.push_back(static_cast<std::uint8_t>((r + c) % 2));
  if (r == 17) reply = {0xA2, 17, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 7};  // DMX512 at 7
  if (r == 18) reply = {0xA2, 18, 1, 0, 10, 30, 60, 90, 120, 150, 180, 210, 255, 2};
  return reply;
}

bool shown(const Form1& w, const QWidget* widget) {
  return widget->isVisibleTo(&w);
}

struct Window : EditorWindow {
  Window() {
    connect(2);
    w->TimerSession->stop();  // the test ticks by hand
  }
  // Timers started by a click are stopped again so that only the test ticks.
  void quietTimers() const {
    w->TimerSession->stop();
    w->TimerSession->stop();
  }
  // The download button pressed, and the controller takes the rows before `row` one by one.
  void downloadUpTo(std::uint8_t row) {
    w->Command下载->click();
    quietTimers();
    for (std::uint8_t r = 1; r <= row; ++r) answer({0xD0, r, 0x55});
  }
};

TEST(Download, WholeTransactionOnTheLineAndOnScreen) {
  Window t;
  Form1& w = *t.w;
  w.Option2->setChecked(true);  // 19200 protocol
  w.Option4->setChecked(true);  // overlay mode
  const ConfigImage image = w.SetData;

  ASSERT_TRUE(w.Command下载->isEnabled());
  w.Command下载->click();
  EXPECT_TRUE(w.session.ticking(Tick::Download));
  t.quietTimers();
  ASSERT_EQ(t.port.writes.size(), 2U);
  EXPECT_EQ(t.port.writes[0], rowFrame(image, 0));
  EXPECT_EQ(t.port.writes[1],
            (Bytes{0xA1, 0xB2, 0xC3, 0xD4, 0xE5, 0xF6, 0x04, 0x5E, 0x4D, 0x3C, 0x2B, 0x1A}));
  EXPECT_EQ(w.session.awaiting(), 3);
  EXPECT_EQ(w.Label提示->text(), "  正在下载参数");
  EXPECT_TRUE(shown(w, w.Frame提示));
  EXPECT_FALSE(w.Command下载->isEnabled());
  EXPECT_FALSE(w.Command上传->isEnabled());
  EXPECT_TRUE(shown(w, w.Shape1) && shown(w, w.Shape2) && shown(w, w.Label18));
  EXPECT_EQ(w.Label18->text(), "0%");
  EXPECT_EQ(w.Shape2->width(), 0);

  const std::map<int, QString> percent = {{1, "6%"}, {9, "50%"}, {10, "56%"}, {18, "100%"}};
  for (int n = 1; n <= 18; ++n) {
    t.port.writes.clear();
    t.answer({0xD0, static_cast<std::uint8_t>(n), 0x55});
    ASSERT_EQ(t.port.writes.size(), 1U) << n;
    EXPECT_EQ(t.port.writes[0], rowFrame(image, n)) << n;
    if (percent.count(n) != 0) {
      EXPECT_EQ(w.Label18->text(), percent.at(n)) << n;
    }
  }
  EXPECT_EQ(w.Shape2->width(), w.Shape1->width());
  EXPECT_EQ(w.Shape2->x(), w.Shape1->x());
  t.port.writes.clear();
  t.answer({0xD0, 0x13, 0x55});
  EXPECT_TRUE(t.port.writes.empty());
  EXPECT_EQ(w.Label提示->text(), "  参数下载成功");

  for (int tick = 1; tick <= 4; ++tick) {
    w.Timer下载超时_Timer();
    EXPECT_TRUE(shown(w, w.Frame提示)) << tick;
    EXPECT_FALSE(w.Command下载->isEnabled()) << tick;
  }
  w.Timer下载超时_Timer();
  EXPECT_FALSE(shown(w, w.Frame提示));
  EXPECT_FALSE(shown(w, w.Shape1) || shown(w, w.Shape2) || shown(w, w.Label18));
  EXPECT_TRUE(w.Command下载->isEnabled());
  EXPECT_FALSE(w.session.ticking(Tick::Download));
  EXPECT_TRUE(t.port.writes.empty());
  EXPECT_EQ(w.SetData, image);  // a download only reads the image
}

TEST(Download, SilenceRepeatsFailsAndCloses_LateAnswerCarriesOn) {
  Window t;
  Form1& w = *t.w;
  const ConfigImage image = w.SetData;
  t.downloadUpTo(7);
  // Two answers in one notification are no answer.
  t.answer({0xD0, 0x08, 0x55, 0xD0, 0x08, 0x55});
  t.port.writes.clear();
  for (int tick = 1; tick <= 12; ++tick) {
    w.Timer下载超时_Timer();
    if (tick <= 4) {
      ASSERT_EQ(t.port.writes.size(), 1U) << tick;
      EXPECT_EQ(t.port.writes[0], rowFrame(image, 7));
      EXPECT_EQ(w.Label18->text(), "39%");
    } else {
      EXPECT_TRUE(t.port.writes.empty()) << tick;
    }
    EXPECT_EQ(w.Label提示->text(), tick < 10 ? "  正在下载参数" : "    下载失败") << tick;
    t.port.writes.clear();
  }
  // The controller speaks again after the failure text: the download goes on.
  t.answer({0xD0, 0x05, 0x55});
  ASSERT_EQ(t.port.writes.size(), 1U);
  EXPECT_EQ(t.port.writes[0], rowFrame(image, 5));
  for (int tick = 1; tick <= 14; ++tick) w.Timer下载超时_Timer();
  EXPECT_TRUE(w.session.ticking(Tick::Download) || !w.Command下载->isEnabled());
  EXPECT_EQ(w.Label提示->text(), "    下载失败");
  EXPECT_TRUE(shown(w, w.Frame提示));
  w.Timer下载超时_Timer();  // 15 after the last answer
  EXPECT_TRUE(shown(w, w.Frame提示));
  EXPECT_FALSE(shown(w, w.Shape1));
  EXPECT_TRUE(w.Command下载->isEnabled());
  EXPECT_FALSE(w.session.ticking(Tick::Download));
  // Rows 5 (answer) and 5 again on ticks 1..4.
  EXPECT_EQ(t.port.writes.size(), 5U);
}

TEST(Download, HalfAnAnswerLeftWaitingDoesNotSpoilTheRepeatedRowsAnswer) {
  Window t;
  Form1& w = *t.w;
  const ConfigImage image = w.SetData;
  t.downloadUpTo(7);
  // The controller answered row 7 twice, close together: one read takes the first answer and
  // two bytes of the second, and its last byte comes after the read.
  t.answer({0xD0, 0x08, 0x55, 0xD0, 0x08});
  t.port.inject({0x55});
  t.port.deliver();
  t.port.writes.clear();
  w.Timer下载超时_Timer();
  ASSERT_EQ(t.port.writes.size(), 1U);
  EXPECT_EQ(t.port.writes[0], rowFrame(image, 7));
  // The answer to the repeated row is read whole, and the download goes on with row 8.
  t.answer({0xD0, 0x08, 0x55});
  ASSERT_EQ(t.port.writes.size(), 2U);
  EXPECT_EQ(t.port.writes[1], rowFrame(image, 8));
  EXPECT_EQ(w.Label18->text(), "44%");
}

TEST(Upload, WholeTransactionStagesTheImageAndShowsScene1) {
  Window t;
  Form1& w = *t.w;
  const ConfigImage before = w.SetData;
  w.Command上传->click();
  EXPECT_TRUE(w.session.ticking(Tick::Upload));
  t.quietTimers();
  EXPECT_EQ(t.port.writes, std::vector<Bytes>{request(0)});
  EXPECT_EQ(w.session.awaiting(), 14);
  EXPECT_EQ(w.Label提示->text(), "  正在上传参数");
  EXPECT_FALSE(w.Command上传->isEnabled());
  EXPECT_FALSE(w.Command下载->isEnabled());
  EXPECT_EQ(w.Label18->text(), "0%");

  for (int r = 0; r <= 18; ++r) {
    t.port.writes.clear();
    t.answer(uploadReply(r));
    ASSERT_FALSE(t.port.writes.empty()) << r;
    EXPECT_EQ(t.port.writes[0], request(r + 1)) << r;
    if (r < 18) {
      EXPECT_EQ(t.port.writes.size(), 1U);
      EXPECT_EQ(w.SetData, before) << r;  // nothing half new
    }
  }
  ConfigImage uploaded;
  for (int r = 0; r <= 18; ++r) {
    const Bytes reply = uploadReply(r);
    std::copy(reply.begin() + 2, reply.end(), uploaded.rows[static_cast<std::size_t>(r)].begin());
  }
  EXPECT_EQ(w.SetData, uploaded);
  EXPECT_EQ(w.Label提示->text(), "  参数上传成功");
  EXPECT_EQ(w.Label18->text(), "100%");
  // Show_Set for key 1: scene 1 opened, its preview on the line, the settings shown.
  EXPECT_EQ(test::buttonColour(w.Command6[1]), test::kRed);
  EXPECT_EQ(w.CurScene, 0);
  // First with the level table the editor had, last with the uploaded one.
  EXPECT_EQ(t.port.writes[1], test::preview({0, 1, 0, 1, 0, 1, 0, 1, 0, 20, 0, 20}));
  EXPECT_EQ(t.port.writes.back(), test::preview({0, 1, 0, 1, 0, 1, 0, 1, 0, 10, 0, 10}));
  EXPECT_EQ(w.Combo1DMX地址->currentText(), "7");
  EXPECT_EQ(w.DimTable[9], 255);

  ASSERT_EQ(w.List1->count(), 20);
  EXPECT_EQ(w.List1->item(0)->text(), "上传参数 2019-07-01 14:05:09");
  EXPECT_EQ(w.List1->item(1)->text(), "00 01 00 01 00 01 00 01 00 01 00 01 ");
  EXPECT_EQ(w.List1->item(19)->text(), "01 00 0A 1E 3C 5A 78 96 B4 D2 FF 02 ");
  EXPECT_EQ(w.List1->currentRow(), 19);

  t.port.writes.clear();
  for (int tick = 1; tick <= 4; ++tick) w.Timer上传超时_Timer();
  EXPECT_TRUE(shown(w, w.Frame提示));
  w.Timer上传超时_Timer();
  EXPECT_FALSE(shown(w, w.Frame提示));
  EXPECT_FALSE(shown(w, w.Label18));
  EXPECT_TRUE(w.Command上传->isEnabled());
  EXPECT_FALSE(w.session.ticking(Tick::Upload));
  EXPECT_TRUE(t.port.writes.empty());
}

TEST(Upload, CutOffUploadLeavesTheImageAndShowsTheLinesThatCame) {
  Window t;
  Form1& w = *t.w;
  const ConfigImage before = w.SetData;
  w.Command上传->click();
  t.quietTimers();
  for (int r = 0; r <= 5; ++r) t.answer(uploadReply(r));
  // A reply cut short waits below the threshold; the tick takes it away.
  t.answer({0xA2, 0x06, 0x00});
  t.port.writes.clear();
  for (int tick = 1; tick <= 15; ++tick) {
    w.Timer上传超时_Timer();
    EXPECT_EQ(t.port.bytesWaiting(), 0U);
    EXPECT_EQ(t.port.writes.size(), tick <= 4 ? 1U : 0U) << tick;
    if (tick <= 4) {
      EXPECT_EQ(t.port.writes[0], request(6));
    }
    if (tick == 10) {
      EXPECT_EQ(w.Label提示->text(), "    上传失败");
    }
    t.port.writes.clear();
  }
  EXPECT_TRUE(shown(w, w.Frame提示));  // the failure stays until the user acts
  EXPECT_TRUE(w.Command上传->isEnabled());
  EXPECT_EQ(w.SetData, before);
  EXPECT_EQ(w.List1->count(), 8);  // the header, rows 0..5, the outcome

  // A stale last row at the start of the next upload answers no request: it is not taken, nor
  // shown; a row the image does not have is dropped without a trace.
  w.Command上传->click();
  t.quietTimers();
  const QString asking = w.Label提示->text();
  t.answer(uploadReply(18));
  EXPECT_EQ(w.Label提示->text(), asking);
  EXPECT_EQ(w.SetData, before);
  EXPECT_EQ(w.List1->count(), 8);
  t.port.writes.clear();
  Bytes row19 = uploadReply(3);
  row19[1] = 19;
  t.answer(row19);
  EXPECT_EQ(w.List1->count(), 8);
  EXPECT_TRUE(t.port.writes.empty());
  EXPECT_EQ(w.SetData, before);
}

TEST(Transfers, AControllerThatAnswersAtOnceIsFollowedOnItsAnswersAlone) {
  Window t;
  Form1& w = *t.w;
  // The answer is waiting before the window has finished sending the frame it answers.
  t.port.onWrite = [&](std::span<const std::uint8_t> f) {
    if (f.size() == 6 && f[0] == 0xA2 && f[1] < 19) t.port.inject(uploadReply(f[1]));
    if (f.size() == 15 && f[0] == 0xD0)
      t.port.inject({0xD0, static_cast<std::uint8_t>(f[1] + 1), 0x55});
  };
  w.Command上传->click();
  t.quietTimers();
  t.port.deliver();
  EXPECT_EQ(w.Label提示->text(), "  参数上传成功");
  w.Command下载->click();
  t.quietTimers();
  t.port.deliver();
  EXPECT_EQ(w.Label提示->text(), "  参数下载成功");
  std::vector<Bytes> expected;
  for (int r = 0; r <= 19; ++r) expected.push_back(request(r));
  for (int r = 0; r <= 18; ++r) expected.push_back(rowFrame(w.SetData, r));
  std::vector<Bytes> sent;
  for (const Bytes& f : t.port.writes) {
    if (f[0] == 0xA2 || f[0] == 0xD0) sent.push_back(f);  // not the previews and options
  }
  EXPECT_EQ(sent, expected);
}

TEST(Transfers, DisconnectOrLostPortStopsThemAtOnce) {
  Window t;
  Form1& w = *t.w;
  t.downloadUpTo(4);
  t.port.writes.clear();
  w.Command建立连接->click();           // disconnect
  EXPECT_EQ(t.port.writes.size(), 3U);  // the disconnect frames, nothing else
  EXPECT_FALSE(w.session.ticking(Tick::Download));
  EXPECT_EQ(w.Label提示->text(), "    下载失败");
  EXPECT_TRUE(shown(w, w.Frame提示));
  EXPECT_FALSE(shown(w, w.Shape1) || shown(w, w.Label18));
  EXPECT_FALSE(w.Command下载->isEnabled());
  EXPECT_FALSE(w.Command上传->isEnabled());
  t.port.writes.clear();
  w.Timer下载超时_Timer();
  EXPECT_TRUE(t.port.writes.empty());

  // Reconnected, an upload under way when the adapter is pulled.
  t.connect(2);
  w.Command上传->click();
  t.quietTimers();
  t.answer(uploadReply(0));
  const ConfigImage before = w.SetData;
  t.port.writes.clear();
  t.port.pull();
  t.port.deliver();
  EXPECT_FALSE(w.session.ticking(Tick::Upload));
  EXPECT_EQ(w.Label提示->text(), " 串口已断开，连接中断");
  EXPECT_TRUE(shown(w, w.Frame提示));
  w.Timer上传超时_Timer();
  EXPECT_TRUE(t.port.writes.empty());
  EXPECT_EQ(w.SetData, before);
  EXPECT_FALSE(w.Command上传->isEnabled());
}

}  // namespace
}  // namespace qz

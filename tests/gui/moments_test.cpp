// The window at the moments that matter: a failure stays until the user acts and says why, the
// port list follows the devices, unsaved edits are asked about, and the smaller ones.

#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QKeyEvent>
#include <QListWidget>
#include <QScrollBar>
#include <QTemporaryDir>
#include <functional>

#include "config/param_file.h"
#include "support/editor_window.h"
#include "support/runtime_dir.h"

namespace qz {
namespace {

using test::EditorWindow;

void pressKey(QWidget* target, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  QKeyEvent event(QEvent::KeyPress, key, modifiers);
  QApplication::sendEvent(target, &event);
}

TEST(Moments, AFailureStaysUntilTheUserActsAndSaysWhyAndWhatItLeft) {
  const QString down = "控制器中的参数可能不完整，请重新下载";
  const auto ticks = [](EditorWindow& t, Tick which, int n) {
    for (int i = 0; i < n; ++i) t.w->session.tick(which);
  };
  const auto downloadTo = [](EditorWindow& t, std::uint8_t row) {
    t.w->Command下载->click();
    for (std::uint8_t r = 1; r <= row; ++r) t.answer({0xD0, r, 0x55});
  };
  const struct {
    const char* name;
    std::function<void(EditorWindow&)> run;
    const char* status;
    QString why;  // the note's first line, also in the history
    QString left;
  } cases[] = {
      {"download unanswered",
       [&](EditorWindow& t) {
         downloadTo(t, 5);
         ticks(t, Tick::Download, 15);
       },
       "    下载失败", "第5行发出后，控制器没有应答。", down},
      {"upload unanswered",
       [&](EditorWindow& t) {
         t.w->Command上传->click();
         ticks(t, Tick::Upload, 15);
       },
       "    上传失败", "请求第0行后，控制器没有应答。", "编辑中的参数没有改变"},
      {"the controller asks for rows 5 and 6 again and again",
       [&](EditorWindow& t) {
         downloadTo(t, 5);
         for (int i = 0; i < 100; ++i) t.answer({0xD0, static_cast<std::uint8_t>(6 - i % 2), 0x55});
         ticks(t, Tick::Download, 15);
       },
       "    下载失败", "控制器一再要求重发（停在第6行），已发出 95 帧，传输放弃。", down},
      {"the time budget ran out",
       [&](EditorWindow& t) {
         downloadTo(t, 2);
         t.w->session.tick(Tick::Download, TransferClock::now() + std::chrono::seconds(31));
         ticks(t, Tick::Download, 5);
       },
       "    下载失败", "传输超过 30 秒没有完成，已放弃。", down},
      {"the port went away",
       [&](EditorWindow& t) {
         downloadTo(t, 3);
         t.port.pull();
         t.port.deliver();
       },
       "    下载失败", "串口已断开（适配器被拔出或线路中断），传输没有完成。", down},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EditorWindow t;
    t.connect(2);
    Form1& w = *t.w;
    c.run(t);
    EXPECT_EQ(w.Label提示->text(), c.status);
    EXPECT_TRUE(w.Frame提示->isVisibleTo(&w) && w.Label原因->isVisibleTo(&w));
    EXPECT_EQ(w.Label原因->text(), c.why + '\n' + c.left);
    ASSERT_GT(w.List1->count(), 0);
    EXPECT_EQ(w.List1->item(w.List1->count() - 1)->text(),
              QStringLiteral("%1 2019-07-01 14:05:09 %2").arg(QString(c.status).trimmed(), c.why));
    pressKey(w.Command6[3], Qt::Key_Shift);  // a modifier alone is no action
    EXPECT_TRUE(w.Frame提示->isVisibleTo(&w));
    pressKey(w.Command6[3], Qt::Key_Right);
    EXPECT_FALSE(w.Frame提示->isVisibleTo(&w) || w.Label原因->isVisibleTo(&w));
  }

  // No answer to 30 handshakes: what to check; a mouse press is an action too.
  EditorWindow t;
  Form1& w = *t.w;
  w.Command建立连接->click();
  test::finishAttempt(w, [](Form1&) {});
  EXPECT_EQ(w.Label提示->text(), " 连接失败，请重试");
  EXPECT_TRUE(w.Frame提示->isVisibleTo(&w) && w.isEnabled());
  EXPECT_TRUE(w.Label原因->text().contains("30 次握手都没有应答。请检查：所选串口 COM1"));
  EXPECT_TRUE(w.Label原因->text().contains("A/B 线是否接反，波特率 9600"));
  QMouseEvent click(QEvent::MouseButtonPress, QPointF(2, 2), QPointF(2, 2), Qt::LeftButton,
                    Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(w.Combo机型, &click);
  EXPECT_FALSE(w.Frame提示->isVisibleTo(&w));

  // A success gets its line and closes as before.
  t.connect(2);
  w.Command下载->click();
  for (std::uint8_t r = 1; r <= 19; ++r) t.answer({0xD0, r, 0x55});
  for (int i = 0; i < 5; ++i) w.session.tick(Tick::Download);
  EXPECT_EQ(w.List1->item(w.List1->count() - 1)->text(), "下载成功 2019-07-01 14:05:09");
  EXPECT_FALSE(w.Frame提示->isVisibleTo(&w));
}

}  // namespace
}  // namespace qz

// The window at the moments that matter: a failure stays until the user acts and says why, the
// port list follows the devices, unsaved edits are asked about, and the smaller ones.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>

#include "support/editor_window.h"
#include "support/runtime_dir.h"

namespace qz {
namespace {

using test::EditorWindow;

void ticks(EditorWindow& t, Tick which, int n) {
  for (int i = 0; i < n; ++i) t.w->sessionDriver.run([&] { t.w->session.tick(which); });
}
void downloadTo(EditorWindow& t, std::uint8_t row) {
  t.w->Command下载->click();
  for (std::uint8_t r = 1; r <= row; ++r) t.answer({0xD0, r, 0x55});
}
TEST(Moments, AFailureStaysUntilTheUserActsAndSaysWhyAndWhatItLeft) {
  const QString down = "\n控制器中的参数可能不完整，请重新下载";
  const struct {
    void (*run)(EditorWindow&);
    const char* status;
    QString why;   // the note's first line, also in the history of a transfer
    QString left;  // none after a connection
  } cases[] = {
      {[](EditorWindow& t) { downloadTo(t, 5), ticks(t, Tick::Download, 15); }, "    下载失败",
       "第5行发出后，控制器没有应答。", down},
      {[](EditorWindow& t) { t.w->Command上传->click(), ticks(t, Tick::Upload, 15); },
       "    上传失败", "请求第0行后，控制器没有应答。", "\n编辑中的参数没有改变"},
      {[](EditorWindow& t) {
         downloadTo(t, 5);  // then the controller asks for rows 5 and 6 again and again
         for (int i = 0; i < 100; ++i) t.answer({0xD0, static_cast<std::uint8_t>(6 - i % 2), 0x55});
         ticks(t, Tick::Download, 15);
       },
       "    下载失败", "控制器一再要求重发（停在第6行），已发出 95 帧，传输放弃。", down},
      {[](EditorWindow& t) {
         downloadTo(t, 2);
         t.w->sessionDriver.run([&] {
           t.w->session.tick(Tick::Download, TransferClock::now() + std::chrono::seconds(31));
         });
         ticks(t, Tick::Download, 5);
       },
       "    下载失败", "传输超过 30 秒没有完成，已放弃。", down},
      {[](EditorWindow& t) { downloadTo(t, 3), t.port.pull(), t.port.deliver(); },
       " 串口已断开，连接中断", "串口已断开（适配器被拔出或线路中断），传输没有完成。", down},
      {[](EditorWindow& t) {  // disconnected, then no answer to 30 handshakes
         t.w->Command建立连接->click(), t.w->Command建立连接->click();
         test::finishAttempt(*t.w, [](Form1&) {});
       },
       " 连接失败，请重试",
       "30 次握手都没有应答。请检查：所选串口 COM1 是否接着控制器，控制器是否通电，A/B "
       "线是否接反，波特率 9600 是否与控制器相同。",
       ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why.toStdString());
    EditorWindow t;
    t.connect(2);
    Form1& w = *t.w;
    c.run(t);
    EXPECT_EQ(w.Label提示->text(), c.status);
    EXPECT_TRUE(w.Frame提示->isVisibleTo(&w) && w.Label原因->isVisibleTo(&w) && w.isEnabled());
    EXPECT_EQ(w.Label原因->text(), c.why + c.left);
    if (!c.left.isEmpty()) {
      EXPECT_EQ(w.List1->currentItem()->text(),
                QStringLiteral("%1 2019-07-01 14:05:09 %2")
                    .arg(c.left == down ? "下载失败" : "上传失败", c.why));
    }
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(2, 2), QPointF(2, 2), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);  // the user's next action
    QApplication::sendEvent(w.Command6[3], &press);
    EXPECT_FALSE(w.Frame提示->isVisibleTo(&w) || w.Label原因->isVisibleTo(&w));
  }
  // A success gets its line and closes as before.
  EditorWindow t;
  t.connect(2);
  downloadTo(t, 19);
  ticks(t, Tick::Download, 5);
  EXPECT_EQ(t.w->List1->currentItem()->text(), "下载成功 2019-07-01 14:05:09");
  EXPECT_FALSE(t.w->Frame提示->isVisibleTo(t.w.get()));
}

TEST(Moments, ThePortListIsReadWhenOpenedAndWhenDevicesComeOrGo) {
  test::RuntimeDir runtime;
  EditorWindow t;
  Form1& w = *t.w;
  w.describeDevice = [](const QString& device) {
    return Form1::DeviceInfo{"QinHeng Electronics", "USB Serial", device == "/dev/ttyUSB0"};
  };
  const auto open = [&] {  // the lines of the open list, each as it is drawn
    w.Combo串口->showPopup();
    QStringList lines;
    for (int i = 0; i < w.Combo串口->count(); ++i) {
      lines.append(w.Combo串口->itemData(i, Qt::AccessibleTextRole).toString());
    }
    w.Combo串口->hidePopup();
    return lines;
  };
  const QString usb = "COM1  /dev/ttyUSB0  QinHeng Electronics USB Serial";
  const QString sim = "COM33  /dev/null  QinHeng Electronics USB Serial";
  EXPECT_EQ(open(), QStringList{usb});
  // A simulator comes: its alias is seen at once, the selection stays.
  t.port.ports[33] = PortError::None;
  runtime.alias(33, "/dev/null");
  w.serialDevicesChanged();
  EXPECT_EQ(test::items(w.Combo串口), (QStringList{"COM1", "COM33"}));
  EXPECT_EQ(w.Combo串口->toolTip(), usb);
  w.preselectPort("COM33");  // qzconfig --port COM33
  EXPECT_EQ(w.Combo串口->currentText(), "COM33");
  w.preselectPort("COM1");
  // The adapter goes: a line says where to look; it comes back chosen as it was.
  t.port.ports.erase(1);
  EXPECT_EQ(open(),
            (QStringList{sim, "没有找到 USB 串口适配器：在终端运行 qzctl doctor 查看原因"}));
  EXPECT_EQ(test::items(w.Combo串口), QStringList{"COM33"});
  t.port.ports[1] = PortError::None;
  EXPECT_EQ(open(), (QStringList{usb, sim}));
  EXPECT_EQ(w.Combo串口->currentText(), "COM1");
  // While a connection holds the port the list stays; once it is let go it is read again.
  t.connect(2);
  t.port.ports.erase(33);
  w.Combo串口_DropDown();
  EXPECT_EQ(w.Combo串口->count(), 2);
  w.Command建立连接->click();
  EXPECT_EQ(test::items(w.Combo串口), QStringList{"COM1"});
}

TEST(Moments, NoEditIsLostWithoutAQuestion) {
  QTemporaryDir dir;
  const QString other = dir.filePath("other.QZ");
  EditorWindow maker;  // a file to read
  maker.platform.saveAnswer = other;
  maker.w->Command5->click();
  bool (*const actions[])(EditorWindow&) = {
      // each says whether it went on
      [](EditorWindow& t) { return t.w->Command7->click(), !t.w->isVisible(); },
      [](EditorWindow& t) { return t.w->close(); },
      [](EditorWindow& t) {
        return t.w->Command4->click(), t.w->windowTitle().startsWith("other");
      },
      [](EditorWindow& t) { return t.w->Command上传->click(), t.port.writes.size() == 1; }};
  const struct {
    SaveChoice choice;
    const char* saveAs;  // the save dialog's answer; "" cancels it
    bool goesOn;
  } answers[] = {{SaveChoice::Cancel, "", false},
                 {SaveChoice::Discard, "", true},
                 {SaveChoice::Save, "kept", true},
                 {SaveChoice::Save, "", false}};
  for (const auto action : actions) {
    for (const auto& answer : answers) {
      SCOPED_TRACE(testing::Message() << &action - actions << int(answer.choice) << answer.saveAs);
      QFile::remove(dir.filePath("kept.QZ"));
      EditorWindow t;
      t.connect(2);  // the controller's model is no edit
      t.w->show();
      t.w->switchBox(2, 0)->click();
      t.platform.saveChoice = answer.choice;
      t.platform.saveAnswer = *answer.saveAs ? dir.filePath(answer.saveAs) : QString();
      t.platform.openAnswer = other;
      t.port.writes.clear();
      EXPECT_EQ(action(t), answer.goesOn);
      ASSERT_EQ(t.platform.questions.size(), 1U);
      EXPECT_EQ(t.platform.questions[0].text, "参数已修改，是否保存？");
      EXPECT_EQ(QFile::exists(dir.filePath("kept.QZ")), *answer.saveAs != '\0');
    }
  }
  // The title names the file and marks edits since; Ctrl+O and Ctrl+S (as the menu bar's
  // items take them: a sent key event passes them by); which way each button goes.
  EditorWindow t;
  Form1& w = *t.w;
  const auto keys = [&w](const char* sequence) {
    for (QAction* a : w.findChildren<QAction*>()) {
      if (a->shortcut() == QKeySequence(QString::fromLatin1(sequence))) return a->trigger();
    }
  };
  t.platform.openAnswer = other;
  keys("Ctrl+O");
  EXPECT_EQ(w.windowTitle(), "other.QZ[*] - QZ系列灯光场景配置 A24");
  EXPECT_FALSE(w.isWindowModified());
  EditorWindow::choose(w.Combo工作模式, 1);
  EXPECT_TRUE(w.isWindowModified());
  t.platform.saveAnswer = dir.filePath("new");
  keys("Ctrl+S");
  EXPECT_EQ(w.windowTitle(), "new.QZ[*] - QZ系列灯光场景配置 A24");
  EXPECT_FALSE(w.isWindowModified());
  EXPECT_TRUE(w.close() && t.platform.questions.empty());
  EXPECT_TRUE(w.Command上传->toolTip().startsWith("控制器 → PC："));
}

// In the Screen suite, which also runs on a screen at 200 %, smaller than the window.
TEST(Screen, WhileConnectedTheModelIsTheControllersAndAStatusThatAppearsIsInView) {
  EditorWindow t;
  Form1& w = *t.w;
  w.show();
  QApplication::processEvents();
  t.connect(2);
  EditorWindow::choose(w.Combo机型, 4);  // as a file of a QZ-1200 chooses it
  EXPECT_EQ(w.Label机型->text(), "QZ-0804");
  for (QScrollBar* bar : w.findChildren<QScrollBar*>()) bar->setValue(bar->minimum());
  w.Command上传->click();
  EXPECT_TRUE(w.rect().contains(QRect(w.Frame提示->mapTo(&w, QPoint(0, 0)), w.Frame提示->size())));
}

}  // namespace
}  // namespace qz

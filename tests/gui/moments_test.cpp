// The window at the moments that matter: a failure stays until the user acts and says why, the
// port list follows the devices, unsaved edits are asked about, and the smaller ones.

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
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

TEST(Moments, ThePortListIsReadWhenOpenedAndWhenDevicesComeOrGo) {
  test::RuntimeDir runtime;
  EditorWindow t;
  Form1& w = *t.w;
  w.describeDevice = [](const QString& device) {
    return device == "/dev/ttyUSB0" ? Form1::DeviceInfo{"QinHeng Electronics", "USB Serial", true}
                                    : Form1::DeviceInfo{};
  };
  const auto open = [&] {
    w.Combo串口->showPopup();
    QStringList lines;
    for (int i = 0; i < w.Combo串口->count(); ++i) {
      const QString whole = w.Combo串口->itemData(i, Qt::AccessibleTextRole).toString();
      lines.append(whole.isEmpty() ? w.Combo串口->itemText(i) : whole);
    }
    w.Combo串口->hidePopup();
    return lines;
  };
  const QString hint = "没有找到 USB 串口适配器：在终端运行 qzctl doctor 查看原因";
  EXPECT_EQ(open(), QStringList{"COM1  /dev/ttyUSB0  QinHeng Electronics USB Serial"});

  // A simulator comes: its alias is seen at once, the selection stays.
  t.port.ports[33] = PortError::None;
  runtime.alias(33, "/dev/null");
  w.serialDevicesChanged();
  EXPECT_EQ(test::items(w.Combo串口), (QStringList{"COM1", "COM33"}));
  EXPECT_EQ(w.Combo串口->currentText(), "COM1");
  EXPECT_EQ(w.Combo串口->toolTip(), "COM1  /dev/ttyUSB0  QinHeng Electronics USB Serial");
  w.preselectPort("COM33");  // qzconfig --port COM33
  EXPECT_EQ(w.Combo串口->currentText(), "COM33");
  w.preselectPort("COM1");

  // The adapter goes: the list says where to look; it comes back chosen as it was.
  t.port.ports.erase(1);
  EXPECT_EQ(open(), (QStringList{"COM33  /dev/null", hint}));
  EXPECT_EQ(w.Combo串口->count(), 1);
  EXPECT_EQ(w.Combo串口->currentText(), "COM33");
  t.port.ports[1] = PortError::None;
  EXPECT_EQ(open(), (QStringList{"COM1  /dev/ttyUSB0  QinHeng Electronics USB Serial",
                                 "COM33  /dev/null"}));
  EXPECT_EQ(w.Combo串口->currentText(), "COM1");

  // While a connection holds the port the list stays; once it is let go it is read again.
  t.connect(2);
  t.port.ports.erase(33);
  std::filesystem::remove(runtime.ports() / "COM33");
  w.serialDevicesChanged();
  EXPECT_EQ(w.Combo串口->count(), 2);
  w.Command建立连接->click();
  EXPECT_EQ(test::items(w.Combo串口), QStringList{"COM1"});
}

TEST(Moments, NoEditIsLostWithoutAQuestion) {
  QTemporaryDir dir;
  const QString other = dir.filePath("other.QZ");
  {
    QFile f(other);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    const auto bytes = writeParamFile(2, ConfigImage{});
    f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
  }
  // Each action tells whether it went on.
  const struct {
    const char* name;
    std::function<bool(EditorWindow&)> act;
  } actions[] = {
      {"退出",
       [](EditorWindow& t) {
         t.w->Command7->click();
         return !t.w->isVisible();
       }},
      {"closing the window", [](EditorWindow& t) { return t.w->close(); }},
      {"读取参数",
       [](EditorWindow& t) {
         t.w->Command4->click();
         return t.w->windowTitle().startsWith("other.QZ[*] - ");
       }},
      {"上传设备参数",
       [](EditorWindow& t) {
         t.w->Command上传->click();
         return !t.port.writes.empty() && t.port.writes.back()[0] == 0xA2;
       }},
  };
  const struct {
    SaveChoice choice;
    const char* saveAs;  // the save dialog's answer
    bool goesOn;
  } answers[] = {{SaveChoice::Cancel, "", false},
                 {SaveChoice::Discard, "", true},
                 {SaveChoice::Save, "kept", true},
                 {SaveChoice::Save, "", false}};  // the save dialog cancelled
  for (const auto& action : actions) {
    for (const auto& answer : answers) {
      SCOPED_TRACE(std::string(action.name) + ", answer " +
                   std::to_string(static_cast<int>(answer.choice)) + " " + answer.saveAs);
      QFile::remove(dir.filePath("kept.QZ"));
      EditorWindow t;
      Form1& w = *t.w;
      t.connect(2);  // the controller's model is no edit
      w.show();
      w.switchBox(2, 0)->click();
      EXPECT_TRUE(w.isWindowModified());
      t.platform.saveChoice = answer.choice;
      t.platform.saveAnswer = *answer.saveAs ? dir.filePath(answer.saveAs) : QString();
      t.platform.openAnswer = other;
      t.port.writes.clear();
      EXPECT_EQ(action.act(t), answer.goesOn);
      ASSERT_EQ(t.platform.questions.size(), 1U);
      EXPECT_EQ(t.platform.questions[0].text, "参数已修改，是否保存？");
      EXPECT_EQ(QFile::exists(dir.filePath("kept.QZ")), *answer.saveAs != '\0');
    }
  }

  // The title names the file and marks the edits since it was read or saved; the keys of
  // 读取参数 and 保存参数; which way each button moves the image.
  EditorWindow t;
  Form1& w = *t.w;
  // The keys as the window's shortcuts take them (a sent key event passes by them).
  const auto keys = [&w](const char* sequence) {
    for (QShortcut* s : w.findChildren<QShortcut*>()) {
      if (s->key() == QKeySequence(QString::fromLatin1(sequence))) emit s->activated();
    }
  };
  EXPECT_FALSE(w.isWindowModified());
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
  EXPECT_TRUE(w.close());
  EXPECT_TRUE(t.platform.questions.empty());
  EXPECT_TRUE(w.Command上传->toolTip().startsWith("控制器 → PC"));
  EXPECT_TRUE(w.Command下载->toolTip().startsWith("PC → 控制器"));
  EXPECT_TRUE(w.Command4->toolTip().startsWith("文件 → PC"));
  EXPECT_TRUE(w.Command5->toolTip().startsWith("PC → 文件"));
}

// In the Screen suite, which also runs on a screen at 200 %, smaller than the window.
TEST(Screen, WhileConnectedTheModelIsTheControllersAndAStatusThatAppearsIsInView) {
  QTemporaryDir dir;
  const QString qz1200 = dir.filePath("1200.QZ");
  {
    QFile f(qz1200);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    const auto bytes = writeParamFile(4, ConfigImage{});
    f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
  }
  EditorWindow t;
  Form1& w = *t.w;
  w.show();
  QApplication::processEvents();
  t.connect(2);
  t.platform.openAnswer = qz1200;
  w.Command4->click();
  EXPECT_EQ(w.Combo机型->currentText(), "QZ-1200");
  EXPECT_EQ(w.Label机型->text(), "QZ-0804");

  for (QScrollBar* bar : w.findChildren<QScrollBar*>()) bar->setValue(bar->minimum());
  w.Command上传->click();
  const QRect inWindow(w.Frame提示->mapTo(&w, QPoint(0, 0)), w.Frame提示->size());
  EXPECT_TRUE(w.rect().contains(inWindow));
}

}  // namespace
}  // namespace qz

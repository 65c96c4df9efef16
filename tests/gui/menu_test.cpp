// The menu bar: every item with its caption and shortcut, following its button's enabled state
// and running its procedure; the adapter diagnosis in the window's words; the sheet dialog.

#include <gtest/gtest.h>

#include <QAction>
#include <QClipboard>
#include <QDialog>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QSettings>
#include <QTemporaryDir>
#include <functional>

#include "doctor/diagnosis.h"
#include "gui/window_rig.h"

namespace qz {
namespace {

using gui_test::Window;

QAction* findItem(const Form1& w, const QString& caption) {
  for (QAction* top : w.MenuBar->actions()) {
    for (QAction* a : top->menu()->actions()) {
      if (a->text() == caption) return a;
    }
  }
  return nullptr;
}

bool dialogShown(const Form1& w, const char* name) {
  const auto* d = w.findChild<QDialog*>(QLatin1String(name));
  return d != nullptr && d->isVisible();
}

TEST(Menu, EveryItemRunsItsButtonsProcedureInTheButtonsEnabledState) {
  Window t;
  Form1& w = *t.w;
  struct Item {
    const char* menu;
    const char* caption;
    QKeySequence key;
    QPushButton* button;        // the item is enabled exactly when this is
    std::function<bool()> ran;  // what shows that the procedure ran
  };
  const std::size_t opened = t.platform.filters.size();
  const Item items[] = {
      {"文件(&F)", "读取参数…", QKeySequence::Open, w.Command4,
       [&] { return t.platform.filters.size() == opened + 1; }},
      {"文件(&F)", "保存参数…", QKeySequence::Save, w.Command5,
       [&] { return t.platform.filters.size() == opened + 2; }},
      {"文件(&F)", "另存为…", QKeySequence(QStringLiteral("Ctrl+Shift+S")), w.Command5,
       [&] { return t.platform.filters.size() == opened + 3; }},
      {"文件(&F)", "打印配置单…", QKeySequence::Print, nullptr,
       [&] { return dialogShown(w, "sheetDialog"); }},
      {"控制器(&C)",
       "建立连接",
       {},
       w.Command建立连接,
       [&] {
         test::finishAttempt(w, [&](Form1& f) {
           if (!f.Connected()) t.answer({0xAA, 0x55, 0, 0x88, 0x66});
         });
         return w.Connected();
       }},
      {"控制器(&C)",
       "上传设备参数",
       {},
       w.Command上传,
       [&] { return !w.Command上传->isEnabled(); }},
      {"控制器(&C)",
       "下载参数到设备",
       {},
       w.Command下载,
       [&] { return !w.Command下载->isEnabled(); }},
      {"控制器(&C)", "与控制器比较…", {}, w.Command上传, [] { return true; }},
      {"控制器(&C)", "适配器诊断…", {}, nullptr, [&] { return dialogShown(w, "diagnosisDialog"); }},
      {"帮助(&H)", "使用说明", QKeySequence::HelpContents, nullptr,
       [&] { return dialogShown(w, "tourDialog"); }},
      {"帮助(&H)",
       "关于",
       {},
       nullptr,
       [&] {
         const auto* text = w.findChild<QDialog*>(QStringLiteral("aboutDialog"))
                                ->findChild<QLabel*>(QStringLiteral("text"));
         return text->text().contains(QStringLiteral(QT_VERSION_STR));
       }},
  };
  for (const Item& i : items) {
    SCOPED_TRACE(i.caption);
    QAction* a = findItem(w, QString::fromUtf8(i.caption));
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->shortcut(), i.key);
    if (i.button != nullptr) {
      // Not connected: upload and download are off, and so are their items.
      EXPECT_EQ(a->isEnabled(), i.button->isEnabled());
      i.button->setEnabled(false);
      EXPECT_FALSE(a->isEnabled());
      a->trigger();  // a disabled item does nothing, even from its shortcut
      i.button->setEnabled(true);
      EXPECT_TRUE(a->isEnabled());
    }
    a->trigger();
    EXPECT_TRUE(i.ran());
  }
  // 建立连接 reads 断开连接 while connected, as the button does.
  QAction* connect = w.MenuConnect;
  auto* controller = qobject_cast<QMenu*>(w.MenuBar->actions()[1]->menu());
  emit controller->aboutToShow();
  EXPECT_EQ(connect->text(), w.Command建立连接->text());

  // 下载后校验 is off until chosen, and remembered.
  QSettings().remove(QStringLiteral("verifyAfterDownload"));
  {
    Window fresh;
    EXPECT_FALSE(fresh.w->verifyAfterDownload());
    fresh.w->MenuVerify->trigger();
  }
  Window again;
  EXPECT_TRUE(again.w->verifyAfterDownload());
  again.w->MenuVerify->trigger();

  // 退出 closes the window as its button does.
  t.showActive();
  findItem(w, QStringLiteral("退出"))->trigger();
  EXPECT_FALSE(w.isVisible());
}

TEST(Menu, FilesReadGoFirstInTheListOfFilesReadLast) {
  QSettings().remove(QStringLiteral("recentFiles"));
  QTemporaryDir dir;
  Window t;
  Form1& w = *t.w;
  EXPECT_FALSE(w.MenuRecent->isEnabled());
  const QString a = dir.filePath(QStringLiteral("a.QZ"));
  const QString b = dir.filePath(QStringLiteral("b.QZ"));
  for (const QString& path : {a, b}) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("\xBB\xFA\xD0\xCD:2\r\n");
  }
  w.readParameterFile(a);
  w.readParameterFile(b);
  w.readParameterFile(a);
  emit w.MenuRecent->aboutToShow();
  const QList<QAction*> listed = w.MenuRecent->actions();
  ASSERT_EQ(listed.size(), 2);
  EXPECT_EQ(listed[0]->text(), QDir::toNativeSeparators(a));
  EXPECT_EQ(listed[1]->text(), QDir::toNativeSeparators(b));
  selectPosition(w.Combo机型, 0);
  listed[1]->trigger();
  EXPECT_EQ(w.Combo机型->currentIndex(), 2);  // b read again
}

TEST(Menu, TheDiagnosisPutsTheThingToFixFirstOnTopWithItsCommand) {
  Window t;
  Form1& w = *t.w;
  doctor::Diagnosis d;
  doctor::Adapter& a = d.adapters.emplace_back();
  a.ids = {"1a86", "7523", "QinHeng", "USB Serial", ""};
  a.device = "/dev/ttyUSB0";
  a.com = "COM1";
  a.findings = {
      {"port", doctor::Level::Good, "", {}, doctor::Cause::PortMade, "/dev/ttyUSB0", ""},
      {"access",
       doctor::Level::Problem,
       "",
       {},
       doctor::Cause::NotInGroup,
       "dialout",
       "sudo adduser alice dialout"},
  };
  w.showDiagnosis(d);
  auto* dialog = w.findChild<QDialog*>(QStringLiteral("diagnosisDialog"));
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(dialog->findChild<QLabel*>(QStringLiteral("verdict"))->text(),
            "请先解决: /dev/ttyUSB0: 您不在 dialout 组中，只有这个组可以打开此端口。"
            "请运行下面的命令，然后注销并重新登录。");
  EXPECT_EQ(dialog->findChild<QLineEdit*>(QStringLiteral("command"))->text(),
            "sudo adduser alice dialout");
  dialog->findChild<QPushButton*>(QStringLiteral("copy"))->click();
  EXPECT_EQ(QApplication::clipboard()->text(), "sudo adduser alice dialout");
  const QString findings = dialog->findChild<QLabel*>(QStringLiteral("findings"))->text();
  EXPECT_TRUE(
      findings.startsWith("USB 适配器 1a86:7523, QinHeng, USB Serial — COM1\n"
                          "  ✔ 适配器生成了端口 /dev/ttyUSB0。\n  ✘ 您不在 dialout 组中"))
      << findings.toStdString();

  // A usable port: named on top, nothing to copy.
  a.findings.pop_back();
  a.usable = true;
  d.usable = true;
  w.showDiagnosis(d);
  dialog = w.findChild<QDialog*>(QStringLiteral("diagnosisDialog"));
  EXPECT_EQ(dialog->findChild<QLabel*>(QStringLiteral("verdict"))->text(),
            "可以使用: COM1 (/dev/ttyUSB0)");
  EXPECT_EQ(dialog->findChild<QLineEdit*>(QStringLiteral("command")), nullptr);
}

TEST(Menu, TheSheetCarriesCustomerSiteAndRoomAndNamesItsFormat) {
  QTemporaryDir dir;
  Window t;
  Form1& w = *t.w;
  struct Case {
    const char* chosen;
    const char* written;
    QByteArray holds;
  };
  for (const Case& c :
       {Case{"room3.html", "room3.html", "<dd>张先生</dd>"}, Case{"room3", "room3.pdf", "%PDF"}}) {
    w.printSheet();
    auto* dialog = w.findChild<QDialog*>(QStringLiteral("sheetDialog"));
    dialog->findChild<QLineEdit*>(QStringLiteral("customer"))->setText(QStringLiteral("张先生"));
    dialog->findChild<QLineEdit*>(QStringLiteral("site"))->setText(QStringLiteral("滨江花园"));
    dialog->findChild<QLineEdit*>(QStringLiteral("room"))->setText(QStringLiteral("3号包间"));
    t.platform.saveAnswer = dir.filePath(QString::fromUtf8(c.chosen));
    dialog->findChild<QPushButton*>(QStringLiteral("save"))->click();
    QFile f(dir.filePath(QString::fromUtf8(c.written)));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << c.written;
    const QByteArray bytes = f.readAll();
    EXPECT_TRUE(bytes.contains(c.holds)) << c.written;
    if (c.holds != "%PDF") {
      EXPECT_TRUE(bytes.contains("<dd>滨江花园</dd>") && bytes.contains("<dd>3号包间</dd>"));
      EXPECT_TRUE(bytes.contains("<dd>编辑中的参数</dd>"));  // no file read: the editor's
    }
  }
  EXPECT_TRUE(t.platform.messages.empty());
}

}  // namespace
}  // namespace qz

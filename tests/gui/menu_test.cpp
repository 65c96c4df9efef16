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
  const auto shown = [&w](const char* name) { return [&w, name] { return dialogShown(w, name); }; };
  const auto asked = [&t](std::size_t n) {
    return [&t, n] { return t.platform.filters.size() == n; };
  };
  const auto connected = [&] {
    test::finishAttempt(w, [&](Form1& f) {
      if (!f.Connected()) t.answer({0xAA, 0x55, 0, 0x88, 0x66});
    });
    return w.Connected();
  };
  struct Item {
    const char* caption;
    QKeySequence key;
    QPushButton* button;        // the item is enabled exactly when this is
    std::function<bool()> ran;  // what shows that the procedure ran
  };
  const std::size_t n = t.platform.filters.size();
  const Item items[] = {
      {"读取参数…", QKeySequence::Open, w.Command4, asked(n + 1)},
      {"保存参数…", QKeySequence::Save, w.Command5, asked(n + 2)},
      {"另存为…", QKeySequence(QStringLiteral("Ctrl+Shift+S")), w.Command5, asked(n + 3)},
      {"打印配置单…", QKeySequence::Print, nullptr, shown("sheetDialog")},
      {"建立连接", {}, w.Command建立连接, connected},
      {"上传设备参数",
       {},
       w.Command上传,
       [&] {  // then the silent controller ends it, so that the download may start
         const bool ran = !w.Command上传->isEnabled();
         for (int tick = 0; tick < 15; ++tick) w.Timer上传超时_Timer();
         return ran;
       }},
      {"下载参数到设备", {}, w.Command下载, [&] { return !w.Command下载->isEnabled(); }},
      {"与控制器比较…", {}, w.Command上传, [] { return true; }},
      {"适配器诊断…", {}, nullptr, shown("diagnosisDialog")},
      {"使用说明", QKeySequence::HelpContents, nullptr, shown("tourDialog")},
      {"关于", {}, nullptr, shown("aboutDialog")},
  };
  for (const Item& i : items) {
    SCOPED_TRACE(i.caption);
    QAction* a = findItem(w, QString::fromUtf8(i.caption));
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->shortcut(), i.key);
    if (i.button != nullptr) {
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
  emit w.MenuBar->actions()[1]->menu()->aboutToShow();
  EXPECT_EQ(w.MenuConnect->text(), w.Command建立连接->text());

  // 下载后校验 is off until chosen, and remembered.
  QSettings().remove(QStringLiteral("verifyAfterDownload"));
  Window().w->MenuVerify->trigger();
  Window again;
  EXPECT_TRUE(again.w->verifyAfterDownload());
  again.w->MenuVerify->trigger();

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
  const QString a = dir.filePath("a.QZ");
  const QString b = dir.filePath("b.QZ");
  for (const QString& path : {a, b, a}) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write("\xBB\xFA\xD0\xCD:2\r\n") > 0);
    f.close();
    w.readParameterFile(path);
  }
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
  const auto finding = [](doctor::Level l, doctor::Cause c, const char* subject, const char* cmd) {
    return doctor::Finding{"", l, "", {}, c, subject, cmd};
  };
  a.findings = {finding(doctor::Level::Good, doctor::Cause::PortMade, "/dev/ttyUSB0", ""),
                finding(doctor::Level::Problem, doctor::Cause::NotInGroup, "dialout",
                        "sudo adduser alice dialout")};
  w.showDiagnosis(d);
  auto* dialog = w.findChild<QDialog*>("diagnosisDialog");
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(dialog->findChild<QLabel*>("verdict")->text(),
            "请先解决: /dev/ttyUSB0: 您不在 dialout 组中，只有这个组可以打开此端口。"
            "请运行下面的命令，然后注销并重新登录。");
  EXPECT_EQ(dialog->findChild<QLineEdit*>("command")->text(), "sudo adduser alice dialout");
  dialog->findChild<QPushButton*>("copy")->click();
  EXPECT_EQ(QApplication::clipboard()->text(), "sudo adduser alice dialout");
  const QString findings = dialog->findChild<QLabel*>("findings")->text();
  EXPECT_TRUE(
      findings.startsWith("USB 适配器 1a86:7523, QinHeng, USB Serial — COM1\n"
                          "  ✔ 适配器生成了端口 /dev/ttyUSB0。\n  ✘ 您不在 dialout 组中"))
      << findings.toStdString();

  // A usable port: named on top, nothing to copy.
  a.usable = true;
  d.usable = true;
  w.showDiagnosis(d);
  dialog = w.findChild<QDialog*>("diagnosisDialog");
  EXPECT_EQ(dialog->findChild<QLabel*>("verdict")->text(), "可以使用: COM1 (/dev/ttyUSB0)");
  EXPECT_EQ(dialog->findChild<QLineEdit*>("command"), nullptr);
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
    auto* dialog = w.findChild<QDialog*>("sheetDialog");
    for (const auto& [field, text] :
         {std::pair{"customer", "张先生"}, std::pair{"site", "滨江花园"},
          std::pair{"room", "3号包间"}}) {
      dialog->findChild<QLineEdit*>(field)->setText(QString::fromUtf8(text));
    }
    t.platform.saveAnswer = dir.filePath(QString::fromUtf8(c.chosen));
    dialog->findChild<QPushButton*>("save")->click();
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

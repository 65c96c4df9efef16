// The window among the desktop's own pieces: Qt's dialogs in Chinese and where they open, the
// window's icon, and a parameter file named on the command line.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>

#include "support/editor_window.h"
#include "ui/command_line.h"
#include "ui/platform.h"

namespace qz {
namespace {

using test::EditorWindow;

// Runs `answer` on the modal dialog the next call opens, once it is up.
template <class Dialog>
void whenOpen(std::function<void(Dialog*)> answer) {
  QTimer::singleShot(0, qApp, [answer] {
    auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr) << "no dialog opened";
    answer(dialog);
  });
}

TEST(Desktop, QtsDialogsSpeakChineseShowTheFilterOnceAndOpenAtHomeThenWhereLastUsed) {
  ASSERT_TRUE(installQtTranslations(*qApp)) << "Qt's Chinese translations are not installed";
  QTemporaryDir home;
  ASSERT_TRUE(home.isValid());
  qputenv("HOME", home.path().toLocal8Bit());  // each test runs in a process of its own
  ASSERT_TRUE(QDir(home.path()).mkdir(QStringLiteral("jobs")));
  const QString file = home.filePath(QStringLiteral("jobs/shop.QZ"));
  QFile(file).open(QIODevice::WriteOnly);
  DesktopPlatform desktop;
  const QString filter = QStringLiteral("(*.QZ)|*.QZ");

  whenOpen<QFileDialog>([&](QFileDialog* dialog) {
    EXPECT_EQ(dialog->directory().absolutePath(), home.path());
    EXPECT_EQ(dialog->nameFilters(), QStringList{QStringLiteral("(*.QZ)")});
    EXPECT_EQ(dialog->labelText(QFileDialog::LookIn), "查找范围：");
    EXPECT_EQ(dialog->labelText(QFileDialog::Reject), "取消");
    dialog->selectFile(file);
    static_cast<QDialog*>(dialog)->accept();  // as the user's press of 打开 or 保存
  });
  EXPECT_EQ(desktop.openFileName(filter), file);

  // Saving over the file chosen: the dialog starts in its folder and asks before replacing it.
  bool asked = false;
  whenOpen<QFileDialog>([&](QFileDialog* dialog) {
    EXPECT_EQ(dialog->directory().absolutePath(), home.filePath(QStringLiteral("jobs")));
    EXPECT_EQ(dialog->nameFilters(), QStringList{QStringLiteral("(*.QZ)")});
    EXPECT_EQ(dialog->windowTitle(), "另存为");
    whenOpen<QMessageBox>([&](QMessageBox* question) {
      asked = true;
      EXPECT_TRUE(question->text().contains(QStringLiteral("已存在")))
          << question->text().toStdString();
      EXPECT_TRUE(question->button(QMessageBox::Yes)->text().startsWith(QStringLiteral("是")));
      EXPECT_TRUE(question->button(QMessageBox::No)->text().startsWith(QStringLiteral("否")));
      question->button(QMessageBox::Yes)->click();
    });
    dialog->selectFile(file);
    static_cast<QDialog*>(dialog)->accept();  // as the user's press of 打开 or 保存
  });
  EXPECT_EQ(desktop.saveFileName(filter), file);
  EXPECT_TRUE(asked);

  whenOpen<QMessageBox>([](QMessageBox* box) {
    EXPECT_EQ(box->button(QMessageBox::Ok)->text(), "确定");
    box->button(QMessageBox::Ok)->click();
  });
  desktop.messageBox(QStringLiteral("参数下载成功"), QStringLiteral("提示信息!"),
                     MessageIcon::Information);
}

TEST(Desktop, TheWindowCarriesTheToolsIcon) {
  EditorWindow t;
  const QImage shown = t.w->windowIcon().pixmap(48, 48).toImage();
  const QImage drawn(QStringLiteral(QZ_SOURCE_DIR "/packaging/icons/qzconfig-48.png"));
  ASSERT_FALSE(drawn.isNull());
  EXPECT_EQ(shown.convertToFormat(QImage::Format_ARGB32_Premultiplied),
            drawn.convertToFormat(QImage::Format_ARGB32_Premultiplied));
}

// qzconfig FILE.QZ reads the file as "读取参数" reads the file chosen in its dialog: the same
// editor and the same messages, for a good file, one with rows missing and a line left out, and
// one that is no parameter file.
TEST(Desktop, AFileNamedAtStartIsReadAsReadParametersReadsIt) {
  EXPECT_EQ(parseCommandLine({"qzconfig", "-platform", "offscreen", "a.QZ"}).file, "a.QZ");
  QTemporaryDir dir;
  const QByteArray good("\xBB\xFA\xD0\xCD:2\r\nCJ00001000000000000000000000000000000009\r\n");
  for (const QByteArray& bytes : {good, good + "CJ05 not a row\r\n", QByteArray("text\r\n")}) {
    const QString path = dir.filePath(QStringLiteral("%1.QZ").arg(bytes.size()));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
    f.close();
    EditorWindow started;
    started.w->readParameterFile(path);
    EditorWindow clicked;
    clicked.platform.openAnswer = path;
    clicked.w->Command4->click();
    EXPECT_EQ(started.w->SetData, clicked.w->SetData);
    EXPECT_EQ(started.w->Combo机型->currentText(), clicked.w->Combo机型->currentText());
    ASSERT_EQ(started.platform.messages.size(), clicked.platform.messages.size());
    for (std::size_t i = 0; i < started.platform.messages.size(); ++i) {
      EXPECT_EQ(started.platform.messages[i].text, clicked.platform.messages[i].text);
      EXPECT_EQ(started.platform.messages[i].title, clicked.platform.messages[i].title);
    }
    EXPECT_TRUE(started.platform.filters.empty()) << "a dialog was opened";
  }
  EditorWindow started;  // the good file, in the editor
  started.w->readParameterFile(dir.filePath(QStringLiteral("%1.QZ").arg(good.size())));
  EXPECT_EQ(started.w->Combo机型->currentText(), "QZ-0804");
  EXPECT_EQ(started.w->SetData(0, 11), 9);
}

}  // namespace
}  // namespace qz

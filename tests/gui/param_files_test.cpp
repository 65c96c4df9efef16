// "保存参数" and "读取参数": the file dialogs answered by the test, real files in a temporary
// folder.

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <cerrno>
#include <csignal>

#include "support/editor_window.h"
#include "ui/system_error_words.h"

namespace qz {
namespace {

using test::EditorWindow;

QByteArray contents(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return {};
  return f.readAll();
}

// One language per message: no English word (a unit such as "KB" aside) in a reason.
bool inChinese(const QString& reason) {
  return !reason.isEmpty() && !reason.contains(QRegularExpression("[A-Za-z]{3,}"));
}

void put(const QString& path, const QByteArray& data) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  ASSERT_EQ(f.write(data), data.size());
}

const QByteArray kModelTag("\xBB\xFA\xD0\xCD:");

// The window after the user made a QZ-0804 image: the model chosen, scene 4 and the work mode
// edited.
void editImage(EditorWindow& t) {
  Form1& w = *t.w;
  EditorWindow::choose(w.Combo机型, 2);
  w.Command6[4]->click();
  w.TD3[7]->click();                         // switch channel 8 of scene 4 on
  EditorWindow::choose(w.TG3[3], 6);         // dimming channel 4 at level 6
  EditorWindow::choose(w.Combo工作模式, 1);  // DMX512
  EditorWindow::choose(w.Combo1DMX地址, 300);
}

TEST(ParamFiles, SaveWritesTheModelAndImageAndReadBringsThemBack) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  EditorWindow t;
  Form1& w = *t.w;
  editImage(t);
  const ConfigImage saved = w.SetData;

  // A name typed without an extension gets ".QZ".
  t.platform.saveAnswer = dir.filePath("scenes");
  w.Command5->click();
  EXPECT_TRUE(t.platform.messages.empty());
  ASSERT_EQ(t.platform.filters.size(), 1u);
  EXPECT_EQ(t.platform.filters[0], "(*.QZ)|*.QZ");
  EXPECT_FALSE(QFile::exists(dir.filePath("scenes")));
  const QByteArray file = contents(dir.filePath("scenes.QZ"));

  const QList<QByteArray> lines = file.split('\n');
  ASSERT_EQ(lines.size(), 21);  // 20 lines, each ending CR LF, nothing after the last
  EXPECT_EQ(lines[0], kModelTag + "2\r");
  EXPECT_EQ(lines[1], "CJ00001000000000000000000000000000000000\r");
  EXPECT_EQ(lines[4], "CJ03000000000001000000000001000000000006\r");
  EXPECT_EQ(lines[15], "CJ14001001001001001001001001009009009009\r");
  EXPECT_EQ(lines[18], "CJ17000000000000000000000000000001001045\r");
  EXPECT_EQ(lines[19], "CJ18000000020040070100130160190220250002\r");
  EXPECT_EQ(lines[20], "");
  EXPECT_TRUE(t.port.writes.empty());

  // Another model and other edits, then the file again: the image and model as saved.
  EditorWindow::choose(w.Combo机型, 4);
  w.Command6[9]->click();
  w.TD5[0]->click();
  EditorWindow::choose(w.Combo开机场景, 15);
  ASSERT_NE(w.SetData, saved);
  t.platform.openAnswer = dir.filePath("scenes.QZ");
  w.Command4->click();
  EXPECT_TRUE(t.platform.messages.empty());
  EXPECT_EQ(t.platform.filters.back(), "(*.QZ)|*.QZ");
  EXPECT_EQ(w.SetData, saved);
  EXPECT_EQ(w.CurModel, 2);
  EXPECT_EQ(w.Combo机型->currentText(), "QZ-0804");
  EXPECT_EQ(w.Label机型->text(), "QZ-0804");
  EXPECT_TRUE(w.Frame6[2]->isVisibleTo(&w));
  // Scene 1 opened, the settings shown.
  EXPECT_EQ(w.CurScene, 0);
  EXPECT_EQ(test::buttonColour(w.Command6[1]), test::kRed);
  EXPECT_EQ(test::buttonColour(w.Command6[9]), test::kLightOrange);
  EXPECT_EQ(w.TD3[0]->checkState(), Qt::Checked);
  EXPECT_EQ(w.Combo工作模式->currentText(), "DMX512模式");
  EXPECT_EQ(w.Combo1DMX地址->currentText(), "301");
  EXPECT_EQ(w.Combo开机场景->currentText(), "场景3");
  EXPECT_TRUE(t.port.writes.empty());  // nothing goes to a controller that is not there
}

TEST(ParamFiles, ModelLineAloneAndFileOrder) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  EditorWindow t;
  Form1& w = *t.w;
  EditorWindow::choose(w.Combo机型, 2);
  w.SetData(12, 5) = 7;  // a cell no model pattern touches
  w.SetData(18, 11) = 16;

  // Only a model line: the model's pattern, every other byte kept, the editor shown again, and
  // the user told that no row came from the file.
  put(dir.filePath("model.QZ"), kModelTag + "4\r\n");
  t.platform.openAnswer = dir.filePath("model.QZ");
  w.Command6[5]->click();
  w.Command4->click();
  ASSERT_EQ(t.platform.messages.size(), 1u);
  EXPECT_EQ(
      t.platform.messages[0].text,
      "文件中没有以下各行，这些参数是读入前的值，其上已写入 QZ-1200 的默认场景图样:\nCJ00-CJ18");
  EXPECT_EQ(w.Label机型->text(), "QZ-1200");
  EXPECT_EQ(t.row(14), (test::Bytes{1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1}));
  EXPECT_EQ(w.SetData(11, 11), 1);
  EXPECT_EQ(w.SetData(12, 5), 7);
  EXPECT_EQ(w.Combo开机场景->currentText(), "静音");
  EXPECT_EQ(test::buttonColour(w.Command6[1]), test::kRed);

  // The model line selects the model before any row is stored, wherever it stands, so the
  // file's rows are never overwritten by its pattern. Model digits 5..9 are ignored. LF alone
  // ends lines as well.
  put(dir.filePath("order.QZ"), "CJ14002002002002002002002002002002002002\n" + kModelTag +
                                    "0\n"
                                    "CJ00003000000000000000000000000000000000\n" +
                                    kModelTag + "8\n");
  t.platform.messages.clear();
  t.platform.openAnswer = dir.filePath("order.QZ");
  w.Command4->click();
  ASSERT_EQ(t.platform.messages.size(), 1u);
  EXPECT_EQ(t.platform.messages[0].text,
            "文件中没有以下各行，这些参数是读入前的值，其上已写入 QZ-0408 的默认场景图样:\n"
            "CJ01-CJ13, CJ15-CJ18");
  EXPECT_EQ(w.Label机型->text(), "QZ-0408");
  EXPECT_EQ(t.row(14), test::Bytes(12, 2));
  EXPECT_EQ(t.row(0), (test::Bytes{3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(w.SetData(5, 5), 9);  // a row the file lacks: QZ-0408's pattern on the old bytes
  EXPECT_EQ(w.SetData(12, 5), 7);
}

TEST(ParamFiles, CancelChangesNothing) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  EditorWindow t;
  Form1& w = *t.w;
  editImage(t);
  const ConfigImage before = w.SetData;
  w.Command6[4]->click();
  t.platform.openAnswer.clear();
  t.platform.saveAnswer.clear();
  w.Command4->click();
  w.Command5->click();
  EXPECT_EQ(t.platform.filters.size(), 2u);
  EXPECT_TRUE(t.platform.messages.empty());
  EXPECT_EQ(w.SetData, before);
  EXPECT_EQ(w.CurScene, 3);
  EXPECT_EQ(test::buttonColour(w.Command6[4]), test::kRed);
  EXPECT_TRUE(QDir(dir.path()).isEmpty());
}

TEST(ParamFiles, AFileThatCannotBeReadChangesNothing) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  EditorWindow t;
  Form1& w = *t.w;
  editImage(t);
  const ConfigImage before = w.SetData;

  // A valid file padded with empty lines: one byte over 64 KiB is refused, 64 KiB is read.
  QByteArray big = kModelTag + "0\r\nCJ00009000000000000000000000000000000000\r\n";
  big.append(QByteArray(64 * 1024 + 1 - big.size(), '\n'));
  put(dir.filePath("big.QZ"), big);
  put(dir.filePath("fits.QZ"), big.left(64 * 1024));
  put(dir.filePath("text.QZ"), "机型 is not here\r\ncj00001\r\n");
  put(dir.filePath("empty.QZ"), "");
  QDir(dir.path()).mkdir("folder.QZ");

  const struct {
    const char* name;
    const char* reason;
  } cases[] = {
      {"missing.QZ", ""},  // the system's reason, whatever its words
      {"folder.QZ", ""},           {"big.QZ", "文件大于 64 KB，不是参数文件。"},
      {"text.QZ", "不是参数文件"}, {"empty.QZ", "不是参数文件"},
  };
  for (const auto& c : cases) {
    t.platform.messages.clear();
    t.platform.openAnswer = dir.filePath(c.name);
    w.Command4->click();
    ASSERT_EQ(t.platform.messages.size(), 1u) << c.name;
    const auto& m = t.platform.messages[0];
    EXPECT_EQ(m.title, "读取参数");
    EXPECT_EQ(m.icon, MessageIcon::Exclamation);
    EXPECT_TRUE(m.text.startsWith("参数文件没有读入:\n" + dir.filePath(c.name) + "\n\n原因: "))
        << m.text.toStdString();
    EXPECT_FALSE(m.text.contains("原因: \n")) << c.name;  // a reason is given
    EXPECT_TRUE(m.text.contains(QString::fromUtf8(c.reason))) << m.text.toStdString();
    EXPECT_TRUE(inChinese(m.text.section("原因: ", 1))) << m.text.toStdString();
    EXPECT_TRUE(m.text.endsWith("当前参数没有改动。"));
    EXPECT_EQ(w.SetData, before) << c.name;
    EXPECT_EQ(w.Label机型->text(), "QZ-0804");
    EXPECT_EQ(w.CurScene, 3) << c.name;  // the editor was not re-shown
  }

  t.platform.messages.clear();
  t.platform.openAnswer = dir.filePath("fits.QZ");
  w.Command4->click();
  ASSERT_EQ(t.platform.messages.size(), 1u);
  EXPECT_TRUE(t.platform.messages[0].text.endsWith("CJ01-CJ18"));
  EXPECT_EQ(w.Label机型->text(), "QZ-0408");
  EXPECT_EQ(w.SetData(0, 0), 9);
}

TEST(ParamFiles, LinesThatDoNotFitAreSkippedAndNamedInOneMessage) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  EditorWindow t;
  Form1& w = *t.w;
  put(dir.filePath("odd.QZ"), kModelTag +
                                  "1\r\n"
                                  "CJ02001001001001001001001001001001001001\r\n"
                                  "CJ19001001001001001001001001001001001001\r\n"
                                  "\r\n"
                                  "CJ03001001001001001001001001001001001300\r\n"
                                  "CJ16005005005005005005005005005005005005\r\n");
  t.platform.openAnswer = dir.filePath("odd.QZ");
  w.Command4->click();
  ASSERT_EQ(t.platform.messages.size(), 1u);
  EXPECT_EQ(t.platform.messages[0].text,
            "以下各行不是完整的场景行（不是 40 个字符、含有数字和空格以外的字符、场景号大于 18 "
            "或数值大于 255），没有读入:\n第 3, 5 行\n\n"
            "文件中没有以下各行，这些参数是读入前的值，其上已写入 QZ-0606 的默认场景图样:\n"
            "CJ00-CJ01, CJ03-CJ15, CJ17-CJ18");
  EXPECT_EQ(t.platform.messages[0].title, "读取参数");
  EXPECT_EQ(t.platform.messages[0].icon, MessageIcon::Exclamation);
  // The lines that fit were read.
  EXPECT_EQ(w.Label机型->text(), "QZ-0606");
  EXPECT_EQ(t.row(2), test::Bytes(12, 1));
  EXPECT_EQ(t.row(3), (test::Bytes{0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0}));  // QZ-0606 pattern
  EXPECT_EQ(t.row(16), test::Bytes(12, 5));
}

// Restores a resource limit and the signal it raises when the test ends.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &old_);
    oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = old_;
    limit.rlim_cur = bytes;
    ok_ = setrlimit(RLIMIT_FSIZE, &limit) == 0;
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &old_);
    std::signal(SIGXFSZ, oldHandler_);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;
  [[nodiscard]] bool ok() const { return ok_; }

 private:
  rlimit old_{};
  void (*oldHandler_)(int) = nullptr;
  bool ok_ = false;
};

TEST(ParamFiles, AFailedSaveSaysWhyAndKeepsTheOldFile) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  EditorWindow t;
  Form1& w = *t.w;
  editImage(t);
  put(dir.filePath("plain"), "a regular file");
  QDir(dir.path()).mkdir("folder.QZ");
  put(dir.filePath("folder.QZ/inside"), "kept");
  const QByteArray old = kModelTag + "0\r\nCJ00001\r\n";
  put(dir.filePath("old.QZ"), old);

  // Below a regular file, in a folder that is gone, onto a folder.
  for (const char* name : {"plain/new.QZ", "gone/new.QZ", "folder.QZ"}) {
    t.platform.messages.clear();
    t.platform.saveAnswer = dir.filePath(name);
    w.Command5->click();
    ASSERT_EQ(t.platform.messages.size(), 1u) << name;
    const auto& m = t.platform.messages[0];
    EXPECT_EQ(m.title, "保存参数");
    EXPECT_EQ(m.icon, MessageIcon::Exclamation);
    EXPECT_TRUE(m.text.startsWith("参数文件没有保存:\n" + dir.filePath(name) + "\n\n原因: "))
        << m.text.toStdString();
    EXPECT_FALSE(m.text.contains("原因: \n")) << name;
    EXPECT_FALSE(m.text.endsWith("原因: ")) << name;
    EXPECT_TRUE(inChinese(m.text.section("原因: ", 1))) << m.text.toStdString();
  }
  EXPECT_EQ(contents(dir.filePath("plain")), "a regular file");
  EXPECT_EQ(contents(dir.filePath("folder.QZ/inside")), "kept");
  EXPECT_FALSE(QFile::exists(dir.filePath("gone")));

  // The disk fills up while the new file is written: the old one stays whole.
  {
    FileSizeLimit limit(100);
    if (!limit.ok()) GTEST_SKIP() << "cannot limit the file size";
    t.platform.messages.clear();
    t.platform.saveAnswer = dir.filePath("old.QZ");
    w.Command5->click();
  }
  ASSERT_EQ(t.platform.messages.size(), 1u);
  EXPECT_TRUE(t.platform.messages[0].text.startsWith("参数文件没有保存:\n" +
                                                     dir.filePath("old.QZ") + "\n\n原因: "));
  EXPECT_TRUE(t.platform.messages[0].text.endsWith("\n\n原来的文件没有改动。"));
  EXPECT_TRUE(inChinese(t.platform.messages[0].text.section("原因: ", 1)))
      << t.platform.messages[0].text.toStdString();
  EXPECT_EQ(contents(dir.filePath("old.QZ")), old);
  // No temporary file left beside it.
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList({"old.QZ", "plain"}));

  // With room again the same save replaces it.
  t.platform.messages.clear();
  w.Command5->click();
  EXPECT_TRUE(t.platform.messages.empty());
  EXPECT_EQ(contents(dir.filePath("old.QZ")).size(), 806);
}

// Every reason the system can give reads in Chinese, with or without Qt's translations.
TEST(ParamFiles, EverySystemReasonIsWordedInChinese) {
  for (int error = 1; error < 134; ++error) {
    EXPECT_TRUE(inChinese(systemErrorWords(error))) << error;
  }
  // Those a parameter file meets have words of their own, not only a number.
  for (const int error : {ENOENT, EACCES, ENOSPC, EFBIG, EDQUOT, EROFS, ENOTDIR, EIO}) {
    EXPECT_FALSE(systemErrorWords(error).contains("错误号")) << error;
  }
}

}  // namespace
}  // namespace qz

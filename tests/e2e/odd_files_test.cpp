// Names that stand for something other than a regular file, given to every program where it
// reads or writes a parameter file: qzctl and qzsim as built, the window as the user clicks it.
// Each refuses with the reason, at once, and leaves the thing as it was.

#include <gtest/gtest.h>

#include <QProcess>
#include <filesystem>

#include "sim/pty_server.h"
#include "support/editor_window.h"
#include "support/odd_files.h"
#include "support/runtime_dir.h"

namespace qz {
namespace {

struct Ran {
  int code = -1;     // -1: still running after 20 s, and killed
  std::string said;  // standard output and standard error
};

Ran run(const char* program, const QStringList& args) {
  QProcess p;
  p.start(QString::fromUtf8(program), args);
  Ran r;
  if (!p.waitForFinished(20000)) {
    p.kill();
    p.waitForFinished();
    return r;
  }
  r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
  r.said = (p.readAllStandardOutput() + p.readAllStandardError()).toStdString();
  return r;
}

TEST(OddFiles, EveryProgramRefusesWhatIsNotARegularFile) {
  test::OddFiles dir;
  test::RuntimeDir runtime;
  sim::Options options;
  options.pacing = false;
  sim::PtyServer controller(options);
  controller.start();
  const QString com = QString::fromStdString(controller.comName());
  const QString plain = QString::fromStdString((dir / "plain.QZ").string());
  test::EditorWindow window;
  const std::string before = dir.state();

  const struct {
    const char* name;
    const char* english;
    const char* chinese;
  } cases[] = {
      {"dangling.QZ", "a symbolic link to a file that does not exist",
       "这是符号链接，它指向的文件不存在。"},
      {"fifo.QZ", "a FIFO (named pipe), not a regular file", "这是命名管道 (FIFO)，不是普通文件。"},
      {"fifo-link.QZ", "a FIFO (named pipe), not a regular file",
       "这是命名管道 (FIFO)，不是普通文件。"},
      {"folder.QZ", "Is a directory", "这是文件夹，不是普通文件。"},
      {"device.QZ", "a device, not a regular file", "这是设备，不是普通文件。"},
  };
  for (const auto& c : cases) {
    if (std::string(c.name) == "device.QZ" && !dir.hasDevice()) continue;  // needs root
    const QString file = QString::fromStdString((dir / c.name).string());
    const std::string reason = file.toStdString() + ": " + c.english;
    const struct {
      const char* program;
      QStringList args;
      int code;
    } runs[] = {
        {QZCTL_PATH, {"show", file}, 5},
        {QZCTL_PATH, {"diff", plain, file}, 5},
        {QZCTL_PATH, {"--port", com, "compare", file}, 5},
        {QZCTL_PATH, {"--port", com, "download", file}, 5},
        {QZCTL_PATH, {"--port", com, "upload", file}, 5},
        {QZSIM_PATH, {"--com", "50", "--image", file}, 1},
        {QZSIM_PATH, {"--com", "50", "--dump", file}, 1},
    };
    for (const auto& r : runs) {
      const Ran ran = run(r.program, r.args);
      const std::string what = std::string(c.name) + " " + r.args.join(' ').toStdString();
      EXPECT_EQ(ran.code, r.code) << what << "\n" << ran.said;
      EXPECT_NE(ran.said.find(reason), std::string::npos) << what << "\n" << ran.said;
    }

    // The window: "读取参数" and "保存参数" on the same name.
    for (QPushButton* button : {window.w->Command4, window.w->Command5}) {
      window.platform.messages.clear();
      window.platform.openAnswer = window.platform.saveAnswer = file;
      button->click();
      ASSERT_EQ(window.platform.messages.size(), 1u) << c.name;
      EXPECT_TRUE(window.platform.messages[0].text.contains(QStringLiteral("\n\n原因: ") +
                                                            QString::fromUtf8(c.chinese)))
          << c.name << " " << window.platform.messages[0].text.toStdString();
    }
  }
  EXPECT_EQ(dir.state(), before);  // nothing replaced, nothing made where a link points

  // Through a link to a file, that file is replaced whole and the link stays.
  window.platform.messages.clear();
  window.platform.saveAnswer = QString::fromStdString((dir / "link.QZ").string());
  window.w->Command5->click();
  EXPECT_TRUE(window.platform.messages.empty());
  EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.QZ"));
  EXPECT_EQ(std::filesystem::file_size(dir / "plain.QZ"), 806u);  // 机型 line and 19 rows

  // Standard output, given by its name, is not a file to replace or to write beside.
  const Ran stdoutRan = run(QZCTL_PATH, {"--port", com, "upload", "/dev/stdout"});
  EXPECT_EQ(stdoutRan.code, 5) << stdoutRan.said;
  EXPECT_NE(stdoutRan.said.find("/dev/stdout: a FIFO (named pipe), not a regular file"),
            std::string::npos)
      << stdoutRan.said;
  EXPECT_FALSE(std::filesystem::remove("/dev/stdout.QZ"));
  controller.stop();
}

}  // namespace
}  // namespace qz

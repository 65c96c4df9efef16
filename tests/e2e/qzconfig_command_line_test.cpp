// qzconfig's command line, run as the user runs it, on a machine without any display: help,
// version and a wrong option are answered without one.

#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>

namespace {

TEST(QzconfigCommandLine, HelpVersionAndAWrongOptionNeedNoDisplay) {
  QProcessEnvironment noDisplay = QProcessEnvironment::systemEnvironment();
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
    noDisplay.remove(QString::fromLatin1(name));
  }
  const struct {
    QStringList args;
    int code;
    const char* out;  // what standard output starts with ("" for nothing at all)
    const char* err;  // what standard error holds ("" for nothing at all)
  } cases[] = {
      {{"--help"}, 0, "Usage: qzconfig [options] [FILE.QZ]\n", ""},
      {{"--version"}, 0, "qzconfig " QZ_VERSION "\n", ""},
      {{"--frobnicate"}, 2, "", "Unknown option 'frobnicate'."},
      {{"a.QZ", "b.QZ"}, 2, "", "Usage: qzconfig [options] [FILE.QZ]\n"},
      {{"--port", "COM0"}, 2, "", "--port takes a COM name, COM1 to COM50."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args.join(QLatin1Char(' ')).toStdString());
    QProcess p;
    p.setProcessEnvironment(noDisplay);
    p.start(QStringLiteral(QZCONFIG_PATH), c.args);
    ASSERT_TRUE(p.waitForFinished(10000));
    const QString out = QString::fromLocal8Bit(p.readAllStandardOutput());
    const QString err = QString::fromLocal8Bit(p.readAllStandardError());
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit) << err.toStdString();
    EXPECT_EQ(p.exitCode(), c.code);
    EXPECT_EQ(out.isEmpty(), *c.out == '\0') << out.toStdString();
    EXPECT_TRUE(*c.out == '\0' || out.startsWith(QString::fromUtf8(c.out))) << out.toStdString();
    EXPECT_EQ(err.isEmpty(), *c.err == '\0') << err.toStdString();
    EXPECT_TRUE(err.contains(QString::fromUtf8(c.err))) << err.toStdString();
  }
}

}  // namespace

// GUI tests run the real window under the offscreen platform, on a 1920×1080 screen at 100 %
// unless the environment names a screen of its own (the scale tests run again at 200 %).
#include <gtest/gtest.h>

#include <QApplication>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>

int main(int argc, char** argv) {
  if (!qEnvironmentVariable("QT_QPA_PLATFORM").contains(QStringLiteral("configfile="))) {
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" QZ_TEST_SCREENS "/1920x1080.json");
  }
  QApplication app(argc, argv);
  // The window's remembered choices go to a test folder, never the user's own settings, and to
  // one of this process's own: test programs run side by side, and one that turns 下载后校验 on
  // must not turn it on for a download in another.
  QStandardPaths::setTestModeEnabled(true);
  const QTemporaryDir settings;
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
  QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings.path());
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}

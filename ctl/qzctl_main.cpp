// qzctl: the controller from a terminal.

#include <unistd.h>

#include <QCoreApplication>
#include <QGuiApplication>
#include <QString>
#include <QtGlobal>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <memory>
#include <string_view>
#include <vector>

#include "ctl/runner.h"

namespace {

// Whether everything written to the stream reached its file.
bool flushed(std::ostream& stream, std::FILE* file) {
  stream.flush();
  return stream.good() && std::fflush(file) == 0 && std::ferror(file) == 0;
}

// The offscreen platform asks for a runtime folder it never uses here; without a login session
// (sudo, cron, a plain ssh) Qt would warn about it on every sheet. Everything else still shows.
QtMessageHandler qtHandler = nullptr;
void quietAboutRuntimeFolder(QtMsgType type, const QMessageLogContext& context,
                             const QString& message) {
  if (message.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR not set"))) return;
  qtHandler(type, context, message);
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string_view> args;
  for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
  // Drawing a sheet needs fonts, and fonts need a GUI application; nothing is ever shown, so
  // the offscreen platform serves, display or not. Every other command starts without one.
  std::unique_ptr<QCoreApplication> app;
  if (std::find(args.begin(), args.end(), "sheet") != args.end()) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qtHandler = qInstallMessageHandler(quietAboutRuntimeFolder);
    app = std::make_unique<QGuiApplication>(argc, argv);
  } else {
    app = std::make_unique<QCoreApplication>(argc, argv);
  }
  // Progress lines redraw themselves with escape codes: only on a terminal that takes them.
  const char* term = std::getenv("TERM");
  const bool progress =
      ::isatty(STDERR_FILENO) == 1 && !(term != nullptr && std::string_view(term) == "dumb");
  int code = qz::ctl::run(args, {std::cout, std::cerr, progress});
  // Output a script never got is no success.
  if (!flushed(std::cout, stdout)) {
    std::fprintf(stderr, "qzctl: cannot write standard output: %s\n", std::strerror(errno));
    code = std::max(code, static_cast<int>(qz::ctl::kFileFailed));
  }
  if (!flushed(std::cerr, stderr)) code = std::max(code, static_cast<int>(qz::ctl::kFileFailed));
  return code;
}

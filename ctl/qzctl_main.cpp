// qzctl: the controller from a terminal.

#include <unistd.h>

#include <QCoreApplication>
#include <QGuiApplication>
#include <algorithm>
#include <iostream>
#include <memory>
#include <string_view>
#include <vector>

#include "ctl/runner.h"

int main(int argc, char** argv) {
  std::vector<std::string_view> args;
  for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
  // Drawing a sheet needs fonts, and fonts need a GUI application; nothing is ever shown, so
  // the offscreen platform serves, display or not. Every other command starts without one.
  std::unique_ptr<QCoreApplication> app;
  if (std::find(args.begin(), args.end(), "sheet") != args.end()) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    app = std::make_unique<QGuiApplication>(argc, argv);
  } else {
    app = std::make_unique<QCoreApplication>(argc, argv);
  }
  return qz::ctl::run(args, {std::cout, std::cerr, ::isatty(STDERR_FILENO) == 1});
}

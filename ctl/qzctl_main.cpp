// qzctl: the controller from a terminal.

#include <unistd.h>

#include <QCoreApplication>
#include <iostream>
#include <string_view>
#include <vector>

#include "ctl/runner.h"

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  std::vector<std::string_view> args;
  for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
  return qz::ctl::run(args, {std::cout, std::cerr, ::isatty(STDERR_FILENO) == 1});
}

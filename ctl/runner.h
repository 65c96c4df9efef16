#pragma once
// qzctl from the command line to the exit code: reads files, finds the ports, runs one session
// per port side by side on the event loop, prints one result line (or JSON object) per port.

#include <ostream>
#include <span>
#include <string_view>

namespace qz::ctl {

struct Streams {
  std::ostream& out;
  std::ostream& err;
  bool progress = false;  // stderr is a terminal: draw a progress line per port
};

// The arguments after the program name; returns the exit code. Needs a QCoreApplication.
int run(std::span<const std::string_view> args, Streams streams);

}  // namespace qz::ctl

#pragma once
// The ports a run works on, and the file each one writes.

#include <string>
#include <vector>

#include "ctl/command_line.h"

namespace qz::ctl {

struct Target {
  std::string port;
  std::string device;
};

// The ports to work on, each device once. An empty list with a message: nothing to open.
[[nodiscard]] std::vector<Target> resolveTargets(const Invocation& inv, bool& all,
                                                 std::string& error);

// FILE for one port of several: "backup.QZ" becomes "backup-COM3.QZ" (or "-ttyUSB0").
[[nodiscard]] std::string fileForPort(const std::string& file, const std::string& port,
                                      bool several);

}  // namespace qz::ctl

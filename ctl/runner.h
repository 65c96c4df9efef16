#pragma once
// qzctl from the command line to the exit code: reads the command line and runs the command.

#include <span>
#include <string_view>

#include "ctl/command.h"

namespace qz::ctl {

// The arguments after the program name; returns the exit code. Needs a QCoreApplication.
int run(std::span<const std::string_view> args, Streams streams);

}  // namespace qz::ctl

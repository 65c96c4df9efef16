#pragma once
// qzsim's command line.

#include <span>
#include <string>
#include <string_view>

#include "sim/controller.h"

namespace qz::sim {

struct CommandLine {
  Options options;
  std::string logFile;  // empty: the log goes to standard output
  // A parameter file to start from (--image); empty: the factory image.
  std::string imageFile;
  bool modelGiven = false;  // --model was given: it wins over the model of --image
  bool view = false;        // --view: a window shows the lamps the controller drives
  bool help = false;
  bool version = false;  // --version: the program's own, not the simulated firmware's
};

// The arguments after the program name. Throws std::invalid_argument with a message that
// names the option at fault.
[[nodiscard]] CommandLine parseCommandLine(std::span<const std::string_view> args);

// A fault rule as the options --drop, --duplicate, --corrupt and --extra write it.
[[nodiscard]] FaultRule parseFaultRule(FaultAction action, std::string_view text);

[[nodiscard]] std::string_view usageText();

// The options among `args` that make the controller misbehave, as they were written
// ("--drop download:5/2 --twice any"), so that two simulators can be told apart; empty when it
// behaves. `args` must have passed parseCommandLine.
[[nodiscard]] std::string faultOptions(std::span<const std::string_view> args);

// "qzsim 1.0.0"
[[nodiscard]] std::string_view versionText();

}  // namespace qz::sim

#pragma once
// One qzctl command: its name, arguments, help text and what runs it. A new command is a file
// that defines its CommandSpec and one line in the table of ctl/commands.cpp.

#include <ostream>
#include <span>
#include <string_view>

#include "ctl/command_line.h"

namespace qz::ctl {

struct Streams {
  std::ostream& out;
  std::ostream& err;
  bool progress = false;  // stderr is a terminal: draw a progress line per port
};

struct CommandSpec {
  Command id = Command::None;
  std::string_view name;
  int arguments = 0;
  std::string_view synopsis;  // "upload FILE"
  std::string_view summary;   // one line for the overview
  std::string_view text;      // what `qzctl COMMAND --help` explains, with an example
  bool ports = false;         // talks to controllers, and so takes --port
  int (*run)(const Invocation&, Streams&) = nullptr;
};

// Every command, in the order the overview lists them.
[[nodiscard]] std::span<const CommandSpec* const> commands();

[[nodiscard]] const CommandSpec* findCommand(std::string_view name);
[[nodiscard]] const CommandSpec* specOf(Command id);

// Runs a command that talks to controllers on every port of the invocation.
int runOnPorts(const Invocation& inv, Streams& s);

}  // namespace qz::ctl

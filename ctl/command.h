#pragma once
// One qzctl command: its name, arguments, help text and what runs it. A new command is a file
// that defines its CommandEntry (its id may stay Command::None), its name in the table of
// ctl/commands.cpp, and the file in ctl/CMakeLists.txt.

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

struct CommandEntry {
  Command id = Command::None;  // for the code that asks which command runs; may be None
  std::string_view name;
  int arguments = 0;
  std::string_view synopsis;  // "upload FILE"
  std::string_view summary;   // one line for the overview
  std::string_view text;      // what `qzctl COMMAND --help` explains, with an example
  bool ports = false;         // talks to controllers, and so takes --port
  int (*run)(const Invocation&, Streams&) = nullptr;
  std::string_view alias = {};     // another name it answers to ("backup"); may be empty
  bool argumentsOptional = false;  // may be given none (sheet: FILE, or else the ports)
};

// Every command, in the order the overview lists them.
[[nodiscard]] std::span<const CommandEntry* const> commands();

[[nodiscard]] const CommandEntry* findCommand(std::string_view name);
[[nodiscard]] const CommandEntry* entryOf(Command id);

// Runs a command that talks to controllers on every port of the invocation.
int runOnPorts(const Invocation& inv, Streams& s);

}  // namespace qz::ctl

#pragma once
// qzctl's command line: options, a command and its arguments.

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qz::ctl {

// The exit codes scripts rely on. With several ports the highest one wins.
enum ExitCode : int {
  kDone = 0,
  kDifferent = 1,    // differences found, or a verification failed
  kUsage = 2,        // the command line is wrong
  kPortFailed = 3,   // the port cannot be opened
  kNoAnswer = 4,     // the controller did not answer, or the transfer failed
  kFileFailed = 5,   // the file cannot be read or written, or is no whole parameter file; or the
                     // output cannot be written
  kOtherModel = 6,   // download refused: the file is for another model
  kSignalled = 128,  // plus the number of the signal that stopped the run
};

enum class Command {
  None,
  Ports,
  Doctor,
  Info,
  Upload,
  Download,
  Compare,
  Diff,
  Show,
  SetProtocol,
  SetRunMode,
  Sheet,
};

enum class ProtocolChoice { Old1200, New19200, Cancel };
enum class RunModeChoice { Switch, Overlay };

struct CommandEntry;

struct Invocation {
  Command command = Command::None;      // Command::None also for a command added without an id
  const CommandEntry* entry = nullptr;  // the command given; nullptr: none
  std::vector<std::string> ports;       // as given: "COM3", "/dev/ttyUSB0" or "all"
  int baud = 9600;
  bool json = false;
  bool quiet = false;
  bool force = false;
  bool help = false;  // --help, before or after the command
  bool version = false;
  std::vector<std::string> files;  // FILE, or A and B for diff
  std::string output;              // sheet: -o SHEET, ending in .pdf, .html or .htm
  bool probe = false;              // ports: --probe
  std::string customer;            // sheet: --customer, --site, --room as given
  std::string site;
  std::string room;
  ProtocolChoice protocol = ProtocolChoice::Old1200;
  RunModeChoice runMode = RunModeChoice::Switch;
};

struct ParseResult {
  Invocation invocation;
  std::string error;  // empty: the command line is good
};

// The arguments after the program name.
[[nodiscard]] ParseResult parseCommandLine(std::span<const std::string_view> args);

[[nodiscard]] std::string_view commandName(Command c);

// The overview with every command, option and exit code; or one command's own text.
[[nodiscard]] std::string helpText(Command c = Command::None);
[[nodiscard]] std::string helpText(const CommandEntry* command);

// "qzctl 1.0.0"
[[nodiscard]] std::string versionText();

}  // namespace qz::ctl

#include "ctl/command_line.h"

#include <algorithm>

#include "cli/options.h"
#include "ctl/command.h"
#include "link/com_ports.h"

namespace qz::ctl {

namespace {

constexpr std::string_view kOptions = R"(Options:
  --port PORT   COMn (as the window names ports) or a device path such as /dev/ttyUSB0.
                Give it several times to work on several controllers at once;
                "--port all" means every port where a controller answers.
                Without it: the first port the window would list.
  --baud RATE   line speed (default 9600)
  --json        one JSON object per port on standard output, for scripts
  --quiet       print nothing but errors
  --force       download a file made for another model
  -h, --help    this text; "qzctl COMMAND --help" explains one command
)";

constexpr std::string_view kExitCodes =
    R"(Exit codes (with several ports the highest wins; every port gets its own result line):
  0  done
  1  differences found, or a verification failed
  2  the command line is wrong
  3  the port cannot be opened (missing, in use, no permission)
  4  the controller did not answer, refused, or the transfer failed
  5  the file cannot be read or written, is not a parameter file, or (download) lacks
     any of rows 0 to 18 or has a line that does not fit
)";

bool validPort(std::string_view p) {
  if (p == "all") return true;
  if (p.starts_with('/')) return p.size() > 1;
  return comNumber(p).has_value();
}

const cli::Option kOptionTable[] = {
    {{"h", "help"}, ""}, {{"json"}, ""},     {{"q", "quiet"}, ""},
    {{"force"}, ""},     {{"port"}, "PORT"}, {{"baud"}, "RATE"},
};

std::string missingValue(std::string_view option) {
  if (option == "--port") return "--port needs a port: COMn, a device path or all";
  if (option == "--baud") return "--baud needs a rate, for example 9600";
  return std::string(option) + " needs a value";
}

}  // namespace

std::string_view commandName(Command c) {
  const CommandSpec* spec = specOf(c);
  return spec != nullptr ? spec->name : std::string_view{};
}

bool usesPorts(Command c) {
  const CommandSpec* spec = specOf(c);
  return spec != nullptr && spec->ports;
}

std::string helpText(Command c) {
  if (const CommandSpec* info = specOf(c)) {
    std::string text = "Usage: qzctl [OPTIONS] " + std::string(info->synopsis) + "\n\n";
    text += info->text;
    text += "\n";
    text += kOptions;
    text += "\n";
    text += kExitCodes;
    return text;
  }
  std::string text =
      "Usage: qzctl [OPTIONS] COMMAND [ARGS]\n"
      "The QZ lighting-scene controllers from a terminal: back up, restore with verification,\n"
      "compare, several controllers at once.\n\nCommands:\n";
  for (const CommandSpec* info : commands()) {
    std::string line = "  " + std::string(info->synopsis);
    line.resize(std::max<std::size_t>(line.size() + 2, 36), ' ');
    text += line + std::string(info->summary) + "\n";
  }
  text += "\n";
  text += kOptions;
  text += "\n";
  text += kExitCodes;
  text +=
      "\nExamples:\n"
      "  qzctl --port COM1 upload backup.QZ        back up a controller\n"
      "  qzctl --port COM1 download backup.QZ      restore it, verified byte for byte\n"
      "  qzctl --port all compare backup.QZ        compare every controller with a file\n";
  return text;
}

ParseResult parseCommandLine(std::span<const std::string_view> args) {
  ParseResult result;
  Invocation& inv = result.invocation;
  auto fail = [&](std::string text) {
    result.error = std::move(text);
    return result;
  };

  const cli::Parsed parsed = cli::parse(kOptionTable, args);
  switch (parsed.problem) {
    case cli::Problem::None:
      break;
    case cli::Problem::UnknownOption:
      return fail("unknown option " + parsed.option);
    case cli::Problem::MissingValue:
      return fail(missingValue(parsed.option));
    case cli::Problem::UnexpectedValue:
      return fail(parsed.option + " takes no value");
  }
  for (const cli::Given& given : parsed.options) {
    const std::string& name = given.name;
    const std::string& v = given.value;
    if (name == "--help" || name == "-h") {
      inv.help = true;
    } else if (name == "--json") {
      inv.json = true;
    } else if (name == "--quiet" || name == "-q") {
      inv.quiet = true;
    } else if (name == "--force") {
      inv.force = true;
    } else if (name == "--port") {
      if (v.empty()) return fail(missingValue(name));
      if (!validPort(v)) {
        return fail("--port " + v + ": not a port (" + comName(kFirstComPort) + " to " +
                    comName(kLastComPort) + ", a device path such as /dev/ttyUSB0, or all)");
      }
      inv.ports.push_back(v);
    } else if (name == "--baud") {
      const std::optional<int> baud = cli::number(v, kLowestBaud, kHighestBaud);
      if (!baud) {
        return fail("--baud " + v + ": not a rate from " + std::to_string(kLowestBaud) + " to " +
                    std::to_string(kHighestBaud));
      }
      inv.baud = *baud;
    }
  }
  const std::vector<std::string>& words = parsed.words;

  if (words.empty()) {
    if (inv.help) return result;
    return fail("no command given");
  }
  const CommandSpec* info = findCommand(words.front());
  if (info == nullptr) return fail("unknown command " + words.front());
  inv.command = info->id;
  if (inv.help) return result;

  const std::size_t given = words.size() - 1;
  if (given != static_cast<std::size_t>(info->arguments)) {
    return fail(std::string(info->name) + " takes " +
                (info->arguments == 0 ? std::string("no arguments")
                                      : "the arguments " + std::string(info->synopsis.substr(
                                                               info->name.size() + 1))) +
                ", got " + std::to_string(given));
  }
  const std::span<const std::string> rest(words.begin() + 1, words.end());
  switch (inv.command) {
    case Command::SetProtocol:
      if (rest[0] == "1200") {
        inv.protocol = ProtocolChoice::Old1200;
      } else if (rest[0] == "19200") {
        inv.protocol = ProtocolChoice::New19200;
      } else if (rest[0] == "cancel") {
        inv.protocol = ProtocolChoice::Cancel;
      } else {
        return fail("set-protocol takes 1200, 19200 or cancel, not " + rest[0]);
      }
      break;
    case Command::SetRunMode:
      if (rest[0] == "switch") {
        inv.runMode = RunModeChoice::Switch;
      } else if (rest[0] == "overlay") {
        inv.runMode = RunModeChoice::Overlay;
      } else {
        return fail("set-run-mode takes switch or overlay, not " + rest[0]);
      }
      break;
    default:
      for (const std::string& f : rest) {
        if (f.empty()) return fail(std::string(info->name) + ": the file name is empty");
        inv.files.push_back(f);
      }
      break;
  }

  if (!usesPorts(inv.command) && !inv.ports.empty()) {
    return fail(std::string(info->name) + " talks to no controller and takes no --port");
  }
  const bool all = std::find(inv.ports.begin(), inv.ports.end(), "all") != inv.ports.end();
  if (all && inv.ports.size() > 1) return fail("--port all cannot be combined with other ports");
  if (inv.force && inv.command != Command::Download) {
    return fail("--force is for download only");
  }
  return result;
}

}  // namespace qz::ctl

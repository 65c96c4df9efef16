#include "ctl/command_line.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <optional>

#include "cli/options.h"
#include "ctl/command.h"
#include "link/com_ports.h"

namespace qz::ctl {

namespace {

// Each option with the commands that take it; the help of a command lists only these.
struct OptionHelp {
  std::string_view synopsis;
  std::string_view text;
  bool (*takenBy)(const CommandEntry&);
};

bool everyCommand(const CommandEntry&) {
  return true;
}
bool portCommands(const CommandEntry& c) {
  return c.ports;
}
bool fileWriters(const CommandEntry& c) {
  return c.id == Command::Download || c.id == Command::Upload;
}
bool sheetWriter(const CommandEntry& c) {
  return c.id == Command::Sheet;
}
bool portLister(const CommandEntry& c) {
  return c.id == Command::Ports;
}
bool noCommand(const CommandEntry&) {
  return false;
}

constexpr OptionHelp kOptionHelp[] = {
    {"--port PORT", R"(COMn (as the window names ports) or a device path such as
/dev/ttyUSB0. Give it several times to work on several
controllers at once; "--port all" means every port where a
controller answers. Without it: the first port the window lists.)",
     portCommands},
    {"--baud RATE", "line speed (default 9600)", portCommands},
    {"--json", "one JSON object per port (or file) on standard output", everyCommand},
    {"-q, --quiet", "print nothing but errors", everyCommand},
    {"--force", R"(download: send a file made for another model;
upload: replace a file that holds another image)",
     fileWriters},
    {"-o, --output SHEET", R"(the sheet to write: NAME.pdf, or NAME.html for one HTML
file; a NAME without an ending gets .pdf)",
     sheetWriter},
    {"--probe", R"(ports: try each free port with the window's handshake and
list those where a controller answers, with its model)",
     portLister},
    {"--customer TEXT", "the customer the sheet names", sheetWriter},
    {"--site TEXT", "the site (building, address) the sheet names", sheetWriter},
    {"--room TEXT", "the room the sheet names", sheetWriter},
    {"-h, --help", R"(this text; "qzctl COMMAND --help" explains one command)", everyCommand},
    {"--version", "print the version of qzctl", noCommand},
};

// The options as a table in 80 columns, each text beside its option.
std::string optionsText(const CommandEntry* command) {
  std::string text = "Options:\n";
  for (const OptionHelp& o : kOptionHelp) {
    if (command != nullptr ? !o.takenBy(*command) : false) continue;
    std::string line = "  " + std::string(o.synopsis);
    // A synopsis too long for the column stands on a line of its own, its text below it.
    if (line.size() > 14) {
      text += line + "\n";
      line.clear();
    }
    line.resize(16, ' ');
    std::string_view rest = o.text;
    for (bool first = true; !rest.empty(); first = false) {
      const std::size_t nl = rest.find('\n');
      text += (first ? line : std::string(16, ' ')) + std::string(rest.substr(0, nl)) + "\n";
      rest = nl == std::string_view::npos ? std::string_view{} : rest.substr(nl + 1);
    }
  }
  return text;
}

constexpr std::string_view kExitCodes =
    R"(Exit codes (with several ports the highest wins; each port gets its own line):
  0  done
  1  differences found, or a verification failed
  2  the command line is wrong
  3  the port cannot be opened (missing, in use, no permission); doctor: no USB
     adapter is usable
  4  the controller did not answer, refused, or the transfer failed
  5  the file cannot be read or written, or is not a parameter file; download:
     it lacks any of rows 0 to 18 or has a line that does not fit; upload: the
     file holds another image and --force was not given; or the output cannot
     be written
  6  download refused: the file is for another model (--force sends it)
  130, 143, 129  stopped by Ctrl+C, SIGTERM or SIGHUP (goodbye said first)
)";

bool validPort(std::string_view p) {
  if (p == "all") return true;
  if (p.starts_with('/')) return p.size() > 1;
  return comNumber(p).has_value();
}

const cli::Option kOptionTable[] = {
    {{"h", "help"}, ""},    {{"json"}, ""},     {{"q", "quiet"}, ""},       {{"force"}, ""},
    {{"port"}, "PORT"},     {{"baud"}, "RATE"}, {{"o", "output"}, "SHEET"}, {{"version"}, ""},
    {{"customer"}, "TEXT"}, {{"site"}, "TEXT"}, {{"room"}, "TEXT"},         {{"probe"}, ""},
};

// A sheet is a PDF or an HTML file; a name without an ending gets .pdf, any other ending is
// refused rather than filled with a PDF the name does not promise.
std::optional<std::string> sheetName(std::string name) {
  std::string ending = std::filesystem::path(name).extension().string();
  std::transform(ending.begin(), ending.end(), ending.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  std::error_code ec;
  if (ending.empty() && !std::filesystem::is_directory(name, ec)) return name + ".pdf";
  if (ending.empty()) return name;  // a folder: said when it cannot be written
  if (ending == ".pdf" || ending == ".html" || ending == ".htm") return name;
  return std::nullopt;
}

std::string missingValue(std::string_view option) {
  if (option == "--port") return "--port needs a port: COMn, a device path or all";
  if (option == "--baud") return "--baud needs a rate, for example 9600";
  if (option == "-o" || option == "--output") return std::string(option) + " needs a file name";
  return std::string(option) + " needs a value";
}

}  // namespace

std::string_view commandName(Command c) {
  const CommandEntry* entry = entryOf(c);
  return entry != nullptr ? entry->name : std::string_view{};
}

std::string helpText(Command c) {
  return helpText(entryOf(c));
}

std::string helpText(const CommandEntry* info) {
  if (info != nullptr) {
    std::string text = "Usage: qzctl [OPTIONS] " + std::string(info->synopsis) + "\n";
    if (!info->alias.empty())
      text += "       qzctl [OPTIONS] " + std::string(info->alias) + " ...\n";
    text += "\n";
    text += info->text;
    text += "\n";
    text += optionsText(info);
    text += "\n";
    text += kExitCodes;
    return text;
  }
  std::string text =
      "Usage: qzctl [OPTIONS] COMMAND [ARGS]\n"
      "The QZ lighting-scene controllers from a terminal: back up, restore with\n"
      "verification, compare, several controllers at once.\n\nCommands:\n";
  for (const CommandEntry* c : commands()) {
    std::string line = "  " + std::string(c->synopsis);
    line.resize(std::max<std::size_t>(line.size() + 2, 34), ' ');
    text += line + std::string(c->summary) + "\n";
  }
  text += "  backup and restore are other names of upload and download.\n\n";
  text += optionsText(nullptr);
  text += "\n";
  text += kExitCodes;
  text +=
      "\nResults go to standard output, errors and failed ports to standard error.\n"
      "\nExamples:\n"
      "  qzctl --port COM1 upload backup.QZ     back up a controller\n"
      "  qzctl --port COM1 download backup.QZ   restore it, verified byte for byte\n"
      "  qzctl --port all compare backup.QZ     compare every controller with a file\n"
      "  qzctl sheet backup.QZ -o backup.pdf    a one-page handover sheet of the file\n";
  return text;
}

std::string versionText() {
  return "qzctl " QZ_VERSION "\n";
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
      return fail("unknown option " + parsed.option + cli::didYouMean(parsed.option, kOptionTable));
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
    } else if (name == "--version") {
      inv.version = true;
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
    } else if (name == "-o" || name == "--output") {
      if (v.empty()) return fail(missingValue(name));
      inv.output = v;
    } else if (name == "--probe") {
      inv.probe = true;
    } else if (name == "--customer" || name == "--site" || name == "--room") {
      (name == "--customer" ? inv.customer : name == "--site" ? inv.site : inv.room) = v;
    }
  }
  const std::vector<std::string>& words = parsed.words;

  if (words.empty()) {
    if (inv.help || inv.version) return result;
    return fail("no command given");
  }
  const CommandEntry* info = findCommand(words.front());
  if (info == nullptr) {
    std::vector<std::string_view> names;
    for (const CommandEntry* c : commands()) names.push_back(c->name);
    return fail("unknown command " + words.front() + cli::didYouMean(words.front(), names));
  }
  inv.command = info->id;
  inv.entry = info;
  if (inv.help) return result;

  const std::size_t given = words.size() - 1;
  if (given != static_cast<std::size_t>(info->arguments) &&
      !(info->argumentsOptional && given == 0)) {
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
        const std::string base = std::filesystem::path(f).filename().string();
        if (inv.command == Command::Upload && (base.empty() || base == "." || base == "..")) {
          return fail("upload " + f + ": names a folder, not a file (give a name such as " +
                      (f.ends_with('/') ? f : f + "/") + "backup.QZ)");
        }
        inv.files.push_back(f);
      }
      break;
  }

  if (!info->ports && !inv.ports.empty()) {
    return fail(std::string(info->name) + " talks to no controller and takes no --port");
  }
  const bool all = std::find(inv.ports.begin(), inv.ports.end(), "all") != inv.ports.end();
  if (all && inv.ports.size() > 1) return fail("--port all cannot be combined with other ports");
  if (inv.command == Command::Sheet) {
    if (inv.output.empty()) return fail("sheet needs -o SHEET.pdf or -o SHEET.html");
    const std::optional<std::string> named = sheetName(inv.output);
    if (!named) {
      return fail("-o " + inv.output + ": a sheet is a .pdf, .html or .htm file");
    }
    inv.output = *named;
    if (!inv.files.empty() && !inv.ports.empty()) {
      return fail("sheet draws FILE or the controllers on --port, not both");
    }
  } else if (!inv.output.empty()) {
    return fail("-o is for sheet only");
  } else if (!inv.customer.empty() || !inv.site.empty() || !inv.room.empty()) {
    return fail("--customer, --site and --room are for sheet only");
  }
  if (inv.force && !fileWriters(*info)) return fail("--force is for download and upload only");
  if (inv.probe && inv.command != Command::Ports) return fail("--probe is for ports only");
  if (inv.version) return fail("--version takes no command");
  return result;
}

}  // namespace qz::ctl

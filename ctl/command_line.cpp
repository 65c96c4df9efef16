#include "ctl/command_line.h"

#include <algorithm>
#include <array>
#include <charconv>

namespace qz::ctl {

namespace {

struct CommandInfo {
  Command command;
  std::string_view name;
  int arguments;
  std::string_view synopsis;
  std::string_view summary;
  std::string_view text;
};

constexpr std::array<CommandInfo, 9> kCommands = {{
    {Command::Ports, "ports", 0, "ports", "every COM name with its device and state",
     R"(Lists every COM name that names a device, with the device and its state: free, in use
(with the process holding it when that can be seen), no permission, or missing. "alias"
marks a name that comes from the alias folder rather than the fixed table.

Example:
  qzctl ports
)"},
    {Command::Info, "info", 0, "info", "connect; print model and firmware version",
     R"(Connects as the window does (a handshake every 200 ms, at most 30; then the firmware
version query) and prints the controller's model and firmware version.

Example:
  qzctl --port COM1 info
)"},
    {Command::Upload, "upload", 1, "upload FILE", "controller -> parameter file",
     R"(Reads the controller's whole image (19 rows) and writes it with the controller's model
to the parameter file FILE. The file is replaced whole or not at all. A name without an
extension gets ".QZ".

Example:
  qzctl --port COM1 upload shop-floor-2.QZ
)"},
    {Command::Download, "download", 1, "download FILE",
     "parameter file -> controller, read back and verified",
     R"(Writes the image in the parameter file FILE to the controller, then reads the image back
and compares it byte for byte: the command succeeds only if every byte arrived. The file
must hold all rows 0 to 18. A file made for another model is refused unless --force is
given, since the controller would read its scene bytes with another split.

Example:
  qzctl --port COM1 download shop-floor-2.QZ
)"},
    {Command::Compare, "compare", 1, "compare FILE", "controller vs file: every byte that differs",
     R"(Reads the controller's image and lists every byte that differs from the parameter file
FILE, by row, byte and setting ("场景1 开关通道3", "排风1", "DMX地址 高字节", "调光级别3").
Exit code 1 when anything differs.

Example:
  qzctl --port COM1 compare shop-floor-2.QZ
)"},
    {Command::Diff, "diff", 2, "diff A.QZ B.QZ", "file vs file: every byte that differs",
     R"(Lists every byte that differs between two parameter files, as compare does. No controller
is needed. Exit code 1 when anything differs.

Example:
  qzctl diff monday.QZ tuesday.QZ
)"},
    {Command::Show, "show", 1, "show FILE", "a parameter file as a readable table",
     R"(Shows a parameter file as a table: the model, each scene key's switches and levels, the
fan and air-conditioner assignment, work mode, DMX512 address, the level table and the
power-on scene. No controller is needed.

Example:
  qzctl show shop-floor-2.QZ
)"},
    {Command::SetProtocol, "set-protocol", 1, "set-protocol 1200|19200|cancel",
     "set or cancel the RS-485 interface protocol",
     R"(Sets the controller's RS-485 interface protocol ("1200旧协议" or "19200协议"), or cancels
the setting, and prints the controller's answer. The change takes effect when the
controller restarts. Exit code 4 when the controller refuses or does not answer.

Example:
  qzctl --port COM1 set-protocol 19200
)"},
    {Command::SetRunMode, "set-run-mode", 1, "set-run-mode switch|overlay",
     "set the scene run mode",
     R"(Sets the controller's scene run mode (switch or overlay) and prints the controller's
answer. The change takes effect when the controller restarts. Exit code 4 when the
controller refuses or does not answer.

Example:
  qzctl --port COM1 set-run-mode overlay
)"},
}};

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

const CommandInfo* findCommand(std::string_view name) {
  for (const CommandInfo& c : kCommands) {
    if (c.name == name) return &c;
  }
  return nullptr;
}

const CommandInfo* infoOf(Command command) {
  for (const CommandInfo& c : kCommands) {
    if (c.command == command) return &c;
  }
  return nullptr;
}

bool validPort(std::string_view p) {
  if (p == "all") return true;
  if (p.starts_with('/')) return p.size() > 1;
  if (!p.starts_with("COM")) return false;
  const std::string_view digits = p.substr(3);
  int n = 0;
  const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), n);
  return !digits.empty() && digits.front() != '0' && ec == std::errc() &&
         end == digits.data() + digits.size() && n >= 1 && n <= 50;
}

}  // namespace

std::string_view commandName(Command c) {
  const CommandInfo* info = infoOf(c);
  return info != nullptr ? info->name : std::string_view{};
}

bool usesPorts(Command c) {
  return c == Command::Info || c == Command::Upload || c == Command::Download ||
         c == Command::Compare || c == Command::SetProtocol || c == Command::SetRunMode;
}

std::string helpText(Command c) {
  if (const CommandInfo* info = infoOf(c)) {
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
  for (const CommandInfo& info : kCommands) {
    std::string line = "  " + std::string(info.synopsis);
    line.resize(std::max<std::size_t>(line.size() + 2, 36), ' ');
    text += line + std::string(info.summary) + "\n";
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
  std::vector<std::string_view> words;
  auto fail = [&](std::string text) {
    result.error = std::move(text);
    return result;
  };

  bool optionsDone = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string_view arg = args[i];
    if (optionsDone || !arg.starts_with("-") || arg == "-") {
      words.push_back(arg);
      continue;
    }
    if (arg == "--") {
      optionsDone = true;
      continue;
    }
    std::string_view name = arg;
    std::optional<std::string_view> inlineValue;
    if (const std::size_t eq = arg.find('=');
        arg.starts_with("--") && eq != std::string_view::npos) {
      name = arg.substr(0, eq);
      inlineValue = arg.substr(eq + 1);
    }
    auto value = [&]() -> std::optional<std::string_view> {
      if (inlineValue) return inlineValue;
      if (i + 1 >= args.size()) return std::nullopt;
      return args[++i];
    };
    const bool isFlag = name == "--json" || name == "--quiet" || name == "--force" ||
                        name == "--help" || name == "-h";
    if (isFlag && inlineValue) return fail(std::string(name) + " takes no value");

    if (name == "--help" || name == "-h") {
      inv.help = true;
    } else if (name == "--json") {
      inv.json = true;
    } else if (name == "--quiet" || name == "-q") {
      inv.quiet = true;
    } else if (name == "--force") {
      inv.force = true;
    } else if (name == "--port") {
      const auto v = value();
      if (!v || v->empty()) return fail("--port needs a port: COMn, a device path or all");
      if (!validPort(*v)) {
        return fail("--port " + std::string(*v) +
                    ": not a port (COM1 to COM50, a device path such as /dev/ttyUSB0, or all)");
      }
      inv.ports.emplace_back(*v);
    } else if (name == "--baud") {
      const auto v = value();
      if (!v) return fail("--baud needs a rate, for example 9600");
      int baud = 0;
      const auto [end, ec] = std::from_chars(v->data(), v->data() + v->size(), baud);
      if (v->empty() || ec != std::errc() || end != v->data() + v->size() || baud < 50 ||
          baud > 4'000'000) {
        return fail("--baud " + std::string(*v) + ": not a rate from 50 to 4000000");
      }
      inv.baud = baud;
    } else {
      return fail("unknown option " + std::string(arg));
    }
  }

  if (words.empty()) {
    if (inv.help) return result;
    return fail("no command given");
  }
  const CommandInfo* info = findCommand(words.front());
  if (info == nullptr) return fail("unknown command " + std::string(words.front()));
  inv.command = info->command;
  if (inv.help) return result;

  const std::size_t given = words.size() - 1;
  if (given != static_cast<std::size_t>(info->arguments)) {
    return fail(std::string(info->name) + " takes " +
                (info->arguments == 0 ? std::string("no arguments")
                                      : "the arguments " + std::string(info->synopsis.substr(
                                                               info->name.size() + 1))) +
                ", got " + std::to_string(given));
  }
  const std::span<const std::string_view> rest(words.begin() + 1, words.end());
  switch (inv.command) {
    case Command::SetProtocol:
      if (rest[0] == "1200") {
        inv.protocol = ProtocolChoice::Old1200;
      } else if (rest[0] == "19200") {
        inv.protocol = ProtocolChoice::New19200;
      } else if (rest[0] == "cancel") {
        inv.protocol = ProtocolChoice::Cancel;
      } else {
        return fail("set-protocol takes 1200, 19200 or cancel, not " + std::string(rest[0]));
      }
      break;
    case Command::SetRunMode:
      if (rest[0] == "switch") {
        inv.runMode = RunModeChoice::Switch;
      } else if (rest[0] == "overlay") {
        inv.runMode = RunModeChoice::Overlay;
      } else {
        return fail("set-run-mode takes switch or overlay, not " + std::string(rest[0]));
      }
      break;
    default:
      for (const std::string_view f : rest) {
        if (f.empty()) return fail(std::string(info->name) + ": the file name is empty");
        inv.files.emplace_back(f);
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

#include "sim/command_line.h"

#include <algorithm>
#include <optional>
#include <stdexcept>

#include "cli/options.h"
#include "config/settings.h"
#include "link/com_ports.h"
#include "link/hex_text.h"

namespace qz::sim {

namespace {

[[noreturn]] void fail(std::string_view option, const std::string& what) {
  throw std::invalid_argument(std::string(option) + ": " + what);
}

int number(std::string_view option, std::string_view text, int low, int high, int base = 10) {
  const std::optional<int> value = cli::number(text, low, high, base);
  if (!value) {
    // Appended piece by piece: g++ 12 at -O3 takes "literal" + std::string for an overlapping
    // copy (-Wrestrict, GCC bug 105329).
    std::string what = "\"";
    what.append(text).append("\" is not a number from ");
    what.append(base == 16 ? std::string("00 to FF")
                           : std::to_string(low) + " to " + std::to_string(high));
    fail(option, what);
  }
  return *value;
}

std::uint8_t hexByte(std::string_view option, std::string_view text) {
  if (text.size() > 2) fail(option, "\"" + std::string(text) + "\" is not one hex byte");
  return static_cast<std::uint8_t>(number(option, text, 0, 255, 16));
}

Bytes hexBytesOf(std::string_view option, std::string_view text) {
  const auto bytes = hexTextBytes(text);
  if (!bytes) fail(option, "\"" + std::string(text) + "\" is not hex bytes");
  return *bytes;
}

ReplySelector parseSelector(std::string_view option, std::string_view text) {
  struct Name {
    std::string_view name;
    ReplyKind kind;
  };
  constexpr Name kNames[] = {{"handshake", ReplyKind::Handshake},
                             {"version", ReplyKind::Version},
                             {"download", ReplyKind::Download},
                             {"upload", ReplyKind::Upload},
                             {"service", ReplyKind::Service}};
  ReplySelector s;
  if (text == "any") return s;  // every reply
  if (!text.empty() && text.front() >= '0' && text.front() <= '9') {
    s.ordinal = number(option, text, 1, 1'000'000);
    return s;
  }
  const std::size_t colon = text.find(':');
  const std::string_view name = text.substr(0, colon);
  for (const Name& n : kNames) {
    if (n.name == name) s.kind = n.kind;
  }
  if (s.kind == ReplyKind::Any) {
    fail(option, "\"" + std::string(text) +
                     "\" names no reply (N, any, handshake, version, download[:ROW], "
                     "upload[:ROW], service[:XX])");
  }
  if (colon != std::string_view::npos) {
    const std::string_view arg = text.substr(colon + 1);
    if (s.kind == ReplyKind::Download || s.kind == ReplyKind::Upload) {
      // Rows end at 18: a rule for a row past them would wait for a reply that never comes.
      s.argument = number(option, arg, 0, kRows - 1);
    } else if (s.kind == ReplyKind::Service) {
      s.argument = hexByte(option, arg);
    } else {
      fail(option, "a " + std::string(name) + " reply has no argument to choose");
    }
  }
  return s;
}

std::string_view optionName(FaultAction action) {
  switch (action) {
    case FaultAction::Drop:
      return "--drop";
    case FaultAction::Duplicate:
      return "--duplicate";
    case FaultAction::Corrupt:
      return "--corrupt";
    case FaultAction::Extra:
      return "--extra";
    case FaultAction::AckEarlier:
      return "--ack-earlier";
    case FaultAction::Merge:
      return "--merge";
    case FaultAction::Twice:
      return "--twice";
    case FaultAction::HangUp:
      return "--hangup-at";
  }
  return "--fault";
}

constexpr FaultAction kFaultActions[] = {
    FaultAction::Drop,       FaultAction::Duplicate, FaultAction::Corrupt, FaultAction::Extra,
    FaultAction::AckEarlier, FaultAction::Merge,     FaultAction::Twice,   FaultAction::HangUp};

std::optional<FaultAction> faultAction(std::string_view option) {
  for (const FaultAction a : kFaultActions) {
    if (optionName(a) == option) return a;
  }
  return std::nullopt;
}

}  // namespace

FaultRule parseFaultRule(FaultAction action, std::string_view text) {
  const std::string_view option = optionName(action);
  FaultRule rule;
  rule.action = action;
  if (action == FaultAction::AckEarlier) {
    // ROW=NAMED[/K]: the acknowledgement of download row ROW names row NAMED; once unless /K.
    rule.count = 1;
    if (const std::size_t slash = text.rfind('/'); slash != std::string_view::npos) {
      rule.count = number(option, text.substr(slash + 1), 1, 1'000'000);
      text = text.substr(0, slash);
    }
    const std::size_t eq = text.find('=');
    if (eq == std::string_view::npos) fail(option, "expects ROW=EARLIER, for example 7=5");
    const int row = number(option, text.substr(0, eq), 0, kRows - 1);
    rule.named = static_cast<std::uint8_t>(number(option, text.substr(eq + 1), 0, row));
    rule.which = {ReplyKind::Download, 0, row};
    return rule;
  }
  if (action == FaultAction::Extra) {
    const std::size_t eq = text.find('=');
    rule.extra = hexBytesOf(option, eq == std::string_view::npos ? text : text.substr(eq + 1));
    if (eq == std::string_view::npos) return rule;  // after every reply
    text = text.substr(0, eq);
  }
  if (const std::size_t slash = text.rfind('/'); slash != std::string_view::npos) {
    rule.count = number(option, text.substr(slash + 1), 1, 1'000'000);
    text = text.substr(0, slash);
  }
  if (const std::size_t at = text.rfind('@'); at != std::string_view::npos) {
    if (action != FaultAction::Corrupt) fail(option, "only --corrupt takes @BYTE");
    rule.offset = static_cast<std::size_t>(number(option, text.substr(at + 1), 0, 255));
    text = text.substr(0, at);
  }
  rule.which = parseSelector(option, text);
  return rule;
}

// Every option qzsim takes, with the name of its value; a flag has none.
const cli::Option kOptions[] = {
    {{"h", "help"}, ""},    {{"model"}, "M"},         {{"baud"}, "B"},
    {{"no-pacing"}, ""},    {{"echo"}, "HOW", true},  {{"com"}, "N"},
    {{"firmware"}, "TEXT"}, {{"version-hex"}, "HEX"}, {{"silent"}, ""},
    {{"answer-from"}, "N"}, {{"hangup-after"}, "N"},  {{"store-wrong"}, "ROW"},
    {{"drop"}, "REPLY"},    {{"duplicate"}, "REPLY"}, {{"corrupt"}, "REPLY"},
    {{"extra"}, "HEX"},     {{"ack-earlier"}, "ROW"}, {{"merge"}, "REPLY"},
    {{"twice"}, "REPLY"},   {{"hangup-at"}, "REPLY"}, {{"result"}, "XX=YY"},
    {{"image"}, "FILE"},    {{"dump"}, "FILE"},       {{"log"}, "FILE"},
    {{"version"}, ""},      {{"view"}, ""},
};

CommandLine parseCommandLine(std::span<const std::string_view> args) {
  CommandLine cl;
  Options& o = cl.options;
  const cli::Parsed parsed = cli::parse(kOptions, args);
  switch (parsed.problem) {
    case cli::Problem::None:
      break;
    case cli::Problem::UnknownOption:
      fail(parsed.option, "unknown option" + cli::didYouMean(parsed.option, kOptions));
    case cli::Problem::MissingValue:
      fail(parsed.option, "needs a value");
    case cli::Problem::UnexpectedValue:
      fail(parsed.option, "takes no value");
  }
  if (!parsed.words.empty()) fail(parsed.words.front(), "unknown option");
  for (const cli::Given& given : parsed.options) {
    const std::string_view option = given.name;
    const std::string_view v = given.value;

    if (option == "--help" || option == "-h") {
      cl.help = true;
    } else if (option == "--model") {
      int model = -1;
      for (int m = 0; m < kModels; ++m) {
        if (v == modelName(m)) model = m;
      }
      if (model < 0 && (v.size() != 1 || v[0] < '0' || v[0] > '4')) {
        fail(option, "\"" + std::string(v) + "\" names no model (0..4, QZ-0408 .. QZ-1200)");
      }
      o.model = model >= 0 ? model : v[0] - '0';
      cl.modelGiven = true;
    } else if (option == "--baud") {
      o.baud = number(option, v, kLowestBaud, kHighestBaud);
    } else if (option == "--no-pacing") {
      o.pacing = false;
    } else if (option == "--echo") {
      o.echo = Echo::Whole;
      if (v == "bytes") {
        o.echo = Echo::ByteByByte;
      } else if (!v.empty() && v != "whole") {
        std::string what = "\"";
        what.append(v).append("\" is neither whole nor bytes");
        fail(option, what);
      }
    } else if (option == "--com") {
      o.comNumber = number(option, v, kFirstComPort, kLastComPort);
    } else if (option == "--firmware") {
      o.versionText = paddedVersionText(v);
    } else if (option == "--version") {
      cl.version = true;
    } else if (option == "--version-hex") {
      const Bytes bytes = hexBytesOf(option, v);
      o.versionText.assign(bytes.begin(), bytes.end());
    } else if (option == "--silent") {
      o.faults.silent = true;
    } else if (option == "--answer-from") {
      o.faults.answerFrom = number(option, v, 1, 1'000'000);
    } else if (option == "--hangup-after") {
      o.faults.hangupAfter = number(option, v, 1, 1'000'000);
    } else if (option == "--store-wrong") {
      o.faults.wrongRow = number(option, v, 0, kRows - 1);
    } else if (const auto action = faultAction(option)) {
      o.faults.rules.push_back(parseFaultRule(*action, v));
    } else if (option == "--result") {
      const std::size_t eq = v.find('=');
      if (eq == std::string_view::npos) fail(option, "expects ARG=CODE, for example 10=90");
      o.serviceResults[hexByte(option, v.substr(0, eq))] = hexByte(option, v.substr(eq + 1));
    } else if (option == "--image" || option == "--dump") {
      if (v.empty()) fail(option, "needs a file name");
      if (option == "--image") cl.imageFile = v;
      if (option == "--dump") o.dumpFile = v;
    } else if (option == "--view") {
      cl.view = true;
    } else if (option == "--log") {
      cl.logFile = std::string(v);
      if (cl.logFile.empty()) fail(option, "needs a file name");
    }
  }
  return cl;
}

std::string faultOptions(std::span<const std::string_view> args) {
  // What sets up a controller that behaves; every other option is a fault.
  constexpr std::string_view kBehaving[] = {
      "-h",         "--help",        "--model", "--baud", "--no-pacing", "--echo",    "--com",
      "--firmware", "--version-hex", "--image", "--dump", "--log",       "--version", "--view"};
  std::string text;
  for (const cli::Given& given : cli::parse(kOptions, args).options) {
    if (std::find(std::begin(kBehaving), std::end(kBehaving), given.name) != std::end(kBehaving)) {
      continue;
    }
    text.append(text.empty() ? "" : " ").append(given.name);
    if (!given.value.empty()) text.append(" ").append(given.value);
  }
  return text;
}

std::string_view usageText() {
  return R"(Usage: qzsim [OPTION]...
A simulated QZ lighting-scene controller on a pseudo-terminal, for qzconfig and
its tests.

It prints "COMn DEVICE" on its first line, makes COMn an alias of DEVICE in
$XDG_RUNTIME_DIR/qzconfig/ports (or /tmp/qzconfig-<uid>/ports), says which
model it plays with which faults and what to do next in qzconfig, then logs
every frame it receives, one line each: time, bytes, what they are and the
answer.
Ctrl+C, SIGTERM or SIGHUP stops it and removes the alias. It takes only a free
COM number: never one a serial device or another alias has, and it never
removes an alias made by hand.

Controller:
  --model M          0..4 or QZ-0408, QZ-0606, QZ-0804, QZ-1002, QZ-1200
                     (default QZ-0804)
  --firmware TEXT    firmware version text, blank-padded or cut to 31 bytes
  --version-hex HEX  version reply as exact bytes, any length ("41 42 43")
  --result XX=YY     answer service request F5 XX with result code YY (hex); by
                     default each request gets its success code (01, 02, FF,
                     10, 20); failure codes: 11, 12, 0F, 90, A0; any other code
                     is unknown to the tool

Image:
  --image FILE.QZ    start from a parameter file: its rows over the factory
                     image of its model (--model, when given, wins over the
                     file's model line); a file that cannot be read, has lines
                     that do not fit or a model line naming no model (5 to 9)
                     is refused (exit 1)
  --dump FILE.QZ     keep the image in a parameter file: written at start and
                     after every download row that changes it, each time beside
                     FILE and renamed over it

Line:
  --baud B           bit rate of the simulated line (default 9600)
  --no-pacing        answer at once in one write, instead of waiting for the
                     request's wire time and sending each byte at 10 bit times
  --echo[=whole|bytes]
                     give the tool back every byte it sends, ahead of the
                     answer, as a two-wire RS-485 adapter that hears itself
                     does: each write whole at once (default), or byte by byte
                     as each has gone out on the line
  --com N            alias COMn (1..50); default: the lowest n whose COMn is
                     neither a serial device on this machine nor an alias yet
  --log FILE         write the log to FILE instead of standard output

View:
  --view             also show a window of the installation: the lamps the
                     controller drives (previews, channel tests, its own keys),
                     its keys and "开机", its settings and the line's activity;
                     needs a display (or QT_QPA_PLATFORM=offscreen)

Faults (counted since start; REPLY chooses replies):
  REPLY is N (the N-th reply), any, handshake, version, download, upload,
  service, download:ROW or upload:ROW (row 0 to 18: the answer to that row's
  frame or request), service:XX (hex request byte); a rule ending in /K
  affects only the first K replies it matches.
  --silent           receive and store everything, answer nothing
  --answer-from N    leave handshakes 1..N-1 unanswered
  --drop REPLY[/K]   do not send the reply
  --duplicate REPLY[/K]
                     send the reply twice, back to back
  --corrupt REPLY[@BYTE][/K]
                     invert byte BYTE (default 0; past the end: the last byte)
  --extra [REPLY[/K]=]HEX
                     send HEX after the reply (without REPLY: after every reply)
  --merge REPLY[/K]  send the reply twice in one write: the tool gets both
  --twice REPLY[/K]  send the reply, then 50 ms later the same reply again
  --ack-earlier ROW=EARLIER[/K]
                     acknowledge download row ROW by asking for row EARLIER
                     (0..ROW) instead of ROW+1; once unless /K
  --hangup-after N   cut the line once N frames are handled (the N-th answered)
  --hangup-at REPLY  cut the line instead of sending that reply
  --store-wrong ROW  store download row ROW (0..18) with byte 0 changed,
                     acknowledged as usual

  Examples: --drop download:5/1   (no answer to download row 5, once)
            --drop upload:3/2     (no answer to the request for row 3, twice)
            --twice any           --merge download:4/1    --ack-earlier 7=5
            --hangup-at upload:9  --corrupt handshake@2   --extra version=00
            --result 10=90        --answer-from 3         --hangup-after 4

  -h, --help         show this text
  --version          print the version of qzsim

Exit status: 0 when stopped; 1 when it cannot start (or its output cannot be
written); 2 when the command line is wrong.
)";
}

std::string_view versionText() {
  return "qzsim " QZ_VERSION "\n";
}

}  // namespace qz::sim

#pragma once
// What became of each USB serial adapter, decided from what was read of the machine alone:
// the port it became (or why it did not), whether the user may open it, who holds it, and
// whether ModemManager may get in the way. Words only, no I/O.

#include <string>
#include <string_view>
#include <vector>

#include "doctor/machine.h"

namespace qz::doctor {

enum class Level {
  Good,     // as it should be
  Note,     // worth knowing; the port still works
  Problem,  // the port cannot be used until this is fixed
};

// What a finding is about, as a value each front end words in its own language; `subject`
// names what the words need (below), `command` is what to type for the first fix.
enum class Cause {
  PortMade,              // subject: the device
  NoComName,             // subject: the device
  ClaimedByProgram,      // subject: the program ("pid 12 (minicom)"), ids: the adapter's
  TakenByBrltty,         //
  NoDriver,              //
  DriverMadeNoPort,      // subject: the driver
  NodeMissing,           // subject: the device
  AccessGranted,         //
  NobodyMayOpen,         //
  JoinedAfterLogin,      // subject: the group
  NotInGroup,            // subject: the group
  ProbedByModemManager,  // subject: the programs holding it
  InUse,                 // subject: the programs holding it
  LockedBy,              // subject: the program
  StaleLock,             // subject: the lock file; opening the port clears it
  OthersStaleLock,       // subject: the lock file
  NobodyHoldsIt,         //
  ModemManagerMayProbe,  //
  NoUsbDevice,           //
  NoAdapter,             //
  SeveralPorts,          // subject: how many
};

struct Finding {
  std::string topic;  // "port", "access", "use", "ModemManager", "adapters"
  Level level = Level::Good;
  std::string text;                // one sentence
  std::vector<std::string> fixes;  // what to type or do, each a way on its own
  Cause cause = Cause::PortMade;
  std::string subject;
  std::string command;  // a shell command to copy; empty when the fix is no command
};

// One adapter, or one port of an adapter with several.
struct Adapter {
  std::string usb;  // sysfs name, "1-1.4"
  UsbIds ids;
  std::string driver;  // empty: none bound
  std::string device;  // "/dev/ttyUSB0"; empty when no port came of it
  std::vector<std::string> byId;
  std::string com;  // "COM1"; empty when no COM name reaches it
  std::string owner;
  std::string group;
  unsigned mode = 0;
  bool usable = false;
  std::vector<Finding> findings;
};

struct Diagnosis {
  std::vector<Adapter> adapters;
  std::vector<Finding> machine;  // about all of them, or about none being there
  std::string last;              // the port to use, or the one thing to fix first
  bool usable = false;           // at least one adapter can be opened now
};

[[nodiscard]] Diagnosis diagnose(const Machine& machine, const User& user);

// "pid 123 (minicom)".
[[nodiscard]] std::string describe(const Process& p);

// A string a device or the system reported (a maker, a product, a process name), as a
// terminal may show it: printable UTF-8 kept, a control character or a byte that is no UTF-8
// written \xNN, so that nothing a device says can move the cursor or rewrite the screen. With
// `backslashes` a backslash is written \\, so that the escapes stay unambiguous.
[[nodiscard]] std::string printable(std::string_view reported, bool backslashes = true);

// The first problem, and the adapter it was found on (nullptr: about the machine); none when
// there is no problem.
struct FirstProblem {
  const Adapter* adapter = nullptr;
  const Finding* finding = nullptr;
};
[[nodiscard]] FirstProblem firstProblemFound(const Diagnosis& d);

// The first problem in one line, with its first fix or without; empty when there is none.
[[nodiscard]] std::string firstProblem(const Diagnosis& d, bool withFix = true);

}  // namespace qz::doctor

#pragma once
// Listing, opening and closing the COM ports "COM1".."COM50".
//
// On Linux COMn is, in this order: a port alias, a symbolic link named COMn in the per-user
// alias folder; otherwise COM1..8 = /dev/ttyUSB0..7, COM9..16 = /dev/ttyACM0..7,
// COM17..32 = /dev/ttyS0..15. COM33..50 exist only as aliases.

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "link/com_alias.h"
#include "link/serial_port.h"

namespace qz {

inline constexpr int kFirstComPort = 1;
inline constexpr int kLastComPort = 50;
// The fixed table: the first COM number of each kind of device, and how many there are.
inline constexpr int kFirstUsbComPort = 1;  // /dev/ttyUSB0..7
inline constexpr int kUsbComPorts = 8;
inline constexpr int kFirstAcmComPort = 9;  // /dev/ttyACM0..7
inline constexpr int kAcmComPorts = 8;
inline constexpr int kFirstUartComPort = 17;  // /dev/ttyS0..15
inline constexpr int kUartComPorts = 16;

// The line speeds qzctl and qzsim take on their command lines.
inline constexpr int kLowestBaud = 50;
inline constexpr int kHighestBaud = 4'000'000;

// "COM7"
[[nodiscard]] std::string comName(int n);
// 7 for "COM7"; nothing for any other text (no leading zero, no blanks, 1..50 only).
[[nodiscard]] std::optional<int> comNumber(std::string_view name);

// The device of COMn in the fixed table, aliases aside; empty for COM33..50.
[[nodiscard]] std::string fixedComDevice(int n);

// The device behind COMn, or empty when n names none.
[[nodiscard]] std::string comDevicePath(int n);

// The 11 baud rates the port list offers, "1200".."256000".
[[nodiscard]] const std::vector<std::string>& baudRates();

// One COM name as a probe found it.
struct ComPortState {
  int number = 0;
  std::string device;  // the device it names now; empty for COM33..50 without an alias
  bool alias = false;  // named by the alias folder rather than the fixed table
  PortError error = PortError::None;
  std::string why;  // the system's words for the error
  // The port exists for the user: it opens, another program holds it, or the user has no
  // permission for it (opening it then says how to get one).
  [[nodiscard]] bool exists() const {
    return error == PortError::None || error == PortError::InUse ||
           error == PortError::AccessDenied;
  }
};

// What probing COMn says: PortError::None when it would open.
using ComProbe = std::function<ComPortState(int n)>;

// The one rule for which ports exist, ascending: every COM name whose probe says it exists,
// and (with everyAlias) every alias besides, whatever its state, so a broken one can be seen.
[[nodiscard]] std::vector<ComPortState> listComPorts(const ComProbe& probe,
                                                     bool everyAlias = false);

// A probe through the port's SerialPort::probe(), which leaves the device's settings alone.
// Every failure is absorbed; the port is left closed.
[[nodiscard]] ComProbe probeThrough(SerialPort& port);

// The names of the ports that exist, as the window lists them. An open port is not probed.
[[nodiscard]] std::vector<std::string> EnumComPorts(SerialPort& port);

struct OpenResult {
  bool opened = false;
  // The message the user gets, when the failure has one (title "提示信息!").
  std::optional<std::string> message;
  // The user must change something before any port will open (the critical icon).
  bool mustFix = false;
};

// Configures and opens the port: "COMn", then "baud,P,data,stop". True only when this call
// opened the port; an open port gives false and nothing else. The message tells settings the
// port refused, a port that is gone, one in use and one the user may not open; anything else
// (no port text at all, not a terminal) fails without a word.
OpenResult OpenComPort(SerialPort& port, std::string_view portText, std::string_view baud,
                       std::string_view parity, std::string_view dataBits,
                       std::string_view stopBits);

void CloseComPort(SerialPort& port);

}  // namespace qz

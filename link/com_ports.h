#pragma once
// Listing, opening and closing the COM ports "COM1".."COM50".
//
// On Linux COMn is, in this order: a port alias, a symbolic link named COMn in the per-user
// alias folder; otherwise COM1..8 = /dev/ttyUSB0..7, COM9..16 = /dev/ttyACM0..7,
// COM17..32 = /dev/ttyS0..15. COM33..50 exist only as aliases.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "link/serial_port.h"

namespace qz {

inline constexpr int kFirstComPort = 1;
inline constexpr int kLastComPort = 50;

// $XDG_RUNTIME_DIR/qzconfig/ports, or /tmp/qzconfig-<uid>/ports without it.
[[nodiscard]] std::filesystem::path comAliasFolder();

// The lock file beside an alias: the program that made the alias holds a lock on it for as
// long as the alias is good. "COMn" -> "COMn.lock".
[[nodiscard]] std::filesystem::path comAliasLockPath(const std::filesystem::path& alias);

// The device of COMn in the fixed table, aliases aside; empty for COM33..50.
[[nodiscard]] std::string fixedComDevice(int n);

// The device behind COMn, or empty when n names none.
[[nodiscard]] std::string comDevicePath(int n);

// The 11 baud rates the port list offers, "1200".."256000".
[[nodiscard]] const std::vector<std::string>& baudRates();

// The names of the usable ports among COM1..COM50, ascending: a port that opens, a port
// another program holds, and a port the user has no permission for (opening it then says how
// to get one). Every failure is absorbed; the port is left closed. An open port is not probed.
// Each name is asked through SerialPort::probe(), which leaves the device's settings alone.
[[nodiscard]] std::vector<std::string> EnumComPorts(SerialPort& port);

struct OpenResult {
  bool opened = false;
  // The message the user gets, when the failure has one (title "提示信息!", information icon).
  std::optional<std::string> message;
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

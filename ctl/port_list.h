#pragma once
// The COM names as the window knows them, with what stands behind each one now.

#include <string>
#include <vector>

#include "link/serial_port.h"

namespace qz::ctl {

struct PortEntry {
  std::string name;    // "COM3"
  std::string device;  // the device it opens
  bool alias = false;  // from the alias folder, not the fixed table
  std::string state;   // "free", "in use", "no permission", "missing", "cannot open"
  std::string detail;  // who holds it, or the system's words
};

// Every COM name that names a device now: the fixed-table devices that exist, and every alias
// (also one whose device is gone). The port is opened and closed to learn its state.
[[nodiscard]] std::vector<PortEntry> listPorts();

// The processes that have `device` open, as "pid 123 (minicom)"; empty when none can be seen
// (another user's processes are hidden from a normal user).
[[nodiscard]] std::vector<std::string> deviceHolders(const std::string& device);

// The device a port name names: COMn through the COM name table, a path as it is. Empty when
// COMn names no device.
[[nodiscard]] std::string deviceOf(const std::string& port);

// The path with every link resolved, or the path as it is when it cannot be: one key for every
// name of a device.
[[nodiscard]] std::string canonicalOrSame(const std::string& path);

}  // namespace qz::ctl

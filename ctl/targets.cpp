#include "ctl/targets.h"

#include <algorithm>
#include <filesystem>

#include "ctl/port_list.h"
#include "link/com_ports.h"
#include "link/qt_serial_port.h"

namespace qz::ctl {

namespace fs = std::filesystem;

std::vector<Target> resolveTargets(const Invocation& inv, bool& all, std::string& error) {
  std::vector<Target> targets;
  all = inv.ports.size() == 1 && inv.ports[0] == "all";
  std::vector<std::string> names = inv.ports;
  if (all || names.empty()) {
    // The ports the window lists: all of them, or as the window preselects, the first.
    QtSerialPort probe;
    names = EnumComPorts(probe);
    if (!all && names.empty()) {
      error = "no serial port found; name one with --port";
      return targets;
    }
    if (!all) names.resize(1);
  }
  std::vector<std::string> seen;
  for (const std::string& name : names) {
    const std::string device = deviceOf(name);
    const std::string key = canonicalOrSame(device.empty() ? name : device);
    if (std::find(seen.begin(), seen.end(), key) != seen.end()) continue;
    seen.push_back(key);
    targets.push_back({name, device});
  }
  if (all && targets.empty()) error = "no serial port found";
  return targets;
}

std::string fileForPort(const std::string& file, const std::string& port, bool several) {
  if (!several) return file;
  const fs::path p(file);
  std::string tag = port.starts_with('/') ? fs::path(port).filename().string() : port;
  return (p.parent_path() / (p.stem().string() + "-" + tag + p.extension().string())).string();
}

}  // namespace qz::ctl

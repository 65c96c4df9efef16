#include <algorithm>

#include "ctl/command.h"
#include "ctl/doctor.h"
#include "ctl/output.h"
#include "ctl/port_list.h"

namespace qz::ctl {

namespace {

int runPorts(const Invocation& inv, Streams& s) {
  const std::vector<PortEntry> entries = listPorts();
  for (const PortEntry& e : entries) {
    if (inv.json) {
      QJsonObject o;
      o["port"] = q(e.name);
      o["device"] = q(e.device);
      o["state"] = q(e.state);
      o["alias"] = e.alias;
      if (!e.detail.empty()) o["detail"] = q(e.detail);
      printJson(s.out, o);
    } else if (!inv.quiet) {
      std::string line = e.name;
      line.resize(std::max<std::size_t>(line.size() + 1, 7), ' ');
      std::string device = e.device;
      device.resize(std::max<std::size_t>(device.size() + 1, 16), ' ');
      line += device + e.state;
      if (!e.detail.empty()) line += " " + e.detail;
      if (e.alias) line += " (alias)";
      s.out << line << "\n";
    }
  }
  if (inv.json || inv.quiet) return kDone;
  if (entries.empty()) s.out << "no serial ports\n";
  // On standard error, so that scripts reading the list see only the list.
  if (const std::string hint = doctorHint(); !hint.empty()) s.err << hint << "\n";
  return kDone;
}

}  // namespace

extern const CommandEntry kPortsCommand;
const CommandEntry kPortsCommand = {
    Command::Ports,
    "ports",
    0,
    "ports",
    "every COM name with its device and state",
    R"(Lists every COM name that names a device, with the device and its state: free,
in use (with the process holding it when that can be seen), no permission, or
missing. "alias" marks a name that comes from the alias folder rather than the
fixed table. When "qzctl doctor" would find a problem with a USB adapter, a
one-line hint follows the list on standard error.

Example:
  qzctl ports
)",
    false,
    &runPorts};

}  // namespace qz::ctl

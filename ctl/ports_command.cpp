#include <QJsonDocument>
#include <algorithm>
#include <sstream>

#include "ctl/command.h"
#include "ctl/doctor.h"
#include "ctl/output.h"
#include "ctl/port_list.h"

namespace qz::ctl {

extern const CommandEntry kInfoCommand;

namespace {

// Every port where a controller answers the window's handshake, as "--port all info" finds
// them: one line each with its device, model and firmware.
int probePorts(const Invocation& inv, Streams& s) {
  Invocation info = inv;
  info.command = Command::Info;
  info.entry = &kInfoCommand;
  info.ports = {"all"};
  info.json = true;
  info.quiet = false;
  info.probe = false;
  // Ports where nothing answers are not listed: what each said stays here.
  std::ostringstream json;
  std::ostringstream unanswered;
  Streams collect{json, unanswered, false};
  const int code = runOnPorts(info, collect);
  int found = 0;
  std::istringstream lines(json.str());
  for (std::string line; std::getline(lines, line);) {
    QJsonObject o = QJsonDocument::fromJson(QByteArray::fromStdString(line)).object();
    if (o[QStringLiteral("exit")].toInt() != kDone) continue;
    ++found;
    o[QStringLiteral("command")] = QStringLiteral("ports");
    if (inv.json) {
      printJson(s.out, o);
    } else if (!inv.quiet) {
      std::string text = o[QStringLiteral("port")].toString().toStdString();
      text.resize(std::max<std::size_t>(text.size() + 1, 7), ' ');
      std::string device = o[QStringLiteral("device")].toString().toStdString();
      device.resize(std::max<std::size_t>(device.size() + 1, 16), ' ');
      s.out << text << device << o[QStringLiteral("model")].toString().toStdString() << " "
            << o[QStringLiteral("firmware")].toString().toStdString() << "\n";
    }
  }
  if (found == 0) {
    if (!inv.json) s.err << "qzctl: no controller answered on any port\n";
    return code == kDone ? kNoAnswer : code;
  }
  return kDone;
}

int runPorts(const Invocation& inv, Streams& s) {
  if (inv.probe) return probePorts(inv, s);
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

With --probe: tries every listed port that no other program holds with the
window's connection handshake and lists each where a controller answers, with
its device, model and firmware version. Exit code 4 when none answers.

Example:
  qzctl ports
  qzctl ports --probe
)",
    false,
    &runPorts};

}  // namespace qz::ctl

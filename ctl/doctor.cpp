#include "ctl/doctor.h"

#include <QJsonArray>
#include <QJsonObject>
#include <cstdio>

#include "ctl/command.h"
#include "ctl/output.h"
#include "doctor/diagnosis.h"

namespace qz::ctl {

namespace {

using doctor::Adapter;
using doctor::Finding;
using doctor::Level;

const char* levelName(Level l) {
  switch (l) {
    case Level::Good:
      return "good";
    case Level::Note:
      return "note";
    case Level::Problem:
      break;
  }
  return "problem";
}

QJsonArray findingsJson(const std::vector<Finding>& findings) {
  QJsonArray a;
  for (const Finding& f : findings) {
    QJsonArray fixes;
    for (const std::string& fix : f.fixes) fixes.append(q(fix));
    a.append(QJsonObject{{"topic", q(f.topic)},
                         {"level", levelName(f.level)},
                         {"text", q(f.text)},
                         {"fixes", fixes}});
  }
  return a;
}

QJsonObject adapterJson(const Adapter& a) {
  QJsonObject o{{"usb", q(a.usb)},
                {"vendor_id", q(a.ids.vendorId)},
                {"product_id", q(a.ids.productId)},
                {"manufacturer", q(a.ids.manufacturer)},
                {"product", q(a.ids.product)},
                {"serial", q(a.ids.serial)},
                {"driver", q(a.driver)},
                {"usable", a.usable},
                {"findings", findingsJson(a.findings)}};
  if (!a.device.empty()) {
    QJsonArray byId;
    for (const std::string& name : a.byId) byId.append(q(name));
    o["device"] = q(a.device);
    o["by_id"] = byId;
    o["com"] = a.com.empty() ? QJsonValue() : QJsonValue(q(a.com));
    o["owner"] = q(a.owner);
    o["group"] = q(a.group);
    char mode[8];
    std::snprintf(mode, sizeof mode, "%04o", a.mode);
    o["mode"] = mode;
  }
  return o;
}

void printFindings(const std::vector<Finding>& findings, std::ostream& out) {
  for (const Finding& f : findings) {
    const char* mark = f.level == Level::Problem ? "FIX "
                       : f.level == Level::Note  ? "note"
                                                 : "ok  ";
    // Findings name processes and files, which may hold anything: no control character
    // reaches the terminal.
    out << "  " << mark << "  " << f.topic << ": " << doctor::printable(f.text, false) << "\n";
    for (const std::string& fix : f.fixes) {
      out << "          - " << doctor::printable(fix, false) << "\n";
    }
  }
}

std::string identity(const Adapter& a) {
  // What the device says of itself is escaped as the firmware text is.
  using doctor::printable;
  std::string s = "USB adapter " + printable(a.usb) + ": " + printable(a.ids.vendorId) + ":" +
                  printable(a.ids.productId);
  for (const std::string* part : {&a.ids.manufacturer, &a.ids.product}) {
    if (!part->empty()) s.append(", ").append(printable(*part));
  }
  if (!a.ids.serial.empty()) s.append(", serial ").append(printable(a.ids.serial));
  s.append(a.driver.empty() ? ", no driver" : ", driver " + printable(a.driver));
  return s;
}

doctor::Diagnosis diagnoseThisMachine() {
  doctor::Machine m = doctor::readMachine();
  m.comAliases = doctor::readComAliases();
  return doctor::diagnose(m, doctor::currentUser());
}

int printDiagnosis(const doctor::Diagnosis& d, bool json, std::ostream& out) {
  const int code = d.usable ? kDone : kPortFailed;
  if (json) {
    QJsonArray adapters;
    for (const Adapter& a : d.adapters) adapters.append(adapterJson(a));
    printJson(out, {{"command", "doctor"},
                    {"exit", code},
                    {"usable", d.usable},
                    {"adapters", adapters},
                    {"machine", findingsJson(d.machine)},
                    {"last", q(d.last)}});
    return code;
  }
  for (const Adapter& a : d.adapters) {
    out << identity(a) << "\n";
    printFindings(a.findings, out);
  }
  if (!d.machine.empty()) {
    if (!d.adapters.empty()) out << "all adapters:\n";
    printFindings(d.machine, out);
  }
  out << doctor::printable(d.last, false) << "\n";
  return code;
}

int runDoctor(const Invocation& inv, Streams& s) {
  return printDiagnosis(diagnoseThisMachine(), inv.json, s.out);
}

}  // namespace

std::string doctorHint() {
  const std::string problem = doctor::firstProblem(diagnoseThisMachine(), false);
  return problem.empty()
             ? std::string()
             : "hint: " + doctor::printable(problem, false) + " (qzctl doctor says what to do)";
}

extern const CommandEntry kDoctorCommand;
const CommandEntry kDoctorCommand = {
    Command::Doctor,
    "doctor",
    0,
    "doctor",
    "why a USB adapter is not a usable port",
    R"(Tells what became of each USB serial adapter the system knows, for when the
adapter does not show up as a port or cannot be opened. For each adapter:
  - what it is: vendor and product id, maker, product and serial strings, kernel
    driver
  - what became of it: its device, its /dev/serial/by-id name and its COM name;
    or why no port came of it: brltty (the braille display service) took it,
    with the two ways out, or no driver is bound because the kernel does not
    know the chip
  - access: the device's owner, group and mode against your groups: in the group
    now, or only in /etc/group (log in again), and how to join it
  - use: the process holding it (pid and name), and lock files in /var/lock left
    by a process that is gone
  - ModemManager: whether it runs and may probe the port for some seconds after
    plugging in
With several adapters it says that ttyUSB numbers follow the order of plugging
in and which stable names to use instead. The last line names the COM port to
use, or the one thing to fix first. Exit code 0 when at least one adapter is
usable, 3 when none is.

It only reads (sysfs, /dev, /proc, /etc/group, /var/lock, udev's database): it
opens no port and needs no root. --json prints the same as one JSON object:
"adapters" (each with its ids, device, by_id, com, owner, group, mode, usable
and findings), "machine", "last" and "exit"; a finding has a topic, a level
(good, note, problem), a text and its fixes.

Example:
  qzctl doctor
)",
    false,
    &runDoctor};

}  // namespace qz::ctl

#include "ctl/doctor.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstdio>

#include "ctl/command_line.h"

namespace qz::ctl {

namespace {

using doctor::Adapter;
using doctor::Finding;
using doctor::Level;

QString q(const std::string& s) {
  return QString::fromStdString(s);
}

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
    out << "  " << mark << "  " << f.topic << ": " << f.text << "\n";
    for (const std::string& fix : f.fixes) out << "          - " << fix << "\n";
  }
}

std::string identity(const Adapter& a) {
  std::string s = "USB adapter " + a.usb + ": " + a.ids.vendorId + ":" + a.ids.productId;
  for (const std::string* part : {&a.ids.manufacturer, &a.ids.product}) {
    if (!part->empty()) s.append(", ").append(*part);
  }
  if (!a.ids.serial.empty()) s.append(", serial ").append(a.ids.serial);
  s.append(a.driver.empty() ? ", no driver" : ", driver " + a.driver);
  return s;
}

doctor::Diagnosis diagnoseThisMachine() {
  doctor::Machine m = doctor::readMachine();
  m.comAliases = doctor::readComAliases();
  return doctor::diagnose(m, doctor::currentUser());
}

}  // namespace

int printDiagnosis(const doctor::Diagnosis& d, bool json, std::ostream& out) {
  const int code = d.usable ? kDone : kPortFailed;
  if (json) {
    QJsonArray adapters;
    for (const Adapter& a : d.adapters) adapters.append(adapterJson(a));
    const QJsonObject o{{"command", "doctor"},
                        {"exit", code},
                        {"usable", d.usable},
                        {"adapters", adapters},
                        {"machine", findingsJson(d.machine)},
                        {"last", q(d.last)}};
    out << QJsonDocument(o).toJson(QJsonDocument::Compact).toStdString() << "\n";
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
  out << d.last << "\n";
  return code;
}

int runDoctor(bool json, std::ostream& out) {
  return printDiagnosis(diagnoseThisMachine(), json, out);
}

std::string doctorHint() {
  const std::string problem = doctor::firstProblem(diagnoseThisMachine(), false);
  return problem.empty() ? std::string() : "hint: " + problem + " (qzctl doctor says what to do)";
}

}  // namespace qz::ctl

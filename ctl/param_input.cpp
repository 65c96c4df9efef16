#include "ctl/param_input.h"

#include "config/param_file.h"
#include "config/param_file_io.h"
#include "ctl/file_bytes.h"
#include "ctl/output.h"

namespace qz::ctl {

ParamFile loadFile(const std::string& name) {
  ParamFile f;
  f.name = name;
  const LoadedFile loaded = loadBytes(name);
  switch (loaded.problem.kind) {
    case FileProblem::Kind::None:
      break;
    case FileProblem::Kind::TooLarge:
      f.error = name + " is larger than 64 KiB: not a parameter file";
      return f;
    default:
      f.error = "cannot read " + name + ": " + loaded.problem.reason.toStdString();
      return f;
  }
  const ParamFileRead read = readParamFile(loaded.bytes);
  if (!read.isParamFile()) {
    f.error = name + " is not a parameter file: it has no 机型: line and no CJ scene line";
    return f;
  }
  if (!read.skippedLines.empty()) {
    f.warnings.push_back("line(s) " + lineList(read.skippedLines) +
                         " left out: not a whole scene line (not 40 characters long, a field "
                         "that is not digits, a row above 18 or a byte above 255)");
  }
  if (!read.ignoredModelLines.empty()) {
    f.warnings.push_back("line(s) " + lineList(read.ignoredModelLines) +
                         " left out: a model line naming no model (5 to 9)");
  }
  read.applyTo(f.image, f.model);
  f.bytes = loaded.bytes;
  f.rows = read.rowsPresent();
  return f;
}

int fileFailure(const Invocation& inv, Streams& s, const ParamFile& f) {
  if (inv.json) {
    QJsonObject o;
    o["command"] = q(std::string(inv.entry->name));
    o["file"] = q(f.name);
    o["exit"] = kFileFailed;
    o["message"] = q(f.error);
    printJson(s.out, o);
  }
  s.err << "qzctl: " << f.error << "\n";
  return kFileFailed;
}

void warn(const Invocation& inv, Streams& s, const ParamFile& f) {
  if (inv.quiet) return;
  for (const std::string& w : f.warnings) s.err << "qzctl: " << f.name << ": " << w << "\n";
}

}  // namespace qz::ctl

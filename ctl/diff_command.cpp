#include "ctl/command.h"
#include "ctl/output.h"
#include "ctl/param_input.h"

namespace qz::ctl {

namespace {

int runDiff(const Invocation& inv, Streams& s) {
  const ParamFile a = loadFile(inv.files[0]);
  if (!a.error.empty()) return fileFailure(inv, s, a);
  const ParamFile b = loadFile(inv.files[1]);
  if (!b.error.empty()) return fileFailure(inv, s, b);
  warn(inv, s, a);
  warn(inv, s, b);
  RowsPresent both{};
  for (std::size_t r = 0; r < both.size(); ++r) both[r] = a.rows[r] && b.rows[r];
  const std::vector<Difference> diffs = differences(a.image, b.image, both);
  const bool modelDiffers = a.model != b.model;
  // A row one file holds and the other lacks is a difference too, though no byte can be named.
  const bool rowsDiffer = a.rows != b.rows;
  const int code = diffs.empty() && !modelDiffers && !rowsDiffer ? kDone : kDifferent;
  const int model = a.model >= 0 ? a.model : b.model;
  if (inv.json) {
    QJsonObject o;
    o["command"] = "diff";
    o["files"] = QJsonArray{q(a.name), q(b.name)};
    o["exit"] = code;
    o["models"] = QJsonArray{q(modelText(a.model)), q(modelText(b.model))};
    o["differences"] = differencesJson(diffs, model, "a", "b");
    o["missing_rows"] = QJsonObject{{"a", missingJson(a.rows)}, {"b", missingJson(b.rows)}};
    printJson(s.out, o);
    return code;
  }
  if (inv.quiet) return code;
  if (modelDiffers) {
    s.out << "model: " << a.name << " " << modelText(a.model) << ", " << b.name << " "
          << modelText(b.model) << "\n";
  }
  for (const Difference& d : diffs) s.out << differenceLine(d, model, a.name, b.name) << "\n";
  const std::string missingA = missingRows(a.rows);
  const std::string missingB = missingRows(b.rows);
  if (!missingA.empty()) s.out << "rows not in " << a.name << ": " << missingA << "\n";
  if (!missingB.empty()) s.out << "rows not in " << b.name << ": " << missingB << "\n";
  if (code == kDone) {
    s.out << "no differences\n";
  } else {
    s.out << std::to_string(diffs.size()) << " byte(s) differ"
          << (rowsDiffer ? ", and the files do not hold the same rows" : "") << "\n";
  }
  return code;
}

}  // namespace

extern const CommandEntry kDiffCommand;
const CommandEntry kDiffCommand = {
    Command::Diff,
    "diff",
    2,
    "diff A.QZ B.QZ",
    "file vs file: every byte that differs",
    R"(Lists every byte that differs between two parameter files, as compare does. No
controller is needed. Exit code 1 when anything differs.

Example:
  qzctl diff monday.QZ tuesday.QZ
)",
    false,
    &runDiff};

}  // namespace qz::ctl

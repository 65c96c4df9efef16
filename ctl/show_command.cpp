#include "ctl/command.h"
#include "ctl/output.h"
#include "ctl/param_input.h"

namespace qz::ctl {

namespace {

int runShow(const Invocation& inv, Streams& s) {
  const ParamFile f = loadFile(inv.files[0]);
  if (!f.error.empty()) return fileFailure(inv, s, f);
  warn(inv, s, f);
  const std::string missing = missingRows(f.rows);
  if (inv.json) {
    QJsonObject o;
    o["command"] = "show";
    o["file"] = q(f.name);
    o["exit"] = kDone;
    o["model"] = q(modelText(f.model));
    o["model_index"] = f.model;
    // A row the file lacks is null: its bytes are nobody's.
    QJsonArray rows;
    for (int r = 0; r < kRows; ++r) {
      if (!f.rows[static_cast<std::size_t>(r)]) {
        rows.append(QJsonValue::Null);
        continue;
      }
      QJsonArray row;
      for (int c = 0; c < kRowBytes; ++c) row.append(f.image(r, c));
      rows.append(row);
    }
    o["rows"] = rows;
    o["missing_rows"] = missingJson(f.rows);
    printJson(s.out, o);
    return kDone;
  }
  if (inv.quiet) return kDone;
  s.out << f.name << "\n" << showText(f.image, f.model, f.rows);
  if (!missing.empty()) s.out << "rows not in the file: " << missing << "\n";
  return kDone;
}

}  // namespace

extern const CommandSpec kShowCommand;
const CommandSpec kShowCommand = {
    Command::Show,
    "show",
    1,
    "show FILE",
    "a parameter file as a readable table",
    R"(Shows a parameter file as a table: the model, each scene key's switches and levels, the
fan and air-conditioner assignment, work mode, DMX512 address, the level table and the
power-on scene. No controller is needed.

Example:
  qzctl show shop-floor-2.QZ
)",
    false,
    &runShow};

}  // namespace qz::ctl

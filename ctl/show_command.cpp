#include "config/settings.h"
#include "ctl/command.h"
#include "ctl/output.h"
#include "ctl/param_input.h"

namespace qz::ctl {

namespace {

// Each scene key by name with its switches and levels as the model splits them; null for a
// key the file lacks.
QJsonArray scenesJson(const ParamFile& f) {
  const int split = modelName(f.model).empty() ? kRowBytes : switchCount(f.model);
  QJsonArray scenes;
  for (int r = 0; r < kSceneKeys; ++r) {
    if (!f.rows[static_cast<std::size_t>(r)]) {
      scenes.append(QJsonValue::Null);
      continue;
    }
    QJsonArray switches;
    QJsonArray levels;
    for (int c = 0; c < kRowBytes; ++c) (c < split ? switches : levels).append(f.image(r, c));
    scenes.append(QJsonObject{
        {"key", q(std::string(sceneKeyName(r)))}, {"switches", switches}, {"levels", levels}});
  }
  return scenes;
}

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
    o["scenes"] = scenesJson(f);
    // A setting in a row the file lacks is null: its value is nobody's.
    QJsonObject settings;
    for (const NamedSetting& n : namedSettings(f.image)) {
      const bool has = f.rows[static_cast<std::size_t>(n.row)];
      settings[q(n.name)] = !has       ? QJsonValue(QJsonValue::Null)
                            : n.number ? QJsonValue(*n.number)
                                       : QJsonValue(q(n.value));
    }
    o["settings"] = settings;
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

extern const CommandEntry kShowCommand;
const CommandEntry kShowCommand = {
    Command::Show,
    "show",
    1,
    "show FILE",
    "a parameter file as a readable table",
    R"(Shows a parameter file as a table: the model, each scene key's switches and
levels, the fan and air-conditioner assignment, work mode, DMX512 address, the
level table and the power-on scene. No controller is needed.

Example:
  qzctl show shop-floor-2.QZ
)",
    false,
    &runShow};

}  // namespace qz::ctl

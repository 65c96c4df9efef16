#include "ctl/output.h"

#include <QJsonDocument>

#include "config/setting_names.h"

namespace qz::ctl {

QString q(const std::string& s) {
  return QString::fromStdString(s);
}

void printJson(std::ostream& out, const QJsonObject& o) {
  out << QJsonDocument(o).toJson(QJsonDocument::Compact).toStdString() << "\n";
}

QJsonArray missingJson(const RowsPresent& rows) {
  QJsonArray a;
  for (int r = 0; r < kRows; ++r) {
    if (!rows[static_cast<std::size_t>(r)]) a.append(r);
  }
  return a;
}

QJsonArray differencesJson(const std::vector<Difference>& diffs, int model, const char* left,
                           const char* right) {
  QJsonArray a;
  for (const Difference& d : diffs) {
    QJsonObject o;
    o["row"] = d.row;
    o["byte"] = d.column;
    o["setting"] = q(settingName(d.row, d.column, model));
    o[left] = d.left;
    o[right] = d.right;
    a.append(o);
  }
  return a;
}

}  // namespace qz::ctl

#pragma once
// What qzctl prints for scripts: JSON objects, one a line.

#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <ostream>
#include <string>
#include <vector>

#include "ctl/listing.h"

namespace qz::ctl {

[[nodiscard]] QString q(const std::string& s);

void printJson(std::ostream& out, const QJsonObject& o);

// The rows an image lacks, as numbers.
[[nodiscard]] QJsonArray missingJson(const RowsPresent& rows);

// One object per byte that differs: row, byte, setting and both values under `left`/`right`.
[[nodiscard]] QJsonArray differencesJson(const std::vector<Difference>& diffs, int model,
                                         const char* left, const char* right);

}  // namespace qz::ctl

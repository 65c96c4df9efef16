#pragma once
// What qzctl prints about images: the bytes that differ between two of them, and one of them
// as a table a person can read.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "config/image.h"

namespace qz::ctl {

struct Difference {
  int row = 0;
  int column = 0;
  int left = 0;   // the controller's, or the first file's
  int right = 0;  // the file's, or the second file's
  bool operator==(const Difference&) const = default;
};

// The DMX512 address differs as one value (1..501, 0 for none), not as two bytes.
inline constexpr std::string_view kDmxAddressName = "DMX512地址";

// "场景4 开关通道6", as the image of `model` reads it; "DMX512地址" for the address.
[[nodiscard]] std::string differenceName(const Difference& d, int model);

// "场景4 开关通道6: controller 开, file 关"; the setting and its values are named as the window
// names them for an image of `model`.
[[nodiscard]] std::string differenceLine(const Difference& d, int model, std::string_view left,
                                         std::string_view right);

// The controller's version text as a terminal and JSON can carry it: the padding of blanks and
// NUL bytes at its end taken off, each byte the character the window shows for it (Latin-1),
// control bytes and the backslash written as escapes ("\x07", "\\"). Valid UTF-8.
[[nodiscard]] std::string printableVersion(std::span<const std::uint8_t> bytes);

// "QZ-0804", or "model 7" / "no model" for what names none.
[[nodiscard]] std::string modelText(int model);

// Which rows an image really holds: a file may lack some, whose bytes nobody knows.
using RowsPresent = std::array<bool, kRows>;
inline constexpr RowsPresent kAllRows = [] {
  RowsPresent all{};
  all.fill(true);
  return all;
}();

// The image as a table: model, each scene key's switches and levels, assignments, work mode,
// DMX512 address, scene mode, level table and power-on scene. A setting in a row the image
// lacks says so instead of a value. Lines end with "\n".
[[nodiscard]] std::string showText(const ConfigImage& image, int model,
                                   const RowsPresent& present = kAllRows);

// The settings of rows 17 and 18 by name, each with its value as the editor shows it.
struct NamedSetting {
  std::string name;
  std::string value;
  int row = 0;                // the row that holds it
  std::optional<int> number;  // for a setting that is a number (the DMX512 address)
};
[[nodiscard]] std::vector<NamedSetting> namedSettings(const ConfigImage& image);

// The bytes that differ, in the rows `compared` names only; the DMX512 address as one value.
[[nodiscard]] std::vector<Difference> differences(const ConfigImage& left, const ConfigImage& right,
                                                  const RowsPresent& compared = kAllRows);

// "12, 17": the rows an image lacks; empty when it has them all.
[[nodiscard]] std::string missingRows(const RowsPresent& present);

}  // namespace qz::ctl

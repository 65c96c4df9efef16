#pragma once
// How the window shows a transfer's progress and the rows an upload brought.

#include <string>

#include "config/image.h"

namespace qz {

// The percentage shown for row p: p x 5.55 rounded, a half to the even neighbour.
// Rows 0, 1, 9, 10 and 18 show 0, 6, 50, 56 and 100.
[[nodiscard]] int progressPercent(int row);
// The width of the progress fill for row p in an outline `outline` wide: p / 18 of it.
[[nodiscard]] int progressFillWidth(int row, int outline);
// "01 00 ... 0A ": each byte as two upper-case hex digits and a blank, 36 characters.
[[nodiscard]] std::string historyHexLine(const Row& row);

}  // namespace qz

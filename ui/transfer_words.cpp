#include "ui/transfer_words.h"

#include <cstdio>

#include "link/hex_text.h"

namespace qz {

namespace {

// n / d rounded to the nearest whole number, a half to the even one; n, d >= 0, d > 0.
int roundHalfEven(long long n, long long d) {
  const long long q = n / d;
  const long long twice = 2 * (n % d);
  if (twice > d || (twice == d && q % 2 != 0)) return static_cast<int>(q + 1);
  return static_cast<int>(q);
}

}  // namespace

int progressPercent(int row) {
  if (row <= 0) return 0;
  return roundHalfEven(static_cast<long long>(row) * 555, 100);
}

int progressFillWidth(int row, int outline) {
  if (row <= 0 || outline <= 0) return 0;
  return roundHalfEven(static_cast<long long>(row) * outline, kRows - 1);
}

std::string historyHexLine(const Row& row) {
  std::string line;
  line.reserve(row.size() * 3);
  for (const std::uint8_t b : row) {
    char hex[3];
    std::snprintf(hex, sizeof hex, "%X", b);
    std::string digits = hex;
    line += PadZeros(digits, 2);
    line += ' ';
  }
  return line;
}

}  // namespace qz

#include "link/hex_text.h"

#include <algorithm>

namespace qz {

std::string StripSpaces(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  std::copy_if(text.begin(), text.end(), std::back_inserter(out), [](char c) { return c != ' '; });
  return out;
}

std::string PadZeros(std::string& text, int width) {
  if (width > 0 && text.size() < static_cast<std::size_t>(width)) {
    text.insert(0, static_cast<std::size_t>(width) - text.size(), '0');
  }
  return text;
}

namespace {
int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}
}  // namespace

std::optional<std::vector<std::uint8_t>> hexTextBytes(std::string_view text) {
  std::string digits = StripSpaces(text);
  if (digits.empty()) return std::nullopt;
  if (digits.size() % 2 != 0) digits.insert(digits.size() - 1, 1, '0');
  std::vector<std::uint8_t> bytes(digits.size() / 2);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const int hi = hexDigit(digits[2 * i]);
    const int lo = hexDigit(digits[2 * i + 1]);
    if (hi < 0 || lo < 0) return std::nullopt;
    bytes[i] = static_cast<std::uint8_t>(hi * 16 + lo);
  }
  return bytes;
}

void HexTextToBytes(SerialPort& port, std::string_view text) {
  const auto bytes = hexTextBytes(text);
  if (!bytes || !port.isOpen()) return;
  if (!port.write(*bytes)) port.clearError();
}

}  // namespace qz

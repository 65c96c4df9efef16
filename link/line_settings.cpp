#include "link/line_settings.h"

#include <array>
#include <cctype>
#include <limits>

namespace qz {

namespace {

// Splits "a,b,c,d" into exactly four fields.
std::optional<std::array<std::string_view, 4>> fourFields(std::string_view text) {
  std::array<std::string_view, 4> fields;
  std::size_t start = 0;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    const std::size_t comma = text.find(',', start);
    const bool last = i + 1 == fields.size();
    if (last != (comma == std::string_view::npos)) return std::nullopt;
    fields[i] = text.substr(start, last ? std::string_view::npos : comma - start);
    start = comma + 1;
  }
  return fields;
}

std::optional<std::int32_t> positiveDecimal(std::string_view digits) {
  if (digits.empty() || digits.size() > 10) return std::nullopt;
  std::int64_t value = 0;
  for (const char c : digits) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  if (value <= 0 || value > std::numeric_limits<std::int32_t>::max()) return std::nullopt;
  return static_cast<std::int32_t>(value);
}

}  // namespace

std::optional<LineSettings> parseLineSettings(std::string_view text) {
  const auto fields = fourFields(text);
  if (!fields) return std::nullopt;
  const auto& [baudText, parityText, dataText, stopText] = *fields;

  LineSettings s;
  const auto baud = positiveDecimal(baudText);
  if (!baud) return std::nullopt;
  s.baud = *baud;

  if (parityText.size() != 1) return std::nullopt;
  s.parity = static_cast<char>(std::toupper(static_cast<unsigned char>(parityText[0])));
  if (std::string_view("NEOMS").find(s.parity) == std::string_view::npos) return std::nullopt;

  if (dataText.size() != 1 || dataText[0] < '5' || dataText[0] > '8') return std::nullopt;
  s.dataBits = dataText[0] - '0';

  if (stopText == "1") {
    s.stopBits = StopBits::One;
  } else if (stopText == "1.5") {
    s.stopBits = StopBits::OneAndHalf;
  } else if (stopText == "2") {
    s.stopBits = StopBits::Two;
  } else {
    return std::nullopt;
  }
  return s;
}

bool lineSpeedMatches(std::int64_t requested, std::int64_t actual) {
  if (requested <= 0 || actual <= 0) return false;
  const std::int64_t off = actual > requested ? actual - requested : requested - actual;
  return off * 50 <= requested;
}

}  // namespace qz

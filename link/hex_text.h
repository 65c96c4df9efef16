#pragma once
// Fixed frames are kept as hex text ("A1 B2 C3 ...") and turned into bytes when written.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "link/serial_port.h"

namespace qz {

// The text with every blank (U+0020 only) removed.
[[nodiscard]] std::string StripSpaces(std::string_view text);

// "0" put in front until the text is width characters long; never cut. The caller's text is
// padded as well, and the result is that text.
std::string PadZeros(std::string& text, int width);

// The bytes of a hex frame text: blanks ignored, either case, an odd digit count repaired by a
// "0" before the last digit. Nothing for an empty text or a character that is no hex digit.
[[nodiscard]] std::optional<std::vector<std::uint8_t>> hexTextBytes(std::string_view text);

// Converts and writes in one output operation. Every failure (bad text, empty text, closed
// port, refused write) is absorbed: nothing is written and nothing is said.
void HexTextToBytes(SerialPort& port, std::string_view text);

}  // namespace qz

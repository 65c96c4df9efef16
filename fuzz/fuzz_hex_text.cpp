// Hex frame text from anywhere: whatever the text, it becomes the bytes its digits say or
// nothing at all, and it is written in one piece or not at all.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "fuzz/check.h"
#include "link/fake_port.h"
#include "link/hex_text.h"

namespace {

int digitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  // Blanks go, everything else stays in order.
  const std::string stripped = qz::StripSpaces(text);
  std::size_t blanks = 0;
  for (const char c : text) blanks += c == ' ' ? 1U : 0U;
  QZ_FUZZ_CHECK(stripped.size() + blanks == text.size());
  QZ_FUZZ_CHECK(stripped.find(' ') == std::string::npos);

  // The digits, read one by one, say what the bytes must be.
  bool allDigits = !stripped.empty();
  for (const char c : stripped) allDigits = allDigits && digitValue(c) >= 0;
  const auto bytes = qz::hexTextBytes(text);
  QZ_FUZZ_CHECK(bytes.has_value() == allDigits);
  if (bytes) {
    QZ_FUZZ_CHECK(bytes->size() == (stripped.size() + 1) / 2);
    // An odd count takes a "0" before its last digit: the last byte is that digit alone.
    const std::size_t pairs = stripped.size() / 2;
    for (std::size_t i = 0; i < pairs; ++i) {
      const int want = digitValue(stripped[2 * i]) * 16 + digitValue(stripped[2 * i + 1]);
      QZ_FUZZ_CHECK((*bytes)[i] == want);
    }
    if (stripped.size() % 2 != 0) QZ_FUZZ_CHECK(bytes->back() == digitValue(stripped.back()));
  }

  // Written whole, once, only to an open port; never anything for a bad text.
  qz::FakePort port;
  port.ports[1] = qz::PortError::None;
  port.setPortNumber(1);
  qz::HexTextToBytes(port, text);
  QZ_FUZZ_CHECK(port.writes.empty());
  QZ_FUZZ_CHECK(port.open());
  qz::HexTextToBytes(port, text);
  if (bytes) {
    QZ_FUZZ_CHECK(port.writes.size() == 1 && port.writes.front() == *bytes);
  } else {
    QZ_FUZZ_CHECK(port.writes.empty());
  }

  // Padding: never cut, only "0" in front, and the caller's text is the result.
  std::string padded(text.substr(0, 8));
  const std::string before = padded;
  const int width = size > 0 ? data[0] % 12 - 2 : 2;
  const std::string result = qz::PadZeros(padded, width);
  QZ_FUZZ_CHECK(result == padded);
  QZ_FUZZ_CHECK(padded.size() >= before.size());
  const std::size_t wanted = width > 0 ? static_cast<std::size_t>(width) : 0U;
  QZ_FUZZ_CHECK(padded.size() == std::max(before.size(), wanted));
  const std::size_t added = padded.size() - before.size();
  QZ_FUZZ_CHECK(padded.compare(added, before.size(), before) == 0);
  QZ_FUZZ_CHECK(padded.find_first_not_of('0') >= added);
  return 0;
}

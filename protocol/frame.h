#pragma once
// A frame on its way to the port, held by value from the moment it is built until it is
// written in one operation: the longest the tool sends is a row frame of 15 bytes.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "link/hex_text.h"

namespace qz {

class Frame {
 public:
  static constexpr std::size_t kCapacity = 15;

  Frame() = default;
  template <std::size_t N>
  requires(N <= kCapacity)
      Frame(const std::array<std::uint8_t, N>& bytes)  // NOLINT: every built frame is a Frame
      : size_(N) {
    std::copy(bytes.begin(), bytes.end(), bytes_.begin());
  }
  // A fixed frame kept as hex text; an empty frame (nothing written) for a text that is none.
  [[nodiscard]] static Frame fromHex(std::string_view text) {
    Frame f;
    if (const auto bytes = hexTextBytes(text); bytes && bytes->size() <= kCapacity) {
      std::copy(bytes->begin(), bytes->end(), f.bytes_.begin());
      f.size_ = bytes->size();
    }
    return f;
  }

  [[nodiscard]] std::span<const std::uint8_t> bytes() const { return {bytes_.data(), size_}; }
  [[nodiscard]] std::size_t size() const { return size_; }
  [[nodiscard]] bool empty() const { return size_ == 0; }
  friend bool operator==(const Frame& a, const Frame& b) {
    return std::ranges::equal(a.bytes(), b.bytes());
  }

 private:
  std::array<std::uint8_t, kCapacity> bytes_{};
  std::size_t size_ = 0;
};

}  // namespace qz

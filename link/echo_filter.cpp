#include "link/echo_filter.h"

#include <algorithm>

namespace qz {

void EchoFilter::setBaud(int baud) {
  // A start bit, 8 data bits and a stop bit.
  byteTime_ = std::chrono::nanoseconds(10'000'000'000LL / std::max(baud, 50));
}

void EchoFilter::sent(std::span<const std::uint8_t> bytes, Clock::time_point now) {
  if (bytes.empty()) return;
  lineFree_ = std::max(lineFree_, now) + byteTime_ * static_cast<long>(bytes.size());
  expected_.push_back({{bytes.begin(), bytes.end()}, lineFree_ + kMargin});
}

void EchoFilter::release(std::vector<std::uint8_t>& input) {
  const std::vector<std::uint8_t>& echo = expected_.front().bytes;
  input.insert(input.end(), echo.begin() + static_cast<long>(matched_ - held_),
               echo.begin() + static_cast<long>(matched_));
  held_ = 0;
}

void EchoFilter::received(std::span<const std::uint8_t> bytes, std::vector<std::uint8_t>& input) {
  for (const std::uint8_t b : bytes) {
    if (expected_.empty()) {
      input.push_back(b);
      continue;
    }
    const std::vector<std::uint8_t>& echo = expected_.front().bytes;
    if (b == echo[matched_]) {
      ++matched_;
      ++held_;
      if (matched_ == echo.size()) {
        expected_.pop_front();
        matched_ = 0;
        held_ = 0;
      }
      continue;
    }
    // Not (or no longer) the echo: what was held back is input, and the echo may still
    // begin here or behind it, until it is due.
    release(input);
    matched_ = 0;
    if (b == echo[0]) {
      matched_ = held_ = 1;
    } else {
      input.push_back(b);
    }
  }
}

void EchoFilter::expire(Clock::time_point now, std::vector<std::uint8_t>& input) {
  while (!expected_.empty() && expected_.front().due <= now) {
    release(input);
    expected_.pop_front();
    matched_ = 0;
  }
}

std::optional<EchoFilter::Clock::time_point> EchoFilter::deadline() const {
  if (expected_.empty()) return std::nullopt;
  return expected_.front().due;
}

void EchoFilter::clear() {
  expected_.clear();
  matched_ = 0;
  held_ = 0;
  lineFree_ = {};
}

}  // namespace qz

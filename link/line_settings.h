#pragma once
// The port's settings text ("9600,N,8,1") as values, and how close the speed a device really
// runs at must come to the speed asked for.

#include <cstdint>
#include <optional>
#include <string_view>

namespace qz {

enum class StopBits { One, OneAndHalf, Two };

struct LineSettings {
  std::int32_t baud = 9600;
  char parity = 'N';  // N, E, O, M or S
  int dataBits = 8;   // 5..8
  StopBits stopBits = StopBits::One;

  friend bool operator==(const LineSettings&, const LineSettings&) = default;
};

// "baud,parity,data,stop": a positive decimal baud rate, one of the parity letters N E O M S
// (either case), 5 to 8 data bits, 1, 1.5 or 2 stop bits. Nothing for any other text.
[[nodiscard]] std::optional<LineSettings> parseLineSettings(std::string_view text);

// A UART pair keeps its frames within about 2 % of each other's rate; a driver that reports
// the rate its divisor really gives (255319 for 256000) still talks, one that clipped 256000 to
// 115200 or kept 9600 does not.
[[nodiscard]] bool lineSpeedMatches(std::int64_t requested, std::int64_t actual);

}  // namespace qz

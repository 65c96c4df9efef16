#pragma once
// The image a fuzz input starts with: its first 228 numbers.

#include <fuzzer/FuzzedDataProvider.h>

#include "config/image.h"

inline qz::ConfigImage fuzzedImage(FuzzedDataProvider& in) {
  qz::ConfigImage image;
  for (auto& row : image.rows) {
    for (auto& b : row) b = in.ConsumeIntegral<std::uint8_t>();
  }
  return image;
}

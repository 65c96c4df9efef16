#pragma once
// The editor's rules for the image that need no widget.

#include <cstdint>
#include <utility>

#include "config/image.h"

namespace qz {

// Choosing model m writes its default scene pattern: scene c + 1 switches on its own channel
// (switch on, or dimming at level 9), and "灯光全开" (row 14) switches on every channel.
void writeDefaultScenePattern(ConfigImage& image, int model);

// The first DMX512 address a (1..501) as stored: high byte a / 256, low byte a % 256.
[[nodiscard]] std::pair<std::uint8_t, std::uint8_t> dmxAddressBytes(int address);
// The address the image holds (0 = none).
[[nodiscard]] int dmxAddress(const ConfigImage& image);

}  // namespace qz

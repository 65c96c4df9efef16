#include "config/settings.h"

namespace qz {

void writeDefaultScenePattern(ConfigImage& image, int model) {
  const int s = switchCount(model);
  for (int c = 0; c < kRowBytes; ++c) {
    const std::uint8_t v = c < s ? 1 : 9;
    image(c, c) = v;
    image(14, c) = v;
  }
}

std::pair<std::uint8_t, std::uint8_t> dmxAddressBytes(int address) {
  return {static_cast<std::uint8_t>(address / 256), static_cast<std::uint8_t>(address % 256)};
}

int dmxAddress(const ConfigImage& image) {
  return image(row17::kRow, row17::kDmxHigh) * 256 + image(row17::kRow, row17::kDmxLow);
}

}  // namespace qz

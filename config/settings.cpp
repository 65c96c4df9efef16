#include "config/settings.h"

#include <array>

namespace qz {

namespace {
constexpr std::array<std::string_view, kModels> kModelNames = {"QZ-0408", "QZ-0606", "QZ-0804",
                                                               "QZ-1002", "QZ-1200"};
constexpr std::string_view kServicePassword = "kestrel2019";

constexpr std::array<std::string_view, kSceneKeys> kSceneKeyNames = {
    "场景1",  "场景2",  "场景3",  "场景4",  "场景5",    "场景6",    "场景7", "场景8", "场景9",
    "场景10", "场景11", "场景12", "场景13", "灯光全关", "灯光全开", "暂停",  "静音"};
}  // namespace

std::string_view modelName(int model) {
  if (model < 0 || model >= kModels) return {};
  return kModelNames[static_cast<std::size_t>(model)];
}

std::string_view sceneKeyName(int row) {
  if (row < 0 || row >= kSceneKeys) return {};
  return kSceneKeyNames[static_cast<std::size_t>(row)];
}

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

SwitchShown switchShown(std::uint8_t value) {
  if (value == 0) return SwitchShown::Off;
  if (value == 1) return SwitchShown::On;
  return SwitchShown::Neither;
}

bool passwordAccepted(std::string_view entry) {
  return entry == kServicePassword;
}

}  // namespace qz

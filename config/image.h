#pragma once
// The configuration image: the one copy of a controller's parameters that the tool holds.
// 19 rows of 12 bytes; rows 0..16 are the scene keys, rows 17 and 18 the global settings.

#include <array>
#include <cstdint>

#include "protocol/frames.h"

namespace qz {

// The image is what the controller stores: its shape comes with the frames that carry it.
inline constexpr int kRows = frames::kImageRows;
inline constexpr int kRowBytes = frames::kRowBytes;
inline constexpr int kModels = frames::kModelCount;
inline constexpr int kSceneKeys = 17;  // rows 0..16
inline constexpr int kLevels = 10;     // dimming levels 0..9

using Row = std::array<std::uint8_t, kRowBytes>;
using LevelTable = std::array<std::uint8_t, kLevels>;

// Row 17: fan and air-conditioner assignment, work mode, DMX512 address.
namespace row17 {
inline constexpr int kRow = 17;
inline constexpr int kFan1 = 0;         // channel of exhaust fan 1 (0 = none)
inline constexpr int kFan1PowerOn = 1;  // 0 off, 1 on
inline constexpr int kFan2 = 2;
inline constexpr int kFan2PowerOn = 3;
inline constexpr int kValveOpen = 4;  // 4..8: ducted air conditioner channels
inline constexpr int kValveClose = 5;
inline constexpr int kFanHigh = 6;
inline constexpr int kFanMedium = 7;
inline constexpr int kFanLow = 8;
inline constexpr int kWorkMode = 9;  // 0 LINK, 1 DMX512
inline constexpr int kDmxHigh = 10;
inline constexpr int kDmxLow = 11;
}  // namespace row17

// Row 18: scene mode, dimming level table, power-on scene.
namespace row18 {
inline constexpr int kRow = 18;
inline constexpr int kSceneMode = 0;   // 0 switch, 1 overlay
inline constexpr int kFirstLevel = 1;  // bytes 1..10: output value of levels 0..9
inline constexpr int kPowerOnScene = 11;
}  // namespace row18

inline constexpr LevelTable kDefaultLevelTable = {0, 20, 40, 70, 100, 130, 160, 190, 220, 250};

struct ConfigImage {
  std::array<Row, kRows> rows{};

  // SetData(r, c). Out of range is a programming error; callers check what they got from
  // outside before they index.
  std::uint8_t& operator()(int r, int c) {
    return rows.at(static_cast<std::size_t>(r)).at(static_cast<std::size_t>(c));
  }
  std::uint8_t operator()(int r, int c) const {
    return rows.at(static_cast<std::size_t>(r)).at(static_cast<std::size_t>(c));
  }
  bool operator==(const ConfigImage&) const = default;
};

// Switch channels of model m (0..4): S = 2m + 4; the dimming channels are the rest.
[[nodiscard]] constexpr int switchCount(int model) {
  return 2 * model + 4;
}
[[nodiscard]] constexpr int dimCount(int model) {
  return kRowBytes - switchCount(model);
}

}  // namespace qz

#include "config/setting_words.h"

#include "config/assignment.h"
#include "config/setting_names.h"
#include "config/settings.h"

namespace qz {

namespace {

constexpr int kHighestDmxAddress = 501;  // the last item of the address list

std::string unknown(int value) {
  return "? (" + std::to_string(value) + ")";
}

std::string row17Words(int column, int value, std::string_view notSet) {
  switch (column) {
    case row17::kFan1PowerOn:
    case row17::kFan2PowerOn:
      return value == 0 ? "关闭" : value == 1 ? "打开" : unknown(value);
    case row17::kWorkMode:
      return value == 0 ? "LINK模式" : value == 1 ? "DMX512模式" : unknown(value);
    case row17::kDmxHigh:
      if (value == 0) return std::string(notSet);
      return value <= kHighestDmxAddress ? std::to_string(value) : unknown(value);
    case row17::kDmxLow:
      return std::to_string(value);
    default:
      return value == 0 ? std::string(kNoChannelItem) : channelItem(value);
  }
}

}  // namespace

std::string settingValueWords(int row, int column, int model, int value, std::string_view notSet) {
  if (row < kSceneKeys) {
    const bool knownModel = model >= 0 && model < kModels;
    if (knownModel && column < switchCount(model)) {
      return value == 0 ? "关" : value == 1 ? "开" : unknown(value);
    }
    if (knownModel) return value < kLevels ? std::to_string(value) : unknown(value);
    return std::to_string(value);
  }
  if (row == row17::kRow) return row17Words(column, value, notSet);
  if (column == row18::kSceneMode) {
    return value == 0 ? "切换" : value == 1 ? "叠加" : unknown(value);
  }
  if (column == row18::kPowerOnScene) {
    const std::string_view key = sceneKeyName(value);
    return key.empty() ? unknown(value) : std::string(key);
  }
  return std::to_string(value);
}

std::string differenceWords(int row, int column, int model, int left, int right,
                            const DifferenceSides& sides) {
  const bool address = row == row17::kRow && column == row17::kDmxHigh;
  const std::string name =
      address ? std::string(kDmxAddressSetting) : settingName(row, column, model);
  return name + ": " + std::string(sides.left) + " " +
         settingValueWords(row, column, model, left, sides.notSet) + ", " +
         std::string(sides.right) + " " +
         settingValueWords(row, column, model, right, sides.notSet);
}

std::vector<std::string> imageDifferenceWords(const ConfigImage& left, const ConfigImage& right,
                                              int model, const DifferenceSides& sides) {
  std::vector<std::string> out;
  for (int r = 0; r < kRows; ++r) {
    for (int c = 0; c < kRowBytes; ++c) {
      if (r == row17::kRow && c == row17::kDmxHigh) {
        if (dmxAddress(left) != dmxAddress(right)) {
          out.push_back(differenceWords(r, c, model, dmxAddress(left), dmxAddress(right), sides));
        }
        ++c;
        continue;
      }
      if (left(r, c) != right(r, c)) {
        out.push_back(differenceWords(r, c, model, left(r, c), right(r, c), sides));
      }
    }
  }
  return out;
}

}  // namespace qz

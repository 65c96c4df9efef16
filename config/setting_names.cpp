#include "config/setting_names.h"

#include <array>
#include <string_view>

#include "config/settings.h"

namespace qz {

namespace {

constexpr std::array<std::string_view, kRowBytes> kRow17Names = {
    "排风1", "排风1 上电", "排风2", "排风2 上电", "阀开",           "阀关",
    "高风",  "中风",       "低风",  "工作模式",   "DMX地址 高字节", "DMX地址 低字节"};

}  // namespace

std::string settingName(int row, int column, int model) {
  if (row < 0 || row >= kRows || column < 0 || column >= kRowBytes) return {};
  if (row < kSceneKeys) {
    std::string name(sceneKeyName(row));
    if (model < 0 || model >= kModels) return name + " 通道" + std::to_string(column + 1);
    const int s = switchCount(model);
    if (column < s) return name + " 开关通道" + std::to_string(column + 1);
    return name + " 调光" + std::to_string(column - s + 1);
  }
  if (row == row17::kRow) return std::string(kRow17Names[static_cast<std::size_t>(column)]);
  if (column == row18::kSceneMode) return "场景模式";
  if (column == row18::kPowerOnScene) return "开机场景";
  return "调光级别" + std::to_string(column - row18::kFirstLevel);
}

}  // namespace qz

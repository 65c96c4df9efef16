#pragma once
// What each byte of the image means, in the words of the window's captions, for listings that
// name a byte rather than show a control.

#include <string>

#include "config/image.h"

namespace qz {

// The setting that byte c of row r holds when the image belongs to model m (0..4):
// "场景1 开关通道3", "灯光全开 调光2", "排风1", "排风1 上电", "阀开", "工作模式", "DMX地址 高字节",
// "调光级别3", "开机场景", ... Empty for a place outside the image. A model outside 0..4 names
// scene bytes by their channel number alone ("场景1 通道5"), since the split is unknown.
[[nodiscard]] std::string settingName(int row, int column, int model);

}  // namespace qz

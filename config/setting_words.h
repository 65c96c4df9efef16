#pragma once
// A setting that differs between two images, in the words of the window's captions and lists:
// "场景3 开关通道2: 控制器 关, 编辑中 开". The window, qzctl compare and qzctl diff share them, so
// that 13 in the power-on scene reads "灯光全关" and not a code.

#include <string>
#include <string_view>
#include <vector>

#include "config/image.h"

namespace qz {

// What the two sides are called and what an unset DMX512 address is called, in the language
// of the front end: {"控制器", "编辑中", "未设置"} in the window, {"controller", "file", "not set"}
// in qzctl.
struct DifferenceSides {
  std::string_view left;
  std::string_view right;
  std::string_view notSet;
};

// The name the DMX512 address differs under: one value in two bytes.
inline constexpr std::string_view kDmxAddressSetting = "DMX512地址";

// Byte c of row r as the window shows it for model m: "开"/"关" for a switch channel, the level
// for a dimming channel, "关闭"/"通道8" for a fan or air-conditioner channel, "打开"/"关闭" for a
// power-on state, "LINK模式", "切换", "场景1".."静音" for the power-on scene, the output value
// of a level. (17, kDmxHigh) stands for the whole DMX512 address, `value` being 0..501. A value
// no list offers is "? (n)".
[[nodiscard]] std::string settingValueWords(int row, int column, int model, int value,
                                            std::string_view notSet);

// "场景3 开关通道2: 控制器 关, 编辑中 开" for byte c of row r. The DMX512 address is named once,
// at (17, kDmxHigh), with the whole addresses as values.
[[nodiscard]] std::string differenceWords(int row, int column, int model, int left, int right,
                                          const DifferenceSides& sides);

// Every difference between two whole images in those words, in row order; the DMX512 address
// as one. Empty when the images are equal.
[[nodiscard]] std::vector<std::string> imageDifferenceWords(const ConfigImage& left,
                                                            const ConfigImage& right, int model,
                                                            const DifferenceSides& sides);

}  // namespace qz

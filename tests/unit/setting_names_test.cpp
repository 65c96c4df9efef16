#include <gtest/gtest.h>

#include "config/setting_names.h"

namespace qz {
namespace {

TEST(SettingNames, SceneBytesFollowTheModelsSplitGlobalBytesTheirCaptions) {
  // QZ-0804: bytes 0..7 switch channels 1..8, bytes 8..11 dimming channels 1..4.
  EXPECT_EQ(settingName(0, 2, 2), "场景1 开关通道3");
  EXPECT_EQ(settingName(0, 7, 2), "场景1 开关通道8");
  EXPECT_EQ(settingName(0, 8, 2), "场景1 调光1");
  EXPECT_EQ(settingName(14, 11, 2), "灯光全开 调光4");
  // The same byte read by QZ-0408 (4 switches) and QZ-1200 (no dimming channels).
  EXPECT_EQ(settingName(12, 4, 0), "场景13 调光1");
  EXPECT_EQ(settingName(16, 11, 4), "静音 开关通道12");
  // A model that names nothing: channel numbers alone.
  EXPECT_EQ(settingName(3, 5, -1), "场景4 通道6");
  EXPECT_EQ(settingName(3, 5, 5), "场景4 通道6");

  EXPECT_EQ(settingName(17, 0, 2), "排风1");
  EXPECT_EQ(settingName(17, 1, 2), "排风1 上电");
  EXPECT_EQ(settingName(17, 3, 2), "排风2 上电");
  EXPECT_EQ(settingName(17, 4, 2), "阀开");
  EXPECT_EQ(settingName(17, 8, 2), "低风");
  EXPECT_EQ(settingName(17, 9, 2), "工作模式");
  EXPECT_EQ(settingName(17, 10, 2), "DMX地址 高字节");
  EXPECT_EQ(settingName(17, 11, 2), "DMX地址 低字节");
  EXPECT_EQ(settingName(18, 0, 2), "场景模式");
  EXPECT_EQ(settingName(18, 1, 2), "调光级别0");
  EXPECT_EQ(settingName(18, 4, 2), "调光级别3");
  EXPECT_EQ(settingName(18, 10, 2), "调光级别9");
  EXPECT_EQ(settingName(18, 11, 2), "开机场景");

  EXPECT_EQ(settingName(19, 0, 2), "");
  EXPECT_EQ(settingName(-1, 0, 2), "");
  EXPECT_EQ(settingName(0, 12, 2), "");
}

}  // namespace
}  // namespace qz

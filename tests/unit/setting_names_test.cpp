#include <gtest/gtest.h>

#include "config/setting_names.h"
#include "config/setting_words.h"

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

TEST(SettingWords, ADifferenceReadsAsTheWindowShowsBothValues) {
  const DifferenceSides window{"控制器", "编辑中", "未设置"};
  struct Case {
    int row, column, model, left, right;
    const char* words;
  };
  for (const Case& c : std::initializer_list<Case>{
           {2, 1, 2, 0, 1, "场景3 开关通道2: 控制器 关, 编辑中 开"},
           {2, 1, 2, 7, 1, "场景3 开关通道2: 控制器 ? (7), 编辑中 开"},
           {2, 9, 2, 3, 12, "场景3 调光2: 控制器 3, 编辑中 ? (12)"},
           {2, 9, -1, 3, 12, "场景3 通道10: 控制器 3, 编辑中 12"},
           {18, 11, 2, 0, 13, "开机场景: 控制器 场景1, 编辑中 灯光全关"},
           {18, 11, 2, 17, 16, "开机场景: 控制器 ? (17), 编辑中 静音"},
           {17, 0, 2, 0, 8, "排风1: 控制器 关闭, 编辑中 通道8"},
           {17, 1, 2, 1, 0, "排风1 上电: 控制器 打开, 编辑中 关闭"},
           {17, 9, 2, 1, 0, "工作模式: 控制器 DMX512模式, 编辑中 LINK模式"},
           {17, 10, 2, 0, 300, "DMX512地址: 控制器 未设置, 编辑中 300"},
           {17, 10, 2, 600, 1, "DMX512地址: 控制器 ? (600), 编辑中 1"},
           {18, 0, 2, 1, 0, "场景模式: 控制器 叠加, 编辑中 切换"},
           {18, 4, 2, 74, 70, "调光级别3: 控制器 74, 编辑中 70"},
       }) {
    EXPECT_EQ(differenceWords(c.row, c.column, c.model, c.left, c.right, window), c.words);
  }
  ConfigImage a;
  ConfigImage b;
  EXPECT_TRUE(imageDifferenceWords(a, b, 2, window).empty());
  b(2, 1) = 1;
  b(17, 10) = 1;  // the DMX512 address 256: one difference, not two
  EXPECT_EQ(imageDifferenceWords(a, b, 2, {"controller", "file", "not set"}),
            (std::vector<std::string>{"场景3 开关通道2: controller 关, file 开",
                                      "DMX512地址: controller not set, file 256"}));
}

}  // namespace
}  // namespace qz

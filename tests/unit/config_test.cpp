#include <gtest/gtest.h>

#include "config/assignment.h"
#include "config/frames.h"
#include "config/settings.h"

namespace qz {
namespace {

using Bytes = std::vector<std::uint8_t>;

template <std::size_t N>
Bytes bytes(const std::array<std::uint8_t, N>& a) {
  return {a.begin(), a.end()};
}

// Every scene row holds switch bytes 1, 0, 1, 0, ... and levels 0..9 repeating, so each split
// of the twelve bytes shows in the preview.
ConfigImage mixedImage() {
  ConfigImage image;
  for (int c = 0; c < kRowBytes; ++c) image(5, c) = static_cast<std::uint8_t>(c % 2 == 0 ? 1 : 0);
  return image;
}

TEST(ScenePreview, SwitchBytesAsStoredLevelsThroughTheTable) {
  ConfigImage image;
  const Row row = {1, 0, 1, 0, 0, 1, 0, 9, 3, 3, 5, 1};
  image.rows[2] = row;
  EXPECT_EQ(bytes(scenePreviewFrame(image, 2, 1, kDefaultLevelTable)),
            (Bytes{0xD1, 0xD1, 0x01, 0x00, 0x01, 0x00, 0x00, 0x01, 0x00, 0xFA, 0x46, 0x46, 0x82,
                   0x14, 0x55}));

  // The same row read by each model: S bytes unchanged, the rest as output values.
  const std::vector<Bytes> perModel = {
      {0xD1, 0xD1, 1, 0, 1, 0, 0, 20, 0, 250, 70, 70, 130, 20, 0x55},
      {0xD1, 0xD1, 1, 0, 1, 0, 0, 1, 0, 250, 70, 70, 130, 20, 0x55},
      {0xD1, 0xD1, 1, 0, 1, 0, 0, 1, 0, 9, 70, 70, 130, 20, 0x55},
      {0xD1, 0xD1, 1, 0, 1, 0, 0, 1, 0, 9, 3, 3, 130, 20, 0x55},
      {0xD1, 0xD1, 1, 0, 1, 0, 0, 1, 0, 9, 3, 3, 5, 1, 0x55},
  };
  for (int m = 0; m < kModels; ++m) {
    EXPECT_EQ(bytes(scenePreviewFrame(image, 2, m, kDefaultLevelTable)),
              perModel[static_cast<std::size_t>(m)])
        << m;
  }
  // A model the tool does not know sends a dark scene.
  EXPECT_EQ(bytes(scenePreviewFrame(image, 2, 5, kDefaultLevelTable)),
            (Bytes{0xD1, 0xD1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x55}));

  // Another level table gives other output values.
  LevelTable table = kDefaultLevelTable;
  table[9] = 255;
  EXPECT_EQ(scenePreviewFrame(image, 2, 1, table)[9], 255);
}

TEST(ScenePreview, LevelsAboveNineGoOutDark) {
  ConfigImage image = mixedImage();
  image(5, 11) = 10;
  image(5, 10) = 255;
  image(5, 9) = 9;
  const RowFrame f = scenePreviewFrame(image, 5, 0, kDefaultLevelTable);
  EXPECT_EQ(f[11], 250);
  EXPECT_EQ(f[12], 0);
  EXPECT_EQ(f[13], 0);
  // As switch bytes of QZ-1200 they go out as stored.
  const RowFrame g = scenePreviewFrame(image, 5, 4, kDefaultLevelTable);
  EXPECT_EQ(g[12], 255);
  EXPECT_EQ(g[13], 10);
}

TEST(ShortFrames, TestAndUploadCommands) {
  EXPECT_EQ(bytes(switchTestFrame(3, false)), (Bytes{0xA0, 0x03, 0xD0, 0xAA, 0xFE, 0xFF}));
  EXPECT_EQ(bytes(switchTestFrame(12, true)), (Bytes{0xA0, 0x0C, 0xD1, 0xAA, 0xFE, 0xFF}));
  EXPECT_EQ(bytes(dimTestFrame(2, 250)), (Bytes{0xA1, 0x02, 0xFA, 0xAA, 0xFE, 0xFF}));
  EXPECT_EQ(bytes(uploadRequestFrame(18)), (Bytes{0xA2, 0x12, 0x12, 0xAA, 0xFE, 0xFF}));
}

TEST(DmxAddress, HighByteFirst) {
  EXPECT_EQ(dmxAddressBytes(1), std::make_pair(std::uint8_t{0}, std::uint8_t{1}));
  EXPECT_EQ(dmxAddressBytes(255), std::make_pair(std::uint8_t{0}, std::uint8_t{255}));
  EXPECT_EQ(dmxAddressBytes(256), std::make_pair(std::uint8_t{1}, std::uint8_t{0}));
  EXPECT_EQ(dmxAddressBytes(501), std::make_pair(std::uint8_t{1}, std::uint8_t{245}));

  ConfigImage image;
  EXPECT_EQ(dmxAddress(image), 0);  // no address
  image(17, 10) = 1;
  image(17, 11) = 245;
  EXPECT_EQ(dmxAddress(image), 501);
  image(17, 10) = 255;
  image(17, 11) = 255;
  EXPECT_EQ(dmxAddress(image), 65535);
}

TEST(DefaultScenePattern, DiagonalAndAllOnOnly) {
  ConfigImage image;
  for (auto& row : image.rows) row.fill(7);
  writeDefaultScenePattern(image, 4);
  for (int c = 0; c < kRowBytes; ++c) {
    EXPECT_EQ(image(c, c), 1) << c;
    EXPECT_EQ(image(14, c), 1) << c;
  }
  writeDefaultScenePattern(image, 0);
  for (int r = 0; r < kRows; ++r) {
    for (int c = 0; c < kRowBytes; ++c) {
      std::uint8_t expected = 7;
      if (r == c || r == 14) expected = c < 4 ? 1 : 9;
      EXPECT_EQ(image(r, c), expected) << r << "," << c;
    }
  }
  ConfigImage mid;
  writeDefaultScenePattern(mid, 2);
  EXPECT_EQ(mid.rows[14], (Row{1, 1, 1, 1, 1, 1, 1, 1, 9, 9, 9, 9}));
  EXPECT_EQ(mid(7, 7), 1);
  EXPECT_EQ(mid(8, 8), 9);
}

TEST(Names, ModelsAndSceneKeys) {
  EXPECT_EQ(modelName(0), "QZ-0408");
  EXPECT_EQ(modelName(3), "QZ-1002");
  EXPECT_EQ(modelName(4), "QZ-1200");
  EXPECT_EQ(modelName(5), "");
  EXPECT_EQ(modelName(-1), "");
  EXPECT_EQ(sceneKeyName(0), "场景1");
  EXPECT_EQ(sceneKeyName(12), "场景13");
  EXPECT_EQ(sceneKeyName(13), "灯光全关");
  EXPECT_EQ(sceneKeyName(14), "灯光全开");
  EXPECT_EQ(sceneKeyName(15), "暂停");
  EXPECT_EQ(sceneKeyName(16), "静音");
  EXPECT_EQ(sceneKeyName(17), "");
}

TEST(Assignment, DuplicatesAreFoundAmongChannelListsInOrder) {
  AssignmentSelection s{};  // everything on "关闭"
  for (int list = 0; list < kAssignmentLists; ++list) EXPECT_FALSE(duplicateOf(s, list)) << list;

  // Fan 1 and its power-on list both on item 1: power-on lists hold no channel.
  s = {1, 1, 0, 1, 0, 0, 0, 0, 0};
  EXPECT_FALSE(duplicateOf(s, 0));
  EXPECT_FALSE(duplicateOf(s, 1));
  EXPECT_FALSE(duplicateOf(s, 3));

  s = {3, 0, 0, 0, 3, 0, 0, 0, 0};
  EXPECT_EQ(duplicateOf(s, 4), 0);
  EXPECT_EQ(duplicateOf(s, 0), 4);

  // The first clash in the order 0, 2, 4..8 is reported.
  s = {0, 0, 5, 0, 0, 0, 5, 0, 5};
  EXPECT_EQ(duplicateOf(s, 8), 2);
  EXPECT_EQ(duplicateOf(s, 2), 6);

  // A list showing nothing names no channel.
  s = {-1, 0, -1, 0, 0, 0, 0, 0, 0};
  EXPECT_FALSE(duplicateOf(s, 0));
}

TEST(Assignment, AssignedChannels) {
  const AssignmentSelection s = {2, 1, 0, 3, 5, 0, -1, 0, 12};
  EXPECT_FALSE(channelAssigned(s, 1));  // only a power-on list says 1
  EXPECT_TRUE(channelAssigned(s, 2));
  EXPECT_FALSE(channelAssigned(s, 3));  // the power-on list of fan 2
  EXPECT_FALSE(channelAssigned(s, 4));
  EXPECT_TRUE(channelAssigned(s, 5));
  EXPECT_TRUE(channelAssigned(s, 12));
  EXPECT_FALSE(channelAssigned(s, 0));
  EXPECT_FALSE(channelAssigned(s, -1));
}

TEST(Assignment, MessagesAndItems) {
  EXPECT_EQ(duplicateMessage(0), "与“排风1”通道定义重复");
  EXPECT_EQ(duplicateMessage(2), "与“排风2”通道定义重复");
  EXPECT_EQ(duplicateMessage(4), "与“阀开”通道定义重复");
  EXPECT_EQ(duplicateMessage(5), "与“阀关”通道定义重复");
  EXPECT_EQ(duplicateMessage(6), "与“高风”通道定义重复");
  EXPECT_EQ(duplicateMessage(7), "与“中风”通道定义重复");
  EXPECT_EQ(duplicateMessage(8), "与“低风”通道定义重复");
  EXPECT_EQ(duplicateMessage(1), "");
  EXPECT_EQ(duplicateMessage(3), "");
  EXPECT_EQ(duplicateMessage(9), "");

  EXPECT_EQ(fanChannelItems(0),
            (std::vector<std::string>{"关闭", "通道1", "通道2", "通道3", "通道4"}));
  const auto all = fanChannelItems(4);
  ASSERT_EQ(all.size(), 13U);
  EXPECT_EQ(all.back(), "通道12");
  EXPECT_EQ(channelItem(10), "通道10");
  EXPECT_EQ(powerOnItems(), (std::vector<std::string>{"关闭", "打开"}));
}

TEST(Assignment, OnlyQz0408HasNoAirConditioner) {
  EXPECT_FALSE(hasAirConditioner(0));
  for (int model = 1; model < kModels; ++model) EXPECT_TRUE(hasAirConditioner(model)) << model;
  for (int list = 4; list <= 8; ++list) {
    EXPECT_EQ(assignmentItemCount(list, 0), 1) << list;  // "关闭" only
    EXPECT_EQ(assignmentItemCount(list, 1), 7) << list;
    EXPECT_EQ(assignmentItemCount(list, 4), 13) << list;
  }
  EXPECT_EQ(assignmentItemCount(0, 0), 5);
  EXPECT_EQ(assignmentItemCount(1, 0), 2);
  EXPECT_EQ(assignmentItemCount(3, 4), 2);
}

TEST(Assignment, AStoredByteTheModelCannotHaveShowsOff) {
  // Fan channels: up to S on every model.
  EXPECT_EQ(shownAssignment(0, 0, 4), 4);
  EXPECT_EQ(shownAssignment(0, 0, 5), 0);
  EXPECT_EQ(shownAssignment(2, 4, 12), 12);
  EXPECT_EQ(shownAssignment(2, 4, 13), 0);
  EXPECT_EQ(shownAssignment(2, 3, 11), 0);
  // Air conditioner: nothing but "关闭" on QZ-0408, up to S elsewhere.
  for (int list = 4; list <= 8; ++list) {
    EXPECT_EQ(shownAssignment(list, 0, 1), 0) << list;
    EXPECT_EQ(shownAssignment(list, 1, 6), 6) << list;
    EXPECT_EQ(shownAssignment(list, 1, 7), 0) << list;
  }
  // Power-on states: off or on, whatever the model.
  for (int model = 0; model < kModels; ++model) {
    EXPECT_EQ(shownAssignment(1, model, 1), 1);
    EXPECT_EQ(shownAssignment(3, model, 2), 0);
    EXPECT_EQ(shownAssignment(3, model, 255), 0);
  }
  EXPECT_EQ(shownAssignment(0, 2, 0), 0);
}

TEST(Editor, SwitchBytesAreOffOnOrNeither) {
  EXPECT_EQ(switchShown(0), SwitchShown::Off);
  EXPECT_EQ(switchShown(1), SwitchShown::On);
  EXPECT_EQ(switchShown(2), SwitchShown::Neither);
  EXPECT_EQ(switchShown(9), SwitchShown::Neither);
  EXPECT_EQ(switchShown(255), SwitchShown::Neither);
}

TEST(Editor, OnlyTheExactPasswordIsAccepted) {
  EXPECT_TRUE(passwordAccepted("kestrel2019"));
  for (const char* wrong : {"", "Kestrel2019", "KESTREL2019", " kestrel2019", "kestrel2019 ",
                            "kestrel201", "kestrel20199", "kestrel2019\n"}) {
    EXPECT_FALSE(passwordAccepted(wrong)) << "\"" << wrong << "\"";
  }
  EXPECT_FALSE(passwordAccepted(std::string_view("kestrel2019\0", 12)));
}

}  // namespace
}  // namespace qz

#include "config/assignment.h"

#include <algorithm>

#include "config/image.h"

namespace qz {

bool isChannelList(int list) {
  return std::find(kChannelLists.begin(), kChannelLists.end(), list) != kChannelLists.end();
}

std::optional<int> duplicateOf(const AssignmentSelection& selection, int list) {
  if (!isChannelList(list)) return std::nullopt;
  const int channel = selection[static_cast<std::size_t>(list)];
  if (channel <= 0) return std::nullopt;
  for (const int other : kChannelLists) {
    if (other != list && selection[static_cast<std::size_t>(other)] == channel) return other;
  }
  return std::nullopt;
}

bool channelAssigned(const AssignmentSelection& selection, int channel) {
  if (channel <= 0) return false;
  return std::any_of(kChannelLists.begin(), kChannelLists.end(), [&](int list) {
    return selection[static_cast<std::size_t>(list)] == channel;
  });
}

bool hasAirConditioner(int model) {
  return model > 0 && model < kModels;
}

int assignmentItemCount(int list, int model) {
  if (list < 0 || list >= kAssignmentLists || model < 0 || model >= kModels) return 0;
  if (!isChannelList(list)) return 2;
  if (!hasAirConditioner(model) && list >= kFirstAirConditionerList) return 1;
  return switchCount(model) + 1;
}

std::uint8_t shownAssignment(int list, int model, std::uint8_t value) {
  return value < assignmentItemCount(list, model) ? value : 0;
}

std::string_view duplicateMessage(int otherList) {
  switch (otherList) {
    case 0:
      return "与“排风1”通道定义重复";
    case 2:
      return "与“排风2”通道定义重复";
    case 4:
      return "与“阀开”通道定义重复";
    case 5:
      return "与“阀关”通道定义重复";
    case 6:
      return "与“高风”通道定义重复";
    case 7:
      return "与“中风”通道定义重复";
    case 8:
      return "与“低风”通道定义重复";
    default:
      return {};
  }
}

std::vector<std::string> powerOnItems() {
  return {std::string(kNoChannelItem), "打开"};
}

std::string channelItem(int channel) {
  return "通道" + std::to_string(channel);
}

std::vector<std::string> fanChannelItems(int model) {
  std::vector<std::string> items{std::string(kNoChannelItem)};
  for (int ch = 1; ch <= switchCount(model); ++ch) items.push_back(channelItem(ch));
  return items;
}

}  // namespace qz

#pragma once
// Which switch channel drives which fan function: the nine assignment lists whose selections
// are bytes 0..8 of row 17. Item 0 of every list is "关闭"; in a channel list item n is switch
// channel n, in a power-on list item 1 is "打开".

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qz {

inline constexpr int kAssignmentLists = 9;
// The lists that name a channel, in the order the duplicate check visits them. Lists 1 and 3
// hold the power-on state of a fan and never take part.
inline constexpr std::array<int, 7> kChannelLists = {0, 2, 4, 5, 6, 7, 8};
// Lists 4..8 belong to the ducted air conditioner, which QZ-0408 cannot drive.
inline constexpr int kFirstAirConditionerList = 4;
inline constexpr int kLastAirConditionerList = 8;

// The item each list shows; -1 for a list that shows nothing.
using AssignmentSelection = std::array<int, kAssignmentLists>;

[[nodiscard]] bool isChannelList(int list);

// The first other channel list that already names the channel list `list` names, if any. A list
// on "关闭" (or showing nothing) names no channel and never clashes.
[[nodiscard]] std::optional<int> duplicateOf(const AssignmentSelection& selection, int list);

// Whether some channel list names switch channel `channel` (1..12); such a channel is taken
// away from the scene editor.
[[nodiscard]] bool channelAssigned(const AssignmentSelection& selection, int channel);

// What the prompt says when a choice clashes with channel list `otherList`; empty for a list
// that names no channel.
[[nodiscard]] std::string_view duplicateMessage(int otherList);

// Whether model m drives a ducted air conditioner; QZ-0408 has too few switch channels.
[[nodiscard]] bool hasAirConditioner(int model);

// How many items list `list` offers on model m: a channel list "关闭" and the S channels (the
// air-conditioner lists only "关闭" on QZ-0408, which drives no air conditioner), a power-on
// list "关闭" and "打开".
[[nodiscard]] int assignmentItemCount(int list, int model);

// The item list `list` shows on model m for the stored byte `value`: the byte itself when the
// list offers that item. A byte the model cannot have (a channel above S, an air-conditioner
// channel on QZ-0408, a power-on state above 1) shows "关闭", and the byte becomes 0 with it, so
// that an assignment can neither hide from the user nor share a channel unnoticed.
[[nodiscard]] std::uint8_t shownAssignment(int list, int model, std::uint8_t value);

// "关闭", the one item an unassigned list offers.
inline constexpr std::string_view kNoChannelItem = "关闭";
// The two items of a power-on list.
[[nodiscard]] std::vector<std::string> powerOnItems();
// "通道n".
[[nodiscard]] std::string channelItem(int channel);
// The items of an exhaust-fan channel list for model m: "关闭", "通道1".."通道S".
[[nodiscard]] std::vector<std::string> fanChannelItems(int model);

}  // namespace qz

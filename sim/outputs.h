#pragma once
// What the controller's twelve outputs show, and what moves them: a frame from the tool, a key
// on the controller's front, or power coming on. One rule for qzsim's answers, its log and the
// view of the lamps.

#include <array>
#include <cstdint>
#include <string>
#include <variant>

#include "config/image.h"
#include "sim/frame_reader.h"

namespace qz::sim {

// Switch channels as the tool sent them (0 off, any other value on); dimming channels their
// output value 0..255, the level already turned into a value through the level table.
using Outputs = std::array<std::uint8_t, kRowBytes>;

// What a switch channel serves: a lamp, or one of the fan and air-conditioner functions that
// row 17 assigns it. Dimming channels always drive lamps.
enum class ChannelUse : std::uint8_t {
  Lamp,
  Fan1,
  Fan2,
  ValveOpen,
  ValveClose,
  FanHigh,
  FanMedium,
  FanLow,
};

using ChannelUses = std::array<ChannelUse, kRowBytes>;

// The use of each channel of the model: row 17's channel numbers 1..S, later functions
// winning over earlier ones on a shared channel. QZ-0408 has no air conditioner; numbers beyond
// the model's switch channels assign nothing.
[[nodiscard]] ChannelUses channelUses(const ConfigImage& image, int model);

// "排风1", "排风2", "阀开", "阀关", "高风", "中风", "低风"; empty for a lamp.
[[nodiscard]] std::string_view channelUseName(ChannelUse use);

// A key on the controller's front: the image row it plays, 0..16 ("场景1".."静音").
struct KeyPress {
  int row = 0;
};
// The controller powers on (or restarts).
struct PowerOn {};

using Stimulus = std::variant<Frame, KeyPress, PowerOn>;

// The outputs after `stimulus`, from the outputs `now` and the image the controller stores.
//  - A scene preview sets every lamp channel to the byte sent; a switch or dimming channel
//    test sets its one channel. A channel outside the model, or an on/off byte that is
//    neither, changes nothing.
//  - A key plays its row of the stored image as a preview of that row would show it (levels
//    through the stored level table, a level above 9 dark). Scene keys 1..13 of an image in
//    overlay scene mode add to what is lit: a switch stays on, a dimming channel keeps the
//    brighter value. 灯光全关, 灯光全开, 暂停 and 静音 always replace.
//  - Power-on starts dark, plays the power-on scene (none when the stored number names no key),
//    turns each exhaust fan on or off as its power-on state says and leaves the air
//    conditioner off.
//  - Channels that serve a fan or the air conditioner follow only power-on: scenes, tests and
//    keys leave them as they are.
// Any other frame changes nothing; a model outside 0..4 has no outputs (all 0).
[[nodiscard]] Outputs drive(const ConfigImage& image, int model, const Outputs& now,
                            const Stimulus& stimulus);

// One short line for the log: switch channels 1/0 (a fan or air-conditioner channel named with
// its function), then the dimming values: "outputs 1 0 1 0 排风1=0 1 | 0 250 70 70 130 20".
[[nodiscard]] std::string outputsText(const ConfigImage& image, int model, const Outputs& outputs);

}  // namespace qz::sim

#include "sim/outputs.h"

#include <algorithm>

#include "config/frames.h"
#include "protocol/frames.h"

namespace qz::sim {

namespace {

namespace f = qz::frames;

bool validModel(int model) {
  return model >= 0 && model < kModels;
}

LevelTable storedLevels(const ConfigImage& image) {
  LevelTable levels{};
  for (int i = 0; i < kLevels; ++i) {
    levels[static_cast<std::size_t>(i)] = image(row18::kRow, row18::kFirstLevel + i);
  }
  return levels;
}

// The scene of `row` on the lamp channels, over `now`.
Outputs playRow(const ConfigImage& image, int model, const Outputs& now, int row, bool overlay) {
  const RowFrame scene = scenePreviewFrame(image, row, model, storedLevels(image));
  const ChannelUses uses = channelUses(image, model);
  Outputs out = now;
  for (std::size_t i = 0; i < out.size(); ++i) {
    if (uses[i] != ChannelUse::Lamp) continue;
    const std::uint8_t v = scene[i + 2];
    out[i] = overlay ? std::max(now[i], v) : v;
  }
  return out;
}

Outputs takeFrame(const ConfigImage& image, int model, const Outputs& now, const Frame& frame) {
  const ChannelUses uses = channelUses(image, model);
  const int s = switchCount(model);
  const auto& p = frame.bytes;
  Outputs out = now;
  auto lamp = [&](int c) {
    return c >= 0 && c < kRowBytes && uses[static_cast<std::size_t>(c)] == ChannelUse::Lamp;
  };
  switch (frame.kind) {
    case FrameKind::ScenePreview:
      if (p.size() != f::kRowFrameLength) break;
      for (int c = 0; c < kRowBytes; ++c) {
        if (lamp(c)) out[static_cast<std::size_t>(c)] = p[static_cast<std::size_t>(c) + 2];
      }
      break;
    case FrameKind::SwitchTest: {
      if (p.size() != f::kShortLength) break;
      const int c = p[1] - 1;
      if (c < s && lamp(c) && (p[2] == f::kSwitchOn || p[2] == f::kSwitchOff)) {
        out[static_cast<std::size_t>(c)] = p[2] == f::kSwitchOn ? 1 : 0;
      }
      break;
    }
    case FrameKind::DimTest: {
      if (p.size() != f::kShortLength) break;
      const int c = s + p[1] - 1;
      if (p[1] >= 1 && lamp(c)) out[static_cast<std::size_t>(c)] = p[2];
      break;
    }
    default:
      break;
  }
  return out;
}

Outputs powerOn(const ConfigImage& image, int model) {
  const int scene = image(row18::kRow, row18::kPowerOnScene);
  Outputs out = scene < kSceneKeys ? playRow(image, model, {}, scene, false) : Outputs{};
  const ChannelUses uses = channelUses(image, model);
  for (int c = 0; c < switchCount(model); ++c) {
    const auto i = static_cast<std::size_t>(c);
    if (uses[i] == ChannelUse::Fan1) out[i] = image(row17::kRow, row17::kFan1PowerOn) == 1;
    if (uses[i] == ChannelUse::Fan2) out[i] = image(row17::kRow, row17::kFan2PowerOn) == 1;
  }
  return out;
}

}  // namespace

ChannelUses channelUses(const ConfigImage& image, int model) {
  ChannelUses uses{};
  uses.fill(ChannelUse::Lamp);
  if (!validModel(model)) return uses;
  struct Assignment {
    int byte;
    ChannelUse use;
  };
  constexpr Assignment kAssignments[] = {
      {row17::kFan1, ChannelUse::Fan1},           {row17::kFan2, ChannelUse::Fan2},
      {row17::kValveOpen, ChannelUse::ValveOpen}, {row17::kValveClose, ChannelUse::ValveClose},
      {row17::kFanHigh, ChannelUse::FanHigh},     {row17::kFanMedium, ChannelUse::FanMedium},
      {row17::kFanLow, ChannelUse::FanLow}};
  const int s = switchCount(model);
  for (const Assignment& a : kAssignments) {
    const bool airConditioner = a.byte >= row17::kValveOpen;
    if (airConditioner && model == 0) continue;
    const int channel = image(row17::kRow, a.byte);
    if (channel >= 1 && channel <= s) uses[static_cast<std::size_t>(channel - 1)] = a.use;
  }
  return uses;
}

std::string_view channelUseName(ChannelUse use) {
  switch (use) {
    case ChannelUse::Lamp:
      return {};
    case ChannelUse::Fan1:
      return "排风1";
    case ChannelUse::Fan2:
      return "排风2";
    case ChannelUse::ValveOpen:
      return "阀开";
    case ChannelUse::ValveClose:
      return "阀关";
    case ChannelUse::FanHigh:
      return "高风";
    case ChannelUse::FanMedium:
      return "中风";
    case ChannelUse::FanLow:
      return "低风";
  }
  return {};
}

Outputs drive(const ConfigImage& image, int model, const Outputs& now, const Stimulus& stimulus) {
  if (!validModel(model)) return {};
  if (const auto* frame = std::get_if<Frame>(&stimulus)) {
    return takeFrame(image, model, now, *frame);
  }
  if (const auto* key = std::get_if<KeyPress>(&stimulus)) {
    if (key->row < 0 || key->row >= kSceneKeys) return now;
    constexpr int kLastScene = 12;  // 场景13; the four keys after it always replace
    const bool overlay = image(row18::kRow, row18::kSceneMode) == 1 && key->row <= kLastScene;
    return playRow(image, model, now, key->row, overlay);
  }
  return powerOn(image, model);
}

std::string outputsText(const ConfigImage& image, int model, const Outputs& outputs) {
  if (!validModel(model)) return "outputs none";
  const ChannelUses uses = channelUses(image, model);
  const int s = switchCount(model);
  std::string text = "outputs";
  for (int c = 0; c < kRowBytes; ++c) {
    const auto i = static_cast<std::size_t>(c);
    text += c == s ? " | " : " ";
    if (uses[i] != ChannelUse::Lamp) text.append(channelUseName(uses[i])).append("=");
    text += std::to_string(c < s ? int{outputs[i] != 0} : int{outputs[i]});
  }
  return text;
}

}  // namespace qz::sim

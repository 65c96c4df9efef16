// What the controller's outputs show after each frame, key and power-on: one table over every
// model, both kinds of preview and each key.

#include <gtest/gtest.h>

#include <tuple>

#include "config/frames.h"
#include "config/settings.h"
#include "link/hex_text.h"
#include "sim/controller.h"
#include "sim/outputs.h"

namespace qz::sim {
namespace {

using Poke = std::tuple<int, int, std::uint8_t>;  // row, byte, value over the factory image

Frame frameOf(std::string_view hexText) {
  FrameReader reader(quietGapFor(9600));
  auto frames = reader.feed(hexTextBytes(hexText).value(), Clock::time_point{});
  return frames.size() == 1 ? frames.front() : Frame{};
}

struct Case {
  std::string what;
  int model;
  std::vector<Poke> pokes;
  Outputs now;
  Stimulus stimulus;
  Outputs expected;
};

constexpr Outputs kDark{};
constexpr Outputs kAllOn{1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};

std::vector<Case> cases() {
  const Frame preview0606 = frameOf("D1 D1 01 00 01 00 00 01 00 FA 46 46 82 14 55");
  const Outputs shown0606{1, 0, 1, 0, 0, 1, 0, 0xFA, 0x46, 0x46, 0x82, 0x14};
  std::vector<Case> t = {
      {"a preview sets every channel", 1, {}, kAllOn, preview0606, shown0606},
      {"switch test off",
       1,
       {},
       kAllOn,
       frameOf("A0 03 D0 AA FE FF"),
       {1, 1, 0, 1, 1, 1, 1, 1, 1, 1, 1, 1}},
      {"dimming test", 1, {}, kDark, frameOf("A1 02 FA AA FE FF"), {0, 0, 0, 0, 0, 0, 0, 0xFA}},
      {"no switch channel 7", 1, {}, kDark, frameOf("A0 07 D1 AA FE FF"), kDark},
      {"no dimming channel 7", 1, {}, kDark, frameOf("A1 07 FA AA FE FF"), kDark},
      {"neither on nor off", 1, {}, kDark, frameOf("A0 01 77 AA FE FF"), kDark},
      {"a handshake moves nothing",
       1,
       {},
       kAllOn,
       frameOf("A1 B2 C3 D4 E5 A1 AE 5E 4D 3C 2B 1A"),
       kAllOn},
      {"a fan channel keeps its state under a preview",
       1,
       {{17, 0, 2}},
       kDark,
       preview0606,
       {1, 0, 1, 0, 0, 1, 0, 0xFA, 0x46, 0x46, 0x82, 0x14}},
      {"a fan channel keeps its state under a test",
       1,
       {{17, 2, 2}},
       kAllOn,
       frameOf("A0 02 D0 AA FE FF"),
       kAllOn},
      {"the air conditioner keeps its channel",
       2,
       {{17, 6, 3}},
       kDark,
       frameOf("D1 D1 01 01 01 01 01 01 01 01 FA FA FA FA 55"),
       {1, 1, 0, 1, 1, 1, 1, 1, 0xFA, 0xFA, 0xFA, 0xFA}},
      {"QZ-0408 has no air conditioner",
       0,
       {{17, 4, 1}},
       kDark,
       frameOf("D1 D1 01 00 00 00 14 14 14 14 14 14 14 14 55"),
       {1, 0, 0, 0, 20, 20, 20, 20, 20, 20, 20, 20}},
      {"a key plays through the stored level table",
       3,
       {{18, 10, 0x7F}},
       kDark,
       KeyPress{11},
       {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x7F}},
      {"a stored level above 9 is dark",
       3,
       {{5, 10, 10}, {5, 11, 9}},
       kDark,
       KeyPress{5},
       {0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 250}},
      {"overlay adds a scene to what is lit",
       1,
       {{18, 0, 1}, {1, 7, 3}},
       shown0606,
       KeyPress{1},
       {1, 1, 1, 0, 0, 1, 0, 0xFA, 0x46, 0x46, 0x82, 0x14}},
      {"灯光全关 replaces also in overlay", 1, {{18, 0, 1}}, shown0606, KeyPress{13}, kDark},
      {"no key 18", 1, {}, shown0606, KeyPress{17}, shown0606},
      {"power-on: its scene, fans as set, air conditioner off",
       2,
       {{18, 11, 14}, {17, 0, 1}, {17, 1, 1}, {17, 2, 2}, {17, 3, 0}, {17, 4, 3}},
       kDark,
       PowerOn{},
       {1, 0, 0, 1, 1, 1, 1, 1, 250, 250, 250, 250}},
      {"power-on scene naming no key is dark",
       1,
       {{18, 11, 17}, {17, 0, 6}, {17, 1, 1}},
       kAllOn,
       PowerOn{},
       {0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0}},
      {"a model that is none has no outputs", 5, {}, kAllOn, KeyPress{14}, kDark},
  };
  // Every key of every model on the factory image, from all lit: scene k lights channel k
  // alone (switch on, dimming at level 9), 灯光全开 lights all, the others none.
  for (int m = 0; m < kModels; ++m) {
    Outputs all{};
    for (int c = 0; c < kRowBytes; ++c)
      all[static_cast<std::size_t>(c)] = c < switchCount(m) ? 1 : 250;
    for (int row = 0; row < kSceneKeys; ++row) {
      Outputs lit{};
      if (row < kRowBytes) lit[static_cast<std::size_t>(row)] = all[static_cast<std::size_t>(row)];
      if (row == 14) lit = all;
      t.push_back({std::string(modelName(m)) + " " + std::string(sceneKeyName(row)),
                   m,
                   {},
                   all,
                   KeyPress{row},
                   lit});
    }
    // The scene preview and the channel tests the editor sends.
    const RowFrame preview = scenePreviewFrame(defaultImage(m), 14, m, kDefaultLevelTable);
    t.push_back(
        {std::string(modelName(m)) + " preview", m, {}, kDark, frameOf(hexBytes(preview)), all});
    const int last = switchCount(m);
    Outputs one{};
    one[static_cast<std::size_t>(last - 1)] = 1;
    t.push_back({std::string(modelName(m)) + " last switch",
                 m,
                 {},
                 kDark,
                 frameOf(hexBytes(switchTestFrame(last, true))),
                 one});
    if (m < kModels - 1) {
      Outputs dim{};
      dim[kRowBytes - 1] = 99;
      t.push_back({std::string(modelName(m)) + " last dimmer",
                   m,
                   {},
                   kDark,
                   frameOf(hexBytes(dimTestFrame(dimCount(m), 99))),
                   dim});
    }
  }
  return t;
}

TEST(SimOutputs, FramesKeysAndPowerOnDriveTheOutputs) {
  for (const Case& c : cases()) {
    ConfigImage image = defaultImage(c.model);
    for (const auto& [r, b, v] : c.pokes) image(r, b) = v;
    EXPECT_EQ(drive(image, c.model, c.now, c.stimulus), c.expected) << c.what;
  }
}

}  // namespace
}  // namespace qz::sim

#pragma once
// The frames built from the image and the editor's actions.

#include <array>
#include <cstdint>

#include "config/image.h"

namespace qz {

using RowFrame = std::array<std::uint8_t, 15>;
using ShortFrame = std::array<std::uint8_t, 6>;
using CommandFrame = std::array<std::uint8_t, 12>;

// The whole scene of image row `row` as the controller must show it: switch bytes as stored,
// dimming bytes turned into output values through the level table. A level above 9 has no
// output value and goes out as 0 (dark) rather than as a guess. A model outside 0..4 sends
// all zeros.
[[nodiscard]] RowFrame scenePreviewFrame(const ConfigImage& image, int row, int model,
                                         const LevelTable& levels);

// Row r of the image for the controller to store.
[[nodiscard]] RowFrame downloadRowFrame(const ConfigImage& image, std::uint8_t row);

[[nodiscard]] ShortFrame shortFrame(std::uint8_t b1, std::uint8_t b2, std::uint8_t b3);
[[nodiscard]] ShortFrame switchTestFrame(int channel, bool on);
[[nodiscard]] ShortFrame dimTestFrame(int channel, std::uint8_t value);
[[nodiscard]] ShortFrame uploadRequestFrame(std::uint8_t row);

// The argument of the protocol and run-mode frame that goes with every download:
// 0x01 (1200 old protocol) or 0x02, plus 0x10 (switch mode) or 0x02 (overlay).
[[nodiscard]] std::uint8_t protocolAndRunModeArgument(bool oldProtocol, bool switchMode);
// The command frame 0xF6 carrying that argument.
[[nodiscard]] CommandFrame protocolAndRunModeFrame(std::uint8_t argument);

}  // namespace qz

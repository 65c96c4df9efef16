#include "config/frames.h"

#include <algorithm>

#include "protocol/frames.h"

namespace qz {

RowFrame scenePreviewFrame(const ConfigImage& image, int row, int model, const LevelTable& levels) {
  RowFrame f{};
  f[0] = 0xD1;
  f[1] = 0xD1;
  f[14] = 0x55;
  if (model < 0 || model >= kModels || row < 0 || row >= kRows) return f;
  const int s = switchCount(model);
  for (int c = 0; c < kRowBytes; ++c) {
    const std::uint8_t v = image(row, c);
    std::uint8_t out = v;
    if (c >= s) out = v < kLevels ? levels[v] : 0;
    f[static_cast<std::size_t>(c + 2)] = out;
  }
  return f;
}

RowFrame downloadRowFrame(const ConfigImage& image, std::uint8_t row) {
  RowFrame f{};
  f[0] = 0xD0;
  f[1] = row;
  if (row < kRows) {
    const auto& r = image.rows[row];
    std::copy(r.begin(), r.end(), f.begin() + 2);
  }
  f[14] = 0x55;
  return f;
}

ShortFrame shortFrame(std::uint8_t b1, std::uint8_t b2, std::uint8_t b3) {
  return {b1, b2, b3, 0xAA, 0xFE, 0xFF};
}

ShortFrame switchTestFrame(int channel, bool on) {
  return shortFrame(0xA0, static_cast<std::uint8_t>(channel), on ? 0xD1 : 0xD0);
}

ShortFrame dimTestFrame(int channel, std::uint8_t value) {
  return shortFrame(0xA1, static_cast<std::uint8_t>(channel), value);
}

ShortFrame uploadRequestFrame(std::uint8_t row) {
  return shortFrame(0xA2, row, row);
}

std::uint8_t protocolAndRunModeArgument(bool oldProtocol, bool switchMode) {
  return static_cast<std::uint8_t>((oldProtocol ? 0x01 : 0x02) + (switchMode ? 0x10 : 0x02));
}

CommandFrame protocolAndRunModeFrame(std::uint8_t argument) {
  CommandFrame f{};
  std::copy(std::begin(frames::kHead), std::end(frames::kHead), f.begin());
  f[5] = frames::kCmdProtocolAndRunMode;
  f[6] = argument;
  std::copy(std::begin(frames::kTail), std::end(frames::kTail), f.begin() + 7);
  return f;
}

}  // namespace qz

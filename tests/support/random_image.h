#pragma once
// Images an installer could have made with the editor, drawn at random from a seed: every value
// within its list, no switch channel serving two fan functions, no air conditioner on QZ-0408.

#include <algorithm>
#include <numeric>
#include <random>
#include <vector>

#include "config/image.h"

namespace qz::test {

class RandomImages {
 public:
  explicit RandomImages(unsigned seed) : rng_(seed) {}

  int pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng_); }

  ConfigImage image(int model) {
    ConfigImage im;
    const int s = switchCount(model);
    for (int r = 0; r < kSceneKeys; ++r) {
      for (int c = 0; c < kRowBytes; ++c) im(r, c) = byte(c < s ? pick(0, 1) : pick(0, 9));
    }
    // Fan 1, fan 2 and, where the model has one, the five air-conditioner functions: each on
    // "关闭" or on a channel of its own.
    std::vector<int> free(static_cast<std::size_t>(s));
    std::iota(free.begin(), free.end(), 1);
    std::shuffle(free.begin(), free.end(), rng_);
    const int functions[] = {row17::kFan1,       row17::kFan2,    row17::kValveOpen,
                             row17::kValveClose, row17::kFanHigh, row17::kFanMedium,
                             row17::kFanLow};
    for (const int k : functions) {
      const bool air = k >= row17::kValveOpen;
      if ((air && model == 0) || free.empty() || pick(0, 3) == 0) continue;
      im(row17::kRow, k) = byte(free.back());
      free.pop_back();
    }
    im(row17::kRow, row17::kFan1PowerOn) = byte(pick(0, 1));
    im(row17::kRow, row17::kFan2PowerOn) = byte(pick(0, 1));
    im(row17::kRow, row17::kWorkMode) = byte(pick(0, 1));
    const int address = pick(1, 501);
    im(row17::kRow, row17::kDmxHigh) = byte(address / 256);
    im(row17::kRow, row17::kDmxLow) = byte(address % 256);
    im(row18::kRow, row18::kSceneMode) = byte(pick(0, 1));
    for (int i = 0; i < kLevels; ++i) im(row18::kRow, row18::kFirstLevel + i) = byte(pick(0, 255));
    im(row18::kRow, row18::kPowerOnScene) = byte(pick(0, kSceneKeys - 1));
    return im;
  }

 private:
  static std::uint8_t byte(int v) { return static_cast<std::uint8_t>(v); }
  std::mt19937 rng_;
};

}  // namespace qz::test

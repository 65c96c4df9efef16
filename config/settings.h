#pragma once
// The editor's rules for the image that need no widget.

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "config/image.h"

namespace qz {

// "QZ-0408".."QZ-1200" for model 0..4; empty for an index that names no model.
[[nodiscard]] std::string_view modelName(int model);

// The caption of the scene key that owns image row `row` (0..16): "场景1".."场景13",
// "灯光全关", "灯光全开", "暂停", "静音". The power-on scene is stored as such a row. Empty for
// a row that is no scene key.
[[nodiscard]] std::string_view sceneKeyName(int row);

// Choosing model m writes its default scene pattern: scene c + 1 switches on its own channel
// (switch on, or dimming at level 9), and "灯光全开" (row 14) switches on every channel.
void writeDefaultScenePattern(ConfigImage& image, int model);

// The first DMX512 address a (1..501) as stored: high byte a / 256, low byte a % 256.
[[nodiscard]] std::pair<std::uint8_t, std::uint8_t> dmxAddressBytes(int address);
// The address the image holds (0 = none).
[[nodiscard]] int dmxAddress(const ConfigImage& image);

// A switch byte as a check box shows it: 0 off, 1 on; any other value (from a controller or a
// file) is neither, shown grayed and kept until the user chooses.
enum class SwitchShown { Off, On, Neither };
[[nodiscard]] SwitchShown switchShown(std::uint8_t value);

// Whether the entry opens the level table: the whole entry equals the service password, letter
// case included, nothing trimmed.
[[nodiscard]] bool passwordAccepted(std::string_view entry);

}  // namespace qz

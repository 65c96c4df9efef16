#include "ctl/listing.h"

#include <cstdio>

#include "config/setting_names.h"
#include "config/setting_words.h"
#include "config/settings.h"

namespace qz::ctl {

namespace {

std::string channelText(std::uint8_t v) {
  return v == 0 ? "关闭" : "通道" + std::to_string(v);
}

std::string onOffText(std::uint8_t v) {
  if (v == 0) return "关闭";
  if (v == 1) return "打开";
  return "? (" + std::to_string(v) + ")";
}

std::string padded(std::string text, std::size_t columns) {
  // Chinese characters take two columns on a terminal and three bytes in UTF-8.
  std::size_t width = 0;
  for (std::size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    const std::size_t len = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    width += len >= 3 ? 2 : 1;
    i += len;
  }
  if (width < columns) text.append(columns - width, ' ');
  return text;
}

bool isDmxAddress(const Difference& d) {
  return d.row == row17::kRow && d.column == row17::kDmxHigh;
}

}  // namespace

std::vector<Difference> differences(const ConfigImage& left, const ConfigImage& right,
                                    const RowsPresent& compared) {
  std::vector<Difference> out;
  for (int r = 0; r < kRows; ++r) {
    if (!compared[static_cast<std::size_t>(r)]) continue;
    for (int c = 0; c < kRowBytes; ++c) {
      // The DMX512 address is one value in two bytes.
      if (r == row17::kRow && c == row17::kDmxHigh) {
        if (dmxAddress(left) != dmxAddress(right)) {
          out.push_back({r, c, dmxAddress(left), dmxAddress(right)});
        }
        ++c;
        continue;
      }
      if (left(r, c) != right(r, c)) out.push_back({r, c, left(r, c), right(r, c)});
    }
  }
  return out;
}

std::string differenceName(const Difference& d, int model) {
  return isDmxAddress(d) ? std::string(kDmxAddressName) : settingName(d.row, d.column, model);
}

std::string differenceLine(const Difference& d, int model, std::string_view left,
                           std::string_view right) {
  return differenceWords(d.row, d.column, model, d.left, d.right, {left, right, "not set"});
}

std::string modelText(int model) {
  if (const std::string_view name = modelName(model); !name.empty()) return std::string(name);
  return model < 0 ? "no model" : "model " + std::to_string(model);
}

std::string missingRows(const RowsPresent& present) {
  std::string text;
  for (int r = 0; r < kRows; ++r) {
    if (!present[static_cast<std::size_t>(r)]) {
      text += (text.empty() ? "" : ", ") + std::to_string(r);
    }
  }
  return text;
}

std::vector<NamedSetting> namedSettings(const ConfigImage& image) {
  std::vector<NamedSetting> out;
  using namespace row17;
  int settingRow = kRow;
  auto setting = [&](std::string_view name, const std::string& value) {
    out.push_back({std::string(name), value, settingRow, std::nullopt});
  };
  setting("排风1",
          channelText(image(kRow, kFan1)) + ", 上电 " + onOffText(image(kRow, kFan1PowerOn)));
  setting("排风2",
          channelText(image(kRow, kFan2)) + ", 上电 " + onOffText(image(kRow, kFan2PowerOn)));
  setting("阀开", channelText(image(kRow, kValveOpen)));
  setting("阀关", channelText(image(kRow, kValveClose)));
  setting("高风", channelText(image(kRow, kFanHigh)));
  setting("中风", channelText(image(kRow, kFanMedium)));
  setting("低风", channelText(image(kRow, kFanLow)));
  const std::uint8_t mode = image(kRow, kWorkMode);
  setting("工作模式", mode == 0   ? "LINK模式"
                      : mode == 1 ? "DMX512模式"
                                  : "? (" + std::to_string(mode) + ")");
  const int address = dmxAddress(image);
  setting(kDmxAddressName, address == 0 ? "not set" : std::to_string(address));
  if (address != 0) out.back().number = address;
  settingRow = row18::kRow;
  const std::uint8_t sceneMode = image(row18::kRow, row18::kSceneMode);
  setting("场景模式", sceneMode == 0   ? "切换"
                      : sceneMode == 1 ? "叠加"
                                       : "? (" + std::to_string(sceneMode) + ")");
  std::string levels;
  for (int i = 0; i < kLevels; ++i) {
    levels += (i > 0 ? "  " : "") + std::to_string(i) + ":" +
              std::to_string(image(row18::kRow, row18::kFirstLevel + i));
  }
  setting("调光级别", levels);
  const std::uint8_t power = image(row18::kRow, row18::kPowerOnScene);
  const std::string_view key = sceneKeyName(power);
  setting("开机场景", key.empty() ? "? (" + std::to_string(power) + ")" : std::string(key));
  return out;
}

std::string showText(const ConfigImage& image, int model, const RowsPresent& present) {
  constexpr std::string_view kAbsent = "(not in the file)";
  auto has = [&](int row) { return present[static_cast<std::size_t>(row)]; };
  std::string out;
  const bool known = !modelName(model).empty();
  const int s = known ? switchCount(model) : kRowBytes;
  out += "机型 " + modelText(model);
  if (known) {
    out += " (" + std::to_string(s) + " switch channels, " + std::to_string(kRowBytes - s) +
           " dimming channels)";
  } else {
    out += " (scene bytes shown as they are, channels 1 to 12)";
  }
  out += "\n\n";

  out += padded("", 10) + padded("switches", 2 * static_cast<std::size_t>(s) + 2) +
         (kRowBytes - s > 0 ? "levels" : "") + "\n";
  for (int r = 0; r < kSceneKeys; ++r) {
    std::string line = padded(std::string(sceneKeyName(r)), 10);
    if (!has(r)) {
      out += line + std::string(kAbsent) + "\n";
      continue;
    }
    std::string switches;
    for (int c = 0; c < s; ++c) switches += std::to_string(image(r, c)) + " ";
    line += padded(switches, 2 * static_cast<std::size_t>(s) + 2);
    for (int c = s; c < kRowBytes; ++c) line += std::to_string(image(r, c)) + " ";
    while (!line.empty() && line.back() == ' ') line.pop_back();
    out += line + "\n";
  }
  out += "\n";

  for (const NamedSetting& n : namedSettings(image)) {
    out += padded(n.name, 16) + (has(n.row) ? n.value : std::string(kAbsent)) + "\n";
  }
  return out;
}

std::string printableVersion(std::span<const std::uint8_t> bytes) {
  while (!bytes.empty() && (bytes.back() == ' ' || bytes.back() == 0))
    bytes = bytes.first(bytes.size() - 1);
  std::string text;
  for (const std::uint8_t b : bytes) {
    if (b == '\\') {
      text += "\\\\";
    } else if (b >= 0x20 && b < 0x7F) {
      text += static_cast<char>(b);
    } else if (b >= 0xA0) {
      text += static_cast<char>(0xC0 | (b >> 6));
      text += static_cast<char>(0x80 | (b & 0x3F));
    } else {
      char escape[5];
      std::snprintf(escape, sizeof escape, "\\x%02X", b);
      text += escape;
    }
  }
  return text;
}

}  // namespace qz::ctl

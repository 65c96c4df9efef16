#include "config/param_file.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "config/settings.h"

namespace qz {

namespace {

using Bytes = std::span<const std::uint8_t>;

// "机型:" as the tool writes it (GBK) and as a Linux editor re-saves it (UTF-8).
constexpr std::array<std::uint8_t, 5> kModelTagGbk = {0xBB, 0xFA, 0xD0, 0xCD, 0x3A};
constexpr std::array<std::uint8_t, 7> kModelTagUtf8 = {0xE6, 0x9C, 0xBA, 0xE5, 0x9E, 0x8B, 0x3A};
constexpr std::array<std::uint8_t, 3> kByteOrderMark = {0xEF, 0xBB, 0xBF};

template <std::size_t N>
bool startsWith(Bytes text, const std::array<std::uint8_t, N>& prefix) {
  return text.size() >= N && std::equal(prefix.begin(), prefix.end(), text.begin());
}

bool isDigit(std::uint8_t b) {
  return b >= '0' && b <= '9';
}

bool isValidUtf8(Bytes text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const std::uint8_t b = text[i];
    std::size_t len = 0;
    if (b < 0x80) {
      len = 1;
    } else if (b >= 0xC2 && b <= 0xDF) {
      len = 2;
    } else if (b >= 0xE0 && b <= 0xEF) {
      len = 3;
    } else if (b >= 0xF0 && b <= 0xF4) {
      len = 4;
    } else {
      return false;
    }
    if (i + len > text.size()) return false;
    for (std::size_t k = 1; k < len; ++k) {
      if ((text[i + k] & 0xC0) != 0x80) return false;
    }
    i += len;
  }
  return true;
}

// A line cut into characters. Scene lines are ASCII, but a stray Chinese character in one
// still counts as one character, as it does for the text editor that put it there.
class Characters {
 public:
  Characters(Bytes line, bool utf8) {
    std::size_t i = 0;
    while (i < line.size()) {
      const std::size_t len = std::min(charLength(line, i, utf8), line.size() - i);
      chars_.push_back(line.subspan(i, len));
      i += len;
    }
  }

  [[nodiscard]] std::size_t size() const { return chars_.size(); }

  // Characters first..first+count-1 (0-based); empty beyond the end of the line.
  [[nodiscard]] std::vector<Bytes> piece(std::size_t first, std::size_t count) const {
    std::vector<Bytes> out;
    for (std::size_t k = first; k < first + count && k < chars_.size(); ++k) {
      out.push_back(chars_[k]);
    }
    return out;
  }

 private:
  static std::size_t charLength(Bytes line, std::size_t i, bool utf8) {
    const std::uint8_t b = line[i];
    if (b < 0x80) return 1;
    if (utf8) {
      if (b >= 0xF0) return 4;
      if (b >= 0xE0) return 3;
      if (b >= 0xC0) return 2;
      return 1;
    }
    // GBK: a lead byte and the trail byte after it.
    if (b >= 0x81 && b <= 0xFE && i + 1 < line.size()) return 2;
    return 1;
  }

  std::vector<Bytes> chars_;
};

bool isBlank(Bytes c) {
  return c.size() == 1 && (c[0] == ' ' || c[0] == '\t');
}

// A field of a scene line holds digits and blanks, nothing else.
bool onlyDigitsAndBlanks(const std::vector<Bytes>& piece) {
  return std::all_of(piece.begin(), piece.end(),
                     [](Bytes c) { return isBlank(c) || (c.size() == 1 && isDigit(c[0])); });
}

// Nothing but blanks from character `first` to the end of the line.
bool onlyBlanksFrom(const Characters& chars, std::size_t first) {
  const auto rest = chars.piece(first, chars.size() - std::min(first, chars.size()));
  return std::all_of(rest.begin(), rest.end(), isBlank);
}

// The decimal number a piece of text starts with, blanks ignored; 0 when it starts with no
// digit. Pieces are at most three characters, so the value stays small.
int numericValue(const std::vector<Bytes>& piece) {
  int value = 0;
  for (const Bytes c : piece) {
    if (isBlank(c)) continue;
    if (c.size() != 1 || !isDigit(c[0])) break;
    value = value * 10 + (c[0] - '0');
  }
  return value;
}

// The lines of a file: CR LF, LF alone or CR alone ends a line; a last line without an end
// counts as well.
std::vector<Bytes> splitLines(Bytes text) {
  std::vector<Bytes> lines;
  std::size_t start = 0;
  std::size_t i = 0;
  while (i < text.size()) {
    if (text[i] == '\r' || text[i] == '\n') {
      lines.push_back(text.subspan(start, i - start));
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      start = i + 1;
    }
    ++i;
  }
  if (start < text.size()) lines.push_back(text.subspan(start));
  return lines;
}

void appendText(std::vector<std::uint8_t>& out, std::string_view text) {
  out.insert(out.end(), text.begin(), text.end());
}

// `value` as exactly `width` decimal digits with leading zeros.
void appendDigits(std::vector<std::uint8_t>& out, int value, int width) {
  std::array<std::uint8_t, 3> digits{};
  for (int k = width - 1; k >= 0; --k) {
    digits[static_cast<std::size_t>(k)] = static_cast<std::uint8_t>('0' + value % 10);
    value /= 10;
  }
  out.insert(out.end(), digits.begin(), digits.begin() + width);
}

}  // namespace

ParamFileRead readParamFile(std::span<const std::uint8_t> bytes) {
  ParamFileRead read;
  Bytes text = bytes;
  const bool marked = startsWith(text, kByteOrderMark);
  if (marked) text = text.subspan(kByteOrderMark.size());
  const bool utf8 = marked || isValidUtf8(text);

  const std::vector<Bytes> lines = splitLines(text);
  for (std::size_t n = 0; n < lines.size(); ++n) {
    const Bytes line = lines[n];
    const int lineNumber = static_cast<int>(n) + 1;

    if (startsWith(line, kModelTagGbk) || startsWith(line, kModelTagUtf8)) {
      ++read.modelLines;
      // Only the line's last character counts: a digit names the model, anything else is 0.
      // In both encodings a byte 0x30..0x39 is never part of a wider character.
      const std::uint8_t last = line.back();
      const int m = isDigit(last) ? last - '0' : 0;
      if (m < kModels) {
        read.entries.push_back(
            {.kind = ParamFileEntry::Kind::Model, .line = lineNumber, .model = m});
      } else {
        read.ignoredModelLines.push_back(lineNumber);
      }
      continue;
    }

    if (line.size() >= 2 && line[0] == 'C' && line[1] == 'J') {
      ++read.sceneLines;
      const Characters chars(line, utf8);
      ParamFileEntry entry{.kind = ParamFileEntry::Kind::Scene, .line = lineNumber};
      // A line cut short, or a field with anything but digits and blanks, is no row: storing
      // what is left of it would pass a broken file off as a whole one.
      const auto rowField = chars.piece(2, 2);
      entry.row = numericValue(rowField);
      // A line longer than 40 characters has a digit too many somewhere, which shifts every
      // field behind it; only blanks may trail.
      bool fits = chars.size() >= kSceneLineLength && onlyBlanksFrom(chars, kSceneLineLength) &&
                  onlyDigitsAndBlanks(rowField) && entry.row < kRows;
      for (std::size_t c = 0; c < kRowBytes && fits; ++c) {
        const auto field = chars.piece(4 + 3 * c, 3);
        const int value = numericValue(field);
        fits = onlyDigitsAndBlanks(field) && value <= 255;
        entry.bytes[c] = static_cast<std::uint8_t>(value);
      }
      if (fits) {
        read.entries.push_back(entry);
      } else {
        read.skippedLines.push_back(lineNumber);
      }
    }
    // Any other line, an empty one included, says nothing.
  }
  return read;
}

int ParamFileRead::model() const {
  int m = -1;
  for (const ParamFileEntry& e : entries) {
    if (e.kind == ParamFileEntry::Kind::Model) m = e.model;
  }
  return m;
}

std::array<bool, kRows> ParamFileRead::rowsPresent() const {
  std::array<bool, kRows> present{};
  for (const ParamFileEntry& e : entries) {
    if (e.kind == ParamFileEntry::Kind::Scene) present[static_cast<std::size_t>(e.row)] = true;
  }
  return present;
}

bool ParamFileRead::hasAllRows() const {
  const auto present = rowsPresent();
  return std::all_of(present.begin(), present.end(), [](bool p) { return p; });
}

void ParamFileRead::applyTo(ConfigImage& image,
                            const std::function<void(int model)>& selectModel) const {
  // The model first, wherever its line stands: its default pattern must not overwrite the
  // rows the file itself holds.
  if (const int m = model(); m >= 0) selectModel(m);
  for (const ParamFileEntry& e : entries) {
    if (e.kind == ParamFileEntry::Kind::Scene)
      image.rows[static_cast<std::size_t>(e.row)] = e.bytes;
  }
}

void ParamFileRead::applyTo(ConfigImage& image, int& model) const {
  applyTo(image, [&](int m) {
    if (m == model) return;
    model = m;
    writeDefaultScenePattern(image, m);
  });
}

std::vector<std::uint8_t> writeParamFile(int model, const ConfigImage& image) {
  std::vector<std::uint8_t> out;
  out.reserve(kModelTagGbk.size() + 3 + kRows * 42);
  out.insert(out.end(), kModelTagGbk.begin(), kModelTagGbk.end());
  appendText(out, std::to_string(model));
  appendText(out, "\r\n");
  for (int r = 0; r < kRows; ++r) {
    appendText(out, "CJ");
    appendDigits(out, r, 2);
    for (int c = 0; c < kRowBytes; ++c) appendDigits(out, image(r, c), 3);
    appendText(out, "\r\n");
  }
  return out;
}

std::string lineList(std::span<const int> lines) {
  std::string text;
  for (const int n : lines) {
    if (!text.empty()) text += ", ";
    text += std::to_string(n);
  }
  return text;
}

}  // namespace qz

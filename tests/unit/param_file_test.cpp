#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <string_view>

#include "config/param_file.h"
#include "config/settings.h"

namespace qz {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes bytesOf(std::string_view text) {
  return {text.begin(), text.end()};
}

const std::string kGbkTag = "\xBB\xFA\xD0\xCD:";
const std::string kUtf8Tag = "\xE6\x9C\xBA\xE5\x9E\x8B:";  // "机型:"

ParamFileRead readText(const std::string& text) {
  const Bytes b = bytesOf(text);
  return readParamFile(b);
}

// An image as the editor makes it: the QZ-0804 defaults, then some edits in every row kind.
ConfigImage editedImage() {
  ConfigImage image;
  writeDefaultScenePattern(image, 2);
  image(3, 0) = 1;
  image(3, 9) = 7;
  image(13, 11) = 9;
  image(17, 0) = 3;
  image(17, 9) = 1;
  image(17, 10) = 1;
  image(17, 11) = 245;
  for (int k = 0; k < kLevels; ++k) {
    image(18, k + 1) = static_cast<std::uint8_t>(k == 9 ? 255 : k * 25);
  }
  image(18, 11) = 16;
  return image;
}

TEST(ParamFileWrite, ModelLineThenNineteenSceneLinesInGbkWithCrLf) {
  ConfigImage image;
  image(0, 0) = 1;
  image(3, 11) = 255;
  image(17, 5) = 9;
  image(18, 1) = 20;
  const Bytes file = writeParamFile(2, image);

  // 8 bytes of model line ("机型:" is five bytes in GBK), then 19 lines of 40 + 2.
  ASSERT_EQ(file.size(), 8u + 19u * 42u);
  EXPECT_EQ(Bytes(file.begin(), file.begin() + 8),
            (Bytes{0xBB, 0xFA, 0xD0, 0xCD, 0x3A, '2', '\r', '\n'}));

  const std::string text(file.begin() + 8, file.end());
  const std::string expected =
      "CJ00001000000000000000000000000000000000\r\n"
      "CJ01000000000000000000000000000000000000\r\n"
      "CJ02000000000000000000000000000000000000\r\n"
      "CJ03000000000000000000000000000000000255\r\n"
      "CJ04000000000000000000000000000000000000\r\n"
      "CJ05000000000000000000000000000000000000\r\n"
      "CJ06000000000000000000000000000000000000\r\n"
      "CJ07000000000000000000000000000000000000\r\n"
      "CJ08000000000000000000000000000000000000\r\n"
      "CJ09000000000000000000000000000000000000\r\n"
      "CJ10000000000000000000000000000000000000\r\n"
      "CJ11000000000000000000000000000000000000\r\n"
      "CJ12000000000000000000000000000000000000\r\n"
      "CJ13000000000000000000000000000000000000\r\n"
      "CJ14000000000000000000000000000000000000\r\n"
      "CJ15000000000000000000000000000000000000\r\n"
      "CJ16000000000000000000000000000000000000\r\n"
      "CJ17000000000000000009000000000000000000\r\n"
      "CJ18000020000000000000000000000000000000\r\n";
  EXPECT_EQ(text, expected);

  // 255, 9 and 0 as three digits each; the file ends with the last scene line's CR LF.
  ConfigImage edge;
  edge(5, 0) = 255;
  edge(5, 1) = 9;
  const Bytes other = writeParamFile(4, edge);
  EXPECT_EQ(std::string(other.begin() + 5, other.begin() + 8), "4\r\n");
  EXPECT_EQ(std::string(other.begin() + 8 + 5 * 42, other.begin() + 8 + 6 * 42),
            "CJ05255009000000000000000000000000000000\r\n");
  EXPECT_EQ(std::string(other.end() - 4, other.end()), "00\r\n");
}

TEST(ParamFileRead, RoundTripOfAnEditorImage) {
  const ConfigImage image = editedImage();
  for (int model = 0; model < kModels; ++model) {
    const Bytes file = writeParamFile(model, image);
    const ParamFileRead read = readParamFile(file);
    EXPECT_TRUE(read.isParamFile());
    EXPECT_TRUE(read.hasAllRows());
    EXPECT_TRUE(read.skippedLines.empty());
    EXPECT_EQ(read.model(), model);

    // Read into an image and model that differ everywhere: the file's model line selects its
    // model first, and its rows then replace every byte of the default pattern.
    ConfigImage into;
    for (auto& row : into.rows) row.fill(77);
    int intoModel = (model + 1) % kModels;
    read.applyTo(into, intoModel);
    EXPECT_EQ(intoModel, model);
    EXPECT_EQ(into, image) << model;
  }
}

TEST(ParamFileRead, ModelLineAlone) {
  // Only a model line: the model's default pattern, every other byte kept.
  ConfigImage image;
  for (auto& row : image.rows) row.fill(5);
  int model = 4;
  const ParamFileRead read = readText(kGbkTag + "0\r\n");
  EXPECT_TRUE(read.isParamFile());
  EXPECT_FALSE(read.hasAllRows());
  read.applyTo(image, model);
  EXPECT_EQ(model, 0);
  EXPECT_EQ(image(0, 0), 1);    // switch channel 1 of scene 1
  EXPECT_EQ(image(11, 11), 9);  // dimming channel 8 of scene 12, level 9
  EXPECT_EQ(image(14, 3), 1);
  EXPECT_EQ(image(14, 4), 9);
  EXPECT_EQ(image(0, 1), 5);  // off the diagonal: kept
  EXPECT_EQ(image(12, 11), 5);
  EXPECT_EQ(image(17, 0), 5);

  // Selecting the model already selected changes nothing, as with the list.
  ConfigImage same;
  int sameModel = 0;
  readText(kGbkTag + "0").applyTo(same, sameModel);
  EXPECT_EQ(same, ConfigImage{});
}

TEST(ParamFileRead, ModelLineLastCharacterRule) {
  // Digits 0..4 name a model; 5..9 leave the model as it was; any other last character is 0.
  EXPECT_EQ(readText(kGbkTag + "3\r\n").model(), 3);
  EXPECT_EQ(readText(kGbkTag + "13\r\n").model(), 3);  // only the last character counts
  const ParamFileRead seven = readText(kGbkTag + "7\r\n");
  EXPECT_EQ(seven.model(), -1);
  EXPECT_EQ(seven.ignoredModelLines, std::vector<int>{1});
  EXPECT_TRUE(seven.isParamFile());
  EXPECT_EQ(readText(kGbkTag + "3\r\n" + kGbkTag + "9\r\n").model(), 3);
  EXPECT_EQ(readText(kGbkTag + "x\r\n").model(), 0);
  EXPECT_EQ(readText(kGbkTag + "\r\n").model(), 0);
  EXPECT_EQ(readText(kGbkTag + "2 \r\n").model(), 0);
  EXPECT_EQ(readText(kGbkTag + "\xBB\xFA\r\n").model(), 0);  // ends in "机"

  // The last of several model lines wins, and it is chosen before any row is stored, wherever
  // it stands: its pattern never overwrites the file's own rows.
  ConfigImage image;
  int model = 0;
  const ParamFileRead read =
      readText(kGbkTag + "4\r\nCJ00002000000000000000000000000000000000\r\n" + kGbkTag + "1\r\n");
  read.applyTo(image, model);
  EXPECT_EQ(model, 1);
  EXPECT_EQ(image(0, 0), 2);
  EXPECT_EQ(image(6, 6), 9);  // QZ-0606's pattern where the file has no row
}

TEST(ParamFileRead, SceneLinesInFileOrder) {
  // Two lines for row 3: the second one's bytes.
  ConfigImage image;
  for (auto& row : image.rows) row.fill(8);
  int model = 2;
  const ParamFileRead read = readText(
      "CJ03001001001001001001001001001001001001\r\n"
      "CJ03002002000000000000000000000000000000\r\n"
      "\r\n"
      "a comment\r\n"
      "cj04001001001001001001001001001001001001\r\n"
      "CJ 5  10 2  3000000000000000000000000000   \r\n");
  EXPECT_TRUE(read.skippedLines.empty());
  EXPECT_EQ(read.sceneLines, 3);
  read.applyTo(image, model);
  EXPECT_EQ(model, 2);
  EXPECT_EQ(image.rows[3], (Row{2, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(image.rows[4], (Row{8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8}));  // lower-case: no line
  // Blanks inside a field are ignored; blanks after the 40 characters say nothing.
  EXPECT_EQ(image.rows[5], (Row{1, 2, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  const auto present = read.rowsPresent();
  EXPECT_TRUE(present[3]);
  EXPECT_TRUE(present[5]);
  EXPECT_FALSE(present[4]);
  EXPECT_FALSE(present[0]);
  EXPECT_EQ(read.model(), -1);
}

TEST(ParamFileRead, LinesThatDoNotFitAreSkippedWhole) {
  ConfigImage image;
  int model = 0;
  const std::string whole = "CJ02001001001001001001001001001001001001";
  const ParamFileRead read =
      readText(kGbkTag + "0\r\n" + "CJ19001001001001001001001001001001001001\r\n" +  // 2: no row 19
               whole + "\r\n" +                                                      // 3
               "CJ03001001001001001001001001001001001256\r\n" +                      // 4: above 255
               "CJ99\r\n" +                                                          // 5
               "CJ04999\r\n" +                                                       // 6
               "CJ05001\r\n" +                                                       // 7: cut short
               whole.substr(0, 30) + "\r\n" +                    // 8: cut in the middle
               "CJ04ZZ0000000000000000000000000000000000\r\n" +  // 9: letters in a field
               "CJ1x000000000000000000000000000000000000\r\n" +  // 10: letters in the row
               "CJ06000000000000000000000000000000000-01\r\n" +  // 11: a sign
               "CJ18255255255255255255255255255255255255\r\n" +
               "CJ070010010010010010010010010010010010010\r\n" +  // 13: a digit too many
               "CJ08001001001001001001001001001001001001 \t\r\n");
  EXPECT_EQ(read.skippedLines, (std::vector<int>{2, 4, 5, 6, 7, 8, 9, 10, 11, 13}));
  EXPECT_EQ(lineList(read.skippedLines), "2, 4, 5, 6, 7, 8, 9, 10, 11, 13");
  EXPECT_EQ(read.sceneLines, 13);
  read.applyTo(image, model);
  EXPECT_EQ(image.rows[2], (Row{1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1}));
  EXPECT_EQ(image.rows[3], Row{});
  EXPECT_EQ(image.rows[4], Row{});
  EXPECT_EQ(image.rows[18], (Row{255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255}));
  const auto present = read.rowsPresent();
  EXPECT_EQ(std::count(present.begin(), present.end(), true), 3);  // 2, 8 (blanks trail), 18
}

TEST(ParamFileRead, Utf8FilesAndOtherLineEnds) {
  const std::string body =
      "2\nCJ00001000000000000000000000000000000000\nCJ01000001000000000000000000000000000000";
  for (const std::string& prefix : {std::string("\xEF\xBB\xBF") + kUtf8Tag, kUtf8Tag}) {
    const ParamFileRead read = readText(prefix + body);
    EXPECT_EQ(read.model(), 2);
    ASSERT_EQ(read.entries.size(), 3u);
    EXPECT_EQ(read.entries[1].row, 0);
    EXPECT_EQ(read.entries[2].line, 3);
    EXPECT_EQ(read.entries[2].bytes[1], 1);  // the last line needs no line end
  }
  // A GBK model line after a byte-order mark, and lone CR line ends.
  const ParamFileRead mixed =
      readText("\xEF\xBB\xBF" + kGbkTag + "1\rCJ07000000000000000000000000000000000000\r\r" +
               kUtf8Tag + "4");
  EXPECT_EQ(mixed.model(), 4);
  EXPECT_EQ(mixed.entries.size(), 3u);
  EXPECT_EQ(mixed.entries[2].line, 4);

  // A Chinese character is one character in either encoding: after the 40 it makes the line
  // too long, in a field it is no digit.
  const std::string line = "CJ00005000000000000000000000000000000000";
  for (const std::string& ji : {std::string("\xE6\x9C\xBA"), std::string("\xBB\xFA")}) {
    EXPECT_EQ(readText(line + ji).skippedLines, std::vector<int>{1});
    const ParamFileRead inField = readText(line.substr(0, 38) + ji + "0");
    EXPECT_EQ(inField.skippedLines, std::vector<int>{1});
  }
}

TEST(ParamFileRead, NotAParameterFile) {
  EXPECT_FALSE(readText("").isParamFile());
  EXPECT_FALSE(readText("hello\r\nworld\r\n\r\n").isParamFile());
  EXPECT_FALSE(readText("\xEF\xBB\xBF").isParamFile());
  EXPECT_FALSE(readText("机型").isParamFile());
  // A lone scene line that does not fit still makes it a parameter file, with a problem.
  const ParamFileRead bad = readText("CJ20");
  EXPECT_TRUE(bad.isParamFile());
  EXPECT_EQ(bad.skippedLines, std::vector<int>{1});
  const Bytes binary = {0x00, 0xFF, 0x0D, 0x43, 0x4A, 0xFF, 0xFE, 0x81};
  const ParamFileRead b = readParamFile(binary);
  EXPECT_EQ(b.sceneLines, 1);
  EXPECT_TRUE(b.entries.empty());
  EXPECT_EQ(b.skippedLines, std::vector<int>{2});
}

}  // namespace
}  // namespace qz

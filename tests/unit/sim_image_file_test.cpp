// qzsim's image from and into a parameter file (--image, --dump).

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "sim/command_line.h"
#include "sim/image_file.h"

namespace qz::sim {
namespace {

namespace fs = std::filesystem;

class Folder {
 public:
  Folder() {
    std::string pattern = (fs::temp_directory_path() / "qzsim-file-XXXXXX").string();
    if (::mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  ~Folder() {
    std::error_code ec;
    if (!path_.empty()) fs::remove_all(path_, ec);
  }
  Folder(const Folder&) = delete;
  Folder& operator=(const Folder&) = delete;
  [[nodiscard]] fs::path operator/(const std::string& name) const { return path_ / name; }
  [[nodiscard]] std::vector<std::string> names() const {
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(path_)) out.push_back(e.path().filename());
    std::sort(out.begin(), out.end());
    return out;
  }

 private:
  fs::path path_;
};

void put(const fs::path& file, const std::string& text) {
  std::ofstream(file, std::ios::binary) << text;
}

std::string contents(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

const std::string kTag = "\xBB\xFA\xD0\xCD:";

// What the message says, or "" when nothing was thrown.
std::string refusal(const fs::path& file, std::optional<int> model = std::nullopt) {
  try {
    (void)loadImageFile(file, model);
  } catch (const std::runtime_error& e) {
    return e.what();
  }
  return {};
}

TEST(SimImageFile, StartsFromTheFileOverTheFactoryImageOfItsModel) {
  Folder dir;
  put(dir / "a.QZ", kTag +
                        "4\r\nCJ03007007007007007007007007007007007007\r\n"
                        "CJ18000000000000000000000000000000000000\r\n");

  const StartImage own = loadImageFile(dir / "a.QZ", std::nullopt);
  EXPECT_EQ(own.model, 4);
  EXPECT_EQ(own.image.rows[3], (Row{7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7}));
  EXPECT_EQ(own.image.rows[18], Row{});
  // Rows the file lacks: QZ-1200 as it leaves the factory.
  EXPECT_EQ(own.image.rows[14], (Row{1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1}));
  EXPECT_EQ(own.image(5, 5), 1);
  EXPECT_EQ(own.image(5, 4), 0);

  // --model wins over the file's model line.
  const StartImage given = loadImageFile(dir / "a.QZ", 0);
  EXPECT_EQ(given.model, 0);
  EXPECT_EQ(given.image.rows[3], own.image.rows[3]);
  EXPECT_EQ(given.image.rows[14], (Row{1, 1, 1, 1, 9, 9, 9, 9, 9, 9, 9, 9}));

  // No model line: QZ-0804, the simulator's own default; the level table from the factory.
  put(dir / "rows.QZ", "CJ00000000000000000000000000000000000000\r\n");
  const StartImage bare = loadImageFile(dir / "rows.QZ", std::nullopt);
  EXPECT_EQ(bare.model, 2);
  EXPECT_EQ(bare.image.rows[0], Row{});
  EXPECT_EQ(bare.image.rows[18], (Row{0, 0, 20, 40, 70, 100, 130, 160, 190, 220, 250, 0}));
}

TEST(SimImageFile, RefusesAFileWithAFaultAndSaysWhy) {
  Folder dir;
  put(dir / "text.QZ", "hello\r\n");
  put(dir / "odd.QZ", kTag + "1\r\nCJ19\r\nCJ02\r\nCJ03999\r\n");
  put(dir / "one.QZ", "CJ00256\r\n");
  put(dir / "big.QZ", kTag + "1\r\n" + std::string(64 * 1024, '\n'));
  put(dir / "fits.QZ", kTag + "1\r\n" + std::string(64 * 1024 - 8, '\n'));
  fs::create_directory(dir / "folder.QZ");

  const auto at = [&](const std::string& name) { return (dir / name).string() + ": "; };
  EXPECT_EQ(refusal(dir / "missing.QZ"), at("missing.QZ") + "No such file or directory");
  EXPECT_EQ(refusal(dir / "folder.QZ"), at("folder.QZ") + "Is a directory");
  EXPECT_EQ(refusal(dir / "text.QZ"),
            at("text.QZ") + "no model line and no scene line, not a parameter file");
  const std::string why =
      ": not a whole scene line (not 40 characters long, a field that is not digits, a row "
      "above 18 or a byte above 255)";
  EXPECT_EQ(refusal(dir / "odd.QZ", 3), at("odd.QZ") + "lines 2, 3, 4" + why);
  EXPECT_EQ(refusal(dir / "one.QZ"), at("one.QZ") + "line 1" + why);
  EXPECT_EQ(refusal(dir / "big.QZ"), at("big.QZ") + "larger than 64 KiB, not a parameter file");
  EXPECT_EQ(refusal(dir / "fits.QZ"), "");
}

TEST(SimImageFile, DumpReplacesTheFileWholeOrNotAtAll) {
  Folder dir;
  ConfigImage image;
  image(0, 0) = 255;
  image(18, 11) = 9;
  dumpImageFile(dir / "keep.QZ", 3, image);
  const std::string first = contents(dir / "keep.QZ");
  ASSERT_EQ(first.size(), 806u);
  EXPECT_EQ(first.substr(0, 50), kTag + "3\r\nCJ00255000000000000000000000000000000000\r\n");
  EXPECT_EQ(first.substr(806 - 42), "CJ18000000000000000000000000000000000009\r\n");

  // Read back as qzsim starts from it.
  const StartImage back = loadImageFile(dir / "keep.QZ", std::nullopt);
  EXPECT_EQ(back.model, 3);
  EXPECT_EQ(back.image, image);

  // Rewritten in place, nothing left beside it.
  image(0, 0) = 1;
  dumpImageFile(dir / "keep.QZ", 3, image);
  EXPECT_EQ(contents(dir / "keep.QZ").substr(8, 8), "CJ000010");
  EXPECT_EQ(dir.names(), std::vector<std::string>{"keep.QZ"});

  // Onto a folder, below a regular file: refused, the folder kept, nothing left behind.
  fs::create_directory(dir / "folder.QZ");
  put(dir / "folder.QZ" / "inside", "kept");
  EXPECT_THROW(dumpImageFile(dir / "folder.QZ", 3, image), std::runtime_error);
  EXPECT_THROW(dumpImageFile(dir / "keep.QZ" / "x.QZ", 3, image), std::runtime_error);
  EXPECT_EQ(contents(dir / "folder.QZ" / "inside"), "kept");
  EXPECT_EQ(dir.names(), (std::vector<std::string>{"folder.QZ", "keep.QZ"}));
  EXPECT_EQ(contents(dir / "keep.QZ").size(), 806u);
}

TEST(SimImageFile, CommandLine) {
  const std::vector<std::string_view> args = {"--image", "a.QZ", "--dump=b.QZ"};
  const CommandLine cl = parseCommandLine(args);
  EXPECT_EQ(cl.imageFile, "a.QZ");
  EXPECT_EQ(cl.options.dumpFile, "b.QZ");
  EXPECT_FALSE(cl.modelGiven);
  const std::vector<std::string_view> withModel = {"--model", "QZ-0606", "--image", "a.QZ"};
  EXPECT_TRUE(parseCommandLine(withModel).modelGiven);
  for (const auto& bad : std::vector<std::vector<std::string_view>>{
           {"--image"}, {"--dump"}, {"--image="}, {"--dump", ""}}) {
    EXPECT_THROW((void)parseCommandLine(bad), std::invalid_argument) << bad[0];
  }
}

}  // namespace
}  // namespace qz::sim

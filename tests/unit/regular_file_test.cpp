// Which names a parameter file is read from and written to.

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>

#include "config/regular_file.h"
#include "support/odd_files.h"

namespace qz {
namespace {

namespace fs = std::filesystem;

TEST(RegularFile, OnlyRegularFilesAreReadOrReplaced) {
  test::OddFiles dir;
  const std::string plain = (dir / "plain.QZ").string();
  const std::string realPlain = fs::canonical(plain).string();
  const std::string text = test::OddFiles::kPlainText;
  const std::vector<std::uint8_t> bytes(text.begin(), text.end());
  using R = FileRefusal;
  const struct {
    std::string name;
    R read;
    int readError;
    R write;
    int writeError;
    std::string target;  // where a write goes
  } cases[] = {
      {plain, R::None, 0, R::None, 0, plain},
      {(dir / "link.QZ").string(), R::None, 0, R::None, 0, realPlain},
      {(dir / "dangling.QZ").string(), R::DanglingLink, 0, R::DanglingLink, 0, ""},
      {(dir / "fifo.QZ").string(), R::Fifo, 0, R::Fifo, 0, ""},
      {(dir / "fifo-link.QZ").string(), R::Fifo, 0, R::Fifo, 0, ""},
      {"/dev/null", R::Device, 0, R::Device, 0, ""},
      {(dir / "folder.QZ").string(), R::Directory, 0, R::Directory, 0, ""},
      {(dir / "new.QZ").string(), R::System, ENOENT, R::None, 0, (dir / "new.QZ").string()},
      {(dir / "gone/new.QZ").string(), R::System, ENOENT, R::System, ENOENT, ""},
      {plain + "/new.QZ", R::System, ENOTDIR, R::System, ENOTDIR, ""},
  };
  for (const auto& c : cases) {
    const FileBytes read = readRegularFile(c.name);
    EXPECT_EQ(read.check.refusal, c.read) << c.name;
    EXPECT_EQ(read.check.error, c.readError) << c.name;
    EXPECT_EQ(read.bytes, c.read == R::None ? bytes : std::vector<std::uint8_t>{}) << c.name;
    const FileCheck write = writableTarget(c.name);
    EXPECT_EQ(write.refusal, c.write) << c.name;
    EXPECT_EQ(write.error, c.writeError) << c.name;
    EXPECT_EQ(write.path, write.ok() ? c.target : write.path) << c.name;
  }
  EXPECT_EQ(refusalText(readRegularFile((dir / "fifo.QZ").string()).check),
            "a FIFO (named pipe), not a regular file");
  EXPECT_EQ(refusalText(writableTarget((dir / "gone/new.QZ").string())),
            "No such file or directory");
}

}  // namespace
}  // namespace qz

// The qzsim program started from a parameter file and keeping its image in one, driven over its
// pseudo-terminal with plain POSIX calls.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "config/frames.h"
#include "config/param_file.h"
#include "link/hex_text.h"
#include "protocol/frames.h"

extern char** environ;

namespace qz {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

const std::string kTag = "\xBB\xFA\xD0\xCD:";

class Folder {
 public:
  Folder() {
    std::string pattern = (fs::temp_directory_path() / "qzsim-image-XXXXXX").string();
    if (::mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  ~Folder() {
    std::error_code ec;
    if (!path_.empty()) fs::remove_all(path_, ec);
  }
  Folder(const Folder&) = delete;
  Folder& operator=(const Folder&) = delete;
  [[nodiscard]] fs::path operator/(const std::string& name) const { return path_ / name; }
  [[nodiscard]] const fs::path& path() const { return path_; }

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

// qzsim with its own runtime folder; its standard error goes to a file.
class Sim {
 public:
  Sim(const Folder& dir, std::vector<std::string> args) : errors_(dir / "stderr") {
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errors_.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    std::vector<std::string> env = {"XDG_RUNTIME_DIR=" + dir.path().string()};
    for (char** e = environ; *e != nullptr; ++e) {
      if (!std::string_view(*e).starts_with("XDG_RUNTIME_DIR=")) env.emplace_back(*e);
    }
    args.insert(args.begin(), QZSIM_PATH);
    std::vector<char*> cargs;
    for (std::string& a : args) cargs.push_back(a.data());
    cargs.push_back(nullptr);
    std::vector<char*> cenv;
    for (std::string& e : env) cenv.push_back(e.data());
    cenv.push_back(nullptr);
    if (::posix_spawn(&pid_, QZSIM_PATH, &actions, nullptr, cargs.data(), cenv.data()) != 0) {
      pid_ = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    out_ = out[0];
  }
  ~Sim() {
    if (tool_ >= 0) ::close(tool_);
    if (pid_ > 0) {
      ::kill(pid_, SIGTERM);
      ::waitpid(pid_, nullptr, 0);
    }
    if (out_ >= 0) ::close(out_);
  }
  Sim(const Sim&) = delete;
  Sim& operator=(const Sim&) = delete;

  // Its exit status, waiting at most 5 s; -1 while it runs.
  int exitStatus() {
    for (int i = 0; i < 500 && pid_ > 0; ++i) {
      int status = 0;
      if (::waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      std::this_thread::sleep_for(10ms);
    }
    return -1;
  }
  [[nodiscard]] std::string errors() const { return contents(errors_); }

  // Opens the device qzsim names on its first line, raw.
  bool openLine() {
    std::string first;
    char c = 0;
    pollfd p{out_, POLLIN, 0};
    while (first.find('\n') == std::string::npos && ::poll(&p, 1, 5000) > 0 &&
           ::read(out_, &c, 1) == 1) {
      first += c;
    }
    const auto blank = first.find(' ');
    if (blank == std::string::npos) return false;
    const std::string device = first.substr(blank + 1, first.size() - blank - 2);
    tool_ = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (tool_ < 0) return false;
    termios tio{};
    ::tcgetattr(tool_, &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(tool_, TCSANOW, &tio);
    return true;
  }

  // Writes a request and reads up to n answer bytes, waiting at most 3 s.
  Bytes ask(const Bytes& request, std::size_t n) {
    if (::write(tool_, request.data(), request.size()) != static_cast<ssize_t>(request.size())) {
      return {};
    }
    Bytes got;
    const auto end = std::chrono::steady_clock::now() + 3s;
    while (got.size() < n && std::chrono::steady_clock::now() < end) {
      pollfd p{tool_, POLLIN, 0};
      if (::poll(&p, 1, 100) <= 0) continue;
      std::uint8_t buf[64];
      const ssize_t r = ::read(tool_, buf, std::min(sizeof buf, n - got.size()));
      if (r > 0) got.insert(got.end(), buf, buf + r);
    }
    return got;
  }

 private:
  fs::path errors_;
  pid_t pid_ = -1;
  int out_ = -1;
  int tool_ = -1;
};

template <std::size_t N>
Bytes bytes(const std::array<std::uint8_t, N>& a) {
  return {a.begin(), a.end()};
}

// Waits (bounded) until the file holds something other than `old`.
std::string changedFrom(const fs::path& file, const std::string& old) {
  for (int i = 0; i < 300; ++i) {
    const std::string now = contents(file);
    if (now != old) return now;
    std::this_thread::sleep_for(10ms);
  }
  return old;
}

TEST(QzsimImageFile, StartsFromAFileAndKeepsItsImageInAnother) {
  Folder dir;
  ASSERT_FALSE(dir.path().empty());
  put(dir / "start.QZ", kTag + "1\r\nCJ05001000001000009005003000255000000000\r\n");
  Sim sim(dir, {"--no-pacing", "--image", (dir / "start.QZ").string(), "--dump",
                (dir / "kept.QZ").string()});
  ASSERT_TRUE(sim.openLine()) << sim.errors();

  // The file's model and row 5.
  EXPECT_EQ(sim.ask(hexTextBytes(frames::kHandshake).value(), 5),
            (Bytes{0xAA, 0x55, 0x01, 0x88, 0x66}));
  EXPECT_EQ(sim.ask(bytes(uploadRequestFrame(5)), 14),
            (Bytes{0xA2, 5, 1, 0, 1, 0, 9, 5, 3, 0, 255, 0, 0, 0}));

  // The dump holds the whole start image at once: the file's row over QZ-0606's factory rows.
  const std::string start = contents(dir / "kept.QZ");
  ASSERT_EQ(start.size(), 806u);
  const ParamFileRead kept = readParamFile(Bytes(start.begin(), start.end()));
  EXPECT_EQ(kept.model(), 1);
  ASSERT_TRUE(kept.hasAllRows());
  EXPECT_EQ(kept.entries[6].bytes, (Row{1, 0, 1, 0, 9, 5, 3, 0, 255, 0, 0, 0}));
  EXPECT_EQ(kept.entries[15].bytes, (Row{1, 1, 1, 1, 1, 1, 9, 9, 9, 9, 9, 9}));

  // A download row is kept; the file is replaced, never left half written.
  ConfigImage image;
  image.rows[7] = {2, 4, 6, 8, 10, 12, 14, 16, 18, 20, 22, 24};
  EXPECT_EQ(sim.ask(bytes(downloadRowFrame(image, 7)), 3), (Bytes{0xD0, 8, 0x55}));
  const std::string after = changedFrom(dir / "kept.QZ", start);
  ASSERT_EQ(after.size(), 806u);
  EXPECT_EQ(after.substr(8 + 7 * 42, 42), "CJ07002004006008010012014016018020022024\r\n");
  EXPECT_EQ(after.substr(0, 8 + 7 * 42), start.substr(0, 8 + 7 * 42));
  EXPECT_EQ(after.substr(8 + 8 * 42), start.substr(8 + 8 * 42));
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir.path())) names.push_back(e.path().filename());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"kept.QZ", "qzconfig", "start.QZ", "stderr"}));
}

TEST(QzsimImageFile, RefusesAFileWithAFaultAndDoesNotStart) {
  Folder dir;
  ASSERT_FALSE(dir.path().empty());
  put(dir / "odd.QZ", kTag + "1\r\nCJ02\r\nCJ21000000000000000000000000000000000000\r\n");
  {
    Sim sim(dir, {"--image", (dir / "odd.QZ").string(), "--dump", (dir / "kept.QZ").string()});
    EXPECT_EQ(sim.exitStatus(), 1);
    EXPECT_EQ(sim.errors(), "qzsim: " + (dir / "odd.QZ").string() +
                                ": lines 2, 3: not a whole scene line (not 40 characters "
                                "long, a field that is not digits, a row above 18 or a "
                                "byte above 255)\n");
  }
  EXPECT_FALSE(fs::exists(dir / "kept.QZ"));
  EXPECT_FALSE(fs::exists(dir / "qzconfig"));  // no alias was made
  {
    Sim sim(dir, {"--dump", (dir / "odd.QZ" / "kept.QZ").string()});
    EXPECT_EQ(sim.exitStatus(), 1);
    EXPECT_EQ(sim.errors(),
              "qzsim: " + (dir / "odd.QZ" / "kept.QZ").string() + ": Not a directory\n");
  }
}

}  // namespace
}  // namespace qz

#pragma once
// The tool's end of a pseudo-terminal that qzsim serves, with plain POSIX calls, and a scratch
// folder for qzsim's runtime files.

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>

#include "link/com_ports.h"
#include "link/hex_text.h"
#include "sim/frame_reader.h"

namespace qz::sim::e2e {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

inline Bytes hex(std::string_view text) {
  return hexTextBytes(text).value();
}

inline const Bytes kHandshakeReply0804 = {0xAA, 0x55, 0x02, 0x88, 0x66};

class TempDir {
 public:
  TempDir() {
    std::string pattern = (fs::temp_directory_path() / "qzsim-e2e-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
  }
  ~TempDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  [[nodiscard]] const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

// The tool's end of the line: the device opened in raw mode.
class ToolSide {
 public:
  explicit ToolSide(const std::string& path) {
    fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) return;
    termios tio{};
    ::tcgetattr(fd_, &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(fd_, TCSANOW, &tio);
  }
  ~ToolSide() { close(); }
  ToolSide(const ToolSide&) = delete;
  ToolSide& operator=(const ToolSide&) = delete;

  [[nodiscard]] bool isOpen() const { return fd_ >= 0; }
  void close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

  bool write(const Bytes& bytes) {
    return ::write(fd_, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
  }

  // Up to n bytes, waiting at most `limit` in all; fewer when the line ends or time is up.
  Bytes read(std::size_t n, std::chrono::milliseconds limit = 3s) {
    Bytes got;
    const auto end = std::chrono::steady_clock::now() + limit;
    while (got.size() < n) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          end - std::chrono::steady_clock::now());
      if (left <= 0ms) break;
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
      std::uint8_t buf[64];
      const ssize_t r = ::read(fd_, buf, std::min(sizeof buf, n - got.size()));
      if (r < 0 && errno == EAGAIN) continue;
      if (r <= 0) {
        ended_ = true;
        break;
      }
      got.insert(got.end(), buf, buf + r);
    }
    return got;
  }

  Bytes ask(std::string_view request, std::size_t answerLength) {
    if (!write(hex(request))) return {};
    return read(answerLength);
  }

  // Waits (bounded) until a read sees the end of the line: end of file or an error.
  bool seesLineEnd() {
    while (!ended_) {
      if (read(64).empty() && !ended_) return false;
    }
    return true;
  }

 private:
  int fd_ = -1;
  bool ended_ = false;
};

// The lowest COM number from n on that no serial device of this machine holds.
inline int firstFreeCom(int n) {
  while (!fixedComDevice(n).empty() && fs::exists(fixedComDevice(n))) ++n;
  return n;
}

}  // namespace qz::sim::e2e

#pragma once
// A pseudo-terminal for tests that stand in for the controller: the test holds the controller's
// end (the master, non-blocking); the tool reaches the other end (raw) through a COM alias.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <vector>

namespace qz::test {

// Whether this machine gives out pseudo-terminals at all (a container without /dev/pts does not).
inline bool pseudoTerminalsWork() {
  static const bool works = [] {
    int master = -1;
    int slave = -1;
    if (::openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) return false;
    ::close(master);
    ::close(slave);
    return true;
  }();
  return works;
}

// First line of a test that needs a pseudo-terminal.
#define QZ_SKIP_WITHOUT_PTY()                             \
  if (!::qz::test::pseudoTerminalsWork()) {               \
    GTEST_SKIP() << "no pseudo-terminal on this machine"; \
  }

class Pty {
 public:
  Pty() {
    char name[256] = {};
    if (::openpty(&master_, &slave_, name, nullptr, nullptr) != 0) return;
    name_ = name;
    termios tio{};
    ::tcgetattr(slave_, &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(slave_, TCSANOW, &tio);
    ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
  }
  ~Pty() {
    closeMaster();
    if (slave_ >= 0) ::close(slave_);
  }
  Pty(const Pty&) = delete;
  Pty& operator=(const Pty&) = delete;

  [[nodiscard]] bool ok() const { return master_ >= 0; }
  [[nodiscard]] const std::string& name() const { return name_; }
  [[nodiscard]] int slave() const { return slave_; }

  [[nodiscard]] int master() const { return master_; }

  void send(const std::vector<std::uint8_t>& bytes) const {
    ASSERT_EQ(::write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }
  // What one read of the master gives within ms milliseconds (empty when nothing came).
  [[nodiscard]] std::vector<std::uint8_t> readOnceWithin(int ms) const {
    pollfd p{master_, POLLIN, 0};
    if (::poll(&p, 1, ms) != 1) return {};
    std::vector<std::uint8_t> buf(4096);
    const ssize_t n = ::read(master_, buf.data(), buf.size());
    buf.resize(n > 0 ? static_cast<std::size_t>(n) : 0U);
    return buf;
  }
  // What one read of the master gives once something arrived (empty after 5 s of nothing).
  [[nodiscard]] std::vector<std::uint8_t> readOnce() const { return readOnceWithin(5000); }
  // The controller's end hangs up.
  void closeMaster() {
    if (master_ >= 0) ::close(master_);
    master_ = -1;
  }

 private:
  int master_ = -1;
  int slave_ = -1;
  std::string name_;
};

}  // namespace qz::test

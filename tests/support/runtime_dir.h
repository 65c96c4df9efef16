#pragma once
// XDG_RUNTIME_DIR pointed at a fresh folder for one test, so COM aliases are the test's own,
// and put back afterwards.

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

namespace qz::test {

class RuntimeDir {
 public:
  RuntimeDir() {
    if (const char* old = std::getenv("XDG_RUNTIME_DIR")) old_ = old;
    std::string pattern = (std::filesystem::temp_directory_path() / "qz-run-XXXXXX").string();
    if (::mkdtemp(pattern.data()) != nullptr) root_ = pattern;
    ::setenv("XDG_RUNTIME_DIR", root_.c_str(), 1);
  }
  ~RuntimeDir() {
    std::error_code ec;
    if (!root_.empty()) std::filesystem::remove_all(root_, ec);
    if (old_) {
      ::setenv("XDG_RUNTIME_DIR", old_->c_str(), 1);
    } else {
      ::unsetenv("XDG_RUNTIME_DIR");
    }
  }
  RuntimeDir(const RuntimeDir&) = delete;
  RuntimeDir& operator=(const RuntimeDir&) = delete;

  [[nodiscard]] const std::filesystem::path& root() const { return root_; }
  [[nodiscard]] std::filesystem::path ports() const { return root_ / "qzconfig" / "ports"; }

  // COMn -> target.
  void alias(int n, const std::filesystem::path& target) const {
    std::filesystem::create_directories(ports());
    std::filesystem::create_symlink(target, ports() / ("COM" + std::to_string(n)));
  }

 private:
  std::filesystem::path root_;
  std::optional<std::string> old_;
};

}  // namespace qz::test

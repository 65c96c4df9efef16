#pragma once
// qzsim's COM alias: a link COMn -> its pseudo-terminal in the alias folder, with a lock file
// held for as long as the alias is good. It takes only a free number: never one a real device
// or a live simulator has, never one the user made by hand.

#include <filesystem>
#include <string>

namespace qz::sim {

class AliasClaim {
 public:
  AliasClaim() = default;
  ~AliasClaim() { release(); }
  AliasClaim(const AliasClaim&) = delete;
  AliasClaim& operator=(const AliasClaim&) = delete;

  // Makes COM`wanted` (0: the lowest free number) an alias of `device` in `folder` (empty: the
  // user's alias folder). Throws std::runtime_error with the reason when it cannot.
  void claim(std::filesystem::path folder, int wanted, const std::string& device);
  // Removes the alias if it is still ours, and its lock. Safe to call twice.
  void release();

  [[nodiscard]] int number() const { return number_; }
  [[nodiscard]] const std::filesystem::path& path() const { return alias_; }

 private:
  // 0 when taken; EEXIST when the number is somebody else's; otherwise the system's error.
  int tryNumber(const std::filesystem::path& folder, int n);

  std::string device_;
  int number_ = 0;
  std::filesystem::path alias_;
  std::filesystem::path lock_;
  int lockFd_ = -1;
};

}  // namespace qz::sim

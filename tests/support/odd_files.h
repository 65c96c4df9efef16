#pragma once
// A fresh folder holding one of each thing a parameter file's name can stand for, and a way
// to see afterwards that none of them was replaced.

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>

namespace qz::test {

class OddFiles {
 public:
  static constexpr char kPlainText[] = "\xBB\xFA\xD0\xCD:1\r\n";  // 机型:1 in GBK

  OddFiles() {
    std::string pattern = (std::filesystem::temp_directory_path() / "qz-odd-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) return;
    dir_ = pattern;
    std::ofstream(dir_ / "plain.QZ", std::ios::binary) << kPlainText;
    std::filesystem::create_symlink("plain.QZ", dir_ / "link.QZ");
    std::filesystem::create_symlink("gone.QZ", dir_ / "dangling.QZ");
    ::mkfifo((dir_ / "fifo.QZ").c_str(), 0600);
    std::filesystem::create_symlink("fifo.QZ", dir_ / "fifo-link.QZ");
    std::filesystem::create_directory(dir_ / "folder.QZ");
    // A device node of our own (the null device), where the system lets us make one.
    hasDevice_ = ::mknod((dir_ / "device.QZ").c_str(), S_IFCHR | 0600, makedev(1, 3)) == 0;
  }
  ~OddFiles() {
    std::error_code ec;
    if (!dir_.empty()) std::filesystem::remove_all(dir_, ec);
  }
  OddFiles(const OddFiles&) = delete;
  OddFiles& operator=(const OddFiles&) = delete;

  [[nodiscard]] std::filesystem::path operator/(const std::string& name) const {
    return dir_ / name;
  }
  [[nodiscard]] bool hasDevice() const { return hasDevice_; }

  // What every name in the folder is, for comparing before and after: kind, size, link target.
  [[nodiscard]] std::string state() const {
    std::set<std::string> lines;
    for (const auto& e : std::filesystem::directory_iterator(dir_)) {
      struct stat st {};
      ::lstat(e.path().c_str(), &st);
      std::string line = e.path().filename().string() + " " + std::to_string(st.st_mode & S_IFMT) +
                         " " + std::to_string(S_ISREG(st.st_mode) ? st.st_size : 0);
      if (S_ISLNK(st.st_mode)) line += " -> " + std::filesystem::read_symlink(e.path()).string();
      lines.insert(line);
    }
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    return text;
  }

 private:
  std::filesystem::path dir_;
  bool hasDevice_ = false;
};

}  // namespace qz::test

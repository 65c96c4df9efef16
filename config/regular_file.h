#pragma once
// Which names a parameter file may be read from or written to: regular files only.
//
// Reading opens without blocking and looks at what was opened, so a FIFO or a device is
// refused at once instead of being waited on. Writing replaces or creates only a regular
// file, a regular file a symbolic link leads to, or a new name in a folder that is there;
// a device, a FIFO, a folder or a link to nothing is refused, never replaced by a file.
// Plain POSIX, so the window, qzctl and qzsim (which has no Qt) share the one rule.

#include <cstdint>
#include <string>
#include <vector>

namespace qz {

enum class FileRefusal {
  None,
  System,    // the system's own reason, in `error`
  TooLarge,  // more bytes than the reader takes
  Directory,
  Fifo,
  Device,  // a character or block device
  Socket,
  DanglingLink,  // a symbolic link to a name that is not there
};

struct FileCheck {
  FileRefusal refusal = FileRefusal::None;
  int error = 0;     // errno, for FileRefusal::System
  std::string path;  // the file itself: where a symbolic link leads, for writing
  [[nodiscard]] bool ok() const { return refusal == FileRefusal::None; }
};

// Where writing `path` goes: the path itself for a regular file or a new name in an existing
// folder, the final target for a symbolic link to a regular file; otherwise a refusal.
[[nodiscard]] FileCheck writableTarget(const std::string& path);

struct FileBytes {
  std::vector<std::uint8_t> bytes;
  FileCheck check;
};

// The whole content of the regular file `path`, refused when it is anything else or holds
// more than kMaxParamFileBytes (then it is no parameter file).
[[nodiscard]] FileBytes readRegularFile(const std::string& path);

// Why, in English, for the terminal programs: "a FIFO, not a regular file", and the system's
// own words for FileRefusal::System ("No such file or directory") and for a folder
// ("Is a directory").
[[nodiscard]] std::string refusalText(const FileCheck& check);

}  // namespace qz

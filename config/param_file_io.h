#pragma once
// Parameter files on disk, for the programs that have Qt Core (the window and qzctl).
//
// Reading takes the whole file, bounded, before anything is changed; saving writes a temporary
// file beside the target, flushes it to disk and renames it over the old one, so a failed save
// leaves the old file whole. Only regular files are read or replaced (config/regular_file.h).

#include <QString>
#include <cstdint>
#include <span>
#include <vector>

#include "config/regular_file.h"

namespace qz {

struct FileProblem {
  enum class Kind {
    None,
    CannotOpen,  // missing, no permission, not a regular file...
    TooLarge,    // larger than kMaxParamFileBytes: not a parameter file
    CannotWrite,
  };
  Kind kind = Kind::None;
  QString reason;  // the system's reason, as it gives it; empty for TooLarge
  int error = 0;   // the system's error number (errno) behind `reason`; 0 when not known
  FileRefusal refusal = FileRefusal::None;  // what stands there instead of a regular file
};

struct LoadedFile {
  std::vector<std::uint8_t> bytes;
  FileProblem problem;
  [[nodiscard]] bool ok() const { return problem.kind == FileProblem::Kind::None; }
};

[[nodiscard]] LoadedFile loadParamFileBytes(const QString& path);

// Kind::None when the file now holds exactly `bytes`.
[[nodiscard]] FileProblem saveParamFileBytes(const QString& path,
                                             std::span<const std::uint8_t> bytes);

// A new name typed without an extension gets ".QZ", so the file shows under the dialogs'
// filter. A name that is there already is the one meant, kept as it is: a file (or the file
// a link leads to) is replaced, anything else refused, never a file made beside it.
[[nodiscard]] QString withParamFileExtension(const QString& path);

}  // namespace qz

#pragma once
// Parameter files on disk, for the programs that have Qt Core (the window and qzctl).
//
// Reading takes the whole file, bounded, before anything is changed; saving writes a temporary
// file beside the target, flushes it to disk and renames it over the old one, so a failed save
// leaves the old file whole.

#include <QString>
#include <cstdint>
#include <span>
#include <vector>

namespace qz {

struct FileProblem {
  enum class Kind {
    None,
    CannotOpen,  // missing, no permission, a folder...
    CannotRead,
    TooLarge,  // larger than kMaxParamFileBytes: not a parameter file
    CannotWrite,
  };
  Kind kind = Kind::None;
  QString reason;  // the system's reason, as it gives it; empty for TooLarge
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

// A name typed without an extension gets ".QZ", so the file shows under the dialogs' filter.
[[nodiscard]] QString withParamFileExtension(const QString& path);

}  // namespace qz

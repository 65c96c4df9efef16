#pragma once
// Files named by the bytes the user gave: a name need not be UTF-8, and is never rewritten.

#include <cstdint>
#include <span>
#include <string>

#include "config/param_file_io.h"

namespace qz::ctl {

[[nodiscard]] LoadedFile loadBytes(const std::string& name);

// Kind::None when the file now holds exactly `bytes`; replaced whole or not at all.
[[nodiscard]] FileProblem saveBytes(const std::string& name, std::span<const std::uint8_t> bytes);

// A name without an extension gets ".QZ", as the window gives it.
[[nodiscard]] std::string withExtension(const std::string& name);

struct Saved {
  int code = 0;  // an ExitCode
  std::string text;
};

// Writes an uploaded image to `file`: a file that holds other bytes is kept unless `force`.
[[nodiscard]] Saved saveUpload(const std::string& file, std::span<const std::uint8_t> bytes,
                               bool force, const std::string& done);

}  // namespace qz::ctl

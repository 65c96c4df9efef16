#pragma once
// qzsim's image in a parameter file: the image it starts from (--image) and the file it keeps
// its image in (--dump).

#include <filesystem>
#include <optional>

#include "config/image.h"

namespace qz::sim {

struct StartImage {
  int model = 2;
  ConfigImage image;
};

// The controller a parameter file describes: its model is `model` when one is given (--model),
// otherwise the file's (QZ-0804 when the file names none); its image is that model's factory
// image with the file's rows stored over it in file order. Throws std::runtime_error naming the
// file and what is wrong with it (cannot be read, too large, not a parameter file, lines that
// do not fit the image); nothing is started from a file with a fault.
[[nodiscard]] StartImage loadImageFile(const std::filesystem::path& file, std::optional<int> model);

// Writes the model and image as the tool saves them: into a new file beside `file`, flushed
// to disk, then renamed over it, so the file always holds a whole image. Throws
// std::runtime_error with the system's reason.
void dumpImageFile(const std::filesystem::path& file, int model, const ConfigImage& image);

}  // namespace qz::sim

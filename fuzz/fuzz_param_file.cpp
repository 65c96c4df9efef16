// Parameter files from anywhere: reading never fails and never names a row or model the image
// does not have, and what the tool writes reads back as the same model and image.

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "config/param_file.h"
#include "fuzz/check.h"

namespace {

bool increasing(const std::vector<int>& lines) {
  for (std::size_t i = 1; i < lines.size(); ++i) {
    if (lines[i] <= lines[i - 1]) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > qz::kMaxParamFileBytes) return 0;  // the tool does not read such a file
  const std::span<const std::uint8_t> file(data, size);

  const qz::ParamFileRead read = qz::readParamFile(file);
  std::size_t lineEnds = 0;
  for (const std::uint8_t b : file) lineEnds += b == '\n' || b == '\r' ? 1U : 0U;
  const int maxLine = static_cast<int>(lineEnds) + 1;

  // Every entry names something the image has, on a line the file has, in file order.
  std::vector<int> entryLines;
  int models = 0;
  int scenes = 0;
  for (const qz::ParamFileEntry& e : read.entries) {
    QZ_FUZZ_CHECK(e.line >= 1 && e.line <= maxLine);
    entryLines.push_back(e.line);
    if (e.kind == qz::ParamFileEntry::Kind::Model) {
      QZ_FUZZ_CHECK(e.model >= 0 && e.model < qz::kModels);
      ++models;
    } else {
      QZ_FUZZ_CHECK(e.row >= 0 && e.row < qz::kRows);
      ++scenes;
    }
  }
  QZ_FUZZ_CHECK(increasing(entryLines));
  QZ_FUZZ_CHECK(increasing(read.skippedLines));
  QZ_FUZZ_CHECK(increasing(read.ignoredModelLines));
  QZ_FUZZ_CHECK(models + static_cast<int>(read.ignoredModelLines.size()) == read.modelLines);
  QZ_FUZZ_CHECK(scenes + static_cast<int>(read.skippedLines.size()) == read.sceneLines);
  for (const int n : read.skippedLines) QZ_FUZZ_CHECK(n >= 1 && n <= maxLine);
  for (const int n : read.ignoredModelLines) QZ_FUZZ_CHECK(n >= 1 && n <= maxLine);
  QZ_FUZZ_CHECK(read.model() >= -1 && read.model() < qz::kModels);

  // Applied to an image: the model the file leaves selected, and every row the file holds as
  // its last line for that row says, wherever the model line stands. A stored row is a whole
  // line of 40 characters (blanks may trail).
  qz::ConfigImage image;
  int model = 2;
  read.applyTo(image, model);
  QZ_FUZZ_CHECK(model == (read.model() >= 0 ? read.model() : 2));
  const auto present = read.rowsPresent();
  std::array<const qz::Row*, qz::kRows> last{};
  for (const qz::ParamFileEntry& e : read.entries) {
    if (e.kind == qz::ParamFileEntry::Kind::Scene) last[static_cast<std::size_t>(e.row)] = &e.bytes;
  }
  for (std::size_t r = 0; r < qz::kRows; ++r) {
    QZ_FUZZ_CHECK(present[r] == (last[r] != nullptr));
    if (last[r] == nullptr) continue;
    QZ_FUZZ_CHECK(image.rows[r] == *last[r]);
    QZ_FUZZ_CHECK(file.size() >= qz::kSceneLineLength);
  }

  // What the tool writes reads back whole: the model and every byte of every row.
  const std::vector<std::uint8_t> written = qz::writeParamFile(model, image);
  const qz::ParamFileRead again = qz::readParamFile(written);
  QZ_FUZZ_CHECK(again.model() == model);
  QZ_FUZZ_CHECK(again.hasAllRows() && again.skippedLines.empty() &&
                again.ignoredModelLines.empty());
  qz::ConfigImage copy;
  int copyModel = model;
  again.applyTo(copy, copyModel);
  QZ_FUZZ_CHECK(copy == image);
  return 0;
}

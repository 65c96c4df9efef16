#pragma once
// Parameter files (*.QZ): the model and the whole image kept as text.
//
// A file is a model line "机型:" + model index, then one scene line per image row:
// "CJ" + row as two digits + the twelve bytes as three digits each. The tool writes GBK text
// with CR LF line ends; reading also takes LF alone, and a model line written in UTF-8 (with or
// without a byte-order mark), because such files come back from Linux text editors.
//
// Reading never touches an image: it turns the bytes into what the file says, in file order,
// and the caller applies that (applyTo) once the whole file has been taken in.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "config/image.h"

namespace qz {

// A scene line: "CJ", two digits of row, twelve fields of three digits.
inline constexpr std::size_t kSceneLineLength = 40;

// A parameter file is 860 bytes; anything beyond this is not one, and is not read.
inline constexpr std::size_t kMaxParamFileBytes = 64 * 1024;

// The filter of the open and save dialogs.
inline constexpr char kParamFileFilter[] = "(*.QZ)|*.QZ";

// One line of a file that does something, in file order.
struct ParamFileEntry {
  enum class Kind {
    Model,  // a model line naming model `model` (0..4)
    Scene,  // a scene line storing `bytes` in image row `row`
  };
  Kind kind = Kind::Scene;
  int line = 0;   // 1-based line number in the file
  int model = 0;  // Kind::Model
  int row = 0;    // Kind::Scene
  Row bytes{};    // Kind::Scene
};

struct ParamFileRead {
  std::vector<ParamFileEntry> entries;  // model selections and stored rows, in file order
  // Scene lines that do not fit the image: shorter or longer than 40 characters (blanks may
  // trail), a field with anything
  // but digits and blanks, a row above 18 or a byte above 255. Skipped whole.
  std::vector<int> skippedLines;
  // Model lines whose last character is a digit from 5 to 9: they leave the model unchanged.
  std::vector<int> ignoredModelLines;
  int modelLines = 0;  // every line recognised as a model line, ignored ones included
  int sceneLines = 0;  // every line recognised as a scene line, skipped ones included

  // A file with neither a model line nor a scene line is not a parameter file.
  [[nodiscard]] bool isParamFile() const { return modelLines + sceneLines > 0; }
  // The model the file leaves selected (the last model line that names one), or -1.
  [[nodiscard]] int model() const;
  // Which rows the file stores; the others it lacks.
  [[nodiscard]] std::array<bool, kRows> rowsPresent() const;
  // True when the file stores every row 0..18, so the image it gives owes nothing to the one
  // it was read into.
  [[nodiscard]] bool hasAllRows() const;

  // Applies the file to an image: selectModel(m) for the model the file names (wherever its
  // line stands), then the scene lines in file order. Selecting a model writes that model's
  // default scene pattern, which the file's own rows then overwrite; rows the file lacks keep
  // what the image held.
  void applyTo(ConfigImage& image, const std::function<void(int model)>& selectModel) const;
  // The same for callers without a window: selecting a model other than `model` writes its
  // default scene pattern (selecting the model already selected changes nothing) and updates
  // `model`.
  void applyTo(ConfigImage& image, int& model) const;
};

// Reads a whole file. Never fails: lines that are neither model nor scene lines are skipped.
[[nodiscard]] ParamFileRead readParamFile(std::span<const std::uint8_t> bytes);

// The file the tool writes for `model` and `image`: 20 lines, each ending CR LF.
[[nodiscard]] std::vector<std::uint8_t> writeParamFile(int model, const ConfigImage& image);

// "3, 7, 12" for a list of line numbers (for messages).
[[nodiscard]] std::string lineList(std::span<const int> lines);

}  // namespace qz

#pragma once
// The command-line options of qzctl and qzsim, read the same way by both: through
// QCommandLineParser, in the order given, with numbers read whole or refused.

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qz::cli {

struct Option {
  std::vector<std::string> names;  // "port"; a one-letter name is written "-h"
  std::string value;               // what its value is called; empty: a flag
  bool valueOptional = false;      // "--echo" alone or "--echo=bytes"
};

struct Given {
  std::size_t option = 0;  // index in the table
  std::string name;        // as written: "--port", "-q"
  std::string value;       // empty for a flag
};

enum class Problem { None, UnknownOption, MissingValue, UnexpectedValue };

struct Parsed {
  std::vector<Given> options;  // in the order given
  std::vector<std::string> words;
  Problem problem = Problem::None;
  std::string option;  // the option at fault, as written
};

[[nodiscard]] Parsed parse(std::span<const Option> table, std::span<const std::string_view> args);

// A whole number from low to high in the base; nothing for any other text.
[[nodiscard]] std::optional<int> number(std::string_view text, int low, int high, int base = 10);

// "--port", or "-h" for a one-letter name.
[[nodiscard]] std::string written(std::string_view name);

}  // namespace qz::cli

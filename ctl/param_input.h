#pragma once
// Parameter files as qzctl takes them in: whole, or with the reason they cannot be used.

#include <string>
#include <vector>

#include "config/image.h"
#include "ctl/command.h"
#include "ctl/listing.h"

namespace qz::ctl {

// A parameter file taken in whole, or why it cannot be.
struct ParamFile {
  std::string name;
  ConfigImage image;
  int model = -1;
  RowsPresent rows{};
  std::vector<std::string> warnings;  // lines that were left out, with their numbers
  std::string error;                  // empty: usable
};

[[nodiscard]] ParamFile loadFile(const std::string& name);

// Says why the file cannot be used (also as JSON) and gives the exit code for it.
int fileFailure(const Invocation& inv, Streams& s, const ParamFile& f);

// The lines the file had that were left out, unless quiet.
void warn(const Invocation& inv, Streams& s, const ParamFile& f);

}  // namespace qz::ctl

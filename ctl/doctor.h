#pragma once
// qzctl doctor: what became of each USB serial adapter on this machine, and what to do.

#include <string>

namespace qz::ctl {

// One line for under the port list when the doctor finds a problem; empty when it finds none.
[[nodiscard]] std::string doctorHint();

}  // namespace qz::ctl

#pragma once
// A port that cannot be opened, put into qzctl's words: the state `qzctl ports` lists and the
// sentence a session's result gives.

#include <string>

#include "link/serial_port.h"

namespace qz::ctl {

struct PortWords {
  std::string state;     // "in use"
  std::string sentence;  // "cannot open the port: another program is using it"
  std::string advice;    // what to do about it, when there is something
};

[[nodiscard]] PortWords portWords(PortError e, const std::string& why);

}  // namespace qz::ctl

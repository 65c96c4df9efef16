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

// "COM17 (/dev/ttyS0)": a port that failed named with the device behind it, when that says more.
[[nodiscard]] std::string portAndDevice(const std::string& port, const std::string& device);

// What is known of a port whose command failed, for the likely cause.
struct PortFailure {
  bool cannotOpen = false;  // the port did not open; otherwise no controller answered it
  bool answered = false;    // a controller answered the handshake before it failed
  std::string sentence;     // the result line
  std::string port;
  std::string device;  // empty: the COM name leads to no device
  bool deviceThere = false;
  bool mayOpen = false;  // the user may read and write the device
  int usbAdapters = 0;   // USB serial adapters the system knows
};

// The likely cause and the next step, as one line ("likely: ..."); empty when nothing useful can
// be said.
[[nodiscard]] std::string likelyCause(const PortFailure& f);

// The same for a port of this machine: the device and the USB adapters looked at now.
[[nodiscard]] std::string likelyCauseHere(bool cannotOpen, bool answered,
                                          const std::string& sentence, const std::string& port,
                                          const std::string& device);

}  // namespace qz::ctl

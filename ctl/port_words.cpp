#include "ctl/port_words.h"

#include <unistd.h>

#include <filesystem>

#include "doctor/diagnosis.h"

namespace qz::ctl {

PortWords portWords(PortError e, const std::string& why) {
  const std::string cannot = "cannot open the port: ";
  switch (e) {
    case PortError::None:
      return {"free", {}, {}};
    case PortError::NoSuchPort:
      return {"missing", cannot + "it does not exist (adapter unplugged?)", {}};
    case PortError::InUse:
      return {"in use", cannot + "another program is using it", {}};
    case PortError::AccessDenied:
      return {"no permission", cannot + "no permission (join the dialout group)",
              "join the dialout group"};
    case PortError::SettingsRefused:
      return {"settings refused", cannot + "it refuses the settings (" + why + ")", why};
    case PortError::Other:
      break;
  }
  return {"cannot open", cannot + (why.empty() ? std::string("it is not a serial port") : why),
          why};
}

std::string portAndDevice(const std::string& port, const std::string& device) {
  if (device.empty() || device == port) return port;
  return port + " (" + device + ")";
}

std::string likelyCause(const PortFailure& f) {
  const std::string doctor = "qzctl doctor tells what became of it";
  const bool onBoard = f.device.starts_with("/dev/ttyS");
  const bool pseudo = f.device.starts_with("/dev/pts/");
  const std::string noAdapter =
      f.usbAdapters == 0 ? "no USB serial adapter is plugged in: plug one in; " + doctor : "";
  if (f.cannotOpen) {
    if (f.sentence == portWords(PortError::InUse, {}).sentence) {
      return "likely: a terminal program or another qzctl holds it; qzctl ports names it";
    }
    if (f.device.empty() || !f.deviceThere) {
      if (!noAdapter.empty()) return "likely: " + noAdapter;
      return "likely: the adapter was unplugged, or brltty took it; " + doctor;
    }
    if (!f.mayOpen) {
      return "likely: you may not open " + f.device +
             ": sudo adduser $USER dialout, then log out and log in again";
    }
    return pseudo ? std::string()
                  : "likely: " + f.device + " is no serial port qzctl can use; " + doctor;
  }
  if (f.answered || pseudo) return {};
  if (onBoard) {
    return "likely: " + f.device + " is an on-board serial port, not a USB RS-485 adapter" +
           (noAdapter.empty() ? "; a USB adapter is COM1 to COM8 (qzctl ports)" : "; " + noAdapter);
  }
  return "likely: the controller is off, or the line is wrong: A and B swapped, no terminating "
         "resistor at the far end, or another baud rate than the controller's (--baud)";
}

std::string likelyCauseHere(bool cannotOpen, bool answered, const std::string& sentence,
                            const std::string& port, const std::string& device) {
  PortFailure f{cannotOpen, answered, sentence, port, device};
  std::error_code ec;
  f.deviceThere = !device.empty() && std::filesystem::exists(device, ec);
  f.mayOpen = f.deviceThere && ::access(device.c_str(), R_OK | W_OK) == 0;
  f.usbAdapters = static_cast<int>(
      doctor::diagnose(doctor::readMachine(), doctor::currentUser()).adapters.size());
  return likelyCause(f);
}

}  // namespace qz::ctl

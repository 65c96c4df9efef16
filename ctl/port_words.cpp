#include "ctl/port_words.h"

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

}  // namespace qz::ctl

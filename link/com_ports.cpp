#include "link/com_ports.h"

namespace qz {

std::filesystem::path comAliasFolder() { return {}; }
std::string comDevicePath(int) { return {}; }
const std::vector<std::string>& baudRates() {
  static const std::vector<std::string> rates = {"1200",  "2400",  "4800",   "9600",   "14400", "19200",
                                                 "38400", "57600", "115200", "128000", "256000"};
  return rates;
}
std::vector<std::string> EnumComPorts(SerialPort&) { return {}; }
OpenResult OpenComPort(SerialPort&, std::string_view, std::string_view, std::string_view,
                       std::string_view, std::string_view) {
  return {};
}
void CloseComPort(SerialPort& port) {
  if (port.isOpen()) port.close();
}

}  // namespace qz

#include "ctl/port_list.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <system_error>

#include "ctl/port_words.h"
#include "link/com_ports.h"
#include "link/qt_serial_port.h"

namespace qz::ctl {

namespace fs = std::filesystem;

std::string canonicalOrSame(const std::string& path) {
  std::error_code ec;
  const fs::path c = fs::canonical(path, ec);
  return ec ? path : c.string();
}

std::string deviceOf(const std::string& port) {
  if (port.starts_with('/')) return port;
  if (const std::optional<int> n = comNumber(port)) return comDevicePath(*n);
  return {};
}

std::vector<std::string> deviceHolders(const std::string& device) {
  std::vector<std::string> holders;
  const std::string target = canonicalOrSame(device);
  const pid_t self = ::getpid();
  std::error_code ec;
  for (const auto& proc : fs::directory_iterator("/proc", ec)) {
    const std::string pidText = proc.path().filename().string();
    if (pidText.empty() || pidText.find_first_not_of("0123456789") != std::string::npos) continue;
    if (std::stol(pidText) == self) continue;
    std::error_code fdEc;
    bool holds = false;
    for (const auto& fd : fs::directory_iterator(proc.path() / "fd", fdEc)) {
      std::error_code linkEc;
      const fs::path link = fs::read_symlink(fd.path(), linkEc);
      if (!linkEc && link.string() == target) {
        holds = true;
        break;
      }
    }
    if (!holds) continue;
    std::string comm;
    std::ifstream in(proc.path() / "comm");
    std::getline(in, comm);
    holders.push_back("pid " + pidText + (comm.empty() ? "" : " (" + comm + ")"));
  }
  return holders;
}

std::vector<PortEntry> listPorts() {
  std::vector<PortEntry> entries;
  QtSerialPort port;
  for (const ComPortState& p : listComPorts(probeThrough(port), true)) {
    PortEntry e;
    e.name = comName(p.number);
    e.device = p.device;
    e.alias = p.alias;
    const PortWords words = portWords(p.error, p.why);
    e.state = words.state;
    e.detail = words.advice;
    if (p.error == PortError::InUse) {
      std::string who;
      for (const std::string& h : deviceHolders(p.device)) who += (who.empty() ? "" : ", ") + h;
      if (!who.empty()) e.detail = "by " + who;
    }
    entries.push_back(std::move(e));
  }
  return entries;
}

}  // namespace qz::ctl

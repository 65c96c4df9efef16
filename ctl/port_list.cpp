#include "ctl/port_list.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <system_error>

#include "link/com_ports.h"
#include "link/qt_serial_port.h"

namespace qz::ctl {

namespace fs = std::filesystem;

namespace {

std::string canonicalOrSame(const std::string& path) {
  std::error_code ec;
  const fs::path c = fs::canonical(path, ec);
  return ec ? path : c.string();
}

}  // namespace

std::string deviceOf(const std::string& port) {
  if (port.starts_with('/')) return port;
  if (port.starts_with("COM")) return comDevicePath(std::stoi(port.substr(3)));
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
  for (int n = kFirstComPort; n <= kLastComPort; ++n) {
    const std::string device = comDevicePath(n);
    if (device.empty()) continue;
    PortEntry e;
    e.name = "COM" + std::to_string(n);
    e.device = device;
    std::error_code ec;
    e.alias = fs::is_symlink(fs::symlink_status(comAliasFolder() / e.name, ec)) &&
              device != fixedComDevice(n);
    struct stat st {};
    if (::stat(device.c_str(), &st) != 0) {
      if (!e.alias) continue;  // the fixed table names many devices a machine lacks
      e.state = "missing";
      entries.push_back(std::move(e));
      continue;
    }
    port.setPortNumber(n);
    if (port.open()) {
      port.close();
      e.state = "free";
    } else {
      switch (port.lastError()) {
        case PortError::InUse: {
          e.state = "in use";
          std::string who;
          for (const std::string& h : deviceHolders(device)) who += (who.empty() ? "" : ", ") + h;
          if (!who.empty()) e.detail = "by " + who;
          break;
        }
        case PortError::AccessDenied:
          e.state = "no permission";
          e.detail = "join the dialout group";
          break;
        case PortError::NoSuchPort:
          e.state = "missing";
          break;
        default:
          // Serial placeholders with no hardware behind them answer like this; the window
          // leaves them out as well.
          if (!e.alias) {
            port.clearError();
            continue;
          }
          e.state = "cannot open";
          e.detail = port.lastErrorText();
          break;
      }
      port.clearError();
    }
    entries.push_back(std::move(e));
  }
  return entries;
}

}  // namespace qz::ctl

#include "link/com_ports.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <system_error>

namespace qz {

namespace {

namespace fs = std::filesystem;

// Aliases decide which device the tool writes to, so only a folder the user owns and no
// stranger may write into is trusted (the /tmp fallback is shared with every user).
bool trustedFolder(const fs::path& folder) {
  struct stat st {};
  if (::lstat(folder.c_str(), &st) != 0) return false;
  return S_ISDIR(st.st_mode) && st.st_uid == ::getuid() && (st.st_mode & S_IWOTH) == 0;
}

// An alias left behind by a program that was killed: its lock file is there and nobody holds
// the lock. The device name may meanwhile belong to somebody else's terminal.
bool abandonedAlias(const fs::path& alias) {
  const fs::path lock = comAliasLockPath(alias);
  const int fd = ::open(lock.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return false;  // no lock file: an alias the user made
  const bool free = ::flock(fd, LOCK_SH | LOCK_NB) == 0;
  ::close(fd);
  return free;
}

// The device an alias names. The link is resolved so that every name of one device takes
// the same lock: a second tool opening it as COM1 and as COM40 is then told it is in use.
// A link whose device is gone stays as it is and opens as "no such port".
std::string aliasDevice(int n) {
  const fs::path folder = comAliasFolder();
  if (!trustedFolder(folder.parent_path()) || !trustedFolder(folder)) return {};
  const fs::path alias = folder / ("COM" + std::to_string(n));
  std::error_code ec;
  if (!fs::is_symlink(fs::symlink_status(alias, ec))) return {};
  if (abandonedAlias(alias)) return {};
  const fs::path device = fs::canonical(alias, ec);
  return ec ? alias.string() : device.string();
}

// The number after "COM", read the way the port list's text was always read: blanks skipped
// wherever they stand, an optional sign, digits and a fraction up to the first other
// character, 0 without digits; halves go to the even neighbour.
double leadingNumber(std::string_view text) {
  double value = 0;
  double scale = 0;  // 0 before the decimal point, then 0.1, 0.01, ...
  bool negative = false;
  bool started = false;
  for (const char c : text) {
    if (c == ' ' || c == '\t' || c == '\n' || c == '\r') continue;
    if (!started && (c == '-' || c == '+')) {
      negative = c == '-';
      started = true;
    } else if (c >= '0' && c <= '9') {
      started = true;
      if (scale == 0) {
        value = value * 10 + (c - '0');
      } else {
        value += (c - '0') * scale;
        scale /= 10;
      }
    } else if (c == '.' && scale == 0) {
      started = true;
      scale = 0.1;
    } else {
      break;
    }
  }
  return negative ? -value : value;
}

std::string comName(int n) {
  return "COM" + std::to_string(n);
}

}  // namespace

std::filesystem::path comAliasFolder() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime != nullptr && *runtime != '\0') return fs::path(runtime) / "qzconfig" / "ports";
  return fs::path("/tmp") / ("qzconfig-" + std::to_string(::getuid())) / "ports";
}

std::filesystem::path comAliasLockPath(const std::filesystem::path& alias) {
  fs::path lock = alias;
  lock += ".lock";
  return lock;
}

std::string fixedComDevice(int n) {
  if (n >= 1 && n <= 8) return "/dev/ttyUSB" + std::to_string(n - 1);
  if (n >= 9 && n <= 16) return "/dev/ttyACM" + std::to_string(n - 9);
  if (n >= 17 && n <= 32) return "/dev/ttyS" + std::to_string(n - 17);
  return {};
}

std::string comDevicePath(int n) {
  if (n < kFirstComPort || n > kLastComPort) return {};
  if (std::string alias = aliasDevice(n); !alias.empty()) return alias;
  return fixedComDevice(n);
}

const std::vector<std::string>& baudRates() {
  static const std::vector<std::string> rates = {"1200",   "2400",   "4800",  "9600",
                                                 "14400",  "19200",  "38400", "57600",
                                                 "115200", "128000", "256000"};
  return rates;
}

std::vector<std::string> EnumComPorts(SerialPort& port) {
  std::vector<std::string> names;
  // An open port is in use by the tool itself; probing would only fail on every number.
  if (port.isOpen()) return names;
  for (int n = kFirstComPort; n <= kLastComPort; ++n) {
    port.setPortNumber(n);
    if (port.probe()) {
      names.push_back(comName(n));
      continue;
    }
    // A port another program holds is listed, and so is one the user may not open yet: choosing
    // it then says what to do instead of the port silently missing from the list.
    const PortError e = port.lastError();
    if (e == PortError::InUse || e == PortError::AccessDenied) names.push_back(comName(n));
    port.clearError();
  }
  return names;
}

OpenResult OpenComPort(SerialPort& port, std::string_view portText, std::string_view baud,
                       std::string_view parity, std::string_view dataBits,
                       std::string_view stopBits) {
  OpenResult result;
  // Nothing of an open port is touched: its number and settings belong to the connection.
  if (port.isOpen()) return result;
  port.clearError();

  const double number =
      std::nearbyint(leadingNumber(portText.size() > 3 ? portText.substr(3) : ""));
  // No number (an empty list) or one no port can have: nothing to open and nothing to say.
  const bool numberUsable = number >= 1 && number <= 32767;
  if (numberUsable) {
    port.setPortNumber(static_cast<int>(number));
    std::string settings(baud);
    settings += ',';
    if (!parity.empty()) settings += parity.front();
    settings += ',';
    settings += dataBits;
    settings += ',';
    settings += stopBits;
    if (port.setSettings(settings)) {
      port.setReceiveThreshold(1);
      result.opened = port.open();
      // Whatever waited on the line before it was opened answers nothing asked of it.
      if (result.opened) port.discardInput();
    }
  }

  if (!result.opened) {
    const std::string n = std::to_string(port.portNumber());
    switch (port.lastError()) {
      case PortError::SettingsRefused:
        result.message = "波特率不适应，请重新设置波特率！";
        break;
      case PortError::NoSuchPort:
        result.message = "COM" + n + "已移除，请选择其它串口！";
        break;
      case PortError::InUse:
        result.message = "COM" + n + "已被其它程序打开，请选择其它串口！";
        break;
      case PortError::AccessDenied:
        result.message = "COM" + n + "没有访问权限，请把用户加入dialout组！";
        break;
      case PortError::None:
      case PortError::Other:
        break;
    }
  }
  port.clearError();
  return result;
}

void CloseComPort(SerialPort& port) {
  if (port.isOpen()) port.close();
}

}  // namespace qz

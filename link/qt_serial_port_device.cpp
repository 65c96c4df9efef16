// What the device and lock files say about a port, asked directly of the system.

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <system_error>

#include "link/qt_serial_port_impl.h"

namespace qz::serial_device {

std::string osWords(int err) {
  return std::generic_category().message(err);
}

// Qt says "permission" both for a lock file another QSerialPort holds and for a device the
// user may not open. Opening the device directly tells them apart.
PortError permissionCause(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd >= 0) {
    ::close(fd);
    return PortError::InUse;  // the device opens: the lock is what stopped Qt
  }
  switch (errno) {
    case EACCES:
    case EPERM:
      return PortError::AccessDenied;
    case ENOENT:
    case ENODEV:
      return PortError::NoSuchPort;
    default:
      return PortError::InUse;  // EBUSY: held with the exclusive flag
  }
}

// A program that opened the device through QSerialPort or another UUCP-style program holds a
// lock file "LCK..<device without /dev/, / as _>" with its process id on the first line, in the
// first of these folders it can use. A file whose process is gone is stale.
bool heldByLockFile(const std::string& path) {
  std::string name = path.starts_with("/dev/") ? path.substr(5) : path;
  std::replace(name.begin(), name.end(), '/', '_');
  for (const char* folder : {"/var/lock", "/run/lock", "/tmp"}) {
    std::ifstream lock(std::string(folder) + "/LCK.." + name);
    long pid = 0;
    if (lock >> pid && pid > 0 && (::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM)) {
      return true;
    }
  }
  return false;
}

}  // namespace qz::serial_device

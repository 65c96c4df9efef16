#include "sim/alias_claim.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <system_error>

#include "link/com_ports.h"

namespace qz::sim {

namespace {

std::runtime_error failure(const std::filesystem::path& folder, int error) {
  std::string what = "cannot create the alias in ";
  what.append(folder.string()).append(": ").append(std::strerror(error));
  return std::runtime_error(what);
}

// Whether the fixed table's device of COMn is on this machine: a real adapter keeps its own
// COM name.
ComPortState fixedDeviceProbe(int n) {
  ComPortState p;
  const std::string fixed = fixedComDevice(n);
  struct stat st {};
  if (fixed.empty() || ::stat(fixed.c_str(), &st) != 0) p.error = PortError::NoSuchPort;
  return p;
}

}  // namespace

int AliasClaim::tryNumber(const std::filesystem::path& folder, int n) {
  const std::filesystem::path path = folder / comName(n);
  const std::filesystem::path lock = comAliasLockPath(path);
  const AliasKind kind = aliasKind(path);
  std::error_code ec;
  const bool dangling = kind == AliasKind::Handmade && !std::filesystem::exists(path, ec);
  if ((kind == AliasKind::Handmade && !dangling) || kind == AliasKind::Live) return EEXIST;
  const int fd = ::open(lock.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return errno;
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    return EEXIST;  // a live simulator took the name just now
  }
  // What a killed simulator left behind goes; the user's own links were ruled out above.
  if (kind == AliasKind::Abandoned || dangling) ::unlink(path.c_str());
  if (::symlink(device_.c_str(), path.c_str()) == 0) {
    number_ = n;
    alias_ = path;
    lock_ = lock;
    lockFd_ = fd;
    return 0;
  }
  const int error = errno;
  if (kind != AliasKind::Abandoned) ::unlink(lock.c_str());
  ::close(fd);
  return error;
}

void AliasClaim::claim(std::filesystem::path folder, int wanted, const std::string& device) {
  device_ = device;
  if (folder.empty()) {
    folder = comAliasFolder();
    ensurePrivateFolder(folder.parent_path());
  }
  ensurePrivateFolder(folder);

  if (wanted != 0) {
    if (wanted < kFirstComPort || wanted > kLastComPort) {
      std::string what = comName(wanted);
      what.append(" is not one of ")
          .append(comName(kFirstComPort))
          .append("..")
          .append(comName(kLastComPort));
      throw std::runtime_error(what);
    }
    const int error = tryNumber(folder, wanted);
    if (error == EEXIST) {
      throw std::runtime_error(comName(wanted) + " already has an alias in " + folder.string());
    }
    if (error != 0) throw failure(folder, error);
    return;
  }
  std::vector<bool> present(kLastComPort + 1, false);
  for (const ComPortState& p : listComPorts(fixedDeviceProbe)) {
    present[static_cast<std::size_t>(p.number)] = true;
  }
  for (int n = kFirstComPort; n <= kLastComPort; ++n) {
    if (present[static_cast<std::size_t>(n)]) continue;
    const int error = tryNumber(folder, n);
    if (error == 0) return;
    if (error != EEXIST) throw failure(folder, error);
  }
  throw std::runtime_error("no free COM number in " + folder.string());
}

void AliasClaim::release() {
  if (!alias_.empty()) {
    // Only our own alias: another simulator may have taken the name since.
    std::error_code ec;
    if (std::filesystem::read_symlink(alias_, ec) == device_ && !ec) {
      std::filesystem::remove(alias_, ec);
    }
    alias_.clear();
  }
  if (!lock_.empty()) {
    ::unlink(lock_.c_str());
    lock_.clear();
  }
  if (lockFd_ >= 0) ::close(lockFd_);
  lockFd_ = -1;
}

}  // namespace qz::sim

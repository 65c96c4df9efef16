#include "link/com_alias.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <system_error>

namespace qz {

namespace fs = std::filesystem;

fs::path comAliasFolder() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime != nullptr && *runtime != '\0') return fs::path(runtime) / "qzconfig" / "ports";
  return fs::path("/tmp") / ("qzconfig-" + std::to_string(::getuid())) / "ports";
}

fs::path comAliasLockPath(const fs::path& alias) {
  fs::path lock = alias;
  lock += ".lock";
  return lock;
}

bool trustedAliasFolder(const fs::path& folder) {
  struct stat st {};
  if (::lstat(folder.c_str(), &st) != 0) return false;
  return S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() && (st.st_mode & 022) == 0;
}

void ensurePrivateFolder(const fs::path& folder) {
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
    std::string what = "cannot create ";
    what.append(folder.string()).append(": ").append(std::strerror(errno));
    throw std::runtime_error(what);
  }
  if (!trustedAliasFolder(folder)) {
    throw std::runtime_error(folder.string() +
                             " is not a private folder of this user (a link, another owner, "
                             "or writable by others)");
  }
}

AliasKind aliasKind(const fs::path& alias) {
  std::error_code ec;
  const bool link = fs::is_symlink(fs::symlink_status(alias, ec));
  const int fd = ::open(comAliasLockPath(alias).c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return link ? AliasKind::Handmade : AliasKind::None;
  const bool free = ::flock(fd, LOCK_SH | LOCK_NB) == 0;
  ::close(fd);
  return free ? AliasKind::Abandoned : AliasKind::Live;
}

}  // namespace qz

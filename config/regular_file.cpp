#include "config/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>

#include "config/param_file.h"

namespace qz {

namespace {

FileCheck refused(FileRefusal why, int error = 0) {
  return {why, error, {}};
}

// What stands there, when it is not a regular file.
FileCheck kindOf(mode_t mode) {
  if (S_ISREG(mode)) return {};
  if (S_ISDIR(mode)) return refused(FileRefusal::Directory);
  if (S_ISFIFO(mode)) return refused(FileRefusal::Fifo);
  if (S_ISSOCK(mode)) return refused(FileRefusal::Socket);
  return refused(FileRefusal::Device);
}

// `path` followed through its links: a refusal unless it ends at a regular file.
FileCheck followed(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0) return kindOf(st.st_mode);
  const int error = errno;
  if (error == ENOENT && ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    return refused(FileRefusal::DanglingLink);
  }
  return refused(FileRefusal::System, error);
}

}  // namespace

namespace {

// A file that is there is replaced only when it may be written: a file made read-only (a
// backup kept safe) is refused, by root too, whatever bytes its name has.
FileCheck writable(FileCheck check) {
  struct stat st {};
  if (!check.ok() || ::stat(check.path.c_str(), &st) != 0) return check;
  if ((st.st_mode & 0222) == 0 ||
      ::faccessat(AT_FDCWD, check.path.c_str(), W_OK, AT_EACCESS) != 0) {
    return refused(FileRefusal::System, EACCES);
  }
  return check;
}

}  // namespace

FileCheck writableTarget(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) {
    if (errno != ENOENT) return refused(FileRefusal::System, errno);
    // A new name: its folder must be there already.
    const std::filesystem::path parent = std::filesystem::path(path).parent_path();
    const char* folder = parent.empty() ? "." : parent.c_str();
    if (::stat(folder, &st) != 0) return refused(FileRefusal::System, errno);
    if (!S_ISDIR(st.st_mode)) return refused(FileRefusal::System, ENOTDIR);
    return {FileRefusal::None, 0, path};
  }
  if (!S_ISLNK(st.st_mode)) {
    FileCheck check = kindOf(st.st_mode);
    if (check.ok()) check.path = path;
    return writable(check);
  }
  FileCheck check = followed(path);
  if (!check.ok()) return check;
  // The file the link leads to is replaced; the link stays a link.
  const std::unique_ptr<char, decltype(&std::free)> target(::realpath(path.c_str(), nullptr),
                                                           &std::free);
  if (!target) return refused(FileRefusal::System, errno);
  check.path = target.get();
  return writable(check);
}

FileBytes readRegularFile(const std::string& path) {
  FileBytes out;
  // Looked at before opening: opening a device can act on it (a serial port's modem lines).
  out.check = followed(path);
  if (!out.check.ok()) return out;
  // Without blocking, in case something else stands there by the time it is opened.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    out.check = refused(FileRefusal::System, errno);
    return out;
  }
  struct stat st {};
  out.check = ::fstat(fd, &st) == 0 ? kindOf(st.st_mode) : refused(FileRefusal::System, errno);
  std::uint8_t buffer[4096];
  while (out.check.ok()) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) out.check = refused(FileRefusal::System, errno);
    if (n <= 0) break;
    out.bytes.insert(out.bytes.end(), buffer, buffer + n);
    // A file that claims no size, or grows while it is read, is cut off here too.
    if (out.bytes.size() > kMaxParamFileBytes) out.check = refused(FileRefusal::TooLarge);
  }
  ::close(fd);
  out.check.path = path;
  if (!out.check.ok()) out.bytes.clear();
  return out;
}

std::string refusalText(const FileCheck& check) {
  switch (check.refusal) {
    case FileRefusal::None:
      return {};
    case FileRefusal::System:
      return std::strerror(check.error);
    case FileRefusal::TooLarge: {
      std::string text = "larger than ";
      text.append(std::to_string(kMaxParamFileBytes / 1024)).append(" KiB, not a parameter file");
      return text;
    }
    case FileRefusal::Directory:
      return std::strerror(EISDIR);
    case FileRefusal::Fifo:
      return "a FIFO (named pipe), not a regular file";
    case FileRefusal::Device:
      return "a device, not a regular file";
    case FileRefusal::Socket:
      return "a socket, not a regular file";
    case FileRefusal::DanglingLink:
      return "a symbolic link to a file that does not exist";
  }
  return {};
}

}  // namespace qz

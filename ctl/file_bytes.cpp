#include "ctl/file_bytes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QString>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "ctl/command_line.h"

namespace qz::ctl {

namespace {

namespace fs = std::filesystem;

bool isUtf8(const std::string& s) {
  return QString::fromStdString(s).toStdString() == s;
}

// A descriptor's own name, which Qt can carry whatever bytes the real name has.
QString fdPath(int fd) {
  return QStringLiteral("/proc/self/fd/") + QString::number(fd);
}

FileProblem systemProblem(FileProblem::Kind kind) {
  return {kind, QString::fromLocal8Bit(std::strerror(errno))};
}

}  // namespace

LoadedFile loadBytes(const std::string& name) {
  if (isUtf8(name)) return loadParamFileBytes(QString::fromStdString(name));
  const int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return {{}, systemProblem(FileProblem::Kind::CannotOpen)};
  LoadedFile loaded = loadParamFileBytes(fdPath(fd));
  ::close(fd);
  return loaded;
}

FileProblem saveBytes(const std::string& name, std::span<const std::uint8_t> bytes) {
  if (isUtf8(name)) return saveParamFileBytes(QString::fromStdString(name), bytes);
  // Only a regular file (or the one a link leads to) is replaced, as for any other name.
  const FileCheck target = writableTarget(name);
  if (!target.ok()) {
    return {FileProblem::Kind::CannotOpen, QString::fromStdString(refusalText(target)),
            target.error, target.refusal};
  }
  // Replaced as Qt replaces any other name: the new file keeps the old one's mode and owner.
  struct stat old {};
  const bool replacing = ::stat(target.path.c_str(), &old) == 0;
  // Saved whole under a name Qt can carry in the same folder, then renamed to the real name.
  const fs::path path(target.path);
  const std::string folder = path.has_parent_path() ? path.parent_path().string() : ".";
  const int dir = ::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  if (dir < 0) return systemProblem(FileProblem::Kind::CannotWrite);
  const std::string temporary = ".qzctl-" + std::to_string(::getpid()) + ".QZ";
  FileProblem problem = saveParamFileBytes(fdPath(dir) + "/" + temporary.c_str(), bytes);
  if (problem.kind == FileProblem::Kind::None && replacing) {
    // The owner only when the system lets us give it, as Qt does.
    if (::fchownat(dir, temporary.c_str(), old.st_uid, old.st_gid, 0) != 0) {
      // Not ours to give: the file is ours now, with the old mode.
    }
    if (::fchmodat(dir, temporary.c_str(), old.st_mode & 07777, 0) != 0) {
      problem = systemProblem(FileProblem::Kind::CannotWrite);
    }
  }
  if (problem.kind == FileProblem::Kind::None &&
      ::renameat(dir, temporary.c_str(), dir, path.filename().c_str()) != 0) {
    problem = systemProblem(FileProblem::Kind::CannotWrite);
  }
  if (problem.kind != FileProblem::Kind::None) ::unlinkat(dir, temporary.c_str(), 0);
  ::close(dir);
  return problem;
}

std::string withExtension(const std::string& name) {
  // A name that is there already is the one meant: a file is replaced, anything else refused,
  // never a file made beside it.
  std::error_code error;
  if (fs::symlink_status(name, error).type() != fs::file_type::not_found) return name;
  if (fs::path(name).filename().string().find('.') != std::string::npos) return name;
  return name + ".QZ";
}

Saved saveUpload(const std::string& file, std::span<const std::uint8_t> bytes, bool force,
                 const std::string& done) {
  if (!force) {
    const LoadedFile old = loadBytes(file);
    const bool exists = old.ok() || old.problem.kind == FileProblem::Kind::TooLarge;
    if (exists && !std::ranges::equal(old.bytes, bytes)) {
      return {kFileFailed,
              "uploaded, but " + file + " holds another image and is kept; --force replaces it"};
    }
  }
  const FileProblem problem = saveBytes(file, bytes);
  if (problem.kind != FileProblem::Kind::None) {
    return {kFileFailed,
            "uploaded, but cannot write " + file + ": " + problem.reason.toStdString()};
  }
  return {kDone, done};
}

}  // namespace qz::ctl

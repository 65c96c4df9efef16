#include "config/param_file_io.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <cerrno>

#include "config/param_file.h"

namespace qz {

namespace {

// The refusal in the terms of the callers, with the reason in English.
FileProblem problemOf(const FileCheck& check) {
  if (check.ok()) return {};
  const bool tooLarge = check.refusal == FileRefusal::TooLarge;
  return {tooLarge ? FileProblem::Kind::TooLarge : FileProblem::Kind::CannotOpen,
          tooLarge ? QString() : QString::fromStdString(refusalText(check)), check.error,
          check.refusal};
}

}  // namespace

LoadedFile loadParamFileBytes(const QString& path) {
  FileBytes read = readRegularFile(QFile::encodeName(path).toStdString());
  LoadedFile out;
  out.bytes = std::move(read.bytes);
  out.problem = problemOf(read.check);
  return out;
}

FileProblem saveParamFileBytes(const QString& path, std::span<const std::uint8_t> bytes) {
  const FileCheck target = writableTarget(QFile::encodeName(path).toStdString());
  if (!target.ok()) return problemOf(target);
  QSaveFile file(QFile::decodeName(target.path.c_str()));
  // Unbuffered, so that every write reaches the system here and a full disk shows as a failed
  // write. Buffered, Qt flushes the rest on commit, drops the part a short write left over
  // without an error, and renames a cut-off file over the old one.
  // errno is taken at once after a failed call, before anything else can change it.
  if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
    const int error = errno;
    return {FileProblem::Kind::CannotOpen, file.errorString(), error};
  }
  const char* data = reinterpret_cast<const char*>(bytes.data());
  const auto size = static_cast<qint64>(bytes.size());
  qint64 done = 0;
  while (done < size) {
    // A short write is followed by one more, which then fails with the system's reason.
    const qint64 n = file.write(data + done, size - done);
    if (n <= 0) {
      const int error = errno;
      const QString reason = file.errorString();
      file.cancelWriting();
      return {FileProblem::Kind::CannotWrite, reason, error};
    }
    done += n;
  }
  if (!file.commit()) {
    const int error = errno;
    return {FileProblem::Kind::CannotWrite, file.errorString(), error};
  }
  return {};
}

QString withParamFileExtension(const QString& path) {
  const QFileInfo info(path);
  if (info.fileName().contains(QLatin1Char('.'))) return path;
  if (info.exists() || info.isSymLink()) return path;
  return path + QStringLiteral(".QZ");
}

}  // namespace qz

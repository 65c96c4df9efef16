#include "config/param_file_io.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include "config/param_file.h"

namespace qz {

LoadedFile loadParamFileBytes(const QString& path) {
  LoadedFile out;
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    out.problem = {FileProblem::Kind::CannotOpen, file.errorString()};
    return out;
  }
  // Read one byte past the limit, whatever size the file claims: a device or a growing file
  // may claim none.
  constexpr qint64 kLimit = static_cast<qint64>(kMaxParamFileBytes);
  QByteArray data;
  while (data.size() <= kLimit) {
    const QByteArray chunk = file.read(kLimit + 1 - data.size());
    if (chunk.isEmpty()) break;
    data.append(chunk);
  }
  if (file.error() != QFileDevice::NoError) {
    out.problem = {FileProblem::Kind::CannotRead, file.errorString()};
    return out;
  }
  if (data.size() > kLimit) {
    out.problem = {FileProblem::Kind::TooLarge, QString()};
    return out;
  }
  out.bytes.assign(data.begin(), data.end());
  return out;
}

FileProblem saveParamFileBytes(const QString& path, std::span<const std::uint8_t> bytes) {
  QSaveFile file(path);
  // Unbuffered, so that every write reaches the system here and a full disk shows as a failed
  // write. Buffered, Qt flushes the rest on commit, drops the part a short write left over
  // without an error, and renames a cut-off file over the old one.
  if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
    return {FileProblem::Kind::CannotOpen, file.errorString()};
  }
  const char* data = reinterpret_cast<const char*>(bytes.data());
  const auto size = static_cast<qint64>(bytes.size());
  qint64 done = 0;
  while (done < size) {
    // A short write is followed by one more, which then fails with the system's reason.
    const qint64 n = file.write(data + done, size - done);
    if (n <= 0) {
      const QString reason = file.errorString();
      file.cancelWriting();
      return {FileProblem::Kind::CannotWrite, reason};
    }
    done += n;
  }
  if (!file.commit()) return {FileProblem::Kind::CannotWrite, file.errorString()};
  return {};
}

QString withParamFileExtension(const QString& path) {
  if (QFileInfo(path).fileName().contains(QLatin1Char('.'))) return path;
  return path + QStringLiteral(".QZ");
}

}  // namespace qz

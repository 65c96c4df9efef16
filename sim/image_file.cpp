#include "sim/image_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "config/param_file.h"
#include "config/regular_file.h"
#include "sim/controller.h"

namespace qz::sim {

namespace {

[[noreturn]] void fail(const std::filesystem::path& file, const std::string& what) {
  throw std::runtime_error(file.string() + ": " + what);
}

std::string systemReason() {
  return std::strerror(errno);
}

// Closes a descriptor when the scope ends, whatever way it ends.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  [[nodiscard]] int get() const { return fd_; }
  // Closes now and says whether the system took everything.
  bool close() {
    const int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0;
  }

 private:
  int fd_;
};

}  // namespace

StartImage loadImageFile(const std::filesystem::path& file, std::optional<int> model) {
  const FileBytes loaded = readRegularFile(file.string());
  if (!loaded.check.ok()) fail(file, refusalText(loaded.check));
  const ParamFileRead read = readParamFile(loaded.bytes);
  if (!read.isParamFile()) fail(file, "no model line and no scene line, not a parameter file");
  if (!read.skippedLines.empty()) {
    fail(file, (read.skippedLines.size() == 1 ? "line " : "lines ") + lineList(read.skippedLines) +
                   ": not a whole scene line (not 40 characters long, a field that is not "
                   "digits, a row above 18 or a byte above 255)");
  }
  if (!read.ignoredModelLines.empty()) {
    fail(file, (read.ignoredModelLines.size() == 1 ? "line " : "lines ") +
                   lineList(read.ignoredModelLines) + ": a model line naming no model (5 to 9)");
  }
  StartImage start;
  start.model = model.value_or(read.model() >= 0 ? read.model() : start.model);
  start.image = defaultImage(start.model);
  // The file's model lines chose the controller; they do not rewrite rows it then sets.
  read.applyTo(start.image, [](int) {});
  return start;
}

void dumpImageFile(const std::filesystem::path& file, int model, const ConfigImage& image) {
  // Only a regular file is replaced: through a symbolic link, the file it leads to.
  const FileCheck target = writableTarget(file.string());
  if (!target.ok()) fail(file, refusalText(target));
  const std::vector<std::uint8_t> bytes = writeParamFile(model, image);
  std::filesystem::path aside = target.path;
  aside += ".XXXXXX";
  std::string name = aside.string();
  Descriptor fd(::mkostemp(name.data(), O_CLOEXEC));
  if (fd.get() < 0) fail(file, systemReason());
  aside = name;
  auto failAside = [&](const std::string& why) {
    ::unlink(aside.c_str());
    fail(file, why);
  };
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd.get(), bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) failAside(systemReason());
    done += static_cast<std::size_t>(n);
  }
  if (::fsync(fd.get()) != 0 || !fd.close()) failAside(systemReason());
  if (::rename(aside.c_str(), target.path.c_str()) != 0) failAside(systemReason());
}

}  // namespace qz::sim

#include "sim/image_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "config/param_file.h"
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

std::vector<std::uint8_t> readBounded(const std::filesystem::path& file) {
  const Descriptor fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) fail(file, systemReason());
  std::vector<std::uint8_t> bytes;
  std::uint8_t buffer[4096];
  for (;;) {
    const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) fail(file, systemReason());
    if (n == 0) break;
    bytes.insert(bytes.end(), buffer, buffer + n);
    if (bytes.size() > kMaxParamFileBytes) {
      fail(file, "larger than " + std::to_string(kMaxParamFileBytes / 1024) +
                     " KiB, not a parameter file");
    }
  }
  return bytes;
}

}  // namespace

StartImage loadImageFile(const std::filesystem::path& file, std::optional<int> model) {
  const std::vector<std::uint8_t> bytes = readBounded(file);
  const ParamFileRead read = readParamFile(bytes);
  if (!read.isParamFile()) fail(file, "no model line and no scene line, not a parameter file");
  if (!read.skippedLines.empty()) {
    fail(file, (read.skippedLines.size() == 1 ? "line " : "lines ") + lineList(read.skippedLines) +
                   ": not a whole scene line (shorter than 40 characters, a field that is not "
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
  const std::vector<std::uint8_t> bytes = writeParamFile(model, image);
  std::filesystem::path aside = file;
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
  if (::rename(aside.c_str(), file.c_str()) != 0) failAside(systemReason());
}

}  // namespace qz::sim

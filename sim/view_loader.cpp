#include "sim/view_loader.h"

#include <dlfcn.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <system_error>

namespace qz::sim {

namespace {

bool set(const char* name) {
  const char* v = std::getenv(name);
  return v != nullptr && *v != '\0';
}

}  // namespace

ViewModule ViewModule::load() {
  // Without a display Qt would end the program at once; say so instead.
  if (!set("QT_QPA_PLATFORM") && !set("DISPLAY") && !set("WAYLAND_DISPLAY")) {
    throw std::runtime_error(
        "--view: no display to show the window on (DISPLAY and WAYLAND_DISPLAY are not set; "
        "QT_QPA_PLATFORM=offscreen draws it off screen)");
  }
  std::error_code error;
  const std::filesystem::path folder =
      std::filesystem::read_symlink("/proc/self/exe", error).parent_path();
  if (error) throw std::runtime_error("--view: cannot find qzsim's folder: " + error.message());
  // Beside the program in the build tree; in the library folder once installed.
  const std::filesystem::path places[] = {folder / "qzsim-view.so",
                                          (folder / QZ_VIEW_MODULE).lexically_normal()};
  for (const std::filesystem::path& module : places) {
    if (!std::filesystem::exists(module, error)) continue;
    void* handle = ::dlopen(module.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) throw std::runtime_error(std::string("--view: ") + ::dlerror());
    void* entry = ::dlsym(handle, kViewEntryName);
    if (entry == nullptr) {
      throw std::runtime_error("--view: " + module.string() + " is not the view of qzsim");
    }
    return ViewModule(reinterpret_cast<ViewEntry>(entry));
  }
  throw std::runtime_error("--view: the view is not installed: neither " + places[0].string() +
                           " nor " + places[1].string() + " exists");
}

}  // namespace qz::sim

#if defined(__SANITIZE_THREAD__)
// ThreadSanitizer sees Qt's own threads (the image and font work of a shown window) without
// seeing Qt's locks, which it was not built to show: what Qt's libraries do inside themselves
// is left out, what qzsim's own code does on every thread is still checked.
extern "C" const char* __tsan_default_suppressions() {
  return "called_from_lib:libQt6Core.so.6\n"
         "called_from_lib:libQt6Gui.so.6\n"
         "called_from_lib:libQt6Widgets.so.6\n";
}
#endif

#pragma once
// The window of the lamps (qzsim --view) lives in a module of its own, loaded only when asked
// for: qzsim without it loads no widget library and needs no display.

#include <functional>
#include <string>

namespace qz::sim {

class PtyServer;
struct CommandLine;

// What the view gets from qzsim: the running controller, how it was started, and a question
// it asks now and then on its own thread: whether qzsim is to stop (a signal, a cut line).
struct ViewHost {
  PtyServer* server = nullptr;
  const CommandLine* commandLine = nullptr;
  std::function<bool()> stopRequested;
};

// The module's one entry point, `extern "C"`: shows the window until it is closed or
// stopRequested() holds, and returns the exit status.
using ViewEntry = int (*)(const ViewHost*);
inline constexpr const char* kViewEntryName = "qzsim_view_run";

class ViewModule {
 public:
  // Loads qzsim-view.so from beside the program, else from the installed library folder.
  // Throws std::runtime_error with the reason when it cannot, or when there is no display to
  // show a window on.
  [[nodiscard]] static ViewModule load();

  int run(const ViewHost& host) const { return entry_(&host); }

 private:
  explicit ViewModule(ViewEntry entry) : entry_(entry) {}
  ViewEntry entry_;
};

}  // namespace qz::sim

// The module qzsim loads for --view: the Qt application and the window, on qzsim's main thread,
// while the server answers on its own.

#include <QApplication>
#include <QTimer>

#include "sim/command_line.h"
#include "sim/view_loader.h"
#include "view/sim_view.h"

extern "C" __attribute__((visibility("default"))) int qzsim_view_run(
    const qz::sim::ViewHost* host) {
  static int argc = 1;
  static char name[] = "qzsim";
  static char* argv[] = {name, nullptr};
  QApplication app(argc, argv);
  qz::view::SimView view(*host->server, host->commandLine->options);
  if (!host->commandLine->imageFile.empty()) {
    view.setWindowTitle(view.windowTitle() + "  " +
                        QString::fromStdString(host->commandLine->imageFile));
  }
  view.show();
  // Ctrl+C, SIGTERM or a cut line end the window as they end qzsim.
  QTimer stop;
  QObject::connect(&stop, &QTimer::timeout, &app, [&] {
    if (host->stopRequested()) app.quit();
  });
  stop.start(100);
  return app.exec();
}

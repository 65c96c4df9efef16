#pragma once
// The simulated controller as an installer sees the installation: its channels as lamps, its
// keys, its settings and what goes on on the line. The window only reads copies of the
// controller taken under the server's lock and presses keys through the server, so the thread
// that answers the tool is never held up by it.

#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QWidget>
#include <array>
#include <optional>

#include "sim/controller.h"
#include "sim/pty_server.h"

namespace qz::view {

class SimView : public QWidget {
 public:
  // `options` are those the server was started with: the model, firmware text and faults.
  SimView(sim::PtyServer& server, sim::Options options, QWidget* parent = nullptr);

  // Shows the controller as it is now. A timer calls it ten times a second; a key press at once.
  void refresh();

  // Channel c (0..11): its caption, accessible name ("开关通道3", "调光2") and description
  // ("开", "关", "250", "排风1 开").
  [[nodiscard]] QLabel* lamp(int c) const { return lamps_.at(static_cast<std::size_t>(c)); }
  // The key of image row 0..16.
  [[nodiscard]] QPushButton* key(int row) const { return keys_.at(static_cast<std::size_t>(row)); }
  [[nodiscard]] QPushButton* powerKey() const { return power_; }
  [[nodiscard]] QLabel* settings() const { return settings_; }
  [[nodiscard]] QListWidget* line() const { return line_; }
  [[nodiscard]] QProgressBar* transfer() const { return transfer_; }
  [[nodiscard]] QLabel* faults() const { return faults_; }

 private:
  void showLamps(const sim::Controller& c);
  void showSettings(const sim::Controller& c);
  void showLine(const sim::Controller& c);

  sim::PtyServer& server_;
  sim::Options options_;
  std::array<QLabel*, kRowBytes> lamps_{};
  std::array<QPushButton*, kSceneKeys> keys_{};
  QPushButton* power_ = nullptr;
  QLabel* settings_ = nullptr;
  QListWidget* line_ = nullptr;
  QProgressBar* transfer_ = nullptr;
  QLabel* faults_ = nullptr;
  QTimer poll_;
  // The latest interface-protocol and run-mode requests (0xF5), remembered after their log
  // entries are gone.
  std::optional<std::uint8_t> protocolRequest_;
  std::optional<std::uint8_t> runModeRequest_;
};

// The faults qzsim was started with, in its own option words ("--drop download:5/2"); "无".
[[nodiscard]] QString faultsText(const sim::Options& options);

}  // namespace qz::view

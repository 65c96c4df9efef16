#pragma once
// The desktop for benchmarks: message boxes go to standard error, no dialogs, the real clock.

#include <QDateTime>
#include <QString>
#include <cstdio>

#include "ui/platform.h"

namespace qz::bench {

class QuietPlatform final : public Platform {
 public:
  void messageBox(const QString& text, const QString&, MessageIcon) override {
    std::fprintf(stderr, "message: %s\n", text.toStdString().c_str());
  }
  // Nothing a benchmark edits is kept.
  SaveChoice askToSave(const QString&, const QString&) override { return SaveChoice::Discard; }
  QString openFileName(const QString&) override { return {}; }
  QString saveFileName(const QString&) override { return {}; }
  void beep(int, int) override {}
  [[nodiscard]] QDateTime now() const override { return QDateTime::currentDateTime(); }
};

}  // namespace qz::bench

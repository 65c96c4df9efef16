#pragma once
// The desktop for benchmarks: message boxes go to standard error, no dialogs, the real clock (or
// one held still, for a picture that changes only with what it shows).

#include <QDateTime>
#include <QString>
#include <cstdio>
#include <utility>

#include "ui/platform.h"

namespace qz::bench {

class QuietPlatform final : public Platform {
 public:
  explicit QuietPlatform(QDateTime still = {}) : still_(std::move(still)) {}
  void messageBox(const QString& text, const QString&, MessageIcon) override {
    std::fprintf(stderr, "message: %s\n", text.toStdString().c_str());
  }
  // Nothing a benchmark edits is kept.
  SaveChoice askToSave(const QString&, const QString&) override { return SaveChoice::Discard; }
  QString openFileName(const QString&) override { return {}; }
  QString saveFileName(const QString&) override { return {}; }
  void beep(int, int) override {}
  [[nodiscard]] QDateTime now() const override {
    return still_.isValid() ? still_ : QDateTime::currentDateTime();
  }

 private:
  QDateTime still_;
};

}  // namespace qz::bench

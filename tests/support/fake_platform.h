#pragma once
// The desktop as a test sees it: message boxes are recorded and answered at once, file
// dialogs return what the test chose, and the clock stands where the test set it.

#include <QDateTime>
#include <QString>
#include <vector>

#include "ui/platform.h"

namespace qz::test {

struct Message {
  QString text;
  QString title;
  MessageIcon icon;
};

class FakePlatform final : public Platform {
 public:
  void messageBox(const QString& text, const QString& title, MessageIcon icon) override {
    messages.push_back({text, title, icon});
  }
  SaveChoice askToSave(const QString& text, const QString& title) override {
    questions.push_back({text, title, MessageIcon::None});
    return saveChoice;
  }
  QString openFileName(const QString& filter) override {
    filters.push_back(filter);
    return openAnswer;
  }
  QString saveFileName(const QString& filter) override {
    filters.push_back(filter);
    return saveAnswer;
  }
  void beep(int hertz, int milliseconds) override { beeps.emplace_back(hertz, milliseconds); }
  [[nodiscard]] QDateTime now() const override { return clock; }

  std::vector<Message> messages;
  std::vector<Message> questions;  // asked before unsaved edits would be lost
  SaveChoice saveChoice = SaveChoice::Discard;
  std::vector<QString> filters;
  std::vector<std::pair<int, int>> beeps;
  QString openAnswer;
  QString saveAnswer;
  QDateTime clock{QDate(2019, 7, 1), QTime(14, 5, 9)};
};

}  // namespace qz::test

#pragma once
// The real window with the fake port and its controls, with what the password, layout and
// keyboard tests ask of it: the level lists, the password entry, and the window shown and active.

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QStringList>
#include <QTimer>
#include <vector>

#include "support/editor_window.h"
#include "ui/form1.h"
#include "ui/module1.h"

namespace qz::gui_test {

struct Window : test::EditorWindow {
  [[nodiscard]] std::vector<bool> levelsEnabled() const {
    std::vector<bool> states;
    for (int k = 0; k < kLevels; ++k) states.push_back(w->Combo调光级别[k]->isEnabled());
    return states;
  }
  [[nodiscard]] QStringList levelTexts() const {
    QStringList texts;
    for (int k = 0; k < kLevels; ++k) texts.append(w->Combo调光级别[k]->currentText());
    return texts;
  }
  void enter(const QString& entry) {
    w->Command9->click();
    w->Text->setText(entry);
    w->Command10->click();
  }
  void showActive() {
    w->show();
    w->activateWindow();
    QApplication::processEvents();
  }
};

inline void press(QWidget* target, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  QKeyEvent event(QEvent::KeyPress, key, modifiers);
  QApplication::sendEvent(target, &event);
}

}  // namespace qz::gui_test

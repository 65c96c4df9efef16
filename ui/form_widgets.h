#pragma once
// Controls the window draws its own way, and how it colours a control.

#include <QColor>
#include <QGroupBox>
#include <QPalette>
#include <QPushButton>
#include <QString>

namespace qz {

// A button whose caption breaks into lines of equal length when the button is narrower than the
// caption, as the tall, narrow "调光设置" button needs ("调光" over "设置"). The caption stays one
// text.
class WrappingButton final : public QPushButton {
 public:
  using QPushButton::QPushButton;

 protected:
  void paintEvent(QPaintEvent*) override;

 private:
  [[nodiscard]] QString brokenCaption(const QString& caption, const QRect& area) const;
};

// A frame without title drawn as a plain panel: its background colour and a thin gray border.
class PlainPanel final : public QGroupBox {
 public:
  using QGroupBox::QGroupBox;

 protected:
  void paintEvent(QPaintEvent*) override;
};

// Colours go into palettes, not style sheets: a style sheet puts its widget and every widget
// inside it under a style of its own, which costs a good part of the window's start-up.
void setColour(QWidget* widget, QPalette::ColorRole role, const QColor& colour);

// The logo's ring, and the ring while it has the keyboard focus.
inline const QColor kLogoBorder(0, 0, 160);
inline const QColor kLogoFocusBorder(255, 200, 0);

}  // namespace qz

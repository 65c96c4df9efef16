// The window on the screen it is shown on. ctest runs these on a 1920×1080 screen at 100 %, and
// again at 200 %, where the screen's free area (960×540) is smaller than the window.

#include <gtest/gtest.h>

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <cmath>

#include "support/editor_window.h"

namespace qz {
namespace {

using test::EditorWindow;

// The scroll bars a user can drag, at their far end.
void scrollToTheEnd(const Form1& w) {
  for (QScrollBar* bar : w.findChildren<QScrollBar*>()) {
    if (bar->isVisible()) bar->setValue(bar->maximum());
  }
}

// Wholly inside the window and not hidden behind the edge of a scrolled area.
bool inView(const Form1& w, const QWidget* control) {
  const QRect inWindow(control->mapTo(&w, QPoint(0, 0)), control->size());
  return w.rect().contains(inWindow) && control->visibleRegion().boundingRect() == control->rect();
}

TEST(Screen, TheWindowStaysOnTheScreenAndItsBottomCanBeReached) {
  EditorWindow t;
  Form1& w = *t.w;
  w.Frame提示->show();
  const QSize built = w.size();
  w.show();
  QApplication::processEvents();
  const QRect free = w.screen()->availableGeometry();
  const QSize frame = w.frameGeometry().size() - w.size();
  const bool fits = built.width() + frame.width() <= free.width() &&
                    built.height() + frame.height() <= free.height();

  for (const bool wide : {false, true}) {
    SCOPED_TRACE(wide ? "wide layout" : "narrow layout");
    if (wide) w.Image1_DblClick();
    QApplication::processEvents();
    EXPECT_TRUE(free.contains(w.frameGeometry()));
    if (fits) {
      // A screen with room: the window as it was built, every control directly in it.
      EXPECT_EQ(w.height(), built.height());
      EXPECT_EQ(w.Command7->parentWidget(), &w);
    } else {
      // As tall as the screen's free area.
      EXPECT_EQ(w.frameGeometry().height(), free.height());
    }
    scrollToTheEnd(w);
    const std::vector<const QWidget*> bottom = {w.Command7, w.Command2, w.Command8, w.Label提示};
    for (const QWidget* control : bottom) {
      EXPECT_TRUE(inView(w, control)) << control->property("text").toString().toStdString();
    }
    if (wide) {
      // The history, taller than a small screen, is in view across its whole width.
      const int left = w.List1->mapTo(&w, QPoint(0, 0)).x();
      EXPECT_TRUE(left >= 0 && left + w.List1->width() <= w.width());
      EXPECT_FALSE(w.List1->visibleRegion().isEmpty());
    }
  }
}

// WCAG's contrast ratio of the status text's ink against the status panel, as drawn.
double statusContrast(Form1& w) {
  auto luminance = [](const QColor& c) {
    auto linear = [](double v) {
      return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF()) + 0.0722 * linear(c.blueF());
  };
  const QImage panel = w.Frame提示->grab().toImage();
  const QImage text = w.Label提示->grab().toImage();
  const double ground = luminance(panel.pixelColor(panel.width() - 4, panel.height() / 2));
  double ink = ground;
  for (int y = 0; y < text.height(); ++y) {
    for (int x = 0; x < text.width(); ++x) ink = std::min(ink, luminance(text.pixelColor(x, y)));
  }
  return (ground + 0.05) / (ink + 0.05);
}

TEST(Screen, TheStatusStaysReadableWhileTheWindowIsDisabled) {
  EditorWindow t;
  Form1& w = *t.w;
  w.show();
  w.Command建立连接->click();
  ASSERT_FALSE(w.isEnabled());
  EXPECT_EQ(w.Label提示->text(), "   正在连接……");
  EXPECT_GE(statusContrast(w), 4.5);
  // No answer: the failure is shown while the window is still disabled.
  for (int tick = 0; tick < 40 && w.Command建立连接->text() != "连接失败"; ++tick) w.Timer2_Timer();
  ASSERT_FALSE(w.isEnabled());
  EXPECT_EQ(w.Label提示->text(), " 连接失败，请重试");
  EXPECT_GE(statusContrast(w), 4.5);
}

}  // namespace
}  // namespace qz

// The clock line, the wide and narrow layouts, the history list.

#include <QApplication>
#include <QFontDatabase>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

#include "ui/clock_text.h"
#include "ui/form1.h"

namespace qz {

namespace {
constexpr int kClockGap = 4;  // pixels between the clock and the exit button
}  // namespace

QFont Form1::clockFont() {
  // Without 宋体 the clock takes the desktop's font, which the font matcher would settle on
  // anyway, without the costly search for a stand-in at start-up.
  QFont font(QStringLiteral("宋体"));
  if (!QFontDatabase::hasFamily(font.family())) font = QApplication::font();
  font.setPointSizeF(14.25);
  return font;
}

void Form1::fitClockCaption() {
  const QString caption = LBDATA->text();
  const int room = Command7->x() - kClockGap - LBDATA->x();
  QFont font = clockFont();
  int width = QFontMetrics(font).horizontalAdvance(caption);
  if (width > room) {
    // Scaled down to the room in one step, then by quarter points until it fits: advances do
    // not shrink in exact proportion to the size.
    font.setPointSizeF(font.pointSizeF() * room / width);
    width = QFontMetrics(font).horizontalAdvance(caption);
    while (width > room && font.pointSizeF() > 1.0) {
      font.setPointSizeF(font.pointSizeF() - 0.25);
      width = QFontMetrics(font).horizontalAdvance(caption);
    }
  }
  if (LBDATA->font() != font) LBDATA->setFont(font);
  LBDATA->resize(width, LBDATA->height());
}

void Form1::Timer1_Timer() {
  LBDATA->setText(clockText(CommonDialog1.now()));
  fitClockCaption();
}

void Form1::Image1_DblClick() {
  WideView = !WideView;
  // The window is fixed-size; a new width keeps its position, so the left edge stays.
  fitToScreen();
  // The history pane is shown only in the wide layout, so the narrow window neither shows a
  // sliver of it nor lets the keyboard wander into a list that cannot be seen.
  List1->setVisible(WideView);
}

void Form1::List1_DblClick() {
  List1->clear();
}

}  // namespace qz

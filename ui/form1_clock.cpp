// The clock line, the wide and narrow layouts, the history list.

#include <QLabel>
#include <QListWidget>

#include "ui/clock_text.h"
#include "ui/form1.h"

namespace qz {

void Form1::Timer1_Timer() {
  LBDATA->setText(clockText(CommonDialog1.now()));
  // The label is as wide as its text; it keeps its line beside the logo.
  LBDATA->resize(LBDATA->sizeHint().width(), LBDATA->height());
}

void Form1::Image1_DblClick() {
  WideView = !WideView;
  // The window is fixed-size; a new width keeps its position, so the left edge stays.
  setFixedWidth(twips(WideView ? kWideWidthTwips : kNarrowWidthTwips));
  // The history pane is shown only in the wide layout, so the narrow window neither shows a
  // sliver of it nor lets the keyboard wander into a list that cannot be seen.
  List1->setVisible(WideView);
}

void Form1::List1_DblClick() {
  List1->clear();
}

}  // namespace qz

// The window on the screen. Its layout is fixed in size; a screen whose free area is smaller
// (a laptop at 150 % or 200 %) gets a window as large as that area, in which the layout
// scrolls, so that the bottom of the window (the 485 settings, the status, "退  出") can still
// be reached. On a screen that has room, nothing of this exists and every control lies directly
// in the window.

#include <QMenuBar>
#include <QMoveEvent>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QShowEvent>
#include <QStyle>
#include <QWindow>
#include <algorithm>

#include "ui/form1.h"

namespace qz {

void Form1::fitToScreen() {
  // The form below the menu bar; the bar stays at the top when the form scrolls.
  const int bar = menuHeight();
  const QSize form(twips(WideView ? kWideWidthTwips : kNarrowWidthTwips), kWindowHeight);
  const QSize layout = form + QSize(0, bar);
  if (MenuBar != nullptr) MenuBar->setGeometry(0, 0, layout.width(), bar);
  const QScreen* shownOn = screen();
  if (shownOn == nullptr) {
    setFixedSize(layout);
    return;
  }
  // The window manager's frame around the window takes its share of the screen.
  const QRect free = shownOn->availableGeometry();
  const QSize frame = frameGeometry().size() - size();
  fittedFrame_ = frame;
  const QSize room = free.size() - frame;
  if (layout.width() <= room.width() && layout.height() <= room.height()) {
    leaveScrolling();
    setFixedSize(layout);
    return;
  }

  enterScrolling();
  content_->setFixedSize(form);
  // A scroll bar takes room beside the layout; needing one can make the other needed too.
  const int scrollBar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, scroller_);
  bool tall = layout.height() > room.height();
  const bool wide = layout.width() + (tall ? scrollBar : 0) > room.width();
  tall = tall || layout.height() + (wide ? scrollBar : 0) > room.height();
  setFixedSize(std::min(layout.width() + (tall ? scrollBar : 0), room.width()),
               std::min(layout.height() + (wide ? scrollBar : 0), room.height()));
  if (MenuBar != nullptr) MenuBar->setGeometry(0, 0, width(), bar);
  scroller_->setGeometry(rect().adjusted(0, bar, 0, 0));
  // Within the free area, frame and all.
  if (!free.contains(frameGeometry())) {
    move(std::clamp(x(), free.left(), free.right() - frameGeometry().width() + 1),
         std::clamp(y(), free.top(), free.bottom() - frameGeometry().height() + 1));
  }
}

void Form1::enterScrolling() {
  if (scroller_ != nullptr) return;
  auto controls = findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
  // The menu bar stays above the scrolling form; the window's dialogs stay windows.
  controls.removeIf([this](QWidget* c) { return c == MenuBar || c->isWindow(); });
  const int bar = menuHeight();
  scroller_ = new QScrollArea(this);
  scroller_->setFrameShape(QFrame::NoFrame);
  // The keyboard goes from control to control; the area scrolls to the one it reaches.
  scroller_->setFocusPolicy(Qt::NoFocus);
  content_ = new QWidget;
  scroller_->setWidget(content_);
  // Moved within the same window, the controls keep their tab order.
  for (QWidget* control : controls) {
    const bool hidden = control->isHidden();
    const QRect place = control->geometry().translated(0, -bar);
    control->setParent(content_);
    control->setGeometry(place);
    control->setHidden(hidden);
  }
  scroller_->show();
}

void Form1::leaveScrolling() {
  if (scroller_ == nullptr) return;
  const int bar = menuHeight();
  for (QWidget* control : content_->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    const bool hidden = control->isHidden();
    const QRect place = control->geometry().translated(0, bar);
    control->setParent(this);
    control->setGeometry(place);
    control->setHidden(hidden);
  }
  delete scroller_;
  scroller_ = nullptr;
  content_ = nullptr;
}

void Form1::watchScreen(QScreen* shownOn) {
  QObject::disconnect(screenWatch_);
  if (shownOn != nullptr) {
    screenWatch_ = QObject::connect(shownOn, &QScreen::availableGeometryChanged, this,
                                    [this] { fitToScreen(); });
  }
}

// A window manager frames the window only once it is mapped; the window moves then, and is
// fitted again with the frame's real size.
void Form1::moveEvent(QMoveEvent* event) {
  QWidget::moveEvent(event);
  if (isVisible() && frameGeometry().size() - size() != fittedFrame_) fitToScreen();
}

void Form1::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (!watchingScreen_ && windowHandle() != nullptr) {
    watchingScreen_ = true;
    QObject::connect(windowHandle(), &QWindow::screenChanged, this, [this](QScreen* now) {
      watchScreen(now);
      fitToScreen();
    });
    watchScreen(screen());
  }
  fitToScreen();
}

}  // namespace qz

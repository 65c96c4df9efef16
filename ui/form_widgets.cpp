#include "ui/form_widgets.h"

#include <QPainter>
#include <QStringList>
#include <QStyleOptionButton>
#include <QStylePainter>

namespace qz {

void WrappingButton::paintEvent(QPaintEvent*) {
  QStylePainter p(this);
  QStyleOptionButton option;
  initStyleOption(&option);
  const QString caption = option.text;
  option.text.clear();
  p.drawControl(QStyle::CE_PushButton, option);
  const QRect area = rect().adjusted(2, 2, -2, -2);
  p.drawItemText(area, Qt::AlignCenter, option.palette, isEnabled(), brokenCaption(caption, area),
                 QPalette::ButtonText);
}

QString WrappingButton::brokenCaption(const QString& caption, const QRect& area) const {
  const qsizetype length = caption.size();
  for (qsizetype lines = 1; lines <= length; ++lines) {
    const qsizetype perLine = (length + lines - 1) / lines;
    QStringList parts;
    for (qsizetype at = 0; at < length; at += perLine) parts.append(caption.mid(at, perLine));
    bool fits = true;
    for (const QString& part : parts) {
      fits = fits && fontMetrics().horizontalAdvance(part) <= area.width();
    }
    if (fits || perLine == 1) return parts.join(QLatin1Char('\n'));
  }
  return caption;
}

void PlainPanel::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), palette().color(QPalette::Window));
  p.setPen(QColor(128, 128, 128));
  p.drawRect(rect().adjusted(0, 0, -1, -1));
}

void setColour(QWidget* widget, QPalette::ColorRole role, const QColor& colour) {
  QPalette p = widget->palette();
  p.setColor(role, colour);
  widget->setPalette(p);
}

}  // namespace qz

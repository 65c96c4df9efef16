#include "ui/frame_style.h"

#include <QApplication>
#include <QPainter>
#include <QPointer>
#include <QStyleOption>

namespace qz {

namespace {

// Room between the title and the line below it, as the desktop's frames leave it.
constexpr int kTitleGap = 3;

// The frame's own font in the regular weight.
QFont titleFont(const QWidget* widget) {
  QFont font = widget != nullptr ? widget->font() : QApplication::font("QGroupBox");
  font.setWeight(QFont::Normal);
  return font;
}

// The metrics of the title: those the option already carries when the frame's font is regular,
// as it is unless a desktop theme made it bold.
QFontMetrics titleMetrics(const QStyleOption& option, const QWidget* widget) {
  if (widget != nullptr && widget->font().weight() == QFont::Normal) return option.fontMetrics;
  return QFontMetrics(titleFont(widget));
}

}  // namespace

FrameStyle::FrameStyle() = default;

void FrameStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option,
                               QPainter* painter, const QWidget* widget) const {
  if (element != PE_FrameGroupBox) {
    QProxyStyle::drawPrimitive(element, option, painter, widget);
    return;
  }
  painter->save();
  painter->setPen(option->palette.color(QPalette::Mid));
  painter->setBrush(Qt::NoBrush);
  painter->drawRect(option->rect.adjusted(0, 0, -1, -1));
  painter->restore();
}

void FrameStyle::drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                                    QPainter* painter, const QWidget* widget) const {
  const auto* box = qstyleoption_cast<const QStyleOptionGroupBox*>(option);
  if (control != CC_GroupBox || box == nullptr) {
    QProxyStyle::drawComplexControl(control, option, painter, widget);
    return;
  }
  if ((box->subControls & SC_GroupBoxFrame) != 0) {
    QStyleOptionFrame frame;
    frame.QStyleOption::operator=(*box);
    frame.features = box->features;
    frame.lineWidth = box->lineWidth;
    frame.midLineWidth = box->midLineWidth;
    frame.rect = subControlRect(CC_GroupBox, option, SC_GroupBoxFrame, widget);
    proxy()->drawPrimitive(PE_FrameGroupBox, &frame, painter, widget);
  }
  if ((box->subControls & SC_GroupBoxLabel) != 0 && !box->text.isEmpty()) {
    painter->save();
    if (painter->font().weight() != QFont::Normal) painter->setFont(titleFont(widget));
    int flags = Qt::AlignLeft | Qt::AlignVCenter | Qt::TextShowMnemonic;
    if (proxy()->styleHint(SH_UnderlineShortcut, option, widget) == 0) {
      flags |= Qt::TextHideMnemonic;
    }
    proxy()->drawItemText(painter, subControlRect(CC_GroupBox, option, SC_GroupBoxLabel, widget),
                          flags, box->palette, (box->state & State_Enabled) != 0, box->text,
                          QPalette::WindowText);
    painter->restore();
  }
}

QRect FrameStyle::subControlRect(ComplexControl control, const QStyleOptionComplex* option,
                                 SubControl sub, const QWidget* widget) const {
  const auto* box = qstyleoption_cast<const QStyleOptionGroupBox*>(option);
  if (control != CC_GroupBox || box == nullptr) {
    return QProxyStyle::subControlRect(control, option, sub, widget);
  }
  const QRect all = box->rect;
  const QFontMetrics metrics = titleMetrics(*box, widget);
  const int title = box->text.isEmpty() ? 0 : metrics.height();
  const int top = title == 0 ? 0 : title + kTitleGap;
  switch (sub) {
    case SC_GroupBoxLabel:
      return {all.left(), all.top(), metrics.horizontalAdvance(box->text) + 2, title};
    case SC_GroupBoxFrame:
      return all.adjusted(0, top, 0, 0);
    case SC_GroupBoxContents:
      return all.adjusted(1, top + 1, -1, -1);
    default:
      return {};
  }
}

QStyle* frameStyle() {
  static QPointer<FrameStyle> style;
  if (style.isNull()) {
    style = new FrameStyle;
    style->setParent(qApp);
  }
  return style;
}

}  // namespace qz

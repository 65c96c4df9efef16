#include "ui/module1.h"

#include <QComboBox>
#include <QPainter>
#include <QSignalBlocker>
#include <QStringListModel>
#include <QStyle>
#include <QStyleOptionFocusRect>

#include "link/com_ports.h"

namespace qz {

void fillList(QComboBox* list, const QStringList& items) {
  const QSignalBlocker block(list);
  if (auto* strings = qobject_cast<QStringListModel*>(list->model())) {
    strings->setStringList(items);
  } else {
    list->clear();
    list->addItems(items);
  }
  list->setCurrentIndex(-1);
}

QStringList numberItems(int first, int last) {
  QStringList items;
  items.reserve(last - first + 1);
  for (int i = first; i <= last; ++i) items.append(QString::number(i));
  return items;
}

QString uiText(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QStringList uiItems(const std::vector<std::string>& items) {
  QStringList out;
  out.reserve(static_cast<qsizetype>(items.size()));
  for (const auto& item : items) out.append(uiText(item));
  return out;
}

void FlatButton::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const QRect area = rect();
  p.fillRect(area, palette().color(QPalette::Button));
  p.setPen(isDown() ? QColor(0, 0, 0) : QColor(128, 128, 128));
  p.drawRect(area.adjusted(0, 0, -1, -1));
  if (isDown()) p.drawRect(area.adjusted(1, 1, -2, -2));
  if (hasFocus()) {
    QStyleOptionFocusRect focus;
    focus.initFrom(this);
    focus.rect = area.adjusted(3, 3, -3, -3);
    focus.backgroundColor = palette().color(QPalette::Button);
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &p, this);
  }
  p.setPen(
      palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
  p.drawText(area, Qt::AlignCenter, text());
}

void setButtonColour(QPushButton* button, const QColor& colour) {
  QPalette p = button->palette();
  p.setColor(QPalette::Button, colour);
  button->setPalette(p);
}

void selectPosition(QComboBox* list, int index) {
  if (index >= 0 && index < list->count()) {
    list->setCurrentIndex(index);
    return;
  }
  const QSignalBlocker block(list);
  list->setCurrentIndex(-1);
}

void EnumComPorts(SerialPort& port, QComboBox* list) {
  QStringList names;
  for (const auto& name : EnumComPorts(port)) names.append(QString::fromStdString(name));
  fillList(list, names);
  if (!names.isEmpty()) list->setCurrentIndex(0);
}

void FillBaudRates(QComboBox* list, int index) {
  QStringList rates;
  for (const auto& r : baudRates()) rates.append(QString::fromStdString(r));
  fillList(list, rates);
  selectPosition(list, index);
}

}  // namespace qz

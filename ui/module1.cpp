#include "ui/module1.h"

#include <QComboBox>
#include <QSignalBlocker>

#include "link/com_ports.h"

namespace qz {

void fillList(QComboBox* list, const QStringList& items) {
  const QSignalBlocker block(list);
  list->clear();
  list->addItems(items);
  list->setCurrentIndex(-1);
}

QStringList numberItems(int first, int last) {
  QStringList items;
  items.reserve(last - first + 1);
  for (int i = first; i <= last; ++i) items.append(QString::number(i));
  return items;
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

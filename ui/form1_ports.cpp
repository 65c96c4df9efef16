// The port list as the system has it now. It is read again when the user opens it and when a
// serial device or a port alias comes or goes, as long as no connection holds the port (then
// once it is let go). The port chosen stays chosen while it exists, and is chosen again when it
// comes back. Each entry begins with its COM name, which is what connecting reads, and the open
// list shows the device behind it and, for a USB adapter, its maker and product; with no USB
// adapter listed, its last line points to qzctl doctor.

#include <QAbstractItemView>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QPointer>
#include <QSerialPortInfo>
#include <QStandardItemModel>
#include <QStyledItemDelegate>
#include <algorithm>

#include "link/com_ports.h"
#include "ui/form1.h"
#include "ui/module1.h"
#include "ui/port_list.h"

namespace qz {

namespace {

const QString kDeviceFolder = QStringLiteral("/dev");
constexpr int kHintRole = Qt::UserRole + 1;

// The lines of the open list that are no port.
void dropHints(QComboBox* list) {
  for (int i = list->count() - 1; i >= 0; --i) {
    if (list->itemData(i, kHintRole).toBool()) list->removeItem(i);
  }
}

QString aliasFolder() {
  return QString::fromStdString(comAliasFolder().string());
}

// The folder when it exists, otherwise the nearest one above it that does, where its coming
// will be seen.
QString watchable(QString folder) {
  while (!QFileInfo(folder).isDir()) {
    const QString up = QFileInfo(folder).path();
    if (up == folder) break;
    folder = up;
  }
  return folder;
}

// One watch for every window of the program: the system gives each user few of them.
QFileSystemWatcher* sharedDeviceWatch() {
  static QPointer<QFileSystemWatcher> watch;
  if (watch == nullptr) watch = new QFileSystemWatcher(QCoreApplication::instance());
  return watch;
}

void watchDevices(QFileSystemWatcher* watch) {
  for (const QString& folder : {kDeviceFolder, watchable(aliasFolder())}) {
    if (!watch->directories().contains(folder)) watch->addPath(folder);
  }
}

// The serial devices and the port aliases there are: when these change, ports came or went.
QStringList deviceNames() {
  const auto all = QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot;
  QStringList names = QDir(kDeviceFolder)
                          .entryList({QStringLiteral("ttyUSB*"), QStringLiteral("ttyACM*"),
                                      QStringLiteral("ttyS*")},
                                     all, QDir::Name);
  for (const QString& alias : QDir(aliasFolder()).entryList(all, QDir::Name)) {
    names.append(QStringLiteral("alias/") + alias);
  }
  return names;
}

Form1::DeviceInfo systemDeviceInfo(const QString& device) {
  for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
    if (info.systemLocation() == device) {
      return {info.manufacturer(), info.description(), info.hasVendorIdentifier()};
    }
  }
  return {};
}

// The open list draws each entry whole: its COM name, then what stands behind it.
class WholeEntry final : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

 protected:
  void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
    QStyledItemDelegate::initStyleOption(option, index);
    const QString whole = index.data(Qt::AccessibleTextRole).toString();
    if (!whole.isEmpty()) option->text = whole;
  }
};

}  // namespace

void Form1::wirePortList() {
  if (!describeDevice) describeDevice = systemDeviceInfo;
  Combo串口->setItemDelegate(new WholeEntry(Combo串口));
  if (auto* list = dynamic_cast<PortList*>(Combo串口)) {
    list->opening = [this] { Combo串口_DropDown(); };
    // Also when the window goes with the list open: nothing of the window is used.
    list->closed = [list] { dropHints(list); };
  }
  wantedPort_ = Combo串口->currentText();
  QObject::connect(Combo串口, &QComboBox::currentIndexChanged, this, [this](int i) {
    if (i >= 0 && !Combo串口->itemData(i, kHintRole).toBool()) {
      wantedPort_ = Combo串口->itemText(i);
    }
    Combo串口->setToolTip(Combo串口->currentData(Qt::ToolTipRole).toString());
    Combo串口->setAccessibleDescription(Combo串口->toolTip());
  });
  deviceWatch_ = sharedDeviceWatch();
  QObject::connect(deviceWatch_, &QFileSystemWatcher::directoryChanged, this,
                   [this] { serialDevicesChanged(); });
  watchDevices(deviceWatch_);
  deviceNames_ = deviceNames();
  describePorts();
}

void Form1::Combo串口_DropDown() {
  dropHints(Combo串口);
  fillPortList();
  const bool usb = describePorts();
  auto* model = qobject_cast<QStandardItemModel*>(Combo串口->model());
  if (!usb && model != nullptr) {
    auto* hint = new QStandardItem(
        QStringLiteral("没有找到 USB 串口适配器：在终端运行 qzctl doctor 查看原因"));
    hint->setFlags(Qt::NoItemFlags);  // read, never chosen
    hint->setData(true, kHintRole);
    hint->setData(hint->text(), Qt::AccessibleTextRole);
    model->appendRow(hint);
  }
  // The open list is as wide as its widest line.
  int widest = Combo串口->width();
  for (int i = 0; i < Combo串口->count(); ++i) {
    QString text = Combo串口->itemData(i, Qt::AccessibleTextRole).toString();
    if (text.isEmpty()) text = Combo串口->itemText(i);
    widest = std::max(widest, Combo串口->fontMetrics().horizontalAdvance(text) + 32);
  }
  Combo串口->view()->setMinimumWidth(widest);
}

void Form1::serialDevicesChanged() {
  watchDevices(deviceWatch_);
  const QStringList now = deviceNames();
  if (now == deviceNames_) return;
  deviceNames_ = now;
  fillPortList();
}

void Form1::fillPortList() {
  // Probing would fail on the port the connection holds; the list waits for it to be let go.
  if (MSComm1.isOpen() || Connected()) {
    portsStale_ = true;
    return;
  }
  portsStale_ = false;
  const QString wanted = wantedPort_;
  const QString shown = Combo串口->currentText();
  QStringList names;
  for (const std::string& name : EnumComPorts(MSComm1)) names.append(QString::fromStdString(name));
  fillList(Combo串口, names);
  auto at = static_cast<int>(names.indexOf(wanted));
  if (at < 0) at = static_cast<int>(names.indexOf(shown));
  if (at < 0 && !names.isEmpty()) at = 0;
  selectPosition(Combo串口, at);
  // A port that went away is chosen again when it comes back.
  wantedPort_ = wanted;
  describePorts();
}

void Form1::preselectPort(const QString& comName) {
  wantedPort_ = comName;
  const int at = Combo串口->findText(comName);
  if (at >= 0) selectPosition(Combo串口, at);
}

bool Form1::describePorts() {
  bool usb = false;
  for (int i = 0; i < Combo串口->count(); ++i) {
    if (Combo串口->itemData(i, kHintRole).toBool()) continue;
    const QString name = Combo串口->itemText(i);
    const auto n = comNumber(name.toStdString());
    const QString device = n ? QString::fromStdString(comDevicePath(*n)) : QString();
    QString whole = name;
    if (!device.isEmpty()) {
      whole += QStringLiteral("  ") + device;
      const DeviceInfo info = describeDevice(device);
      usb = usb || info.usb;
      const QString made = QStringList{info.maker, info.product}.join(QLatin1Char(' ')).trimmed();
      if (!made.isEmpty()) whole += QStringLiteral("  ") + made;
    }
    Combo串口->setItemData(i, whole, Qt::AccessibleTextRole);
    Combo串口->setItemData(i, whole, Qt::ToolTipRole);
  }
  Combo串口->setToolTip(Combo串口->currentData(Qt::ToolTipRole).toString());
  Combo串口->setAccessibleDescription(Combo串口->toolTip());
  return usb;
}

}  // namespace qz

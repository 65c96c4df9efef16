#include "ui/platform.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

namespace qz {

namespace {
// "(*.QZ)|*.QZ": display text, then pattern.
QString dialogFilter(const QString& filter) {
  const auto parts = filter.split(QLatin1Char('|'));
  if (parts.size() < 2) return filter;
  return parts[0] + QLatin1Char(' ') + QLatin1Char('(') + parts[1] + QLatin1Char(')');
}
}  // namespace

void DesktopPlatform::messageBox(const QString& text, const QString& title, MessageIcon icon) {
  QMessageBox::Icon i = QMessageBox::NoIcon;
  switch (icon) {
    case MessageIcon::Information:
      i = QMessageBox::Information;
      break;
    case MessageIcon::Exclamation:
      i = QMessageBox::Warning;
      break;
    case MessageIcon::Critical:
      i = QMessageBox::Critical;
      break;
    case MessageIcon::None:
      break;
  }
  QMessageBox box(i, title, text, QMessageBox::Ok, QApplication::activeWindow());
  box.exec();
}

QString DesktopPlatform::openFileName(const QString& filter) {
  return QFileDialog::getOpenFileName(QApplication::activeWindow(), QString(), QString(),
                                      dialogFilter(filter));
}

QString DesktopPlatform::saveFileName(const QString& filter) {
  QFileDialog dialog(QApplication::activeWindow(), QString(), QString(), dialogFilter(filter));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  // The dialog adds the filter's extension to a bare name itself, so that its question about
  // replacing an existing file is asked about the name that will be written.
  const auto parts = filter.split(QLatin1Char('|'));
  if (parts.size() >= 2 && parts[1].startsWith(QStringLiteral("*."))) {
    dialog.setDefaultSuffix(parts[1].mid(2));
  }
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().constFirst();
}

void DesktopPlatform::beep(int, int) {
  QApplication::beep();
}

QDateTime DesktopPlatform::now() const {
  return QDateTime::currentDateTime();
}

}  // namespace qz

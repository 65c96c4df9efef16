#include "ui/platform.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QIconEngine>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QTranslator>

namespace qz {

namespace {
// "(*.QZ)|*.QZ": display text, then pattern. Qt's dialog shows a name filter as it is written,
// and takes the patterns from its parentheses; a display text that already shows the pattern in
// parentheses is the whole filter.
QString dialogFilter(const QString& filter) {
  const auto parts = filter.split(QLatin1Char('|'));
  if (parts.size() < 2) return filter;
  const QString shown = QLatin1Char('(') + parts[1] + QLatin1Char(')');
  if (parts[0].contains(shown)) return parts[0];
  return parts[0] + QLatin1Char(' ') + shown;
}
}  // namespace

QString DesktopPlatform::startFolder() const {
  return lastFolder_.isEmpty() ? QDir::homePath() : lastFolder_;
}

void DesktopPlatform::remember(const QString& chosen) {
  if (!chosen.isEmpty()) lastFolder_ = QFileInfo(chosen).absolutePath();
}

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

SaveChoice DesktopPlatform::askToSave(const QString& text, const QString& title) {
  QMessageBox box(QMessageBox::Question, title, text, QMessageBox::NoButton,
                  QApplication::activeWindow());
  // The captions are the window's own, whatever translations Qt found.
  QPushButton* save = box.addButton(QStringLiteral("保存"), QMessageBox::AcceptRole);
  QPushButton* discard = box.addButton(QStringLiteral("不保存"), QMessageBox::DestructiveRole);
  QPushButton* cancel = box.addButton(QStringLiteral("取消"), QMessageBox::RejectRole);
  box.setDefaultButton(save);
  box.setEscapeButton(cancel);
  box.exec();
  if (box.clickedButton() == save) return SaveChoice::Save;
  if (box.clickedButton() == discard) return SaveChoice::Discard;
  return SaveChoice::Cancel;
}

QString DesktopPlatform::openFileName(const QString& filter) {
  const QString chosen = QFileDialog::getOpenFileName(QApplication::activeWindow(), QString(),
                                                      startFolder(), dialogFilter(filter));
  remember(chosen);
  return chosen;
}

QString DesktopPlatform::saveFileName(const QString& filter) {
  QFileDialog dialog(QApplication::activeWindow(), QString(), startFolder(), dialogFilter(filter));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  // The dialog adds the filter's extension to a bare name itself, so that its question about
  // replacing an existing file is asked about the name that will be written.
  const auto parts = filter.split(QLatin1Char('|'));
  if (parts.size() >= 2 && parts[1].startsWith(QStringLiteral("*."))) {
    dialog.setDefaultSuffix(parts[1].mid(2));
  }
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  remember(dialog.selectedFiles().constFirst());
  return dialog.selectedFiles().constFirst();
}

void DesktopPlatform::beep(int, int) {
  QApplication::beep();
}

QDateTime DesktopPlatform::now() const {
  return QDateTime::currentDateTime();
}

bool installQtTranslations(QCoreApplication& app) {
  auto* translator = new QTranslator(&app);
  if (!translator->load(QStringLiteral("qtbase_zh_CN"),
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    delete translator;
    return false;
  }
  return QCoreApplication::installTranslator(translator);
}

namespace {

// The tool's icon, found when it is first drawn: a window that is only built (a test, the
// offscreen platform) reads no picture, and the image-format plug-ins stay unloaded at start.
class ToolIconEngine final : public QIconEngine {
 public:
  void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override {
    icon().paint(painter, rect, Qt::AlignCenter, mode, state);
  }
  QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
    return icon().pixmap(size, mode, state);
  }
  QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
    return icon().actualSize(size, mode, state);
  }
  QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override {
    return icon().availableSizes(mode, state);
  }
  [[nodiscard]] QIconEngine* clone() const override { return new ToolIconEngine; }
  [[nodiscard]] bool isNull() override { return false; }

 private:
  // The icon theme's when the package installed it there, the bundled pictures otherwise.
  const QIcon& icon() {
    if (icon_.isNull()) {
      icon_ = QIcon::fromTheme(QStringLiteral("qzconfig"));
      if (icon_.availableSizes().isEmpty()) {
        icon_ = QIcon();
        for (const int size : {16, 32, 48, 64, 128, 256}) {
          icon_.addFile(QStringLiteral(":/qzconfig/icons/qzconfig-%1.png").arg(size),
                        QSize(size, size));
        }
      }
    }
    return icon_;
  }
  QIcon icon_;
};

}  // namespace

QIcon toolIcon() {
  return QIcon(new ToolIconEngine);
}

}  // namespace qz

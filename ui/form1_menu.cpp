// The menu bar above the form: what the buttons do, under the shortcuts desktop programs use,
// and what only the menu reaches (the sheet, compare, verify, the adapter diagnosis, the tour).
// An item that stands for a button runs the button's procedure and is enabled exactly when the
// button is; the buttons themselves do not change.

#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSettings>
#include <QVBoxLayout>
#include <QtGlobal>

#include "ui/form1.h"

namespace qz {

namespace {

constexpr int kRecentFiles = 5;
const QString kRecentKey = QStringLiteral("recentFiles");
const QString kVerifyKey = QStringLiteral("verifyAfterDownload");

// Keeps an item's enabled state the button's, whenever the button (or the window around it)
// is enabled or disabled.
class FollowButton final : public QObject {
 public:
  FollowButton(QWidget* button, QAction* action) : QObject(action), action_(action) {
    button->installEventFilter(this);
    action->setEnabled(button->isEnabled());
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::EnabledChange) {
      action_->setEnabled(static_cast<QWidget*>(watched)->isEnabled());
    }
    return false;
  }

 private:
  QAction* action_;
};

}  // namespace

void Form1::buildMenu() {
  MenuBar = new QMenuBar(this);
  MenuBar->setAccessibleName(QStringLiteral("菜单栏"));
  // An item for a button: the button's procedure, and its enabled state.
  const auto item = [this](QMenu* menu, const QString& caption, QKeySequence key,
                           QPushButton* button, void (Form1::*procedure)()) {
    QAction* action = menu->addAction(caption);
    action->setShortcut(key);
    action->setShortcutContext(Qt::WindowShortcut);
    QObject::connect(action, &QAction::triggered, this, [this, button, procedure] {
      if (button == nullptr || button->isEnabled()) (this->*procedure)();
    });
    if (button != nullptr) new FollowButton(button, action);
    return action;
  };

  QMenu* file = MenuBar->addMenu(QStringLiteral("文件(&F)"));
  item(file, QStringLiteral("读取参数…"), QKeySequence::Open, Command4, &Form1::Command4_Click);
  item(file, QStringLiteral("保存参数…"), QKeySequence::Save, Command5, &Form1::Command5_Click);
  item(file, QStringLiteral("另存为…"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S), Command5,
       &Form1::Command5_Click);
  file->addSeparator();
  item(file, QStringLiteral("打印配置单…"), QKeySequence::Print, nullptr, &Form1::printSheet);
  file->addSeparator();
  MenuRecent = file->addMenu(QStringLiteral("最近读取的文件"));
  new FollowButton(Command4, MenuRecent->menuAction());
  QObject::connect(MenuRecent, &QMenu::aboutToShow, this, [this] { fillRecentFiles(); });
  fillRecentFiles();
  file->addSeparator();
  item(file, QStringLiteral("退出"), QKeySequence(Qt::CTRL | Qt::Key_Q), Command7,
       &Form1::Command7_Click);

  QMenu* controller = MenuBar->addMenu(QStringLiteral("控制器(&C)"));
  MenuConnect =
      item(controller, Command建立连接->text(), {}, Command建立连接, &Form1::Command建立连接_Click);
  // The item says what the button says: 建立连接, or 断开连接 while connected.
  QObject::connect(controller, &QMenu::aboutToShow, this,
                   [this] { MenuConnect->setText(Command建立连接->text()); });
  controller->addSeparator();
  item(controller, Command上传->text(), {}, Command上传, &Form1::Command上传_Click);
  item(controller, Command下载->text(), {}, Command下载, &Form1::Command下载_Click);
  // Comparing uploads the controller's image, so it is there when uploading is.
  item(controller, QStringLiteral("与控制器比较…"), {}, Command上传, &Form1::compareWithController);
  MenuVerify = controller->addAction(QStringLiteral("下载后校验"));
  MenuVerify->setCheckable(true);
  MenuVerify->setChecked(QSettings().value(kVerifyKey, false).toBool());
  QObject::connect(MenuVerify, &QAction::toggled, this,
                   [](bool on) { QSettings().setValue(kVerifyKey, on); });
  controller->addSeparator();
  // Searching needs the port list, which is off while connected.
  QAction* find =
      item(controller, QStringLiteral("查找控制器…"), {}, nullptr, &Form1::findController);
  new FollowButton(Combo串口, find);
  item(controller, QStringLiteral("适配器诊断…"), {}, nullptr, &Form1::diagnoseAdapters);

  QMenu* help = MenuBar->addMenu(QStringLiteral("帮助(&H)"));
  item(help, QStringLiteral("使用说明"), QKeySequence::HelpContents, nullptr, &Form1::showTour);
  item(help, QStringLiteral("关于"), {}, nullptr, &Form1::showAbout);

  // The form keeps its layout below the bar: every control moves down by the bar's height.
  const int bar = menuHeight();
  for (QWidget* control : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    if (control != MenuBar && !control->isWindow()) control->move(control->x(), control->y() + bar);
  }
  MenuBar->setGeometry(0, 0, width(), bar);
  setFixedSize(width(), kWindowHeight + bar);
}

int Form1::menuHeight() const {
  return MenuBar != nullptr ? MenuBar->sizeHint().height() : 0;
}

void Form1::fillRecentFiles() {
  MenuRecent->clear();
  const QStringList files = QSettings().value(kRecentKey).toStringList();
  for (const QString& path : files) {
    QAction* a = MenuRecent->addAction(QDir::toNativeSeparators(path));
    QObject::connect(a, &QAction::triggered, this, [this, path] {
      if (Command4->isEnabled()) readParameterFile(path);
    });
  }
  MenuRecent->setEnabled(!files.isEmpty() && Command4->isEnabled());
}

void Form1::rememberFile(const QString& path) {
  QSettings settings;
  QStringList files = settings.value(kRecentKey).toStringList();
  const QString full = QFileInfo(path).absoluteFilePath();
  files.removeAll(full);
  files.prepend(full);
  while (files.size() > kRecentFiles) files.removeLast();
  settings.setValue(kRecentKey, files);
  // The list is made again when it opens: an item of it may be what read this file, and must
  // outlive its own click.
  if (MenuRecent != nullptr) MenuRecent->setEnabled(Command4->isEnabled());
}

bool Form1::verifyAfterDownload() const {
  return MenuVerify != nullptr && MenuVerify->isChecked();
}

QDialog* Form1::textDialog(const QString& name, const QString& title, const QString& text) {
  auto* old = findChild<QDialog*>(name, Qt::FindDirectChildrenOnly);
  delete old;
  auto* dialog = new QDialog(this);
  dialog->setObjectName(name);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  dialog->setWindowTitle(title);
  auto* layout = new QVBoxLayout(dialog);
  auto* label = new QLabel(text, dialog);
  label->setObjectName(QStringLiteral("text"));
  label->setWordWrap(true);
  label->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  label->setAccessibleName(title);
  layout->addWidget(label);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, dialog);
  QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::close);
  layout->addWidget(buttons);
  dialog->show();
  return dialog;
}

void Form1::showTour() {
  textDialog(
      QStringLiteral("tourDialog"), QStringLiteral("使用说明"),
      QStringLiteral(
          "上传和下载以控制器为准：\n"
          "  “上传设备参数”把控制器中的参数读到本窗口（编辑中的参数被替换）；\n"
          "  “下载参数到设备”把本窗口中的参数写入控制器。\n\n"
          "先选串口和机型，按“建立连接”。连接后才能上传和下载。\n"
          "“与控制器比较”读出控制器的参数，只列出与编辑中的参数不同之处，编辑中的参数不变。\n"
          "“下载后校验”打开时，下载成功后再读回一次，逐字节比较。\n\n"
          "双击左下角的标志，窗口变宽，右侧显示通信记录；再双击恢复。\n"
          "双击通信记录清空它。\n\n"
          "调光级别设置受密码保护：按“调光设置”，输入密码后按“确认”。"));
}

void Form1::showAbout() {
  textDialog(QStringLiteral("aboutDialog"), QStringLiteral("关于"),
             QStringLiteral("QZ系列灯光场景配置 A24\n版本 %1\n\n许可证: Apache License 2.0\n"
                            "Qt 版本 %2（运行时 %3）")
                 .arg(QStringLiteral(QZ_VERSION), QStringLiteral(QT_VERSION_STR),
                      QString::fromLatin1(qVersion())));
}

}  // namespace qz

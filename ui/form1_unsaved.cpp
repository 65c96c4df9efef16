// No edit is lost without a question. The image counts as kept once it was saved to a file,
// read from one, uploaded from the controller or downloaded into it; the title names the file
// last read or saved and marks edits since then. Leaving, reading a file and uploading ask first
// whether to save them.

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QPushButton>

#include "ui/form1.h"

namespace qz {

namespace {
const QString kTitle = QStringLiteral("QZ系列灯光场景配置 A24");
}  // namespace

void Form1::wireUnsavedEdits() {
  savedImage_ = SetData;
  savedModel_ = Combo机型->currentIndex();
  // Every edit passes through a list, a check box or a button, whose own handler has stored it
  // by the time these run.
  const auto check = [this] { showUnsaved(); };
  for (QComboBox* list : findChildren<QComboBox*>()) {
    if (list != Combo串口 && list != Combo波特率) {
      QObject::connect(list, &QComboBox::currentIndexChanged, this, check);
    }
  }
  for (QCheckBox* box : findChildren<QCheckBox*>()) {
    QObject::connect(box, &QCheckBox::stateChanged, this, check);
  }
  for (QPushButton* button : findChildren<QPushButton*>()) {
    QObject::connect(button, &QPushButton::clicked, this, check);
  }

  // Ctrl+O and Ctrl+S belong to the menu bar's items of these buttons (form1_menu.cpp).
  Command上传->setToolTip(QStringLiteral("控制器 → PC：把控制器中的参数读入编辑器"));
  Command下载->setToolTip(QStringLiteral("PC → 控制器：把编辑中的参数写入控制器"));
  Command4->setToolTip(QStringLiteral("文件 → PC：把参数文件读入编辑器 (Ctrl+O)"));
  Command5->setToolTip(QStringLiteral("PC → 文件：把编辑中的参数保存为参数文件 (Ctrl+S)"));
  showUnsaved();
}

bool Form1::editsUnsaved() const {
  return SetData != savedImage_ || Combo机型->currentIndex() != savedModel_;
}

void Form1::showUnsaved() {
  QString file = QFileInfo(keptIn_).fileName();
  // "[*]" in a title is the mark's place; one in the name is written twice to stand for itself.
  file.replace(QStringLiteral("[*]"), QStringLiteral("[*][*]"));
  setWindowTitle(file.isEmpty() ? kTitle + QStringLiteral("[*]")
                                : file + QStringLiteral("[*] - ") + kTitle);
  setWindowModified(editsUnsaved());
}

void Form1::imageSaved(const ConfigImage& image, int model) {
  savedImage_ = image;
  savedModel_ = model;
  showUnsaved();
}

void Form1::imageKeptIn(const QString& file) {
  keptIn_ = file;
  imageSaved(SetData, Combo机型->currentIndex());
}

bool Form1::editsSettled() {
  if (!editsUnsaved()) return true;
  switch (CommonDialog1.askToSave(QStringLiteral("参数已修改，是否保存？"),
                                  QStringLiteral("提示信息!"))) {
    case SaveChoice::Save:
      // Only a save that went through lets the edits go.
      Command5_Click();
      return !editsUnsaved();
    case SaveChoice::Discard:
      return true;
    case SaveChoice::Cancel:
      break;
  }
  return false;
}

bool Form1::mayLeave() {
  if (leaving_) return true;
  if (!editsSettled()) return false;
  leaving_ = true;
  return true;
}

}  // namespace qz

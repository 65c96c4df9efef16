// Parameter files: the image and the model kept on disk.
//
// Reading takes the whole file and understands it before the image or the model changes, so a
// file that cannot be read leaves the editor as it was. Saving replaces the file whole or not
// at all.

#include <QComboBox>
#include <QDir>
#include <QFileInfo>

#include "config/param_file.h"
#include "config/param_file_io.h"
#include "ui/form1.h"
#include "ui/module1.h"

namespace qz {

namespace {

const QString kSaveTitle = QStringLiteral("保存参数");
const QString kReadTitle = QStringLiteral("读取参数");

QString shownPath(const QString& path) {
  return QDir::toNativeSeparators(path);
}

}  // namespace

void Form1::Command5_Click() {
  const QString chosen = CommonDialog1.saveFileName(QString::fromLatin1(kParamFileFilter));
  if (chosen.isEmpty()) return;
  const QString path = withParamFileExtension(chosen);
  const bool replacing = QFileInfo(path).isFile();

  const auto bytes = writeParamFile(Combo机型->currentIndex(), SetData);
  const FileProblem problem = saveParamFileBytes(path, bytes);
  if (problem.kind == FileProblem::Kind::None) return;

  QString text =
      QStringLiteral("参数文件没有保存:\n%1\n\n原因: %2").arg(shownPath(path), problem.reason);
  if (replacing) text += QStringLiteral("\n\n原来的文件没有改动。");
  CommonDialog1.messageBox(text, kSaveTitle, MessageIcon::Exclamation);
}

void Form1::Command4_Click() {
  const QString path = CommonDialog1.openFileName(QString::fromLatin1(kParamFileFilter));
  if (path.isEmpty()) return;

  const LoadedFile file = loadParamFileBytes(path);
  QString reason;
  switch (file.problem.kind) {
    case FileProblem::Kind::None:
      break;
    case FileProblem::Kind::TooLarge:
      reason = QStringLiteral("文件大于 %1 KB，不是参数文件。").arg(kMaxParamFileBytes / 1024);
      break;
    default:
      reason = file.problem.reason;
      break;
  }
  const ParamFileRead read = readParamFile(file.bytes);
  if (reason.isEmpty() && !read.isParamFile()) {
    reason = QStringLiteral("文件中没有机型行，也没有场景行，不是参数文件。");
  }
  if (!reason.isEmpty()) {
    CommonDialog1.messageBox(
        QStringLiteral("参数文件没有读入:\n%1\n\n原因: %2\n\n当前参数没有改动。")
            .arg(shownPath(path), reason),
        kReadTitle, MessageIcon::Exclamation);
    return;
  }

  // The model line selects the model as the user would (its default scene pattern is written)
  // before the scene lines after it are stored.
  read.applyTo(SetData, [this](int model) { selectPosition(Combo机型, model); });
  Show_Set(1);

  if (!read.skippedLines.empty()) {
    CommonDialog1.messageBox(
        QStringLiteral("以下各行的场景号大于 18 或数值大于 255，没有读入:\n第 %1 行")
            .arg(QString::fromStdString(lineList(read.skippedLines))),
        kReadTitle, MessageIcon::Exclamation);
  }
}

}  // namespace qz

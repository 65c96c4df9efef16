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
#include "config/settings.h"
#include "ui/form1.h"
#include "ui/module1.h"
#include "ui/system_error_words.h"

namespace qz {

namespace {

const QString kSaveTitle = QStringLiteral("保存参数");
const QString kReadTitle = QStringLiteral("读取参数");

QString shownPath(const QString& path) {
  return QDir::toNativeSeparators(path);
}

// The rows a file lacks as its scene lines would name them, runs joined: "CJ05, CJ12-CJ14".
QString rowRanges(const std::array<bool, kRows>& present) {
  auto name = [](int r) { return QStringLiteral("CJ%1").arg(r, 2, 10, QLatin1Char('0')); };
  QStringList runs;
  for (int r = 0; r < kRows; ++r) {
    if (present[static_cast<std::size_t>(r)]) continue;
    int last = r;
    while (last + 1 < kRows && !present[static_cast<std::size_t>(last + 1)]) ++last;
    runs.append(last == r ? name(r) : name(r) + QLatin1Char('-') + name(last));
    r = last;
  }
  return runs.join(QStringLiteral(", "));
}

// Why a file was not read or saved, in the window's words: what stands under the name when it
// is not a regular file, otherwise the system's reason in Chinese.
QString reasonOf(const FileProblem& problem) {
  switch (problem.refusal) {
    case FileRefusal::TooLarge:
      return QStringLiteral("文件大于 %1 KB，不是参数文件。").arg(kMaxParamFileBytes / 1024);
    case FileRefusal::Directory:
      return QStringLiteral("这是文件夹，不是普通文件。");
    case FileRefusal::Fifo:
      return QStringLiteral("这是命名管道 (FIFO)，不是普通文件。");
    case FileRefusal::Device:
      return QStringLiteral("这是设备，不是普通文件。");
    case FileRefusal::Socket:
      return QStringLiteral("这是套接字，不是普通文件。");
    case FileRefusal::DanglingLink:
      return QStringLiteral("这是符号链接，它指向的文件不存在。");
    default:
      break;
  }
  if (problem.kind == FileProblem::Kind::None) return {};
  if (problem.error != 0) return systemErrorWords(problem.error);
  return problem.kind == FileProblem::Kind::CannotWrite ? QStringLiteral("写入时出错")
                                                        : QStringLiteral("打不开这个文件");
}

}  // namespace

void Form1::Command5_Click() {
  const QString chosen = CommonDialog1.saveFileName(QString::fromLatin1(kParamFileFilter));
  if (chosen.isEmpty()) return;
  const QString path = withParamFileExtension(chosen);
  const bool replacing = QFileInfo(path).isFile();

  const auto bytes = writeParamFile(Combo机型->currentIndex(), SetData);
  const FileProblem problem = saveParamFileBytes(path, bytes);
  if (problem.kind == FileProblem::Kind::None) {
    imageKeptIn(path);
    return;
  }

  QString text =
      QStringLiteral("参数文件没有保存:\n%1\n\n原因: %2").arg(shownPath(path), reasonOf(problem));
  if (replacing) text += QStringLiteral("\n\n原来的文件没有改动。");
  CommonDialog1.messageBox(text, kSaveTitle, MessageIcon::Exclamation);
}

void Form1::Command4_Click() {
  if (!editsSettled()) return;
  const QString path = CommonDialog1.openFileName(QString::fromLatin1(kParamFileFilter));
  if (path.isEmpty()) return;
  readParameterFile(path);
}

void Form1::readParameterFile(const QString& path) {
  const LoadedFile file = loadParamFileBytes(path);
  QString reason = reasonOf(file.problem);
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

  // The file's model is selected as the user would choose it (its default scene pattern is
  // written) before any of its rows is stored.
  const bool modelChanged = read.model() >= 0 && read.model() != CurModel;
  read.applyTo(SetData, [this](int model) { selectPosition(Combo机型, model); });
  Show_Set(1);
  imageKeptIn(path);
  rememberFile(path);

  // What the file did not give is said in one message: lines left out, rows it lacks.
  QStringList said;
  if (!read.skippedLines.empty()) {
    said.append(QStringLiteral("以下各行不是完整的场景行（不是 40 个字符、含有数字和空格以外的"
                               "字符、场景号大于 18 或数值大于 255），没有读入:\n第 %1 行")
                    .arg(QString::fromStdString(lineList(read.skippedLines))));
  }
  if (const QString missing = rowRanges(read.rowsPresent()); !missing.isEmpty()) {
    // A model line that changed the model wrote its default scene pattern over the rows.
    said.append(
        modelChanged
            ? QStringLiteral("文件中没有以下各行，这些参数是读入前的值，其上已写入 %2 "
                             "的默认场景图样:\n%1")
                  .arg(missing, uiText(modelName(CurModel)))
            : QStringLiteral("文件中没有以下各行，这些参数保持读入前的值:\n%1").arg(missing));
  }
  if (!said.isEmpty()) {
    CommonDialog1.messageBox(said.join(QStringLiteral("\n\n")), kReadTitle,
                             MessageIcon::Exclamation);
  }
}

}  // namespace qz

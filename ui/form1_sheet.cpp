// 打印配置单: the handover sheet of the image in the editor, as qzctl sheet draws it, with the
// customer, site and room the installer types in. Saved as a PDF or an HTML file, or printed.

#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>

#include "config/param_file.h"
#include "config/param_file_io.h"
#include "report/sheet.h"
#include "ui/form1.h"

namespace qz {

namespace {

const QString kSheetTitle = QStringLiteral("打印配置单");
const QString kSheetFilter = QStringLiteral("PDF 文件 (*.pdf);;网页文件 (*.html *.htm)");

// A name the dialog gave without an ending becomes a PDF; .html and .htm an HTML file. Any
// other ending gets .pdf added, so that the name says what the file holds.
QString sheetFileName(const QString& chosen) {
  const QString suffix = QFileInfo(chosen).suffix().toLower();
  if (suffix == QLatin1String("pdf") || suffix == QLatin1String("html") ||
      suffix == QLatin1String("htm")) {
    return chosen;
  }
  return chosen + QStringLiteral(".pdf");
}

}  // namespace

report::SheetInput Form1::sheetInput(const QDialog& dialog) const {
  report::SheetInput in;
  in.image = SetData;
  in.model = Combo机型->currentIndex();
  const auto field = [&dialog](const char* name) {
    const auto* edit = dialog.findChild<QLineEdit*>(QLatin1String(name));
    return edit != nullptr ? edit->text().trimmed().toStdString() : std::string();
  };
  in.customer = field("customer");
  in.site = field("site");
  in.room = field("room");
  // The file the editor's image was last read from or saved to, by its name.
  in.source =
      keptIn_.isEmpty() ? std::string("编辑中的参数") : QFileInfo(keptIn_).fileName().toStdString();
  if (Connected()) in.firmware = VersionText().trimmed().toStdString();
  in.date = CommonDialog1.now().toString(QStringLiteral("yyyy-MM-dd HH:mm")).toStdString();
  // The checksum of the image as 保存参数 would write it, so that the sheet matches that file.
  in.checksum = report::sha256Hex(writeParamFile(Combo机型->currentIndex(), SetData));
  in.tool = "qzconfig " QZ_VERSION;
  return in;
}

void Form1::printSheet() {
  delete findChild<QDialog*>(QStringLiteral("sheetDialog"), Qt::FindDirectChildrenOnly);
  auto* dialog = new QDialog(this);
  dialog->setObjectName(QStringLiteral("sheetDialog"));
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  dialog->setWindowTitle(kSheetTitle);
  auto* form = new QFormLayout(dialog);
  for (const auto& [name, caption] :
       {std::pair{"customer", "客户(&K):"}, std::pair{"site", "现场(&S):"},
        std::pair{"room", "房间(&R):"}}) {
    auto* edit = new QLineEdit(dialog);
    edit->setObjectName(QLatin1String(name));
    auto* label = new QLabel(QString::fromUtf8(caption), dialog);
    label->setBuddy(edit);
    form->addRow(label, edit);
  }
  auto* buttons = new QDialogButtonBox(dialog);
  QPushButton* save =
      buttons->addButton(QStringLiteral("保存为文件…"), QDialogButtonBox::AcceptRole);
  save->setObjectName(QStringLiteral("save"));
  QPushButton* print = buttons->addButton(QStringLiteral("打印…"), QDialogButtonBox::ActionRole);
  print->setObjectName(QStringLiteral("print"));
  buttons->addButton(QDialogButtonBox::Cancel);
  form->addRow(buttons);
  QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::close);
  QObject::connect(save, &QPushButton::clicked, dialog, [this, dialog] {
    const QString chosen = CommonDialog1.saveFileName(kSheetFilter);
    if (chosen.isEmpty()) return;
    const QString path = sheetFileName(chosen);
    const report::SheetInput in = sheetInput(*dialog);
    const bool html = !path.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive);
    const QByteArray bytes = html ? report::sheetHtml({&in, 1}) : report::sheetPdf({&in, 1}).bytes;
    const FileProblem problem =
        saveParamFileBytes(path, {reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                  static_cast<std::size_t>(bytes.size())});
    if (problem.kind != FileProblem::Kind::None) {
      CommonDialog1.messageBox(
          QStringLiteral("配置单没有保存:\n%1\n\n原因: %2").arg(path, problem.reason), kSheetTitle,
          MessageIcon::Exclamation);
      return;
    }
    dialog->close();
  });
  QObject::connect(print, &QPushButton::clicked, dialog, [this, dialog] {
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setFullPage(true);
    printer.setDocName(kSheetTitle);
    QPrintDialog choose(&printer, dialog);
    if (choose.exec() != QDialog::Accepted) return;
    const report::SheetInput in = sheetInput(*dialog);
    report::paintSheet(printer, {&in, 1});
    dialog->close();
  });
  dialog->show();
}

}  // namespace qz

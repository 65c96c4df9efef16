// 适配器诊断: what became of each USB serial adapter, as qzctl doctor finds it, in the window's
// words: the one thing to fix first on top with its command to copy, then every finding.

#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "doctor/machine.h"
#include "ui/adapter_words.h"
#include "ui/form1.h"

namespace qz {

namespace {

QString u(const std::string& s) {
  return QString::fromStdString(s);
}

// Every adapter with its findings, problems first marked.
QString findingsText(const doctor::Diagnosis& d) {
  QStringList lines;
  for (const doctor::Adapter& a : d.adapters) {
    QString head = QStringLiteral("USB 适配器 %1:%2").arg(u(a.ids.vendorId), u(a.ids.productId));
    for (const std::string* part : {&a.ids.manufacturer, &a.ids.product}) {
      if (!part->empty()) head += QStringLiteral(", ") + u(*part);
    }
    if (!a.com.empty()) head += QStringLiteral(" — ") + u(a.com);
    lines.append(head);
    for (const doctor::Finding& f : a.findings) {
      const QString mark = f.level == doctor::Level::Problem ? QStringLiteral("✘ ")
                           : f.level == doctor::Level::Note  ? QStringLiteral("! ")
                                                             : QStringLiteral("✔ ");
      lines.append(QStringLiteral("  ") + mark + findingWords(f));
    }
  }
  for (const doctor::Finding& f : d.machine) lines.append(findingWords(f));
  return lines.join(QLatin1Char('\n'));
}

}  // namespace

void Form1::diagnoseAdapters() {
  doctor::Machine m = doctor::readMachine();
  m.comAliases = doctor::readComAliases();
  showDiagnosis(doctor::diagnose(m, doctor::currentUser()));
}

void Form1::showDiagnosis(const doctor::Diagnosis& d) {
  delete findChild<QDialog*>(QStringLiteral("diagnosisDialog"), Qt::FindDirectChildrenOnly);
  auto* dialog = new QDialog(this);
  dialog->setObjectName(QStringLiteral("diagnosisDialog"));
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  dialog->setWindowTitle(QStringLiteral("适配器诊断"));
  auto* layout = new QVBoxLayout(dialog);
  const auto label = [dialog, layout](const char* name, const QString& text) {
    auto* l = new QLabel(text, dialog);
    l->setObjectName(QLatin1String(name));
    l->setTextFormat(Qt::PlainText);  // what devices report is shown, never interpreted
    l->setWordWrap(true);
    l->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    layout->addWidget(l);
    return l;
  };
  QLabel* verdict = label("verdict", verdictWords(d));
  verdict->setAccessibleName(QStringLiteral("诊断结果"));
  QFont bold = verdict->font();
  bold.setBold(true);
  verdict->setFont(bold);
  if (const QString command = commandToCopy(d); !command.isEmpty()) {
    auto* line = new QLineEdit(command, dialog);
    line->setObjectName(QStringLiteral("command"));
    line->setReadOnly(true);
    line->setAccessibleName(QStringLiteral("要运行的命令"));
    auto* copy = new QPushButton(QStringLiteral("复制命令(&C)"), dialog);
    copy->setObjectName(QStringLiteral("copy"));
    QObject::connect(copy, &QPushButton::clicked, dialog,
                     [command] { QApplication::clipboard()->setText(command); });
    layout->addWidget(line);
    layout->addWidget(copy);
  }
  label("findings", findingsText(d))->setAccessibleName(QStringLiteral("诊断详情"));
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, dialog);
  QPushButton* again =
      buttons->addButton(QStringLiteral("再诊断一次(&R)"), QDialogButtonBox::ActionRole);
  QObject::connect(again, &QPushButton::clicked, this, [this] { diagnoseAdapters(); });
  QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::close);
  layout->addWidget(buttons);
  dialog->show();
}

}  // namespace qz

// 与控制器比较 and 下载后校验: the controller's image read back by an ordinary upload whose image
// goes to them and never into the editor, and its differences in the words of the window's
// captions. With 下载后校验 off nothing here takes part in a download.

#include <QComboBox>
#include <QDateTime>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QStringList>
#include <QTimer>

#include "config/setting_words.h"
#include "config/settings.h"
#include "ui/clock_text.h"
#include "ui/form1.h"
#include "ui/module1.h"

namespace qz {

namespace {

constexpr std::string_view kComparingText = "  正在读取控制器参数";
constexpr std::string_view kCompareFailedText = "    读取失败";
constexpr std::string_view kVerifyingText = "  正在校验参数";

QStringList wordsOf(const ConfigImage& controller, const ConfigImage& other, int model,
                    std::string_view otherSide) {
  QStringList lines;
  for (const std::string& line :
       imageDifferenceWords(controller, other, model, {"控制器", otherSide, "未设置"})) {
    lines.append(uiText(line));
  }
  return lines;
}

}  // namespace

void Form1::compareWithController() {
  if (!Connected() || !Command上传->isEnabled()) return;
  comparing_ = true;
  drive([this] { session.upload(); });
}

bool Form1::readBackEvent(const SessionEvent& e) {
  const auto say = [this](std::string_view text) {
    Frame提示->show();
    Label提示->setText(uiText(text));
  };
  if (const auto* r = std::get_if<event::ReadBack>(&e)) {
    checkReadBack(*r);
    return true;
  }
  const auto* t = std::get_if<event::Transfer>(&e);
  // A download read back says its success only once the controller's image has been found
  // equal to what was sent.
  if (t != nullptr && t->readBack && t->direction == Direction::Download) {
    if (t->news == TransferNews::Started) verifiedNews_.clear();
    if (!t->done || (t->news != TransferNews::Succeeded && t->news != TransferNews::Closed)) {
      return false;
    }
    verifiedNews_.push_back(e);
    say(kVerifyingText);
    if (t->news == TransferNews::Closed) Load_JD(0, 0);
    // The read-back follows: no other transfer meanwhile.
    Command上传->setEnabled(false);
    return true;
  }
  const bool verifying = t != nullptr && t->readBack;
  if (!verifying && !comparing_) return false;
  if (const auto* u = std::get_if<event::Uploaded>(&e)) {
    const int model = session.controllerModel();
    QStringList lines = wordsOf(u->image, SetData, model, "编辑中");
    if (model != Combo机型->currentIndex()) {
      lines.prepend(QStringLiteral("机型: 控制器 %1, 编辑中 %2")
                        .arg(uiText(modelName(model)), Combo机型->currentText()));
    }
    textDialog(QStringLiteral("compareDialog"), QStringLiteral("与控制器比较"),
               lines.isEmpty() ? QStringLiteral("控制器中的参数与编辑中的参数相同。")
                               : QStringLiteral("有 %1 处不同:\n").arg(lines.size()) +
                                     lines.join(QLatin1Char('\n')));
    return true;
  }
  if (t == nullptr) return false;
  switch (t->news) {
    case TransferNews::Started:
      say(verifying ? kVerifyingText : kComparingText);
      Command上传->setEnabled(false);
      Command下载->setEnabled(false);
      return true;
    case TransferNews::Succeeded:
      return true;  // what the image says is said when it arrives
    case TransferNews::Failed:
    case TransferNews::Incomplete:
      say(verifying ? kDownloadFailedText : kCompareFailedText);
      if (verifying) {
        verifyFailed(QStringLiteral("参数已下载，但读回控制器的参数时失败，没有校验。"),
                     QStringLiteral("读回失败"));
      }
      return true;
    case TransferNews::Closed:
      comparing_ = false;
      Load_JD(0, 0);
      if (!failureHeld_) Frame提示->hide();
      Command上传->setEnabled(true);
      Command下载->setEnabled(true);
      return true;
    case TransferNews::Interrupted:
      comparing_ = false;
      Load_JD(0, 0);
      if (!t->done) say(verifying ? kDownloadFailedText : kCompareFailedText);
      return true;
    case TransferNews::None:
      break;
  }
  return false;
}

void Form1::checkReadBack(const event::ReadBack& r) {
  if (r.rows.empty()) {
    Label提示->setText(uiText(kDownloadedText));
    // Now the download counts as done: the image is the saved one, its history line follows.
    for (const SessionEvent& news : verifiedNews_) showOutcome(news);
    verifiedNews_.clear();
    return;
  }
  QStringList rows;
  for (const int row : r.rows) {
    const std::string_view key = sceneKeyName(row);
    rows.append(QStringLiteral("CJ%1").arg(row, 2, 10, QLatin1Char('0')) +
                (key.empty() ? QString() : QStringLiteral("（%1）").arg(uiText(key))));
  }
  verifyFailed(QStringLiteral("下载后校验失败：控制器读回的参数与下载的不同，不同的行: %1。\n"
                              "控制器中的参数可能不完整，请重新下载")
                   .arg(rows.join(QStringLiteral("、"))),
               QStringLiteral("校验不符: ") + rows.join(QStringLiteral("、")));
  // Each difference under the history's outcome line, in the window's words.
  for (const QString& line : wordsOf(r.image, sentImage_, session.controllerModel(), "下载的")) {
    List1->addItem(QStringLiteral("  ") + line);
  }
  List1->setCurrentRow(List1->count() - 1);
}

void Form1::verifyFailed(const QString& reason, const QString& historyWhy) {
  verifiedNews_.clear();
  Frame提示->show();
  Label提示->setText(uiText(kDownloadFailedText));
  Label原因->setText(reason);
  Label原因->show();
  Label原因->raise();
  // As the history says any failed transfer: what, when, why.
  const QDateTime now = CommonDialog1.now();
  List1->addItem(QStringLiteral("下载失败 %1 %2 %3")
                     .arg(now.date().toString(QStringLiteral("yyyy-MM-dd")),
                          timeOfDayText(now.time()), historyWhy));
  holdFailure();
}

}  // namespace qz

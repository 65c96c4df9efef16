// What an attempt that failed leaves on screen besides its status text: why it failed and what
// that means for the image, until the user has read it; and one history line per transfer,
// whatever became of it. The conversation's ticks and texts stay as they are: the status frame
// closes where it always closed, unless a failure is on it, which then stays until the user's
// next key or mouse press in the window.

#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QScrollArea>
#include <functional>
#include <utility>

#include "config/settings.h"
#include "session/connection.h"
#include "ui/clock_text.h"
#include "ui/form1.h"
#include "ui/form_widgets.h"
#include "ui/module1.h"

namespace qz {

namespace {

// Runs a hook on every event of the objects it watches; the event goes on as it was.
class EventHook final : public QObject {
 public:
  using Hook = std::function<void(QObject*, QEvent*)>;
  EventHook(QObject* parent, Hook hook) : QObject(parent), hook_(std::move(hook)) {}
  bool eventFilter(QObject* watched, QEvent* event) override {
    hook_(watched, event);
    return false;
  }

 private:
  Hook hook_;
};

bool isModifierKey(int key) {
  return key == Qt::Key_Shift || key == Qt::Key_Control || key == Qt::Key_Alt ||
         key == Qt::Key_Meta || key == Qt::Key_AltGr;
}

QString stamp(const QDateTime& now) {
  return now.date().toString(QStringLiteral("yyyy-MM-dd")) + QLatin1Char(' ') +
         timeOfDayText(now.time());
}

// Why a transfer failed, in one sentence.
QString whyTransferFailed(const event::Transfer& t, bool portWentAway) {
  if (portWentAway || t.why == TransferEnd::PortLost)
    return QStringLiteral("串口已断开（适配器被拔出或线路中断），传输没有完成。");
  if (t.news == TransferNews::Interrupted) return QStringLiteral("连接已断开，传输没有完成。");
  switch (t.why) {
    case TransferEnd::FrameBudget:
      return QStringLiteral("控制器一再要求重发（停在第%1行），已发出 %2 帧，传输放弃。")
          .arg(t.row)
          .arg(kTransferFrameBudget);
    case TransferEnd::TimeBudget:
      return QStringLiteral("传输超过 %1 秒没有完成，已放弃。").arg(kTransferTimeBudget.count());
    case TransferEnd::None:
    case TransferEnd::Silence:
    case TransferEnd::PortLost:
      break;
  }
  return (t.direction == Direction::Download ? QStringLiteral("第%1行发出后，控制器没有应答。")
                                             : QStringLiteral("请求第%1行后，控制器没有应答。"))
      .arg(t.row);
}

// What a failed transfer leaves behind.
QString leftBehind(Direction d) {
  return d == Direction::Download ? QStringLiteral("控制器中的参数可能不完整，请重新下载")
                                  : QStringLiteral("编辑中的参数没有改变");
}

}  // namespace

void Form1::wireMoments() {
  wireOutcomes();
  wirePortList();
  wireUnsavedEdits();
}

void Form1::wireOutcomes() {
  // A note on top of the service frames, as wide as the window, right above the status frame.
  Label原因 = new QLabel(Frame提示->parentWidget());
  Label原因->setGeometry(twips(120), twips(8130), twips(9555), twips(780));
  Label原因->setWordWrap(true);
  Label原因->setFrameStyle(QFrame::Box | QFrame::Plain);
  Label原因->setMargin(4);
  Label原因->setAutoFillBackground(true);
  setColour(Label原因, QPalette::Window, QColor(255, 250, 205));
  setColour(Label原因, QPalette::WindowText, QColor(0, 0, 0));
  Label原因->setAccessibleDescription(QStringLiteral("失败原因"));
  Label原因->hide();

  // Any key or mouse press in the window is the user's next action.
  qApp->installEventFilter(new EventHook(this, [this](QObject* watched, QEvent* event) {
    if (event->type() != QEvent::MouseButtonPress && event->type() != QEvent::KeyPress) return;
    if (event->type() == QEvent::KeyPress && isModifierKey(static_cast<QKeyEvent*>(event)->key())) {
      return;
    }
    auto* widget = qobject_cast<QWidget*>(watched);
    if (widget != nullptr && widget->window() == this) userActed();
  }));
  // On a screen too small for the window, what appears at its bottom is scrolled into view.
  auto* shown = new EventHook(this, [this](QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Show && scroller_ != nullptr) {
      scroller_->ensureWidgetVisible(static_cast<QWidget*>(watched), 0, 0);
    }
  });
  Frame提示->installEventFilter(shown);
  Label原因->installEventFilter(shown);
}

void Form1::userActed() {
  if (!failureHeld_) return;
  failureHeld_ = false;
  Frame提示->hide();
  Label原因->hide();
}

void Form1::holdFailure() {
  failureHeld_ = true;
  Frame提示->show();
}

void Form1::showOutcome(const SessionEvent& e) {
  const auto explain = [this](const QString& text) {
    Label原因->setText(text);
    Label原因->show();
    Label原因->raise();
    QAccessibleEvent alert(Label原因, QAccessible::Alert);
    QAccessible::updateAccessibility(&alert);
  };
  const auto startOver = [this] {
    failureHeld_ = false;
    Label原因->hide();
  };
  const auto history = [this](const QString& what, const QString& why) {
    QString line = what + QLatin1Char(' ') + stamp(CommonDialog1.now());
    if (!why.isEmpty()) line += QLatin1Char(' ') + why;
    List1->addItem(line);
    List1->setCurrentRow(List1->count() - 1);
  };

  if (const auto* t = std::get_if<event::Transfer>(&e)) {
    const bool down = t->direction == Direction::Download;
    const QString failed = down ? QStringLiteral("下载失败") : QStringLiteral("上传失败");
    switch (t->news) {
      case TransferNews::Started:
        startOver();
        portWentAway_ = false;
        if (down) {
          sentImage_ = SetData;
          sentModel_ = Combo机型->currentIndex();
        }
        break;
      case TransferNews::Succeeded:
        // An answer after the failure text carried the transfer on to the end.
        startOver();
        if (down) imageSaved(sentImage_, sentModel_);
        break;
      case TransferNews::Failed:
        explain(whyTransferFailed(*t, false) + QLatin1Char('\n') + leftBehind(t->direction));
        break;
      case TransferNews::Closed:
        if (t->done) {
          history(down ? QStringLiteral("下载成功") : QStringLiteral("上传成功"), QString());
        } else {
          history(failed, whyTransferFailed(*t, false));
          holdFailure();
        }
        break;
      case TransferNews::Interrupted:
        if (!t->done) {
          const QString why = whyTransferFailed(*t, portWentAway_);
          history(failed, why);
          explain(why + QLatin1Char('\n') + leftBehind(t->direction));
          holdFailure();
        }
        portWentAway_ = false;
        break;
      case TransferNews::Incomplete:
      case TransferNews::None:
        break;
    }
  } else if (const auto* u = std::get_if<event::Uploaded>(&e)) {
    // The editor holds the controller's image now, no longer the file's.
    keptIn_.clear();
    imageSaved(u->image, Combo机型->currentIndex());
  } else if (const auto* a = std::get_if<event::ControllerAnswered>(&e)) {
    Label机型->setText(uiText(modelName(a->model)));
    // The editor taking the controller's model is no edit of the user's.
    if (a->first && cleanAtConnect_) imageSaved(SetData, Combo机型->currentIndex());
  } else if (std::holds_alternative<event::Connecting>(e)) {
    startOver();
    cleanAtConnect_ = !editsUnsaved();
  } else if (std::holds_alternative<event::AttemptFailed>(e)) {
    explain(
        QStringLiteral("%1 次握手都没有应答。请检查：所选串口 %2 是否接着控制器，控制器是否通电，"
                       "A/B 线是否接反，波特率 %3 是否与控制器相同。")
            .arg(kHandshakeAttempts)
            .arg(Combo串口->currentText(), Combo波特率->currentText()));
  } else if (std::holds_alternative<event::AttemptOver>(e)) {
    holdFailure();
    if (portsStale_) fillPortList();
  } else if (const auto* lost = std::get_if<event::PortLost>(&e)) {
    portWentAway_ = true;
    if (lost->wasLinked) {
      explain(QStringLiteral(
          "串口已断开（适配器被拔出或线路中断）。请检查适配器和线路，然后重新连接。"));
      holdFailure();
    }
    if (portsStale_) fillPortList();
  } else if (const auto* d = std::get_if<event::Disconnected>(&e)) {
    if (d->by == DisconnectBy::Button && portsStale_) fillPortList();
  }
}

}  // namespace qz

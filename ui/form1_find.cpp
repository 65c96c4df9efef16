// 查找控制器: each listed port that no other program holds is opened in turn and greeted with
// the connection attempt's own handshake; the first port whose controller answers is selected
// in the port list, and the window says which. The search can be cancelled at any time; the
// port the window connects through is left closed.

#include <QComboBox>
#include <QPointer>
#include <QProgressDialog>
#include <QPushButton>
#include <QTimer>
#include <memory>

#include "config/settings.h"
#include "link/com_ports.h"
#include "ui/form1.h"
#include "ui/module1.h"

namespace qz {

namespace {

// A controller answers the first handshake it hears; a few more cover a line that was busy.
constexpr int kProbeHandshakes = 5;
const QString kFindTitle = QStringLiteral("查找控制器");

}  // namespace

// One search: a conversation of its own on the window's port, port after port.
class ControllerFinder final : public QObject {
 public:
  ControllerFinder(Form1& w, QStringList ports) : QObject(&w), w_(w), ports_(std::move(ports)) {
    progress_ = new QProgressDialog(kFindTitle, QStringLiteral("取消"), 0,
                                    static_cast<int>(ports_.size()), &w);
    progress_->setObjectName(QStringLiteral("findProgress"));
    setProperty("searching", true);
    progress_->setWindowTitle(kFindTitle);
    progress_->setMinimumDuration(0);
    progress_->setAutoClose(false);
    progress_->setAutoReset(false);
    QObject::connect(progress_, &QProgressDialog::canceled, this, [this] { finish(-1, 0); });
    w_.MSComm1.onComm = [this] {
      if (probe_) probe_->driver.portNotified();
    };
    QTimer::singleShot(0, this, [this] { next(); });
  }
  ~ControllerFinder() override {
    if (!done_) giveBackPort();  // the window goes away during a search
    delete progress_;
  }
  ControllerFinder(const ControllerFinder&) = delete;
  ControllerFinder& operator=(const ControllerFinder&) = delete;

 private:
  // The conversation with one port: a few handshakes, and the time each gets to be answered.
  struct Probe {
    explicit Probe(SerialPort& port) : driver(port, session) {}
    Session session{{.handshakes = kProbeHandshakes}};
    PortDriver driver;
  };

  // The next port that opens, or the end of the list.
  void next() {
    closePort();
    while (at_ < ports_.size()) {
      const QString name = ports_[at_++];
      progress_->setValue(static_cast<int>(at_) - 1);
      progress_->setLabelText(
          QStringLiteral("正在试 %1 (%2/%3)……").arg(name).arg(at_).arg(ports_.size()));
      // A port another program holds, or one that cannot be opened, is passed over.
      const OpenResult opened =
          OpenComPort(w_.MSComm1, name.toStdString(), w_.Combo波特率->currentText().toStdString(),
                      "NONE", "8", "1");
      if (!opened.opened) continue;
      probe_ = std::make_unique<Probe>(w_.MSComm1);
      probe_->driver.onEvent = [this](const SessionEvent& e) { happened(e); };
      probe_->driver.run([probe = probe_.get()] { probe->session.connect(); });
      return;
    }
    finish(-1, 0);
  }

  void happened(const SessionEvent& e) {
    if (const auto* answered = std::get_if<event::ControllerAnswered>(&e)) {
      const int found = static_cast<int>(at_) - 1;
      const int model = answered->model;
      later([this, found, model] { finish(found, model); });
    } else if (std::holds_alternative<event::AttemptFailed>(e) ||
               std::holds_alternative<event::PortLost>(e)) {
      // Once for this port, whichever of the two came.
      later([this, port = at_] {
        if (port == at_ && !done_) next();
      });
    }
  }

  // Done with this conversation once the call that brought the news has returned.
  template <typename F>
  void later(F f) {
    QTimer::singleShot(0, this, f);
  }

  // The port closed and its notifications the window's again, at once: the window may
  // connect before this object is gone.
  void giveBackPort() {
    closePort();
    w_.MSComm1.onComm = [form = &w_] { form->MSComm1_OnComm(); };
  }

  void closePort() {
    probe_.reset();
    if (w_.MSComm1.isOpen()) CloseComPort(w_.MSComm1);
  }

  // `found`: the index in the list of the port that answered; -1: none (or cancelled).
  void finish(int found, int model) {
    if (done_) return;
    done_ = true;
    setProperty("searching", false);
    const bool cancelled = progress_->wasCanceled();
    giveBackPort();
    progress_->hide();
    if (found >= 0) {
      const QString name = ports_[static_cast<qsizetype>(found)];
      w_.Combo串口->setCurrentIndex(w_.Combo串口->findText(name));
      w_.CommonDialog1.messageBox(
          QStringLiteral("在 %1 找到控制器 %2。\n已选中这个串口，按“建立连接”连接。")
              .arg(name, uiText(modelName(model))),
          kFindTitle, MessageIcon::Information);
    } else if (!cancelled) {
      w_.CommonDialog1.messageBox(
          QStringLiteral("在列出的串口上没有找到控制器。\n\n请检查控制器的电源和 485 接线；"
                         "适配器的问题见“控制器”菜单中的“适配器诊断”。"),
          kFindTitle, MessageIcon::Exclamation);
    }
    deleteLater();
  }

  Form1& w_;
  QStringList ports_;
  qsizetype at_ = 0;
  QPointer<QProgressDialog> progress_;
  std::unique_ptr<Probe> probe_;
  bool done_ = false;
};

void Form1::findController() {
  if (Connected() || MSComm1.isOpen()) return;
  if (!finder_.isNull() && finder_->property("searching").toBool()) return;
  QStringList ports;
  for (int i = 0; i < Combo串口->count(); ++i) ports.append(Combo串口->itemText(i));
  finder_ = new ControllerFinder(*this, ports);
}

}  // namespace qz

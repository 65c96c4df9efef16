// What the window reacts to: its buttons and lists, its timers, the keyboard's order and the
// double clicks and keys of the logo and the history; and the window closing.

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <vector>

#include "ui/form1.h"
#include "ui/form_widgets.h"

namespace qz {

namespace {

// The keyboard visits the window in reading order, frame by frame: the connection, the scene
// keys, the global settings, the panel of the model, the level table with its password panel
// right after the button that opens it, the fan and air-conditioner lists, the two service
// frames, the prompt, and last the logo, the exit button and the history.
void setFocusChain(Form1& w) {
  std::vector<QWidget*> chain = {w.Combo串口,   w.Combo波特率, w.Combo机型, w.Command建立连接,
                                 w.Command上传, w.Command下载, w.Command4,  w.Command5};
  for (int i = 1; i <= 17; ++i) chain.push_back(w.Command6[i]);
  chain.insert(chain.end(), {w.Combo开机场景, w.Combo工作模式, w.Combo1DMX地址, w.Combo场景模式});
  for (int m = 0; m < kModels; ++m) {
    for (int s = 0; s < switchCount(m); ++s) chain.push_back(w.switchBox(m, s));
    for (int d = 0; d < dimCount(m); ++d) chain.push_back(w.levelList(m, d));
  }
  chain.insert(chain.end(), {w.Command9, w.Text, w.Command10, w.Command11});
  for (int k = 0; k < kLevels; ++k) chain.push_back(w.Combo调光级别[k]);
  for (int i = 0; i < 9; ++i) chain.push_back(w.Combo空调排风[i]);
  chain.insert(chain.end(), {w.Option1, w.Option2, w.Command2, w.Command3, w.Option3, w.Option4,
                             w.Command8, w.Command1, w.Image1, w.Command7, w.List1});
  for (std::size_t i = 1; i < chain.size(); ++i) QWidget::setTabOrder(chain[i - 1], chain[i]);
}

}  // namespace

void Form1::wireWindow() {
  setFocusChain(*this);

  // ---- Buttons ----
  QObject::connect(Command建立连接, &QPushButton::clicked, this,
                   [this] { Command建立连接_Click(); });
  QObject::connect(Command上传, &QPushButton::clicked, this, [this] { Command上传_Click(); });
  QObject::connect(Command下载, &QPushButton::clicked, this, [this] { Command下载_Click(); });
  QObject::connect(Command4, &QPushButton::clicked, this, [this] { Command4_Click(); });
  QObject::connect(Command5, &QPushButton::clicked, this, [this] { Command5_Click(); });
  QObject::connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });
  QObject::connect(Command2, &QPushButton::clicked, this, [this] { Command2_Click(); });
  QObject::connect(Command3, &QPushButton::clicked, this, [this] { Command3_Click(); });
  QObject::connect(Command8, &QPushButton::clicked, this, [this] { Command8_Click(); });
  QObject::connect(Command9, &QPushButton::clicked, this, [this] { Command9_Click(); });
  QObject::connect(Command10, &QPushButton::clicked, this, [this] { Command10_Click(); });
  QObject::connect(Command11, &QPushButton::clicked, this, [this] { Command11_Click(); });
  QObject::connect(Command7, &QPushButton::clicked, this, [this] { Command7_Click(); });
  QObject::connect(Combo机型, &QComboBox::currentIndexChanged, this,
                   [this](int) { Combo机型_Click(); });
  QObject::connect(Combo开机场景, &QComboBox::currentIndexChanged, this,
                   [this](int) { Combo开机场景_Click(); });
  QObject::connect(Combo工作模式, &QComboBox::currentIndexChanged, this,
                   [this](int) { Combo工作模式_Click(); });
  QObject::connect(Combo1DMX地址, &QComboBox::currentIndexChanged, this,
                   [this](int) { Combo1DMX地址_Click(); });
  QObject::connect(Combo场景模式, &QComboBox::currentIndexChanged, this,
                   [this](int) { Combo场景模式_Click(); });

  // ---- Timers ----
  auto timer = [this](int ms, auto handler) {
    auto* t = new QTimer(this);
    // Qt's default timer may fire up to 5 % early or late; the ticks here count time.
    t->setTimerType(Qt::PreciseTimer);
    t->setInterval(ms);
    QObject::connect(t, &QTimer::timeout, this, handler);
    return t;
  };
  Timer1 = timer(333, [this] { Timer1_Timer(); });
  Timer1->start();
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonDblClick) {
    if (watched == Image1) {
      Image1_DblClick();
      return true;
    }
    if (watched == List1 || watched == List1->viewport()) {
      List1_DblClick();
      return true;
    }
  }
  if (watched == Image1 &&
      (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut)) {
    setColour(Image1, QPalette::WindowText,
              event->type() == QEvent::FocusIn ? kLogoFocusBorder : kLogoBorder);
  }
  if (event->type() == QEvent::KeyPress && watched == Image1) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space) {
      Image1_DblClick();
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

void Form1::closeEvent(QCloseEvent* event) {
  if (!mayLeave()) {
    event->ignore();
    return;
  }
  Form_Unload();
  event->accept();
}

}  // namespace qz

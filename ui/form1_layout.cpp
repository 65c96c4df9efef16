// The controls of the window, where they stand, their tab order and the names assistive
// technology reads. The keyboard's order is set once all controls exist (setFocusChain).

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QEvent>
#include <QGroupBox>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QStringListModel>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <QTimer>
#include <vector>

#include "config/settings.h"
#include "ui/form1.h"
#include "ui/logo_image.h"
#include "ui/module1.h"

namespace qz {

namespace {

constexpr int kWindowHeight = 690;  // pixels; the logo line sits at 9720 twips

// A button whose caption breaks into lines of equal length when the button is narrower than the
// caption, as the tall, narrow "调光设置" button needs ("调光" over "设置"). The caption stays one
// text.
class WrappingButton final : public QPushButton {
 public:
  using QPushButton::QPushButton;

 protected:
  void paintEvent(QPaintEvent*) override {
    QStylePainter p(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    const QString caption = option.text;
    option.text.clear();
    p.drawControl(QStyle::CE_PushButton, option);
    const QRect area = rect().adjusted(2, 2, -2, -2);
    p.drawItemText(area, Qt::AlignCenter, option.palette, isEnabled(), brokenCaption(caption, area),
                   QPalette::ButtonText);
  }

 private:
  [[nodiscard]] QString brokenCaption(const QString& caption, const QRect& area) const {
    const qsizetype length = caption.size();
    for (qsizetype lines = 1; lines <= length; ++lines) {
      const qsizetype perLine = (length + lines - 1) / lines;
      QStringList parts;
      for (qsizetype at = 0; at < length; at += perLine) parts.append(caption.mid(at, perLine));
      bool fits = true;
      for (const QString& part : parts) {
        fits = fits && fontMetrics().horizontalAdvance(part) <= area.width();
      }
      if (fits || perLine == 1) return parts.join(QLatin1Char('\n'));
    }
    return caption;
  }
};

// A frame without title drawn as a plain panel: its background colour and a thin gray border.
class PlainPanel final : public QGroupBox {
 public:
  using QGroupBox::QGroupBox;

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Window));
    p.setPen(QColor(128, 128, 128));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
  }
};

// The change handler of each panel's switch boxes and level lists, by model.
using IndexHandler = void (Form1::*)(int);
constexpr std::array<IndexHandler, kModels> kSwitchHandlers = {
    &Form1::TD1_Click, &Form1::TD2_Click, &Form1::TD3_Click, &Form1::TD4_Click, &Form1::TD5_Click};
constexpr std::array<IndexHandler, kModels - 1> kLevelHandlers = {
    &Form1::TG1_Click, &Form1::TG2_Click, &Form1::TG3_Click, &Form1::TG4_Click};

template <class W>
W* make(QWidget* parent, int x, int y, int w, int h) {
  auto* widget = new W(parent);
  widget->setGeometry(x, y, w, h);
  return widget;
}

QLabel* label(QWidget* parent, const QString& text, int x, int y, int w, int h = 20) {
  auto* l = make<QLabel>(parent, x, y, w, h);
  l->setText(text);
  return l;
}

QGroupBox* frame(QWidget* parent, const QString& title, int x, int y, int w, int h) {
  auto* f = make<QGroupBox>(parent, x, y, w, h);
  f->setTitle(title);
  return f;
}

QPushButton* button(QWidget* parent, const QString& text, int x, int y, int w, int h = 26) {
  auto* b = make<QPushButton>(parent, x, y, w, h);
  b->setText(text);
  return b;
}

QComboBox* list(QWidget* parent, int x, int y, int w, int h = 22) {
  auto* c = make<QComboBox>(parent, x, y, w, h);
  c->setMaxVisibleItems(17);
  return c;
}

// The label names the control beside it, for the keyboard (buddy) and for screen readers.
void nameBy(QLabel* l, QWidget* control) {
  l->setBuddy(control);
  control->setAccessibleName(l->text());
}

const QString kLogoText = QStringLiteral("QZ 灯光场景控制");
const QColor kLogoBorder(0, 0, 160);
const QColor kLogoFocusBorder(255, 200, 0);

// Colours go into palettes, not style sheets: a style sheet puts its widget and every widget
// inside it under a style of its own, which costs a good part of the window's start-up.
void setColour(QWidget* widget, QPalette::ColorRole role, const QColor& colour) {
  QPalette p = widget->palette();
  p.setColor(role, colour);
  widget->setPalette(p);
}

QPixmap logo() {
  return QPixmap(kLogoXpm);
}

// A list of many number items holds them as one list of strings rather than an item object
// each (fillList keeps it so).
QComboBox* longList(QWidget* parent, int x, int y, int w, int h = 22) {
  auto* c = list(parent, x, y, w, h);
  c->setModel(new QStringListModel(c));
  return c;
}

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

void Form1::buildWindow() {
  setWindowTitle(QStringLiteral("QZ系列灯光场景配置 A24"));
  setFixedSize(twips(kNarrowWidthTwips), kWindowHeight);

  // ---- Connection ----
  Frame1 = frame(this, QStringLiteral("连接"), 8, 4, 637, 104);
  Label1 = label(Frame1, QStringLiteral("串口"), 10, 24, 30);
  Combo串口 = list(Frame1, 42, 23, 80);
  nameBy(Label1, Combo串口);
  Label2 = label(Frame1, QStringLiteral("波特率"), 132, 24, 44);
  Combo波特率 = list(Frame1, 178, 23, 80);
  nameBy(Label2, Combo波特率);
  Combo波特率->setEnabled(false);
  Label15 = label(Frame1, QStringLiteral("机型"), 268, 24, 30);
  Combo机型 = list(Frame1, 300, 23, 96);
  nameBy(Label15, Combo机型);
  Command建立连接 = button(Frame1, QStringLiteral("建立连接"), 410, 21, 100);
  Command上传 = button(Frame1, QStringLiteral("上传设备参数"), 10, 50, 112);
  Command下载 = button(Frame1, QStringLiteral("下载参数到设备"), 130, 50, 128);
  Command上传->setEnabled(false);
  Command下载->setEnabled(false);
  Command4 = button(Frame1, QStringLiteral("读取参数"), 268, 50, 100);
  Command5 = button(Frame1, QStringLiteral("保存参数"), 376, 50, 100);
  Label13 = label(Frame1, QStringLiteral("机型："), 10, 80, 44);
  Label机型 = label(Frame1, QString(), 56, 80, 90);
  Label14 = label(Frame1, QStringLiteral("软件版本："), 156, 80, 70);
  Label软件版本 = label(Frame1, QString(), 228, 80, 400);
  Label软件版本->setTextFormat(Qt::PlainText);
  // The model and the version are values: a screen reader reads the value as the label's name
  // and the caption beside it as what labels it.
  Label13->setBuddy(Label机型);
  Label14->setBuddy(Label软件版本);

  // ---- Light settings ----
  auto* f2 = frame(this, QStringLiteral("灯光设置"), 8, 112, 637, 426);
  Frame2.slot(0) = f2;
  // Four rows: 1..7, 8..13, the two "all lights" keys, pause and mute.
  const int keyW = twips(1300);
  const int keyH = twips(400);
  for (int i = 1; i <= 17; ++i) {
    int row = 0;
    int col = i - 1;
    if (i >= 8 && i <= 13) {
      row = 1;
      col = i - 8;
    } else if (i == 14 || i == 15) {
      row = 2;
      col = i - 14;
    } else if (i >= 16) {
      row = 3;
      col = i - 16;
    }
    auto* key = make<FlatButton>(f2, 10 + col * (keyW + 3), 22 + row * (keyH + 4), keyW, keyH);
    key->setText(uiText(sceneKeyName(i - 1)));
    Command6.slot(i) = key;
    QObject::connect(key, &QPushButton::clicked, this, [this, i] { Command6_Click(i); });
  }
  paintSceneKeys(0);
  // Global settings beside the short key rows.
  Label26 = label(f2, QStringLiteral("开机场景"), 200, 86, 60);
  Combo开机场景 = list(f2, 282, 85, 100);
  nameBy(Label26, Combo开机场景);
  Label5 = label(f2, QStringLiteral("工作模式"), 396, 86, 60);
  Combo工作模式 = list(f2, 458, 85, 110);
  nameBy(Label5, Combo工作模式);
  Label17 = label(f2, QStringLiteral("DMX512地址"), 200, 117, 80);
  Combo1DMX地址 = longList(f2, 282, 116, 100);
  nameBy(Label17, Combo1DMX地址);
  Label21 = label(f2, QStringLiteral("场景模式"), 396, 117, 60);
  Combo场景模式 = list(f2, 458, 116, 110);
  nameBy(Label21, Combo场景模式);
  Label21->hide();
  Combo场景模式->hide();

  // Model panels, one on top of the other: two rows of six channel positions.
  int labelIndex = 0;
  for (int m = 0; m < kModels; ++m) {
    auto* panel = frame(f2, uiText(modelName(m)), 10, 148, 617, 84);
    setColour(panel, QPalette::WindowText, QColor(0, 0, 255));
    panel->hide();
    Frame6.slot(m) = panel;
    const int s = switchCount(m);
    for (int pos = 0; pos < kRowBytes; ++pos) {
      const int x = 10 + (pos % 6) * 100;
      const int y = 24 + (pos / 6) * 28;
      if (pos < s) {
        auto* box = make<QCheckBox>(panel, x, y, 96, 22);
        box->setText(QStringLiteral("开关通道%1").arg(pos + 1));
        switchBoxSlots(m)[static_cast<std::size_t>(pos)] = box;
        QObject::connect(box, &QCheckBox::stateChanged, this, [this, m, pos](int) {
          (this->*kSwitchHandlers[static_cast<std::size_t>(m)])(pos);
        });
      } else {
        const int d = pos - s;
        auto* l = label(panel, QStringLiteral("调光%1").arg(d + 1), x, y + 1, 38);
        auto* c = list(panel, x + 40, y, 52);
        nameBy(l, c);
        Label16.slot(labelIndex++) = l;
        levelListSlots(m)[static_cast<std::size_t>(d)] = c;
        QObject::connect(c, &QComboBox::currentIndexChanged, this, [this, m, d](int) {
          (this->*kLevelHandlers[static_cast<std::size_t>(m)])(d);
        });
      }
    }
    // Only the title is blue; what the panel holds keeps the ordinary text colour.
    for (QWidget* child : panel->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
      setColour(child, QPalette::WindowText,
                QApplication::palette(child).color(QPalette::WindowText));
    }
  }

  // Dimming level table, behind the password.
  Frame3 = frame(f2, QStringLiteral("调光级别设置"), 10, 238, 617, 92);
  Command9 = make<WrappingButton>(Frame3, twips(240), twips(360), twips(615), twips(855));
  Command9->setText(QStringLiteral("调光设置"));
  for (int k = 0; k < kLevels; ++k) {
    const int x = 66 + (k % 5) * 108;
    const int y = 24 + (k / 5) * 32;
    auto* l = label(Frame3, QStringLiteral("%1级").arg(k), x, y + 1, 30);
    auto* c = longList(Frame3, x + 32, y, 66);
    nameBy(l, c);
    Label20.slot(k) = l;
    Combo调光级别.slot(k) = c;
    QObject::connect(c, &QComboBox::currentIndexChanged, this,
                     [this, k](int) { Combo调光级别_Click(k); });
  }
  Frame密码 = make<PlainPanel>(Frame3, twips(2280), 0, twips(4455), twips(1215));
  Frame密码->setAutoFillBackground(true);
  setColour(Frame密码, QPalette::Window, QColor(128, 255, 128));
  Label27 = label(Frame密码, QStringLiteral("请输入密码"), twips(240), twips(360), twips(1020),
                  twips(255));
  setColour(Label27, QPalette::WindowText, QColor(255, 0, 0));
  Text = make<QLineEdit>(Frame密码, twips(1320), twips(240), twips(2295), twips(390));
  nameBy(Label27, Text);
  Command10 =
      button(Frame密码, QStringLiteral("确认"), twips(1440), twips(720), twips(855), twips(420));
  Command11 =
      button(Frame密码, QStringLiteral("取消"), twips(2640), twips(720), twips(855), twips(420));

  // Exhaust fans and the ducted air conditioner.
  // Room for "通道12" in every channel list.
  Frame4 = frame(f2, QStringLiteral("排风"), 10, 336, 262, 80);
  Frame5 = frame(f2, QStringLiteral("风管机空调"), 280, 336, 347, 80);
  Label3 = label(Frame4, QStringLiteral("排风1"), 10, 24, 40);
  Combo空调排风.slot(0) = list(Frame4, 52, 23, 76);
  Label6 = label(Frame4, QStringLiteral("上电"), 140, 24, 32);
  Combo空调排风.slot(1) = list(Frame4, 174, 23, 76);
  Label4 = label(Frame4, QStringLiteral("排风2"), 10, 52, 40);
  Combo空调排风.slot(2) = list(Frame4, 52, 51, 76);
  Label7 = label(Frame4, QStringLiteral("上电"), 140, 52, 32);
  Combo空调排风.slot(3) = list(Frame4, 174, 51, 76);
  Label8 = label(Frame5, QStringLiteral("阀开"), 10, 24, 30);
  Combo空调排风.slot(4) = list(Frame5, 42, 23, 72);
  Label9 = label(Frame5, QStringLiteral("阀关"), 122, 24, 30);
  Combo空调排风.slot(5) = list(Frame5, 154, 23, 72);
  Label10 = label(Frame5, QStringLiteral("高风"), 234, 24, 30);
  Combo空调排风.slot(6) = list(Frame5, 266, 23, 72);
  Label11 = label(Frame5, QStringLiteral("中风"), 10, 52, 30);
  Combo空调排风.slot(7) = list(Frame5, 42, 51, 72);
  Label12 = label(Frame5, QStringLiteral("低风"), 122, 52, 30);
  Combo空调排风.slot(8) = list(Frame5, 154, 51, 72);
  const std::array<QLabel*, 9> assignmentLabels = {Label3, Label6,  Label4,  Label7, Label8,
                                                   Label9, Label10, Label11, Label12};
  for (int i = 0; i < 9; ++i) {
    nameBy(assignmentLabels[static_cast<std::size_t>(i)], Combo空调排风[i]);
    QObject::connect(Combo空调排风[i], &QComboBox::currentIndexChanged, this,
                     [this, i](int) { Combo空调排风_Click(i); });
  }
  // Two fans share the caption "上电"; tell them apart for a screen reader.
  Combo空调排风[1]->setAccessibleDescription(QStringLiteral("排风1"));
  Combo空调排风[3]->setAccessibleDescription(QStringLiteral("排风2"));

  // ---- Service frames ----
  Frame8 = frame(this, QStringLiteral("485协议配置"), 8, 542, 334, 52);
  Label23.slot(0) = label(Frame8, QStringLiteral("1200旧协议"), 10, 24, 70);
  Option1 = make<QRadioButton>(Frame8, 80, 24, 20, 20);
  nameBy(Label23[0], Option1);
  Label23.slot(1) = label(Frame8, QStringLiteral("19200协议"), 106, 24, 66);
  Option2 = make<QRadioButton>(Frame8, 172, 24, 20, 20);
  nameBy(Label23[1], Option2);
  Command2 = button(Frame8, QStringLiteral("设置"), 198, 20, 56);
  Command3 = button(Frame8, QStringLiteral("取消设置"), 260, 20, 66);
  Frame9 = frame(this, QStringLiteral("场景运行模式配置"), 348, 542, 297, 52);
  Label24 = label(Frame9, QStringLiteral("场景切换模式"), 10, 24, 80);
  Option3 = make<QRadioButton>(Frame9, 90, 24, 20, 20);
  nameBy(Label24, Option3);
  Label25 = label(Frame9, QStringLiteral("场景叠加模式"), 116, 24, 80);
  Option4 = make<QRadioButton>(Frame9, 196, 24, 20, 20);
  nameBy(Label25, Option4);
  Command8 = button(Frame9, QStringLiteral("设置"), 226, 20, 62);

  // ---- Prompt of the channel check, status ----
  Frame7 = frame(this, QString(), 8, 598, 334, 44);
  Label19 = label(Frame7, QString(), 8, 12, 170);
  Label22 = label(Frame7, QStringLiteral("请重新定义"), 180, 12, 70);
  Command1 = button(Frame7, QStringLiteral("确 定"), 254, 9, 72);
  Frame7->hide();
  Frame提示 = frame(this, QString(), 348, 598, 297, 44);
  Label提示 = label(Frame提示, QStringLiteral("正在初始化，请稍后"), 8, 12, 150);
  Shape1 = make<QFrame>(Frame提示, 160, 14, 90, 16);
  Shape1->setFrameStyle(QFrame::Box | QFrame::Plain);
  Shape2 = make<QFrame>(Frame提示, 160, 14, 0, 16);
  Shape2->setAutoFillBackground(true);
  setColour(Shape2, QPalette::Window, QColor(0, 0, 255));
  Label18 = label(Frame提示, QString(), 254, 12, 40);
  Shape1->hide();
  Shape2->hide();
  Label18->hide();
  Frame提示->hide();

  // ---- Logo, clock, exit ----
  Image1 = make<QLabel>(this, twips(120), twips(9720), twips(2955), twips(390));
  Image1->setPixmap(logo());
  Image1->setScaledContents(true);
  Image1->installEventFilter(this);
  // The logo switches the layout; the keyboard reaches it too (Enter or Space), and a thin ring
  // shows when it has the focus.
  Image1->setFocusPolicy(Qt::StrongFocus);
  Image1->setFrameStyle(QFrame::Box | QFrame::Plain);
  setColour(Image1, QPalette::WindowText, kLogoBorder);
  Image1->setAccessibleName(kLogoText);
  Image1->setAccessibleDescription(QStringLiteral("双击切换窗口宽度，显示或隐藏上传记录"));
  LBDATA = label(this, QStringLiteral("time"), twips(3360), twips(9720) - 2, 0, 30);
  setColour(LBDATA, QPalette::WindowText, QColor(0, 0, 192));
  Command7 = button(this, QStringLiteral("退  出"), 565, twips(9720) - 1, 80, 28);
  fitClockCaption();

  // ---- History, shown in the wide layout only ----
  List1 = make<QListWidget>(this, twips(kHistoryLeftTwips), twips(120), twips(3855), twips(8160));
  List1->setSelectionMode(QAbstractItemView::SingleSelection);
  List1->setAccessibleName(QStringLiteral("上传记录"));
  List1->installEventFilter(this);
  List1->viewport()->installEventFilter(this);
  List1->hide();

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
  Timer2 = timer(200, [this] { Timer2_Timer(); });
  Timer3 = timer(500, [this] { Timer3_Timer(); });
  TimerGetVision = timer(200, [this] { TimerGetVision_Timer(); });
  Timer上传超时 = timer(200, [this] { Timer上传超时_Timer(); });
  Timer下载超时 = timer(200, [this] { Timer下载超时_Timer(); });
  Timer1->start();
}

std::span<QCheckBox* const> Form1::switchBoxes(int model) const {
  const std::array<std::span<QCheckBox* const>, kModels> all = {
      TD1.items(), TD2.items(), TD3.items(), TD4.items(), TD5.items()};
  return model >= 0 && model < kModels ? all[static_cast<std::size_t>(model)]
                                       : std::span<QCheckBox* const>();
}

std::span<QComboBox* const> Form1::levelLists(int model) const {
  const std::array<std::span<QComboBox* const>, kModels> all = {
      TG1.items(), TG2.items(), TG3.items(), TG4.items(), {}};
  return model >= 0 && model < kModels ? all[static_cast<std::size_t>(model)]
                                       : std::span<QComboBox* const>();
}

std::span<QCheckBox*> Form1::switchBoxSlots(int model) {
  const std::array<std::span<QCheckBox*>, kModels> all = {TD1.items(), TD2.items(), TD3.items(),
                                                          TD4.items(), TD5.items()};
  return all.at(static_cast<std::size_t>(model));
}

std::span<QComboBox*> Form1::levelListSlots(int model) {
  const std::array<std::span<QComboBox*>, kModels> all = {
      TG1.items(), TG2.items(), TG3.items(), TG4.items(), {}};
  return all.at(static_cast<std::size_t>(model));
}

QCheckBox* Form1::switchBox(int model, int index) const {
  const auto boxes = switchBoxes(model);
  return index >= 0 && static_cast<std::size_t>(index) < boxes.size()
             ? boxes[static_cast<std::size_t>(index)]
             : nullptr;
}

QComboBox* Form1::levelList(int model, int index) const {
  const auto lists = levelLists(model);
  return index >= 0 && static_cast<std::size_t>(index) < lists.size()
             ? lists[static_cast<std::size_t>(index)]
             : nullptr;
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
  Form_Unload();
  event->accept();
}

}  // namespace qz

// The controls of the window, where they stand and the names assistive technology reads. What
// they call is wired once all controls exist (form1_wiring.cpp).

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QStringListModel>
#include <functional>
#include <initializer_list>
#include <utility>
#include <vector>

#include "config/settings.h"
#include "ui/form1.h"
#include "ui/form_widgets.h"
#include "ui/frame_style.h"
#include "ui/logo_image.h"
#include "ui/module1.h"
#include "ui/port_list.h"

namespace qz {

using namespace Qt::Literals::StringLiterals;

namespace {

// The change handler of each panel's switch boxes and level lists, by model.
using IndexHandler = void (Form1::*)(int);
constexpr std::array<IndexHandler, kModels> kSwitchHandlers = {
    &Form1::TD1_Click, &Form1::TD2_Click, &Form1::TD3_Click, &Form1::TD4_Click, &Form1::TD5_Click};
constexpr std::array<IndexHandler, kModels - 1> kLevelHandlers = {
    &Form1::TG1_Click, &Form1::TG2_Click, &Form1::TG3_Click, &Form1::TG4_Click};

// Where the window keeps a control: the pointer member of the control's own class, filled when
// the table creates the control. A control drawn by a class of this window's own (a flat key, a
// wrapping button, a plain panel) says so with Slot::as<Class>(member).
class Slot {
 public:
  template <class W>
  Slot(W*& member)  // NOLINT(google-explicit-constructor): the table names members plainly
      : Slot(member, [](QWidget* parent) -> W* { return new W(parent); }) {}
  // The window itself, as the parent of the top-level frames.
  Slot(QWidget* window)  // NOLINT(google-explicit-constructor)
      : get_([window] { return window; }) {}

  template <class Made, class W>
  static Slot as(W*& member) {
    return Slot(member, [](QWidget* parent) -> W* { return new Made(parent); });
  }

  QWidget* create(QWidget* parent) const { return create_(parent); }
  [[nodiscard]] QWidget* get() const { return get_(); }

 private:
  template <class W, class Make>
  Slot(W*& member, Make make)
      : create_([&member, make](QWidget* parent) -> QWidget* {
          member = make(parent);
          return member;
        }),
        get_([&member]() -> QWidget* { return member; }) {}

  std::function<QWidget*(QWidget*)> create_;
  std::function<QWidget*()> get_;
};

// One control of the window: where it is kept, the control it lies in, its caption (a frame's
// title, a label's or button's text; none when empty) and its place in twips within the parent.
struct Place {
  Slot control;
  Slot parent;
  QString caption;
  int left;
  int top;
  int width;
  int height;
};

// The label names the control beside it, for the keyboard (buddy) and for screen readers.
void nameBy(QLabel* l, QWidget* control) {
  l->setBuddy(control);
  control->setAccessibleName(l->text());
}

const QString kLogoText = QStringLiteral("QZ 灯光场景控制");

QPixmap logo() {
  return QPixmap(kLogoXpm);
}

// A list of many number items holds them as one list of strings rather than an item object
// each (fillList keeps it so).
void holdAsStrings(QComboBox* c) {
  c->setModel(new QStringListModel(c));
}

}  // namespace

void Form1::buildWindow() {
  setWindowTitle(QStringLiteral("QZ系列灯光场景配置 A24"));
  setWindowIcon(toolIcon());
  setFixedSize(twips(kNarrowWidthTwips), kWindowHeight);

  // Every control with the frame it lies in, its caption and its place (left, top, width,
  // height) in twips, in the order they are created: a control created later lies on top.
  std::vector<Place> places;
  const auto add = [&places](std::initializer_list<Place> rows) {
    places.insert(places.end(), rows);
  };
  add({
      // ---- Connection ----
      {Frame1, this, u"连接"_s, 120, 60, 9555, 1560},
      {Label1, Frame1, u"串口"_s, 150, 360, 450, 300},
      {Slot::as<PortList>(Combo串口), Frame1, QString(), 630, 345, 1200, 330},
      {Label2, Frame1, u"波特率"_s, 1980, 360, 660, 300},
      {Combo波特率, Frame1, QString(), 2670, 345, 1200, 330},
      {Label15, Frame1, u"机型"_s, 4020, 360, 450, 300},
      {Combo机型, Frame1, QString(), 4500, 345, 1440, 330},
      {Command建立连接, Frame1, u"建立连接"_s, 6150, 315, 1500, 390},
      {Command上传, Frame1, u"上传设备参数"_s, 150, 750, 1680, 390},
      {Command下载, Frame1, u"下载参数到设备"_s, 1950, 750, 1920, 390},
      {Command4, Frame1, u"读取参数"_s, 4020, 750, 1500, 390},
      {Command5, Frame1, u"保存参数"_s, 5640, 750, 1500, 390},
      {Label13, Frame1, u"机型："_s, 150, 1200, 660, 300},
      {Label机型, Frame1, QString(), 840, 1200, 1350, 300},
      {Label14, Frame1, u"软件版本："_s, 2340, 1200, 1050, 300},
      {Label软件版本, Frame1, QString(), 3420, 1200, 6000, 300},
      // ---- Light settings ----
      {Frame2.slot(0), this, u"灯光设置"_s, 120, 1680, 9555, 6390},
  });
  // The scene keys in four rows: 1..7, 8..13, the two "all lights" keys, pause and mute.
  constexpr std::array<int, 4> kFirstKeyOfRow = {1, 8, 14, 16};
  for (int i = 1; i <= 17; ++i) {
    const int row = i >= 16 ? 3 : i >= 14 ? 2 : i >= 8 ? 1 : 0;
    const int col = i - kFirstKeyOfRow[static_cast<std::size_t>(row)];
    add({{Slot::as<FlatButton>(Command6.slot(i)), Frame2.slot(0), uiText(sceneKeyName(i - 1)),
          150 + col * 1335, 330 + row * 450, 1300, 400}});
  }
  // The global settings beside the short key rows.
  add({
      {Label26, Frame2.slot(0), u"开机场景"_s, 3000, 1290, 900, 300},
      {Combo开机场景, Frame2.slot(0), QString(), 4230, 1275, 1500, 330},
      {Label5, Frame2.slot(0), u"工作模式"_s, 5940, 1290, 900, 300},
      {Combo工作模式, Frame2.slot(0), QString(), 6870, 1275, 1650, 330},
      {Label17, Frame2.slot(0), u"DMX512地址"_s, 3000, 1755, 1200, 300},
      {Combo1DMX地址, Frame2.slot(0), QString(), 4230, 1740, 1500, 330},
      {Label21, Frame2.slot(0), u"场景模式"_s, 5940, 1755, 900, 300},
      {Combo场景模式, Frame2.slot(0), QString(), 6870, 1740, 1650, 330},
  });
  // The model panels, one on top of the other: two rows of six channel positions, the switch
  // channels first, then each level list with its label.
  int labelIndex = 0;
  for (int m = 0; m < kModels; ++m) {
    add({{Frame6.slot(m), Frame2.slot(0), uiText(modelName(m)), 150, 2220, 9255, 1260}});
    const int s = switchCount(m);
    for (int pos = 0; pos < kRowBytes; ++pos) {
      const int x = 150 + (pos % 6) * 1500;
      const int y = 360 + (pos / 6) * 420;
      if (pos < s) {
        add({{switchBoxSlots(m)[static_cast<std::size_t>(pos)], Frame6.slot(m),
              u"开关通道%1"_s.arg(pos + 1), x, y, 1440, 330}});
      } else {
        const int d = pos - s;
        add({{Label16.slot(labelIndex++), Frame6.slot(m), u"调光%1"_s.arg(d + 1), x, y + 15, 570,
              300}});
        add({{levelListSlots(m)[static_cast<std::size_t>(d)], Frame6.slot(m), QString(), x + 600, y,
              780, 330}});
      }
    }
  }
  // The dimming level table, behind the password.
  add({
      {Frame3, Frame2.slot(0), u"调光级别设置"_s, 150, 3570, 9255, 1380},
      {Slot::as<WrappingButton>(Command9), Frame3, u"调光设置"_s, 240, 360, 615, 855},
  });
  for (int k = 0; k < kLevels; ++k) {
    const int x = 990 + (k % 5) * 1620;
    const int y = 360 + (k / 5) * 480;
    add({{Label20.slot(k), Frame3, u"%1级"_s.arg(k), x, y + 15, 450, 300}});
    add({{Combo调光级别.slot(k), Frame3, QString(), x + 480, y, 990, 330}});
  }
  add({
      {Slot::as<PlainPanel>(Frame密码), Frame3, QString(), 2280, 0, 4455, 1215},
      {Label27, Frame密码, u"请输入密码"_s, 240, 360, 1020, 255},
      {Text, Frame密码, QString(), 1320, 240, 2295, 390},
      {Command10, Frame密码, u"确认"_s, 1440, 720, 855, 420},
      {Command11, Frame密码, u"取消"_s, 2640, 720, 855, 420},
      // Exhaust fans and the ducted air conditioner; room for "通道12" in every list.
      {Frame4, Frame2.slot(0), u"排风"_s, 150, 5040, 3930, 1200},
      {Frame5, Frame2.slot(0), u"风管机空调"_s, 4200, 5040, 5205, 1200},
      {Label3, Frame4, u"排风1"_s, 150, 360, 600, 300},
      {Combo空调排风.slot(0), Frame4, QString(), 780, 345, 1140, 330},
      {Label6, Frame4, u"上电"_s, 2100, 360, 480, 300},
      {Combo空调排风.slot(1), Frame4, QString(), 2610, 345, 1140, 330},
      {Label4, Frame4, u"排风2"_s, 150, 780, 600, 300},
      {Combo空调排风.slot(2), Frame4, QString(), 780, 765, 1140, 330},
      {Label7, Frame4, u"上电"_s, 2100, 780, 480, 300},
      {Combo空调排风.slot(3), Frame4, QString(), 2610, 765, 1140, 330},
      {Label8, Frame5, u"阀开"_s, 150, 360, 450, 300},
      {Combo空调排风.slot(4), Frame5, QString(), 630, 345, 1080, 330},
      {Label9, Frame5, u"阀关"_s, 1830, 360, 450, 300},
      {Combo空调排风.slot(5), Frame5, QString(), 2310, 345, 1080, 330},
      {Label10, Frame5, u"高风"_s, 3510, 360, 450, 300},
      {Combo空调排风.slot(6), Frame5, QString(), 3990, 345, 1080, 330},
      {Label11, Frame5, u"中风"_s, 150, 780, 450, 300},
      {Combo空调排风.slot(7), Frame5, QString(), 630, 765, 1080, 330},
      {Label12, Frame5, u"低风"_s, 1830, 780, 450, 300},
      {Combo空调排风.slot(8), Frame5, QString(), 2310, 765, 1080, 330},
      // ---- Service frames ----
      {Frame8, this, u"485协议配置"_s, 120, 8130, 5010, 780},
      {Label23.slot(0), Frame8, u"1200旧协议"_s, 150, 360, 1050, 300},
      {Option1, Frame8, QString(), 1200, 360, 300, 300},
      {Label23.slot(1), Frame8, u"19200协议"_s, 1590, 360, 990, 300},
      {Option2, Frame8, QString(), 2580, 360, 300, 300},
      {Command2, Frame8, u"设置"_s, 2970, 300, 840, 390},
      {Command3, Frame8, u"取消设置"_s, 3900, 300, 990, 390},
      {Frame9, this, u"场景运行模式配置"_s, 5220, 8130, 4455, 780},
      {Label24, Frame9, u"场景切换模式"_s, 150, 360, 1200, 300},
      {Option3, Frame9, QString(), 1350, 360, 300, 300},
      {Label25, Frame9, u"场景叠加模式"_s, 1740, 360, 1200, 300},
      {Option4, Frame9, QString(), 2940, 360, 300, 300},
      {Command8, Frame9, u"设置"_s, 3390, 300, 930, 390},
      // ---- Prompt of the channel check, status ----
      {Frame7, this, QString(), 120, 8970, 5010, 660},
      {Label19, Frame7, QString(), 120, 180, 2550, 300},
      {Label22, Frame7, u"请重新定义"_s, 2700, 180, 1050, 300},
      {Command1, Frame7, u"确 定"_s, 3810, 135, 1080, 390},
      {Frame提示, this, QString(), 5220, 8970, 4455, 660},
      {Label提示, Frame提示, u"正在初始化，请稍后"_s, 120, 180, 2250, 300},
      {Shape1, Frame提示, QString(), 2400, 210, 1350, 240},
      {Shape2, Frame提示, QString(), 2400, 210, 0, 240},
      {Label18, Frame提示, QString(), 3810, 180, 600, 300},
      // ---- Logo, clock, exit; the history, shown in the wide layout only ----
      // The clock and the exit button stand on the logo's line, raised by two and one pixels.
      {Image1, this, QString(), 120, 9720, 2955, 390},
      {LBDATA, this, u"time"_s, 3360, 9690, 0, 450},
      {Command7, this, u"退  出"_s, 8475, 9705, 1200, 420},
      {List1, this, QString(), kHistoryLeftTwips, 120, 3855, 8160},
  });

  for (const Place& place : places) {
    QWidget* control = place.control.create(place.parent.get());
    control->setGeometry(twips(place.left), twips(place.top), twips(place.width),
                         twips(place.height));
    if (auto* box = qobject_cast<QGroupBox*>(control)) box->setStyle(frameStyle());
    if (!place.caption.isEmpty()) {
      if (auto* box = qobject_cast<QGroupBox*>(control)) box->setTitle(place.caption);
      if (auto* label = qobject_cast<QLabel*>(control)) label->setText(place.caption);
      if (auto* button = qobject_cast<QAbstractButton*>(control)) button->setText(place.caption);
    }
    // A list opens long enough to show all seventeen scene keys at once.
    if (auto* list = qobject_cast<QComboBox*>(control)) list->setMaxVisibleItems(17);
  }

  // Each label names the control beside it.
  const std::vector<std::pair<QLabel*, QWidget*>> namedBy = {
      {Label1, Combo串口},         {Label2, Combo波特率},
      {Label15, Combo机型},        {Label26, Combo开机场景},
      {Label5, Combo工作模式},     {Label17, Combo1DMX地址},
      {Label21, Combo场景模式},    {Label27, Text},
      {Label3, Combo空调排风[0]},  {Label6, Combo空调排风[1]},
      {Label4, Combo空调排风[2]},  {Label7, Combo空调排风[3]},
      {Label8, Combo空调排风[4]},  {Label9, Combo空调排风[5]},
      {Label10, Combo空调排风[6]}, {Label11, Combo空调排风[7]},
      {Label12, Combo空调排风[8]}, {Label23[0], Option1},
      {Label23[1], Option2},       {Label24, Option3},
      {Label25, Option4}};
  for (const auto& [l, control] : namedBy) nameBy(l, control);
  for (int k = 0; k < kLevels; ++k) nameBy(Label20[k], Combo调光级别[k]);
  labelIndex = 0;
  for (int m = 0; m < kModels; ++m) {
    for (QComboBox* c : levelListSlots(m)) nameBy(Label16[labelIndex++], c);
  }

  // ---- Connection ----
  Combo波特率->setEnabled(false);
  Command上传->setEnabled(false);
  Command下载->setEnabled(false);
  Label软件版本->setTextFormat(Qt::PlainText);
  // The model and the version are values: a screen reader reads the value as the label's name
  // and the caption beside it as what labels it.
  Label13->setBuddy(Label机型);
  Label14->setBuddy(Label软件版本);

  // ---- Light settings ----
  for (int i = Command6.kFirst; i <= Command6.kLast; ++i) {
    QObject::connect(Command6[i], &QPushButton::clicked, this, [this, i] { Command6_Click(i); });
  }
  paintSceneKeys(0);
  holdAsStrings(Combo1DMX地址);
  Label21->hide();
  Combo场景模式->hide();
  for (int m = 0; m < kModels; ++m) {
    QGroupBox* panel = Frame6[m];
    // Only the title is blue; what the panel holds keeps the ordinary text colour.
    setColour(panel, QPalette::WindowText, QColor(0, 0, 255));
    for (QWidget* child : panel->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
      setColour(child, QPalette::WindowText,
                QApplication::palette(child).color(QPalette::WindowText));
    }
    panel->hide();
    const auto boxes = switchBoxSlots(m);
    for (std::size_t pos = 0; pos < boxes.size(); ++pos) {
      QObject::connect(boxes[pos], &QCheckBox::stateChanged, this, [this, m, pos](int) {
        (this->*kSwitchHandlers[static_cast<std::size_t>(m)])(static_cast<int>(pos));
      });
    }
    const auto lists = levelListSlots(m);
    for (std::size_t d = 0; d < lists.size(); ++d) {
      QObject::connect(lists[d], &QComboBox::currentIndexChanged, this, [this, m, d](int) {
        (this->*kLevelHandlers[static_cast<std::size_t>(m)])(static_cast<int>(d));
      });
    }
  }
  for (int k = 0; k < kLevels; ++k) {
    holdAsStrings(Combo调光级别[k]);
    QObject::connect(Combo调光级别[k], &QComboBox::currentIndexChanged, this,
                     [this, k](int) { Combo调光级别_Click(k); });
  }
  Frame密码->setAutoFillBackground(true);
  setColour(Frame密码, QPalette::Window, QColor(128, 255, 128));
  setColour(Label27, QPalette::WindowText, QColor(255, 0, 0));
  for (int i = 0; i < 9; ++i) {
    QObject::connect(Combo空调排风[i], &QComboBox::currentIndexChanged, this,
                     [this, i](int) { Combo空调排风_Click(i); });
  }
  // Two fans share the caption "上电"; tell them apart for a screen reader.
  Combo空调排风[1]->setAccessibleDescription(QStringLiteral("排风1"));
  Combo空调排风[3]->setAccessibleDescription(QStringLiteral("排风2"));

  // ---- Prompt of the channel check, status ----
  Frame7->hide();
  Shape1->setFrameStyle(QFrame::Box | QFrame::Plain);
  Shape2->setAutoFillBackground(true);
  setColour(Shape2, QPalette::Window, QColor(0, 0, 255));
  Shape1->hide();
  Shape2->hide();
  Label18->hide();
  Frame提示->hide();
  // The status is read while the window is disabled (connecting): in its normal colours.
  for (QLabel* status : {Label提示, Label18}) {
    QPalette p = status->palette();
    p.setColor(QPalette::Disabled, QPalette::WindowText,
               p.color(QPalette::Active, QPalette::WindowText));
    status->setPalette(p);
  }

  // ---- Logo, clock, exit ----
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
  setColour(LBDATA, QPalette::WindowText, QColor(0, 0, 192));
  fitClockCaption();

  // ---- History, shown in the wide layout only ----
  List1->setSelectionMode(QAbstractItemView::SingleSelection);
  List1->setAccessibleName(QStringLiteral("上传记录"));
  List1->installEventFilter(this);
  List1->viewport()->installEventFilter(this);
  List1->hide();

  wireWindow();
}

}  // namespace qz

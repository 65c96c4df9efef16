// The window's keyboard order and the names assistive technology reads, through the real
// window with the fake port.

#include <gtest/gtest.h>

#include <QAccessible>
#include <algorithm>
#include <string>

#include "gui/window_rig.h"

namespace qz {
namespace {

using gui_test::press;
using gui_test::Window;

// What the Tab key can land on now: shown, enabled, taking focus by Tab; of a group of radio
// buttons only the chosen one (the arrow keys move within the group).
bool tabStop(const Form1& w, const QWidget* widget) {
  if (!widget->isVisibleTo(&w) || !widget->isEnabled()) return false;
  if ((widget->focusPolicy() & Qt::TabFocus) == 0) return false;
  if (widget->focusProxy() != nullptr) return false;
  if (widget->parentWidget() != nullptr && qobject_cast<QComboBox*>(widget->parentWidget())) {
    return false;
  }
  const auto* radio = qobject_cast<const QRadioButton*>(widget);
  return radio == nullptr || radio->isChecked();
}

// Where the focus goes from `from` with one press of Tab (or Shift+Tab).
QWidget* tabFrom(QWidget* from, bool backward = false) {
  from->setFocus(Qt::TabFocusReason);
  press(from, backward ? Qt::Key_Backtab : Qt::Key_Tab,
        backward ? Qt::ShiftModifier : Qt::NoModifier);
  return QApplication::focusWidget();
}

// Tab visits every control the keyboard can reach once before it comes round again, and
// Shift+Tab walks the same round backwards.
void expectOneRound(Form1& w, const std::string& state) {
  std::vector<QWidget*> stops;
  for (QWidget* widget : w.findChildren<QWidget*>()) {
    if (tabStop(w, widget)) stops.push_back(widget);
  }
  ASSERT_FALSE(stops.empty()) << state;
  std::vector<QWidget*> round = {w.Combo串口};
  while (round.size() <= stops.size()) {
    QWidget* next = tabFrom(round.back());
    if (next == round.front()) break;
    round.push_back(next);
  }
  EXPECT_EQ(round.size(), stops.size()) << state << ": Tab does not come round once";
  for (QWidget* stop : stops) {
    EXPECT_EQ(std::count(round.begin(), round.end(), stop), 1)
        << stop->metaObject()->className() << " \"" << stop->accessibleName().toStdString()
        << "\" in " << state;
  }
  for (std::size_t i = 1; i < round.size(); ++i) {
    EXPECT_EQ(tabFrom(round[i], true), round[i - 1])
        << "Shift+Tab from stop " << i << " in " << state;
  }
}

// The keyboard reads the window frame by frame, each in reading order: the connection, the
// scene keys, the global settings, the model's panel, the level table with its password panel,
// the fan and air-conditioner lists, the service frames, the logo, the exit button, the history.
TEST(Keyboard, TabReadsTheWindowFrameByFrame) {
  Window t;
  Form1& w = *t.w;
  t.showActive();
  ASSERT_TRUE(w.isActiveWindow()) << "the offscreen window did not become active";

  // The connection frame; the locked baud-rate list is passed over.
  EXPECT_EQ(tabFrom(w.Combo串口), w.Combo机型);
  EXPECT_EQ(tabFrom(w.Combo机型), w.Command建立连接);
  EXPECT_EQ(tabFrom(w.Command建立连接), w.Command4);  // upload and download are disabled
  EXPECT_EQ(tabFrom(w.Command4), w.Command5);
  // The scene keys in their rows, then the global settings beside them.
  EXPECT_EQ(tabFrom(w.Command5), w.Command6[1]);
  for (int i = 1; i < 17; ++i) EXPECT_EQ(tabFrom(w.Command6[i]), w.Command6[i + 1]) << i;
  EXPECT_EQ(tabFrom(w.Command6[17]), w.Combo开机场景);
  EXPECT_EQ(tabFrom(w.Combo开机场景), w.Combo工作模式);
  EXPECT_EQ(tabFrom(w.Combo工作模式), w.Combo1DMX地址);
  // The QZ-0408 panel: its four switches, then its eight levels.
  EXPECT_EQ(tabFrom(w.Combo1DMX地址), w.TD1[0]);
  EXPECT_EQ(tabFrom(w.TD1[3]), w.TG1[0]);
  EXPECT_EQ(tabFrom(w.TG1[6]), w.TG1[7]);
  // The locked level table is passed over; the fans follow, the air conditioner of QZ-0408 is
  // disabled, the service frames come next.
  EXPECT_EQ(tabFrom(w.TG1[7]), w.Command9);
  EXPECT_EQ(tabFrom(w.Command9), w.Combo空调排风[0]);
  EXPECT_EQ(tabFrom(w.Combo空调排风[0]), w.Combo空调排风[1]);
  EXPECT_EQ(tabFrom(w.Combo空调排风[3]), w.Option1);
  EXPECT_EQ(tabFrom(w.Option1), w.Command2);
  EXPECT_EQ(tabFrom(w.Command3), w.Option3);
  EXPECT_EQ(tabFrom(w.Option3), w.Command8);
  // The logo, the exit button, and round to the start (the history is hidden).
  EXPECT_EQ(tabFrom(w.Command8), w.Image1);
  EXPECT_EQ(tabFrom(w.Image1), w.Command7);
  EXPECT_EQ(tabFrom(w.Command7), w.Combo串口);
  expectOneRound(w, "the narrow layout");

  // Wide, another model, the table unlocked: the history comes last, the panel follows the
  // model, the levels follow the button that unlocked them.
  t.enter(QStringLiteral("kestrel2019"));
  w.Image1_DblClick();
  w.Combo机型->setCurrentIndex(3);  // QZ-1002
  EXPECT_EQ(tabFrom(w.Command7), w.List1);
  EXPECT_EQ(tabFrom(w.List1), w.Combo串口);
  EXPECT_EQ(tabFrom(w.Combo1DMX地址), w.TD4[0]);
  EXPECT_EQ(tabFrom(w.TD4[9]), w.TG4[0]);
  EXPECT_EQ(tabFrom(w.TG4[1]), w.Command9);
  EXPECT_EQ(tabFrom(w.Command9), w.Combo调光级别[0]);
  EXPECT_EQ(tabFrom(w.Combo调光级别[4]), w.Combo调光级别[5]);
  EXPECT_EQ(tabFrom(w.Combo调光级别[9]), w.Combo空调排风[0]);
  EXPECT_EQ(tabFrom(w.Combo空调排风[3]), w.Combo空调排风[4]);
  EXPECT_EQ(tabFrom(w.Combo空调排风[8]), w.Option1);
  expectOneRound(w, "the wide layout, QZ-1002, level table unlocked");

  // The open password panel comes right after the button that opens it.
  w.Command9->setFocus();
  press(w.Command9, Qt::Key_Space);
  QKeyEvent release(QEvent::KeyRelease, Qt::Key_Space, Qt::NoModifier);
  QApplication::sendEvent(w.Command9, &release);
  EXPECT_TRUE(w.Frame密码->isVisible());
  EXPECT_EQ(QApplication::focusWidget(), w.Text);
  EXPECT_EQ(tabFrom(w.Command9), w.Text);
  EXPECT_EQ(tabFrom(w.Text), w.Command10);
  EXPECT_EQ(tabFrom(w.Command10), w.Command11);
  EXPECT_EQ(tabFrom(w.Command11), w.Combo调光级别[0]);
  expectOneRound(w, "the password panel open");
}

QString accessibleName(QWidget* widget) {
  QAccessibleInterface* face = QAccessible::queryAccessibleInterface(widget);
  return face != nullptr ? face->text(QAccessible::Name) : QString();
}

// The captions of the labels assistive technology reads for a control ("labelled by").
QStringList labelledBy(QWidget* widget) {
  QStringList captions;
  QAccessibleInterface* face = QAccessible::queryAccessibleInterface(widget);
  if (face == nullptr) return captions;
  for (const auto& [label, relation] : face->relations(QAccessible::Label)) {
    captions.append(label->text(QAccessible::Name));
  }
  return captions;
}

// A list is announced by its label and its current item: on Linux the item is the list's
// accessible name and the label comes by the "labelled by" relation; elsewhere the label is
// the name. Either way the widget's accessible name carries the label.
void expectNamed(QWidget* widget, const QString& name) {
  EXPECT_EQ(widget->accessibleName(), name);
  if (qobject_cast<QComboBox*>(widget) != nullptr) {
    EXPECT_TRUE(labelledBy(widget).contains(name))
        << name.toStdString() << ": " << labelledBy(widget).join(QLatin1Char('|')).toStdString();
  } else {
    EXPECT_EQ(accessibleName(widget), name);
  }
}

TEST(Accessibility, ListsBoxesAndTheTextBoxAreNamedByTheLabelBesideThem) {
  Window t;
  Form1& w = *t.w;
  const std::vector<std::pair<QWidget*, const char*>> named = {
      {w.Combo串口, "串口"},         {w.Combo波特率, "波特率"},     {w.Combo机型, "机型"},
      {w.Combo开机场景, "开机场景"}, {w.Combo工作模式, "工作模式"}, {w.Combo1DMX地址, "DMX512地址"},
      {w.Combo场景模式, "场景模式"}, {w.TG1[2], "调光3"},           {w.TG2[5], "调光6"},
      {w.TG3[0], "调光1"},           {w.TG4[1], "调光2"},           {w.Combo调光级别[0], "0级"},
      {w.Combo调光级别[9], "9级"},   {w.Text, "请输入密码"},        {w.Combo空调排风[0], "排风1"},
      {w.Combo空调排风[1], "上电"},  {w.Combo空调排风[2], "排风2"}, {w.Combo空调排风[4], "阀开"},
      {w.Combo空调排风[8], "低风"},  {w.Option1, "1200旧协议"},     {w.Option2, "19200协议"},
      {w.Option3, "场景切换模式"},   {w.Option4, "场景叠加模式"},
  };
  for (const auto& [widget, name] : named) expectNamed(widget, QString::fromUtf8(name));
  EXPECT_EQ(accessibleName(w.TD1[0]), "开关通道1");
  EXPECT_EQ(accessibleName(w.TD5[11]), "开关通道12");
  // The two power-on lists say whose they are.
  EXPECT_NE(w.Combo空调排风[1]->accessibleDescription(),
            w.Combo空调排风[3]->accessibleDescription());

  // Every label that names a control is its buddy, and its caption is the control's name.
  int buddies = 0;
  for (QLabel* label : w.findChildren<QLabel*>()) {
    if (label->buddy() == nullptr) continue;
    ++buddies;
    if (qobject_cast<QLabel*>(label->buddy()) != nullptr) {
      // A value label: the caption labels it, its value is its name.
      EXPECT_TRUE(labelledBy(label->buddy()).contains(label->text()))
          << label->text().toStdString();
      continue;
    }
    expectNamed(label->buddy(), label->text());
  }
  EXPECT_GE(buddies, 50);
  // Nothing a user edits is nameless.
  for (QWidget* widget : w.findChildren<QWidget*>()) {
    const bool edited = qobject_cast<QComboBox*>(widget) || qobject_cast<QCheckBox*>(widget) ||
                        qobject_cast<QLineEdit*>(widget) || qobject_cast<QRadioButton*>(widget) ||
                        qobject_cast<QListWidget*>(widget) || widget == w.Image1;
    if (!edited || qobject_cast<QComboBox*>(widget->parentWidget())) continue;
    EXPECT_FALSE(widget->accessibleName().isEmpty() && accessibleName(widget).isEmpty())
        << widget->metaObject()->className();
  }
}

// A screen reader reads the model and the firmware version themselves, each labelled by its
// caption, and meets the window as a window.
TEST(Accessibility, ValueLabelsReadTheirValueAndTheWindowIsAWindow) {
  Window t;
  Form1& w = *t.w;
  w.Combo机型->setCurrentIndex(2);
  w.Label软件版本->setText(QStringLiteral("QZ-0804 V2.10"));
  EXPECT_EQ(accessibleName(w.Label机型), "QZ-0804");
  // Labelled by its caption (and by the frame "连接" around it).
  EXPECT_TRUE(labelledBy(w.Label机型).contains("机型："));
  EXPECT_FALSE(labelledBy(w.Label机型).contains("软件版本："));
  EXPECT_EQ(accessibleName(w.Label软件版本), "QZ-0804 V2.10");
  EXPECT_TRUE(labelledBy(w.Label软件版本).contains("软件版本："));
  EXPECT_FALSE(labelledBy(w.Label软件版本).contains("机型："));
  w.Combo机型->setCurrentIndex(4);
  EXPECT_EQ(accessibleName(w.Label机型), "QZ-1200");

  QAccessibleInterface* window = QAccessible::queryAccessibleInterface(&w);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(window->role(), QAccessible::Window);
  EXPECT_EQ(window->text(QAccessible::Name), "QZ系列灯光场景配置 A24*");  // the model was changed
  // Still the window that holds every control.
  EXPECT_GE(window->childCount(), 10);
  QAccessibleInterface* frame = QAccessible::queryAccessibleInterface(w.Frame1);
  ASSERT_NE(frame, nullptr);
  EXPECT_EQ(frame->parent(), window);
}

}  // namespace
}  // namespace qz

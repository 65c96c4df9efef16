// The password gate of the level table, the clock line, the wide and narrow layouts with the
// history list, and the window's layout, keyboard order and accessible names, through the real
// window with the fake port.

#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionComboBox>
#include <QTimer>
#include <algorithm>
#include <array>
#include <cstdlib>
#include <map>
#include <memory>

#include "support/editor_window.h"
#include "ui/clock_text.h"
#include "ui/form1.h"
#include "ui/module1.h"

namespace qz {
namespace {

// The shared window fixture with what the password and keyboard tests ask of it.
struct Window : test::EditorWindow {
  [[nodiscard]] std::vector<bool> levelsEnabled() const {
    std::vector<bool> states;
    for (int k = 0; k < kLevels; ++k) states.push_back(w->Combo调光级别[k]->isEnabled());
    return states;
  }
  [[nodiscard]] QStringList levelTexts() const {
    QStringList texts;
    for (int k = 0; k < kLevels; ++k) texts.append(w->Combo调光级别[k]->currentText());
    return texts;
  }
  void enter(const QString& entry) {
    w->Command9->click();
    w->Text->setText(entry);
    w->Command10->click();
  }
  void showActive() {
    w->show();
    w->activateWindow();
    QApplication::processEvents();
  }
};

const std::vector<bool> kAllLocked(kLevels, false);
const std::vector<bool> kAllUnlocked(kLevels, true);

void doubleClick(QWidget* target) {
  const QPointF at(target->width() / 2.0, target->height() / 2.0);
  QMouseEvent event(QEvent::MouseButtonDblClick, at, target->mapToGlobal(at), Qt::LeftButton,
                    Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &event);
}

void press(QWidget* target, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  QKeyEvent event(QEvent::KeyPress, key, modifiers);
  QApplication::sendEvent(target, &event);
}

// The default locale stands for the desktop's; each test that sets it puts it back.
struct LocaleScope {
  explicit LocaleScope(const QLocale& locale) { QLocale::setDefault(locale); }
  ~LocaleScope() { QLocale::setDefault(QLocale::system()); }
  LocaleScope(const LocaleScope&) = delete;
  LocaleScope& operator=(const LocaleScope&) = delete;
};

// ---------------------------------------------------------------------------------------------
// Password gate

TEST(PasswordGate, EveryEntryButTheExactPasswordIsRefusedAndChangesNothing) {
  Window t;
  Form1& w = *t.w;
  const QStringList before = t.levelTexts();

  w.Command9->click();
  EXPECT_TRUE(w.Frame密码->isVisibleTo(&w));
  EXPECT_TRUE(w.Text->text().isEmpty());
  EXPECT_EQ(w.focusWidget(), w.Text);

  const QStringList wrong = {QString(),
                             QStringLiteral("KESTREL2019"),
                             QStringLiteral("Kestrel2019"),
                             QStringLiteral(" kestrel2019"),
                             QStringLiteral("kestrel2019 "),
                             QStringLiteral("kestrel201"),
                             QStringLiteral("kestrel20199"),
                             QStringLiteral("kestrel2019\t")};
  for (const QString& entry : wrong) {
    SCOPED_TRACE(entry.toStdString());
    w.Text->setText(entry);
    const std::size_t said = t.platform.messages.size();
    w.Command10->click();
    ASSERT_EQ(t.platform.messages.size(), said + 1);
    EXPECT_EQ(t.platform.messages.back().text, "密码错误");
    EXPECT_EQ(t.platform.messages.back().title, "工程1");
    EXPECT_EQ(t.platform.messages.back().icon, MessageIcon::None);
    // The panel stays open with the entry as typed; the table stays locked.
    EXPECT_TRUE(w.Frame密码->isVisibleTo(&w));
    EXPECT_EQ(w.Text->text(), entry);
    EXPECT_EQ(t.levelsEnabled(), kAllLocked);
  }
  EXPECT_EQ(t.levelTexts(), before);
  EXPECT_TRUE(t.port.writes.empty());
}

TEST(PasswordGate, PasswordUnlocksCancelLocksAgainAndValuesStay) {
  Window t;
  Form1& w = *t.w;

  // Asking, locked -> Locked.
  w.Command9->click();
  w.Text->setText(QStringLiteral("kestrel2019"));
  w.Command11->click();
  EXPECT_FALSE(w.Frame密码->isVisibleTo(&w));
  EXPECT_EQ(t.levelsEnabled(), kAllLocked);
  EXPECT_EQ(w.focusWidget(), w.Command9);

  // Asking, locked -> Unlocked.
  t.enter(QStringLiteral("kestrel2019"));
  EXPECT_TRUE(t.platform.messages.empty());
  EXPECT_FALSE(w.Frame密码->isVisibleTo(&w));
  EXPECT_EQ(t.levelsEnabled(), kAllUnlocked);
  EXPECT_EQ(w.focusWidget(), w.Command9);

  // An unlocked list is edited.
  w.Combo调光级别[3]->setCurrentIndex(99);
  w.Combo调光级别[9]->setCurrentIndex(255);

  // Opening again empties the entry, also after a success.
  w.Command9->click();
  EXPECT_TRUE(w.Frame密码->isVisibleTo(&w));
  EXPECT_TRUE(w.Text->text().isEmpty());
  EXPECT_EQ(t.levelsEnabled(), kAllUnlocked);

  // Asking, unlocked: a wrong entry is refused and the lists stay enabled.
  w.Text->setText(QStringLiteral("kestrel"));
  w.Command10->click();
  ASSERT_EQ(t.platform.messages.size(), 1U);
  EXPECT_EQ(t.platform.messages[0].text, "密码错误");
  EXPECT_TRUE(w.Frame密码->isVisibleTo(&w));
  EXPECT_EQ(t.levelsEnabled(), kAllUnlocked);

  // Asking, unlocked -> Unlocked with the password again.
  w.Text->setText(QStringLiteral("kestrel2019"));
  w.Command10->click();
  EXPECT_EQ(t.platform.messages.size(), 1U);
  EXPECT_FALSE(w.Frame密码->isVisibleTo(&w));
  EXPECT_EQ(t.levelsEnabled(), kAllUnlocked);

  // Asking, unlocked -> Locked: the lists keep what was set.
  w.Command9->click();
  w.Command11->click();
  EXPECT_FALSE(w.Frame密码->isVisibleTo(&w));
  EXPECT_EQ(t.levelsEnabled(), kAllLocked);
  EXPECT_EQ(w.Combo调光级别[3]->currentText(), "99");
  EXPECT_EQ(w.Combo调光级别[9]->currentText(), "255");
  EXPECT_EQ(w.Combo调光级别[2]->currentText(), "40");

  // Cancelling from the locked state leaves it locked.
  w.Command9->click();
  w.Command11->click();
  EXPECT_EQ(t.levelsEnabled(), kAllLocked);
  EXPECT_EQ(t.platform.messages.size(), 1U);
}

TEST(PasswordGate, PanelLiesOverTheMiddleOfTheLevelListsInItsColours) {
  Window t;
  Form1& w = *t.w;
  EXPECT_EQ(w.Frame密码->parentWidget(), w.Frame3);
  EXPECT_TRUE(w.Frame密码->title().isEmpty());
  EXPECT_EQ(w.Command9->parentWidget(), w.Frame3);
  EXPECT_EQ(w.Command9->text(), "调光设置");
  EXPECT_EQ(w.Command9->geometry(), QRect(twips(240), twips(360), twips(615), twips(855)));
  EXPECT_EQ(w.Frame密码->geometry(), QRect(twips(2280), 0, twips(4455), twips(1215)));
  EXPECT_EQ(w.Label27->geometry(), QRect(twips(240), twips(360), twips(1020), twips(255)));
  EXPECT_EQ(w.Text->geometry(), QRect(twips(1320), twips(240), twips(2295), twips(390)));
  EXPECT_EQ(w.Command10->geometry(), QRect(twips(1440), twips(720), twips(855), twips(420)));
  EXPECT_EQ(w.Command11->geometry(), QRect(twips(2640), twips(720), twips(855), twips(420)));
  EXPECT_EQ(w.Label27->text(), "请输入密码");
  EXPECT_EQ(w.Command10->text(), "确认");
  EXPECT_EQ(w.Command11->text(), "取消");
  EXPECT_EQ(w.Text->echoMode(), QLineEdit::Normal);

  w.Command9->click();
  t.showActive();
  // Shown, the panel covers the lists beneath it.
  int covered = 0;
  for (int k = 0; k < kLevels; ++k) {
    const QRect list = w.Combo调光级别[k]->geometry();
    if (!w.Frame密码->geometry().contains(list.center())) continue;
    ++covered;
    EXPECT_TRUE(w.Frame密码->isAncestorOf(w.Frame3->childAt(list.center())) ||
                w.Frame3->childAt(list.center()) == w.Frame密码)
        << "level list " << k << " shows through the panel";
  }
  EXPECT_GE(covered, 2);

  const QImage panel = w.Frame密码->grab().toImage();
  EXPECT_EQ(QColor(panel.pixel(4, panel.height() - 4)), QColor(128, 255, 128));
  const QImage caption = w.Label27->grab().toImage();
  bool red = false;
  for (int y = 0; y < caption.height() && !red; ++y) {
    for (int x = 0; x < caption.width() && !red; ++x) {
      const QColor c(caption.pixel(x, y));
      red = c.red() > 200 && c.green() < 60 && c.blue() < 60;
    }
  }
  EXPECT_TRUE(red) << "the prompt is not written in red";
}

// ---------------------------------------------------------------------------------------------
// Clock and history

TEST(Clock, CaptionShowsPaddedDateTimeOfDayAndChineseWeekday) {
  const LocaleScope locale(QLocale::c());
  Window t;
  Form1& w = *t.w;
  EXPECT_EQ(w.LBDATA->text(), "time");
  EXPECT_EQ(w.Timer1->interval(), 333);
  EXPECT_TRUE(w.Timer1->isActive());

  const struct {
    QDateTime at;
    const char* caption;
  } ticks[] = {
      {{QDate(2019, 7, 1), QTime(14, 5, 9)}, "2019年07月01日 14:05:09 星期一"},
      {{QDate(2019, 7, 6), QTime(23, 59, 59)}, "2019年07月06日 23:59:59 星期六"},
      {{QDate(2019, 7, 7), QTime(0, 0, 0)}, "2019年07月07日 00:00:00 星期日"},
      {{QDate(2020, 3, 5), QTime(9, 8, 7)}, "2020年03月05日 09:08:07 星期四"},
      {{QDate(2024, 12, 31), QTime(12, 0, 1)}, "2024年12月31日 12:00:01 星期二"},
  };
  for (const auto& tick : ticks) {
    t.platform.clock = tick.at;
    w.Timer1_Timer();
    EXPECT_EQ(w.LBDATA->text(), QString::fromUtf8(tick.caption));
    // Sized to its text, in its place beside the logo.
    EXPECT_EQ(w.LBDATA->x(), twips(3360));
    EXPECT_GE(w.LBDATA->width(), w.LBDATA->fontMetrics().horizontalAdvance(w.LBDATA->text()));
    EXPECT_LE(w.LBDATA->geometry().right(), w.Command7->x());
  }
}

TEST(Clock, TimeOfDayFollowsTheDesktopLocaleWithoutTheZone) {
  const QDateTime at(QDate(2019, 7, 1), QTime(14, 5, 9));
  EXPECT_EQ(timeOfDayText(at.time(), QLocale::c()), "14:05:09");
  EXPECT_EQ(timeOfDayText(at.time(), QLocale(QLocale::Chinese, QLocale::China)), "14:05:09");
  EXPECT_EQ(timeOfDayText(at.time(), QLocale(QLocale::English, QLocale::UnitedStates)),
            "2:05:09 PM");
  EXPECT_EQ(timeOfDayText(at.time(), QLocale(QLocale::German, QLocale::Germany)), "14:05:09");
  EXPECT_EQ(timeOfDayText(at.time(), QLocale(QLocale::Japanese, QLocale::Japan)), "14時05分09秒");
  const QString persian = timeOfDayText(at.time(), QLocale(QLocale::Persian, QLocale::Iran));
  EXPECT_FALSE(persian.contains(QLatin1Char('('))) << persian.toStdString();
  EXPECT_FALSE(persian.endsWith(QLatin1Char(' ')));

  {
    const LocaleScope locale(QLocale(QLocale::English, QLocale::UnitedStates));
    Window t;
    t.w->Timer1_Timer();
    EXPECT_EQ(t.w->LBDATA->text(), "2019年07月01日 2:05:09 PM 星期一");
  }
  // Whatever this machine's locale, the caption has the date, a time without the zone and the
  // weekday.
  Window t;
  t.w->Timer1_Timer();
  const QString caption = t.w->LBDATA->text();
  EXPECT_TRUE(caption.startsWith(QStringLiteral("2019年07月01日 "))) << caption.toStdString();
  EXPECT_TRUE(caption.endsWith(QStringLiteral(" 星期一"))) << caption.toStdString();
  EXPECT_TRUE(caption.contains(QStringLiteral("05")) && caption.contains(QStringLiteral("09")))
      << caption.toStdString();
  EXPECT_FALSE(caption.contains(QStringLiteral("UTC")));

  EXPECT_EQ(uploadHeaderText(at, QLocale::c()), "上传参数 2019-07-01 14:05:09");
  EXPECT_EQ(uploadHeaderText({QDate(2020, 3, 5), QTime(9, 8, 7)}, QLocale::c()),
            "上传参数 2020-03-05 09:08:07");
}

// Long time formats (Korean, American) must not push the weekday under the exit button: in
// every locale Qt knows the caption stays whole, clear of the button.
TEST(Clock, CaptionStaysWholeAndClearOfTheExitButtonInEveryLocale) {
  Window t;
  Form1& w = *t.w;
  t.platform.clock = {QDate(2019, 7, 1), QTime(14, 5, 9)};  // a Monday afternoon
  const QList<QLocale> all =
      QLocale::matchingLocales(QLocale::AnyLanguage, QLocale::AnyScript, QLocale::AnyTerritory);
  ASSERT_GT(all.size(), 100);
  int checked = 0;
  for (const QLocale& locale : all) {
    const LocaleScope scope(locale);
    w.Timer1_Timer();
    const QString caption = w.LBDATA->text();
    const std::string where = locale.name().toStdString() + ": " + caption.toStdString();
    ASSERT_TRUE(caption.startsWith(QStringLiteral("2019年07月01日 "))) << where;
    ASSERT_TRUE(caption.endsWith(QStringLiteral(" 星期一"))) << where;
    EXPECT_LE(w.LBDATA->fontMetrics().horizontalAdvance(caption), w.LBDATA->contentsRect().width())
        << where;
    EXPECT_LE(w.LBDATA->fontMetrics().height(), w.LBDATA->height()) << where;
    EXPECT_LT(w.LBDATA->geometry().right() + 1, w.Command7->x()) << where;
    EXPECT_EQ(w.LBDATA->x(), twips(3360)) << where;
    ++checked;
  }
  EXPECT_EQ(checked, all.size());

  // A caption that fits keeps the clock's full size; a long one is drawn smaller, not cut.
  {
    const LocaleScope scope(QLocale(QLocale::Chinese, QLocale::China));
    w.Timer1_Timer();
    EXPECT_EQ(w.LBDATA->font().pointSizeF(), 14.25);
  }
  for (const QLocale& locale : {QLocale(QLocale::Korean, QLocale::SouthKorea),
                                QLocale(QLocale::English, QLocale::UnitedStates),
                                QLocale(QLocale::German, QLocale::Germany)}) {
    const LocaleScope scope(locale);
    w.Timer1_Timer();
    EXPECT_TRUE(w.LBDATA->text().endsWith(QStringLiteral("星期一")));
    EXPECT_LE(w.LBDATA->fontMetrics().horizontalAdvance(w.LBDATA->text()), w.LBDATA->width());
    EXPECT_LT(w.LBDATA->geometry().right() + 1, w.Command7->x()) << locale.name().toStdString();
  }
}

TEST(History, LogoSwitchesTheWidthAndTheListKeepsItsLinesUntilDoubleClicked) {
  Window t;
  Form1& w = *t.w;
  w.move(100, 80);
  t.showActive();
  const int left = w.x();
  const int narrow = twips(kNarrowWidthTwips);
  const int wide = twips(kWideWidthTwips);
  EXPECT_FALSE(w.WideView);
  EXPECT_EQ(w.width(), narrow);
  EXPECT_FALSE(w.List1->isVisible());
  EXPECT_EQ(w.List1->count(), 0);

  // An empty list double-clicked: nothing visible happens.
  doubleClick(w.List1->viewport());
  EXPECT_EQ(w.List1->count(), 0);
  EXPECT_FALSE(w.WideView);
  EXPECT_EQ(w.width(), narrow);

  // Lines arrive while the list is hidden.
  w.List1->addItem(QStringLiteral("上传参数 2019-07-01 14:05:09"));
  w.List1->addItem(QStringLiteral("01 00 00 00 00 00 00 00 00 00 00 0A "));
  w.List1->setCurrentRow(1);

  doubleClick(w.Image1);
  EXPECT_TRUE(w.WideView);
  EXPECT_EQ(w.width(), wide);
  EXPECT_EQ(w.minimumWidth(), wide);
  EXPECT_EQ(w.maximumWidth(), wide);
  EXPECT_EQ(w.x(), left);
  EXPECT_TRUE(w.List1->isVisible());
  EXPECT_LE(w.List1->geometry().right(), w.width() - 1);
  EXPECT_EQ(w.List1->count(), 2);

  doubleClick(w.Image1);
  EXPECT_FALSE(w.WideView);
  EXPECT_EQ(w.width(), narrow);
  EXPECT_EQ(w.maximumWidth(), narrow);
  EXPECT_EQ(w.x(), left);
  EXPECT_FALSE(w.List1->isVisible());
  EXPECT_EQ(w.List1->count(), 2);
  w.List1->addItem(QStringLiteral("00 00 00 00 00 00 00 00 00 00 00 00 "));
  EXPECT_EQ(w.List1->count(), 3);

  // The keyboard reaches the logo too.
  w.Image1->setFocus();
  press(w.Image1, Qt::Key_Space);
  EXPECT_TRUE(w.WideView);
  EXPECT_EQ(w.width(), wide);
  EXPECT_EQ(w.List1->count(), 3);
  EXPECT_EQ(w.List1->item(2)->text(), "00 00 00 00 00 00 00 00 00 00 00 00 ");

  // A double click anywhere on the list clears it without asking.
  doubleClick(w.List1->viewport());
  EXPECT_EQ(w.List1->count(), 0);
  EXPECT_TRUE(t.platform.messages.empty());
  EXPECT_TRUE(w.WideView);
  EXPECT_TRUE(w.List1->isVisible());

  press(w.Image1, Qt::Key_Return);
  EXPECT_FALSE(w.WideView);
  EXPECT_EQ(w.width(), narrow);
  EXPECT_TRUE(t.port.writes.empty());
}

// ---------------------------------------------------------------------------------------------
// Layout

std::vector<QWidget*> childWidgets(const QWidget* parent) {
  const auto children = parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
  return {children.begin(), children.end()};
}

// Siblings that are drawn over each other on purpose: the password panel over the level lists,
// and the fill of the progress bar inside its outline.
bool meantToOverlap(const Form1& w, const QWidget* a, const QWidget* b) {
  if (a == w.Frame密码 || b == w.Frame密码) return true;
  return (a == w.Shape1 && b == w.Shape2) || (a == w.Shape2 && b == w.Shape1);
}

// Every shown control inside its frame, clear of the frame's title and of its shown siblings.
void expectTidy(const Form1& w, const QWidget* parent, const std::string& state) {
  const auto children = childWidgets(parent);
  const auto* group = qobject_cast<const QGroupBox*>(parent);
  const int titleBottom =
      group != nullptr && !group->title().isEmpty() ? group->fontMetrics().height() : 0;
  for (std::size_t i = 0; i < children.size(); ++i) {
    QWidget* a = children[i];
    if (!a->isVisibleTo(&w)) continue;
    const std::string name =
        (a->accessibleName().isEmpty() ? std::string(a->metaObject()->className())
                                       : a->accessibleName().toStdString()) +
        " in " + state;
    EXPECT_TRUE(parent->rect().contains(a->geometry())) << name << " sticks out of its frame";
    if (a != w.Frame密码) {
      EXPECT_GE(a->y(), titleBottom) << name << " covers the frame title";
    }
    for (std::size_t j = i + 1; j < children.size(); ++j) {
      QWidget* b = children[j];
      if (!b->isVisibleTo(&w) || meantToOverlap(w, a, b)) continue;
      EXPECT_FALSE(a->geometry().intersects(b->geometry()))
          << name << " overlaps " << b->metaObject()->className() << " "
          << b->accessibleName().toStdString() << " "
          << b->property("text").toString().toStdString();
    }
    if (!childWidgets(a).empty() && qobject_cast<QComboBox*>(a) == nullptr &&
        qobject_cast<QListWidget*>(a) == nullptr && qobject_cast<QLineEdit*>(a) == nullptr) {
      expectTidy(w, a, state);
    }
  }
}

TEST(Layout, WindowWidthsHistoryPaneLogoAndKeysStandWhereTheyShould) {
  Window t;
  Form1& w = *t.w;
  EXPECT_EQ(w.windowTitle(), "QZ系列灯光场景配置 A24");
  EXPECT_EQ(w.width(), twips(9795));
  EXPECT_EQ(w.minimumWidth(), w.maximumWidth());
  EXPECT_EQ(w.minimumHeight(), w.maximumHeight());
  EXPECT_EQ(w.List1->parentWidget(), &w);
  EXPECT_EQ(w.List1->geometry(), QRect(twips(9720), twips(120), twips(3855), twips(8160)));
  EXPECT_EQ(w.List1->selectionMode(), QAbstractItemView::SingleSelection);
  EXPECT_FALSE(w.List1->isSortingEnabled());
  EXPECT_EQ(w.Image1->geometry(), QRect(twips(120), twips(9720), twips(2955), twips(390)));
  EXPECT_LE(w.Image1->geometry().bottom(), w.height() - 1);
  EXPECT_EQ(w.LBDATA->x(), twips(3360));
  EXPECT_EQ(w.Command7->text(), "退  出");
  for (int i = 1; i <= 17; ++i) EXPECT_EQ(w.Command6[i]->size(), QSize(twips(1300), twips(400)));
  // The wide window shows the whole history list; the narrow one shows everything else.
  EXPECT_LE(w.List1->geometry().right(), twips(13800) - 1);
  for (QWidget* child : childWidgets(&w)) {
    if (child == w.List1) continue;
    EXPECT_LE(child->geometry().right(), twips(9720) - 1)
        << child->metaObject()->className() << " reaches into the history pane";
  }
}

TEST(Layout, NothingOverlapsWithAnyModelPanelOrTheSignalFramesShown) {
  Window t;
  Form1& w = *t.w;
  // The prompt and status frames with all they can show.
  w.Frame7->show();
  w.Frame提示->show();
  w.Label18->show();
  w.Shape1->show();
  w.Shape2->show();
  for (int m = 0; m < kModels; ++m) {
    for (int other = 0; other < kModels; ++other) w.Frame6[other]->setVisible(other == m);
    expectTidy(w, &w, "the panel of model " + std::to_string(m));
  }
  w.Command9->click();
  expectTidy(w, w.Frame密码, "the password panel");
}

// Whether some pixel of `widget` within `area` has about this colour (text is antialiased; its
// core pixels carry the colour).
bool drawsIn(QWidget* widget, const QColor& colour, QRect area = {}) {
  const QImage image = widget->grab().toImage();
  if (area.isNull()) area = image.rect();
  for (int y = area.top(); y <= area.bottom(); ++y) {
    for (int x = area.left(); x <= area.right(); ++x) {
      const QColor c = image.pixelColor(x, y);
      if (std::abs(c.red() - colour.red()) < 40 && std::abs(c.green() - colour.green()) < 40 &&
          std::abs(c.blue() - colour.blue()) < 40) {
        return true;
      }
    }
  }
  return false;
}

TEST(Layout, SignalColoursAreDrawn) {
  Window t;
  Form1& w = *t.w;
  // The panel title in blue (and only the title: the boxes below it are not).
  QGroupBox* panel = w.Frame6[0];
  const int titleHeight = panel->fontMetrics().height();
  EXPECT_TRUE(drawsIn(panel, QColor(0, 0, 255), QRect(0, 0, panel->width(), titleHeight)));
  EXPECT_FALSE(drawsIn(w.TD1[0], QColor(0, 0, 255)));
  // The clock in dark blue.
  EXPECT_TRUE(drawsIn(w.LBDATA, QColor(0, 0, 192)));
  // The logo framed in dark blue, in yellow while it has the focus.
  const QImage logo = w.Image1->grab().toImage();
  EXPECT_EQ(logo.pixelColor(0, 0), QColor(0, 0, 160));
  t.showActive();
  w.Image1->setFocus(Qt::TabFocusReason);
  QApplication::processEvents();
  EXPECT_EQ(w.Image1->grab().toImage().pixelColor(0, 0), QColor(255, 200, 0));
  // The logo's picture: white lettering on dark blue.
  EXPECT_TRUE(drawsIn(w.Image1, QColor(255, 255, 255)));
  EXPECT_EQ(logo.pixelColor(3, 3), QColor(0, 0, 160));
}

// Pixels darker than mid-grey: the ink of text on a light ground.
int inkIn(const QImage& image) {
  int ink = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) ink += image.pixelColor(x, y).lightness() < 128;
  }
  return ink;
}

// A frame is one line of one colour, square at the corners, around its own untinted ground; its
// title has the ink of its text in the regular weight, not in bold.
TEST(Layout, FramesAreAPlainLineWithTheirTitlesInTheRegularWeight) {
  Window t;
  for (QGroupBox* frame : {t.w->Frame1, t.w->Frame3, t.w->Frame8}) {
    SCOPED_TRACE(frame->title().toStdString());
    const QImage image = frame->grab().toImage();
    const int title = frame->fontMetrics().height();
    const QColor ground = frame->palette().color(QPalette::Window);
    const QColor line = image.pixelColor(0, image.height() - 1);
    EXPECT_LT(line.lightness(), ground.lightness());
    for (int y = 2 * title; y < image.height(); ++y) {
      ASSERT_EQ(image.pixelColor(0, y), line) << y;
      ASSERT_EQ(image.pixelColor(image.width() - 1, y), line) << y;
    }
    for (int x = 0; x < image.width(); ++x)
      ASSERT_EQ(image.pixelColor(x, image.height() - 1), line);
    EXPECT_EQ(image.pixelColor(1, image.height() - 2), ground);

    auto drawn = [&](QFont::Weight weight) {
      QImage text(image.width(), title, QImage::Format_ARGB32);
      text.fill(ground);
      QPainter p(&text);
      QFont font = frame->font();
      font.setWeight(weight);
      p.setFont(font);
      p.drawText(text.rect(), Qt::AlignLeft | Qt::AlignVCenter, frame->title());
      return inkIn(text);
    };
    const int ink = inkIn(image.copy(0, 0, image.width(), title));
    EXPECT_LT(std::abs(ink - drawn(QFont::Normal)), std::abs(ink - drawn(QFont::Bold)));
  }
}

// A caption fits when the text is no wider than the room the style gives it.
void expectCaptionFits(const QWidget* widget, const QString& text, int room) {
  EXPECT_LE(widget->fontMetrics().horizontalAdvance(text), room)
      << widget->metaObject()->className() << " \"" << text.toStdString() << "\" is cut";
}

// Room for an item text in a closed list: the list's width less its frame and arrow.
void expectItemFits(const QComboBox* list, const QString& item) {
  QStyleOptionComboBox option;
  option.initFrom(list);
  option.editable = false;
  option.frame = true;
  const QSize needed = list->style()->sizeFromContents(
      QStyle::CT_ComboBox, &option,
      QSize(list->fontMetrics().horizontalAdvance(item), list->fontMetrics().height()), list);
  EXPECT_LE(needed.width(), list->width())
      << list->accessibleName().toStdString() << " cuts \"" << item.toStdString() << "\"";
}

TEST(Layout, EveryCaptionAndListItemFitsItsControl) {
  Window t;
  Form1& w = *t.w;
  // Every caption there is, also in the frames that appear later.
  w.Label19->setText(QStringLiteral("与“排风1”通道定义重复"));
  w.Label提示->setText(QStringLiteral("正在初始化，请稍后"));
  w.Label18->setText(QStringLiteral("100%"));
  w.Label机型->setText(QStringLiteral("QZ-0408"));
  w.Label软件版本->setText(QString(31, QLatin1Char('W')));
  w.Timer1_Timer();
  for (const QLabel* label : w.findChildren<QLabel*>()) {
    if (!label->pixmap().isNull()) continue;
    expectCaptionFits(label, label->text(), label->contentsRect().width());
  }
  for (const QPushButton* button : w.findChildren<QPushButton*>()) {
    QStyleOptionButton option;
    option.initFrom(button);
    const QRect room =
        button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
    if (button == w.Command9) continue;  // drawn on two lines, below
    expectCaptionFits(button, button->text(), room.width());
  }
  for (const QCheckBox* box : w.findChildren<QCheckBox*>()) {
    QStyleOptionButton option;
    option.initFrom(box);
    const QRect room = box->style()->subElementRect(QStyle::SE_CheckBoxContents, &option, box);
    expectCaptionFits(box, box->text(), box->width() - room.x());
  }
  for (int m = 0; m < kModels; ++m) {
    for (const char* key : {"场景1", "场景13", "灯光全关", "灯光全开"}) {
      expectCaptionFits(w.Frame6[m], QStringLiteral("当前设置->") + QString::fromUtf8(key),
                        w.Frame6[m]->width() - 16);
    }
  }
  for (const QGroupBox* frame : w.findChildren<QGroupBox*>()) {
    expectCaptionFits(frame, frame->title(), frame->width() - 16);
  }

  // The widest item each list will hold.
  const std::map<const QComboBox*, QStringList> items = {
      {w.Combo串口, {"COM50"}},
      {w.Combo波特率, {"256000"}},
      {w.Combo机型, {"QZ-0408", "QZ-1200"}},
      {w.Combo开机场景, {"场景13", "灯光全开"}},
      {w.Combo工作模式, {"LINK模式", "DMX512模式"}},
      {w.Combo1DMX地址, {"501"}},
      {w.Combo场景模式, {"切换", "叠加"}},
  };
  for (const auto& [list, texts] : items) {
    for (const QString& text : texts) expectItemFits(list, text);
  }
  for (int m = 0; m < 4; ++m) {
    for (int d = 0; d < dimCount(m); ++d) expectItemFits(w.levelList(m, d), QStringLiteral("9"));
  }
  for (int k = 0; k < kLevels; ++k) expectItemFits(w.Combo调光级别[k], QStringLiteral("255"));
  for (int i = 0; i < 9; ++i) {
    const bool powerOn = i == 1 || i == 3;
    for (const QString& text :
         powerOn ? QStringList{"关闭", "打开"} : QStringList{"关闭", "通道12"}) {
      expectItemFits(w.Combo空调排风[i], text);
    }
  }
}

// The rows of a button's face that hold ink of its caption, grouped into bands of touching rows;
// each band is one line of text. Columns where ink stands are gathered too.
struct Ink {
  int bands = 0;
  int left = 1 << 30;
  int right = -1;
};

Ink captionInk(QWidget* button) {
  const QImage face = button->grab().toImage();
  Ink ink;
  bool inBand = false;
  for (int y = 3; y < face.height() - 3; ++y) {
    bool row = false;
    for (int x = 3; x < face.width() - 3; ++x) {
      const QColor c = face.pixelColor(x, y);
      if (c.red() + c.green() + c.blue() < 3 * 80) {
        row = true;
        ink.left = std::min(ink.left, x);
        ink.right = std::max(ink.right, x);
      }
    }
    if (row && !inBand) ++ink.bands;
    inBand = row;
  }
  return ink;
}

TEST(Layout, TheTallDimmingButtonWritesItsCaptionOnTwoLinesWithinItsFace) {
  Window t;
  Form1& w = *t.w;
  const Ink ink = captionInk(w.Command9);
  EXPECT_EQ(ink.bands, 2) << "\"调光设置\" should read as 调光 over 设置";
  EXPECT_GT(ink.left, 3) << "the caption runs into the left edge";
  EXPECT_LT(ink.right, w.Command9->width() - 4) << "the caption runs into the right edge";
  // A plain button of the same size and caption would write one clipped line.
  QPushButton plain(QStringLiteral("调光设置"));
  plain.resize(w.Command9->size());
  EXPECT_EQ(captionInk(&plain).bands, 1);
}

// ---------------------------------------------------------------------------------------------
// Keyboard and assistive technology

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
  EXPECT_EQ(window->text(QAccessible::Name), "QZ系列灯光场景配置 A24");
  // Still the window that holds every control.
  EXPECT_GE(window->childCount(), 10);
  QAccessibleInterface* frame = QAccessible::queryAccessibleInterface(w.Frame1);
  ASSERT_NE(frame, nullptr);
  EXPECT_EQ(frame->parent(), window);
}

}  // namespace
}  // namespace qz

// The clock line, and the wide and narrow layouts with the history list, through the real
// window with the fake port.

#include <gtest/gtest.h>

#include <QDateTime>
#include <QLocale>
#include <QMouseEvent>
#include <string>

#include "ui/clock_text.h"

#include "gui/window_rig.h"

namespace qz {
namespace {

using gui_test::press;
using gui_test::Window;

void doubleClick(QWidget* target) {
  const QPointF at(target->width() / 2.0, target->height() / 2.0);
  QMouseEvent event(QEvent::MouseButtonDblClick, at, target->mapToGlobal(at), Qt::LeftButton,
                    Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &event);
}

// The default locale stands for the desktop's; each test that sets it puts it back.
struct LocaleScope {
  explicit LocaleScope(const QLocale& locale) { QLocale::setDefault(locale); }
  ~LocaleScope() { QLocale::setDefault(QLocale::system()); }
  LocaleScope(const LocaleScope&) = delete;
  LocaleScope& operator=(const LocaleScope&) = delete;
};

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

TEST(Editor, ClockAndHistoryTexts) {
  EXPECT_EQ(clockCaption(2019, 7, 1, 2, "14:05:09"), "2019年07月01日 14:05:09 星期一");
  EXPECT_EQ(clockCaption(2019, 7, 7, 1, "00:00:00"), "2019年07月07日 00:00:00 星期日");
  EXPECT_EQ(clockCaption(2019, 7, 6, 7, "23:59:59"), "2019年07月06日 23:59:59 星期六");
  EXPECT_EQ(clockCaption(2020, 3, 5, 5, "9:08:07 AM"), "2020年03月05日 9:08:07 AM 星期四");
  EXPECT_EQ(clockCaption(987, 12, 31, 3, "12:00:01"), "0987年12月31日 12:00:01 星期二");
  EXPECT_EQ(uploadHeader(2019, 7, 1, "14:05:09"), "上传参数 2019-07-01 14:05:09");
  EXPECT_EQ(uploadHeader(2020, 3, 5, "09:08:07"), "上传参数 2020-03-05 09:08:07");
}

}  // namespace
}  // namespace qz

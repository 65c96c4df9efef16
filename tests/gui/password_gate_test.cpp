// The password gate of the level table, through the real window with the fake port.

#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <QRect>
#include <QStringList>

#include "gui/window_rig.h"

namespace qz {
namespace {

using gui_test::Window;

const std::vector<bool> kAllLocked(kLevels, false);
const std::vector<bool> kAllUnlocked(kLevels, true);

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

}  // namespace
}  // namespace qz

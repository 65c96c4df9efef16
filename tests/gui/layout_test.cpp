// The window's layout: where its parts stand, that nothing overlaps, its colours, frames and
// captions, through the real window with the fake port.

#include <gtest/gtest.h>

#include <QImage>
#include <QMenuBar>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionComboBox>
#include <algorithm>
#include <cstdlib>
#include <map>
#include <string>

#include "gui/window_rig.h"

namespace qz {
namespace {

using gui_test::Window;

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
        a != static_cast<QWidget*>(w.MenuBar) && qobject_cast<QListWidget*>(a) == nullptr &&
        qobject_cast<QLineEdit*>(a) == nullptr) {
      expectTidy(w, a, state);
    }
  }
}

TEST(Layout, WindowWidthsHistoryPaneLogoAndKeysStandWhereTheyShould) {
  Window t;
  Form1& w = *t.w;
  EXPECT_EQ(w.windowTitle(), "QZ系列灯光场景配置 A24[*]");  // no file, the edits' mark's place
  EXPECT_EQ(w.width(), twips(9795));
  EXPECT_EQ(w.minimumWidth(), w.maximumWidth());
  EXPECT_EQ(w.minimumHeight(), w.maximumHeight());
  EXPECT_EQ(w.List1->parentWidget(), &w);
  // The form stands below the menu bar, as it was laid out.
  const int bar = w.menuHeight();
  EXPECT_EQ(w.MenuBar->geometry(), QRect(0, 0, w.width(), bar));
  EXPECT_EQ(w.List1->geometry(), QRect(twips(9720), twips(120) + bar, twips(3855), twips(8160)));
  EXPECT_EQ(w.List1->selectionMode(), QAbstractItemView::SingleSelection);
  EXPECT_FALSE(w.List1->isSortingEnabled());
  EXPECT_EQ(w.Image1->geometry(), QRect(twips(120), twips(9720) + bar, twips(2955), twips(390)));
  EXPECT_LE(w.Image1->geometry().bottom(), w.height() - 1);
  EXPECT_EQ(w.LBDATA->x(), twips(3360));
  EXPECT_EQ(w.Command7->text(), "退  出");
  for (int i = 1; i <= 17; ++i) EXPECT_EQ(w.Command6[i]->size(), QSize(twips(1300), twips(400)));
  // The wide window shows the whole history list; the narrow one shows everything else.
  EXPECT_LE(w.List1->geometry().right(), twips(13800) - 1);
  for (QWidget* child : childWidgets(&w)) {
    if (child == w.List1 || child == static_cast<QWidget*>(w.MenuBar)) continue;
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

}  // namespace
}  // namespace qz

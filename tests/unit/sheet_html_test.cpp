// The HTML sheet read back cell by cell and held against the image it was made from.

#include <gtest/gtest.h>

#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <vector>

#include "report/sheet.h"
#include "support/random_image.h"

namespace qz {
namespace {

using Table = std::vector<QStringList>;

// The text of every cell of every table in the document, tags dropped, in document order.
std::vector<Table> tables(const QString& html) {
  static const QRegularExpression table("<table[^>]*>(.*?)</table>",
                                        QRegularExpression::DotMatchesEverythingOption);
  static const QRegularExpression row("<tr>(.*?)</tr>",
                                      QRegularExpression::DotMatchesEverythingOption);
  static const QRegularExpression cell("<t[dh][^>]*>(.*?)</t[dh]>");
  static const QRegularExpression tag("<[^>]*>");
  std::vector<Table> out;
  for (const auto& t : table.globalMatch(html)) {
    out.emplace_back();
    for (const auto& r : row.globalMatch(t.captured(1))) {
      QStringList cells;
      for (const auto& c : cell.globalMatch(r.captured(1))) {
        cells << c.captured(1).remove(tag).simplified();
      }
      out.back().push_back(cells);
    }
  }
  return out;
}

TEST(SheetHtml, EveryCellShowsTheImageAndARowTheFileLacksIsNamed) {
  const char* keys[] = {"场景1",  "场景2",    "场景3",    "场景4",  "场景5",  "场景6",
                        "场景7",  "场景8",    "场景9",    "场景10", "场景11", "场景12",
                        "场景13", "灯光全关", "灯光全开", "暂停",   "静音"};
  const char* fanFunctions[] = {"排风1", "", "排风2", "", "阀开", "阀关", "高风", "中风", "低风"};
  test::RandomImages random(18);
  for (int model = 0; model < kModels; ++model) {
    SCOPED_TRACE(model);
    report::SheetInput in;
    in.model = model;
    in.image = random.image(model);
    in.rows[5] = model != 3;  // QZ-1002's file lacks 场景6
    const std::vector<Table> t = tables(QString::fromUtf8(report::sheetHtml({&in, 1})));
    ASSERT_EQ(t.size(), 4u);  // scenes, settings, exhaust fans, air conditioner
    const Table& scenes = t[0];
    ASSERT_EQ(scenes.size(), 3u + 17u);
    const int switches = 4 + 2 * model;
    const auto at = [&](int r, int c) { return in.image(r, c); };
    // Third header line: the function a channel serves, under that channel's column.
    for (int list = 0; list < 9; ++list) {
      if (*fanFunctions[list] == '\0' || at(17, list) == 0) continue;
      EXPECT_TRUE(scenes[2][at(17, list) - 1].contains(QString::fromUtf8(fanFunctions[list])));
    }
    for (int r = 0; r < 17; ++r) {
      QStringList expected{QString::fromUtf8(keys[r])};
      for (int c = 0; c < 12 && !(r == 5 && model == 3); ++c) {
        const int v = at(r, c);
        expected << (c < switches ? QString::fromUtf8(v == 1 ? "●" : "○")
                                  : QStringLiteral("%1 %2").arg(v).arg(at(18, 1 + v)));
      }
      if (r == 5 && model == 3) expected << QStringLiteral("文件中没有此行（CJ05）");
      EXPECT_EQ(scenes[3 + static_cast<std::size_t>(r)], expected) << r;
    }
    // Settings: the power-on scene names its key as the scene table does.
    const int address = at(17, 10) * 256 + at(17, 11);
    EXPECT_EQ(t[1],
              (Table{{QStringLiteral("开机场景"), scenes[3 + at(18, 11)][0]},
                     {QStringLiteral("工作模式"),
                      at(17, 9) == 0 ? QStringLiteral("LINK模式") : QStringLiteral("DMX512模式")},
                     {QStringLiteral("DMX512地址"), QString::number(address)},
                     {QStringLiteral("场景模式"),
                      at(18, 0) == 0 ? QStringLiteral("切换") : QStringLiteral("叠加")}}));
    const auto channel = [&](int list) {
      return at(17, list) == 0 ? QStringLiteral("关闭")
                               : QStringLiteral("通道%1").arg(at(17, list));
    };
    const auto onOff = [&](int list) {
      return at(17, list) == 0 ? QStringLiteral("关闭") : QStringLiteral("打开");
    };
    EXPECT_EQ(t[2], (Table{{"", QStringLiteral("通道"), QStringLiteral("上电")},
                           {QStringLiteral("排风1"), channel(0), onOff(1)},
                           {QStringLiteral("排风2"), channel(2), onOff(3)}}));
    for (int list = 4; list < 9; ++list) {
      EXPECT_EQ(t[3][static_cast<std::size_t>(list - 4)],
                (QStringList{QString::fromUtf8(fanFunctions[list]), channel(list)}));
    }
  }
}

}  // namespace
}  // namespace qz

// The sheet as one HTML file for e-mail: the same content as the PDF, styles inside, no
// picture or font fetched from anywhere, one A4 page per section when printed.

#include <QString>
#include <QStringList>

#include "report/sheet.h"
#include "report/sheet_content.h"

namespace qz::report {

namespace {

QString esc(const std::string& s) {
  return QString::fromStdString(s).toHtmlEscaped();
}

constexpr char kStyle[] = R"(<style>
@page { size: A4 portrait; margin: 12mm 14mm; }
body { font-family: "Noto Sans CJK SC", "Source Han Sans SC", "WenQuanYi Micro Hei",
  "Microsoft YaHei", "PingFang SC", sans-serif; color: #1f252d; font-size: 9pt; margin: 0; }
section.page { max-width: 182mm; margin: 0 auto 10mm; page-break-after: always; }
section.page:last-child { page-break-after: auto; }
header { display: flex; justify-content: space-between; align-items: flex-start;
  border-bottom: 0.6mm solid #1f3a5f; padding-bottom: 2mm; margin-bottom: 3mm; }
h1 { font-size: 16pt; color: #1f3a5f; margin: 0 0 2mm; }
.model { background: #1f3a5f; color: #fff; text-align: center; padding: 1.5mm 5mm; }
.model b { display: block; font-size: 17pt; } .model small { color: #e6ecf3; font-size: 7pt; }
dl.meta { display: flex; gap: 8mm; margin: 0; } dl.meta dt { color: #66707d; font-size: 7pt; }
dl.meta dd { margin: 0; }
.notice { background: #fdecea; border-left: 1mm solid #b42318; color: #b42318;
  padding: 1.5mm 3mm; margin-bottom: 3mm; }
h2 { font-size: 10pt; color: #1f3a5f; border-left: 1.2mm solid #1f3a5f; padding-left: 2mm;
  margin: 3mm 0 1.5mm; }
table { border-collapse: collapse; width: 100%; }
table.scenes { border: 0.3mm solid #66707d; table-layout: fixed; }
table.scenes th { background: #e6ecf3; color: #1f3a5f; font-weight: normal; }
table.scenes th.group { font-weight: bold; } th.taken { color: #9a5b00; font-size: 6.5pt; }
table.scenes td, table.scenes th { text-align: center; height: 6mm; padding: 0;
  border-bottom: 0.15mm solid #d3d9e0; }
table.scenes td.key, table.scenes th.key { text-align: left; padding-left: 2mm; width: 22mm;
  border-right: 0.3mm solid #d3d9e0; }
table.scenes tr:nth-child(even) td { background: #f7f9fb; }
table.scenes td.taken, table.scenes tr:nth-child(even) td.taken { background: #fdf1dc; }
td.on { color: #1f3a5f; } td.off { color: #66707d; } td b { font-size: 9pt; }
td small, .legend { color: #66707d; font-size: 6.5pt; } td.missing { color: #b42318; }
.odd { color: #b42318; font-weight: bold; } .absent { color: #66707d; }
.boxes { display: flex; gap: 6mm; } .boxes > div { flex: 1; }
.boxes td { border-bottom: 0.15mm solid #d3d9e0; height: 6mm; }
.boxes td:first-child { color: #66707d; }
.levels { display: flex; } .levels div { flex: 1; text-align: center; color: #66707d; }
.track { background: #eef1f5; width: 7mm; height: 18mm; margin: 1mm auto; position: relative; }
.bar { background: #3b6ea5; position: absolute; bottom: 0; width: 100%; }
.levels b { color: #1f252d; display: block; font-size: 9.5pt; }
.remarks { border: 0.25mm solid #d3d9e0; height: 18mm; margin-top: 3mm; padding: 1mm 2mm;
  color: #66707d; }
.signatures { display: flex; gap: 6mm; margin-top: 5mm; color: #66707d; }
.signatures div { flex: 1; border-bottom: 0.2mm solid #66707d; height: 6mm; }
footer { display: flex; justify-content: space-between; border-top: 0.3mm solid #d3d9e0;
  margin-top: 8mm; padding-top: 1mm; color: #66707d; font-size: 7.5pt; }
footer code { font-size: 6.6pt; }
</style>
)";

QString markClass(Mark m) {
  return m == Mark::Odd      ? QStringLiteral(" class=\"odd\"")
         : m == Mark::Absent ? QStringLiteral(" class=\"absent\"")
                             : QString();
}

QString sceneTable(const SheetContent& c) {
  QString h =
      QStringLiteral("<table class=\"scenes\">\n<tr><th class=\"key\" rowspan=\"3\">%1</th>")
          .arg(QString::fromUtf8(kKeysCaption));
  std::size_t switches = 0;
  while (switches < c.columns.size() && !c.columns[switches].dimming) ++switches;
  h += QStringLiteral("<th class=\"group\" colspan=\"%1\">%2</th>")
           .arg(switches)
           .arg(esc(c.switchGroup));
  if (switches < c.columns.size()) {
    h += QStringLiteral("<th class=\"group\" colspan=\"%1\">%2</th>")
             .arg(c.columns.size() - switches)
             .arg(esc(c.dimmingGroup));
  }
  QString numbers;
  QString functions;
  for (const ChannelColumn& col : c.columns) {
    numbers += QStringLiteral("<th>%1</th>").arg(col.number);
    QString names;
    for (const std::string& f : col.functions) names += (names.isEmpty() ? "" : "/") + esc(f);
    functions += QStringLiteral("<th class=\"taken\">%1</th>").arg(names);
  }
  h += "</tr>\n<tr>" + numbers + "</tr>\n<tr>" + functions + "</tr>\n";
  for (std::size_t r = 0; r < c.scenes.size(); ++r) {
    const SceneLine& line = c.scenes[r];
    h += "<tr><td class=\"key\">" + esc(line.key) + "</td>";
    if (!line.present) {
      h += QStringLiteral("<td class=\"missing\" colspan=\"%1\">%2（CJ%3）</td>")
               .arg(c.columns.size())
               .arg(QString::fromUtf8(kMissingRow))
               .arg(r, 2, 10, QChar('0'));
    }
    for (std::size_t i = 0; i < line.cells.size(); ++i) {
      const SceneCell& cell = line.cells[i];
      QStringList classes;
      if (!c.columns[i].functions.empty()) classes << QStringLiteral("taken");
      if (cell.kind == SceneCell::Kind::On) classes << QStringLiteral("on");
      if (cell.kind == SceneCell::Kind::Off) classes << QStringLiteral("off");
      if (cell.mark == Mark::Odd) classes << QStringLiteral("odd");
      h += classes.isEmpty() ? QStringLiteral("<td>")
                             : "<td class=\"" + classes.join(QLatin1Char(' ')) + "\">";
      h += cell.kind == SceneCell::Kind::Level
               ? "<b>" + esc(cell.text) + "</b> <small>" + esc(cell.output) + "</small>"
               : esc(cell.text);
      h += QStringLiteral("</td>");
    }
    h += QStringLiteral("</tr>\n");
  }
  h += QStringLiteral("</table>\n<div class=\"legend\">");
  if (c.switchMarks) h += QStringLiteral("● 打开　○ 关闭　");
  return h + esc(c.legend) + "</div>\n";
}

QString settingBox(const char* title, const std::vector<Setting>& rows, bool powerOn) {
  QString h = QStringLiteral("<div><h2>%1</h2><table>").arg(QString::fromUtf8(title));
  if (powerOn) h += QStringLiteral("<tr><td></td><td>通道</td><td>上电</td></tr>");
  for (const Setting& s : rows) {
    h += "<tr><td>" + esc(s.name) + "</td><td" + markClass(s.mark) + ">" + esc(s.value) + "</td>";
    if (powerOn) h += "<td" + markClass(s.powerOnMark) + ">" + esc(s.powerOn) + "</td>";
    h += QStringLiteral("</tr>");
  }
  return h + "</table></div>\n";
}

QString page(const SheetContent& c, std::size_t number, std::size_t pages) {
  QString h =
      "<section class=\"page\">\n<header><div><h1>" + esc(c.title) + "</h1><dl class=\"meta\">";
  for (const Setting& s : c.header) {
    h += "<div><dt>" + esc(s.name) + "</dt><dd>" + esc(s.value) + "</dd></div>";
  }
  h += "</dl></div><div class=\"model\"><b>" + esc(c.model) + "</b><small>" + esc(c.modelSplit) +
       "</small></div></header>\n";
  if (!c.handover.empty()) {
    h += QStringLiteral("<dl class=\"meta handover\">");
    for (const Setting& s : c.handover) {
      h += "<div><dt>" + esc(s.name) + "</dt><dd>" + esc(s.value) + "</dd></div>";
    }
    h += QStringLiteral("</dl>\n");
  }
  if (!c.notice.empty()) h += "<div class=\"notice\">" + esc(c.notice) + "</div>\n";
  h += QStringLiteral("<h2>%1</h2>\n").arg(QString::fromUtf8(kScenesCaption)) + sceneTable(c);
  h += "<div class=\"boxes\">\n" + settingBox(kSettingsCaption, c.settings, false) +
       settingBox(kFansCaption, c.fans, true) + settingBox(kAirCaption, c.airConditioner, false) +
       "</div>\n";
  h += QStringLiteral("<h2>%1</h2>\n<div class=\"levels\">").arg(QString::fromUtf8(kLevelsCaption));
  for (const LevelEntry& l : c.levels) {
    const int percent = l.value < 0 ? 0 : (l.value * 100 + 127) / 255;
    h += "<div>" + esc(l.name) +
         QStringLiteral(
             "<div class=\"track\"><div class=\"bar\" style=\"height:%1%\"></div></div><b>")
             .arg(percent) +
         (l.value < 0 ? QStringLiteral("—") : QString::number(l.value)) + "</b></div>";
  }
  h += QStringLiteral("</div>\n<div class=\"remarks\">%1</div>\n<div class=\"signatures\">")
           .arg(QString::fromUtf8(kRemarksCaption));
  for (const std::string& s : c.signatures) h += "<div>" + esc(s) + "</div>";
  h += "</div>\n<footer><span>" + esc(c.tool) + "</span><code>" + esc(c.checksum) +
       QStringLiteral("</code><span>第 %1 页，共 %2 页</span></footer>\n</section>\n")
           .arg(number)
           .arg(pages);
  return h;
}

}  // namespace

QByteArray sheetHtml(std::span<const SheetInput> pages) {
  QString h = QStringLiteral(
      "<!DOCTYPE html>\n<html lang=\"zh-CN\">\n<head>\n<meta charset=\"utf-8\">\n"
      "<title>QZ系列灯光场景配置单</title>\n");
  h += QString::fromUtf8(kStyle) + "</head>\n<body>\n";
  for (std::size_t i = 0; i < pages.size(); ++i) {
    h += page(sheetContent(pages[i]), i + 1, pages.size());
  }
  return (h + "</body>\n</html>\n").toUtf8();
}

}  // namespace qz::report

// The sheet drawn on A4 with QPainter: text stays text and marks stay shapes, so the PDF is
// sharp at any size and its text can be searched and copied.

#include <QBuffer>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QStringList>
#include <algorithm>
#include <vector>

#include "report/sheet.h"
#include "report/sheet_content.h"

namespace qz::report {

namespace {

constexpr int kResolution = 1200;   // dots per inch of the writer
constexpr double kUnitsPerMm = 10;  // the painter draws in tenths of a millimetre
constexpr double kPageW = 210;
constexpr double kPageH = 297;
constexpr double kLeft = 14;
constexpr double kWidth = kPageW - 2 * kLeft;

const QColor kInk(0x1f, 0x25, 0x2d);
const QColor kMuted(0x66, 0x70, 0x7d);
const QColor kAccent(0x1f, 0x3a, 0x5f);
const QColor kAccentLight(0xe6, 0xec, 0xf3);
const QColor kBar(0x3b, 0x6e, 0xa5);
const QColor kTrack(0xee, 0xf1, 0xf5);
const QColor kRule(0xd3, 0xd9, 0xe0);
const QColor kZebra(0xf7, 0xf9, 0xfb);
const QColor kTaken(0xfd, 0xf1, 0xdc);
const QColor kTakenInk(0x9a, 0x5b, 0x00);
const QColor kOdd(0xb4, 0x23, 0x18);
const QColor kNoticeFill(0xfd, 0xec, 0xea);

QString q(const std::string& s) {
  return QString::fromStdString(s);
}

// A family that has the Chinese characters: a common sans first, else whatever the system has.
QString chineseFamily() {
  const QStringList have = QFontDatabase::families(QFontDatabase::SimplifiedChinese);
  for (const char* f : {"Noto Sans CJK SC", "Source Han Sans SC", "WenQuanYi Micro Hei",
                        "WenQuanYi Zen Hei", "Droid Sans Fallback", "AR PL UMing CN"}) {
    if (have.contains(QLatin1String(f))) return QLatin1String(f);
  }
  return have.isEmpty() ? QString() : have.front();
}

// Drawing in millimetres from the page's top left corner.
class Page {
 public:
  Page(QPainter& p, QString family) : p_(p), family_(std::move(family)) {}

  QFont font(double pt, bool bold = false, bool mono = false) const {
    QFont f(mono ? QStringLiteral("DejaVu Sans Mono") : family_);
    if (mono) f.setStyleHint(QFont::Monospace);
    f.setPixelSize(static_cast<int>(pt * 25.4 / 72 * kUnitsPerMm + 0.5));
    f.setBold(bold);
    return f;
  }
  void text(const QRectF& mm, const QString& s, double pt, const QColor& c,
            Qt::Alignment align = Qt::AlignLeft | Qt::AlignVCenter, bool bold = false,
            bool mono = false, bool wrap = false) {
    p_.setFont(font(pt, bold, mono));
    p_.setPen(c);
    const QRectF r = units(mm);
    const QString shown =
        wrap ? s : QFontMetricsF(p_.font()).elidedText(s, Qt::ElideMiddle, r.width());
    // Wrapped text stays inside its box, however long.
    p_.save();
    if (wrap) p_.setClipRect(r);
    p_.drawText(r, static_cast<int>(align.toInt()) | (wrap ? Qt::TextWordWrap : 0), shown);
    p_.restore();
  }
  // The width in mm that text takes on one line.
  double textWidth(const QString& s, double pt) const {
    return QFontMetricsF(font(pt)).horizontalAdvance(s) / kUnitsPerMm;
  }
  // The height in mm that wrapped text takes in a given width.
  double wrappedHeight(double widthMm, const QString& s, double pt) const {
    const QRectF r = QFontMetricsF(font(pt)).boundingRect(QRectF(0, 0, widthMm * kUnitsPerMm, 1e6),
                                                          Qt::TextWordWrap, s);
    return r.height() / kUnitsPerMm;
  }
  void fill(const QRectF& mm, const QColor& c) { p_.fillRect(units(mm), c); }
  void line(QPointF a, QPointF b, const QColor& c, double widthMm) {
    p_.setPen(QPen(c, widthMm * kUnitsPerMm, Qt::SolidLine, Qt::FlatCap));
    p_.drawLine(a * kUnitsPerMm, b * kUnitsPerMm);
  }
  void frame(const QRectF& mm, const QColor& c, double widthMm) {
    p_.setPen(QPen(c, widthMm * kUnitsPerMm));
    p_.setBrush(Qt::NoBrush);
    p_.drawRect(units(mm));
  }
  void dot(QPointF centre, double radius, bool filled, const QColor& c = kAccent) {
    p_.setPen(filled ? QPen(Qt::NoPen) : QPen(kMuted, 0.25 * kUnitsPerMm));
    p_.setBrush(filled ? QBrush(c) : QBrush(Qt::NoBrush));
    p_.drawEllipse(centre * kUnitsPerMm, radius * kUnitsPerMm, radius * kUnitsPerMm);
    p_.setBrush(Qt::NoBrush);
  }
  // A section's caption with a short bar before it; returns the y below it.
  double caption(double y, const char* title, double x = kLeft) {
    fill(QRectF(x, y + 0.8, 1.2, 4), kAccent);
    text(QRectF(x + 3, y, 80, 5.6), QString::fromUtf8(title), 10, kAccent,
         Qt::AlignLeft | Qt::AlignVCenter, true);
    return y + 7;
  }

 private:
  static QRectF units(const QRectF& mm) {
    return {mm.x() * kUnitsPerMm, mm.y() * kUnitsPerMm, mm.width() * kUnitsPerMm,
            mm.height() * kUnitsPerMm};
  }
  QPainter& p_;
  QString family_;
};

QColor markColor(Mark m) {
  return m == Mark::Odd ? kOdd : m == Mark::Absent ? kMuted : kInk;
}

double drawHeader(Page& pg, const SheetContent& c) {
  pg.text(QRectF(kLeft, 11, 125, 9), q(c.title), 16, kAccent, Qt::AlignLeft | Qt::AlignVCenter,
          true);
  // The model, large, in a box at the right.
  const QRectF box(kLeft + kWidth - 52, 11, 52, 17);
  pg.fill(box, kAccent);
  pg.text(box.adjusted(0, 1, 0, -6), q(c.model), 17, Qt::white, Qt::AlignCenter, true);
  pg.text(box.adjusted(1, 11, -1, -1), q(c.modelSplit), 7, kAccentLight, Qt::AlignCenter);
  // The date at a fixed place before the model box; the firmware before it, as wide as its
  // text needs (a controller's version is read whole); the source in whatever is left.
  const double end = kLeft + kWidth - 56;
  std::vector<QRectF> places(c.header.size());
  double right = end;
  for (std::size_t i = c.header.size(); i-- > 1;) {
    const double need = pg.textWidth(q(c.header[i].value), 9) + 3;
    const double w = i + 1 == c.header.size() ? 30 : std::clamp(need, 40.0, 90.0);
    places[i] = QRectF(right - w, 21, w - 2, 8);
    right -= w;
  }
  if (!places.empty()) places[0] = QRectF(kLeft, 21, right - kLeft - 2, 8);
  for (std::size_t i = 0; i < c.header.size(); ++i) {
    const QRectF& r = places[i];
    pg.text(QRectF(r.x(), r.y(), r.width(), 3.6), q(c.header[i].name), 7, kMuted);
    pg.text(QRectF(r.x(), r.y() + 3.4, r.width(), 4.4), q(c.header[i].value), 9, kInk);
  }
  pg.line({kLeft, 31}, {kLeft + kWidth, 31}, kAccent, 0.6);
  double y = 34;
  // Whom and where the installation is handed over, in a row of its own.
  if (!c.handover.empty()) {
    const double w = kWidth / static_cast<double>(c.handover.size());
    for (std::size_t i = 0; i < c.handover.size(); ++i) {
      const double x = kLeft + w * static_cast<double>(i);
      pg.text(QRectF(x, y, w - 2, 3.6), q(c.handover[i].name), 7, kMuted);
      pg.text(QRectF(x, y + 3.4, w - 2, 4.4), q(c.handover[i].value), 9, kInk);
    }
    y += 8;
  }
  if (!c.notice.empty()) {
    const double h = std::min(pg.wrappedHeight(kWidth - 6, q(c.notice), 8), 12.0) + 3;
    pg.fill(QRectF(kLeft, y, kWidth, h), kNoticeFill);
    pg.fill(QRectF(kLeft, y, 1, h), kOdd);
    pg.text(QRectF(kLeft + 3.5, y + 1.5, kWidth - 6, h - 3), q(c.notice), 8, kOdd,
            Qt::AlignLeft | Qt::AlignTop, false, false, true);
    y += h + 3;
  }
  return y;
}

// A channel taken for a fan keeps its scene values, shown grey as the window's disabled box.
void drawCell(Page& pg, const QRectF& r, const SceneCell& cell, bool taken) {
  switch (cell.kind) {
    case SceneCell::Kind::On:
    case SceneCell::Kind::Off:
      pg.dot(r.center(), 1.45, cell.kind == SceneCell::Kind::On, taken ? kMuted : kAccent);
      return;
    case SceneCell::Kind::Level:
      pg.text(QRectF(r.x(), r.y(), r.width() * 0.42, r.height()), q(cell.text), 9, kInk,
              Qt::AlignRight | Qt::AlignVCenter, true);
      pg.text(QRectF(r.x() + r.width() * 0.5, r.y() + 0.3, r.width() * 0.5, r.height()),
              q(cell.output), 6.5, kMuted);
      return;
    case SceneCell::Kind::Raw:
      pg.text(r, q(cell.text), 8.5, markColor(cell.mark), Qt::AlignCenter, cell.mark == Mark::Odd);
      return;
  }
}

double drawScenes(Page& pg, const SheetContent& c, double y) {
  y = pg.caption(y, kScenesCaption);
  constexpr double kKeyW = 22;
  constexpr double kRowH = 6.3;
  const double colW = (kWidth - kKeyW) / static_cast<double>(c.columns.size());
  const double top = y;
  auto colX = [&](std::size_t i) { return kLeft + kKeyW + colW * static_cast<double>(i); };
  std::size_t switches = 0;
  while (switches < c.columns.size() && !c.columns[switches].dimming) ++switches;

  // Three header lines: the channel groups, the channel numbers, the fan functions.
  pg.fill(QRectF(kLeft, y, kWidth, 10.5), kAccentLight);
  pg.text(QRectF(kLeft + 2, y, kKeyW - 2, 10.5), QString::fromUtf8(kKeysCaption), 8.5, kAccent,
          Qt::AlignLeft | Qt::AlignVCenter, true);
  pg.text(QRectF(colX(0), y, colW * static_cast<double>(switches), 5), q(c.switchGroup), 8.5,
          kAccent, Qt::AlignCenter, true);
  if (switches < c.columns.size()) {
    pg.text(QRectF(colX(switches), y, colW * static_cast<double>(c.columns.size() - switches), 5),
            q(c.dimmingGroup), 8.5, kAccent, Qt::AlignCenter, true);
  }
  for (std::size_t i = 0; i < c.columns.size(); ++i) {
    const ChannelColumn& col = c.columns[i];
    if (!col.functions.empty()) {
      pg.fill(QRectF(colX(i), y + 10.5, colW, 4.5 + kRowH * static_cast<double>(c.scenes.size())),
              kTaken);
      QString names;
      for (const std::string& f : col.functions) names += (names.isEmpty() ? "" : "/") + q(f);
      pg.text(QRectF(colX(i), y + 10.5, colW, 4.5), names, 6.5, kTakenInk, Qt::AlignCenter, true);
    }
    pg.text(QRectF(colX(i), y + 5, colW, 5.5), QString::number(col.number), 8.5, kAccent,
            Qt::AlignCenter);
  }
  y += 15;
  for (std::size_t r = 0; r < c.scenes.size(); ++r) {
    const SceneLine& line = c.scenes[r];
    const QRectF row(kLeft, y, kWidth, kRowH);
    if (r % 2 == 1) pg.fill(QRectF(kLeft, y, kKeyW, kRowH), kZebra);
    for (std::size_t i = 0; r % 2 == 1 && i < c.columns.size(); ++i) {
      if (c.columns[i].functions.empty()) pg.fill(QRectF(colX(i), y, colW, kRowH), kZebra);
    }
    pg.text(QRectF(kLeft + 2, y, kKeyW - 2, kRowH), q(line.key), 8.5, kInk);
    if (!line.present) {
      pg.text(QRectF(colX(0), y, kWidth - kKeyW, kRowH),
              QString::fromUtf8(kMissingRow) + QStringLiteral("（CJ%1）").arg(r, 2, 10, QChar('0')),
              8, kOdd, Qt::AlignCenter);
    }
    for (std::size_t i = 0; i < line.cells.size(); ++i) {
      drawCell(pg, QRectF(colX(i), y, colW, kRowH), line.cells[i], !c.columns[i].functions.empty());
    }
    pg.line(row.bottomLeft(), row.bottomRight(), kRule, 0.15);
    y += kRowH;
  }
  pg.line({kLeft + kKeyW, top}, {kLeft + kKeyW, y}, kRule, 0.3);
  if (switches > 0 && switches < c.columns.size()) {
    pg.line({colX(switches), top}, {colX(switches), y}, kMuted, 0.3);
  }
  pg.frame(QRectF(kLeft, top, kWidth, y - top), kMuted, 0.3);
  double x = kLeft;
  if (c.switchMarks) {
    pg.dot({x + 1, y + 3}, 1, true);
    pg.text(QRectF(x + 3, y + 1, 10, 4), QStringLiteral("打开"), 6.5, kMuted);
    pg.dot({x + 11, y + 3}, 1, false);
    pg.text(QRectF(x + 13, y + 1, 10, 4), QStringLiteral("关闭"), 6.5, kMuted);
    x += 22;
  }
  pg.text(QRectF(x, y + 1, kLeft + kWidth - x, 4), q(c.legend), 6.5, kMuted);
  return y + 7;
}

// A small table of settings in a box; columns at the given offsets (mm) inside it.
void drawSettingBox(Page& pg, double x, double y, double w, const char* title,
                    const std::vector<Setting>& rows, bool powerOn) {
  y = pg.caption(y, title, x);
  pg.fill(QRectF(x, y, 0.25, 6.0 * (static_cast<double>(rows.size()) + (powerOn ? 0.8 : 0))),
          kRule);
  if (powerOn) {
    pg.text(QRectF(x + 26, y, 20, 4.5), QStringLiteral("通道"), 7, kMuted);
    pg.text(QRectF(x + 44, y, 12, 4.5), QStringLiteral("上电"), 7, kMuted);
    y += 4.8;
  }
  for (const Setting& s : rows) {
    pg.text(QRectF(x + 3, y, 23, 6), q(s.name), 8.5, kMuted);
    const double valueW = powerOn && s.mark != Mark::Absent ? 17 : w - 28;
    pg.text(QRectF(x + 26, y, valueW, 6), q(s.value), 9, markColor(s.mark),
            Qt::AlignLeft | Qt::AlignVCenter, s.mark != Mark::Absent);
    if (powerOn) pg.text(QRectF(x + 44, y, 12, 6), q(s.powerOn), 9, markColor(s.powerOnMark));
    pg.line({x + 3, y + 6}, {x + w, y + 6}, kRule, 0.15);
    y += 6;
  }
}

double drawLevels(Page& pg, const SheetContent& c, double y) {
  y = pg.caption(y, kLevelsCaption);
  const double colW = kWidth / static_cast<double>(c.levels.size());
  constexpr double kBarH = 18;
  for (std::size_t i = 0; i < c.levels.size(); ++i) {
    const LevelEntry& l = c.levels[i];
    const double x = kLeft + colW * static_cast<double>(i);
    pg.text(QRectF(x, y, colW, 4.5), q(l.name), 7.5, kMuted, Qt::AlignCenter);
    const QRectF track(x + colW / 2 - 3.5, y + 5, 7, kBarH);
    pg.fill(track, kTrack);
    if (l.value >= 0) {
      const double h = kBarH * l.value / 255.0;
      pg.fill(QRectF(track.x(), track.bottom() - h, track.width(), h), kBar);
    }
    pg.text(QRectF(x, y + 5 + kBarH + 0.8, colW, 5),
            l.value >= 0 ? QString::number(l.value) : QStringLiteral("—"), 9.5,
            l.value >= 0 ? kInk : kMuted, Qt::AlignCenter, true);
  }
  return y + 5 + kBarH + 7;
}

void drawSignatures(Page& pg, const SheetContent& c, double y) {
  const double w = kWidth / static_cast<double>(c.signatures.size());
  for (std::size_t i = 0; i < c.signatures.size(); ++i) {
    const double x = kLeft + w * static_cast<double>(i);
    pg.text(QRectF(x, y, 20, 6), q(c.signatures[i]), 8.5, kMuted);
    pg.line({x + 17, y + 5.5}, {x + w - 6, y + 5.5}, kMuted, 0.2);
  }
}

void drawFooter(Page& pg, const SheetContent& c, std::size_t page, std::size_t pages) {
  constexpr double kY = kPageH - 15;
  pg.line({kLeft, kY}, {kLeft + kWidth, kY}, kRule, 0.3);
  pg.text(QRectF(kLeft, kY + 1.2, 40, 4.5), q(c.tool), 7.5, kMuted);
  pg.text(QRectF(kLeft + 34, kY + 1.2, 128, 4.5), q(c.checksum), 6.6, kMuted, Qt::AlignCenter,
          false, true);
  pg.text(QRectF(kLeft + kWidth - 24, kY + 1.2, 24, 4.5),
          QStringLiteral("第 %1 页，共 %2 页").arg(page).arg(pages), 7.5, kMuted,
          Qt::AlignRight | Qt::AlignVCenter);
}

void drawPage(Page& pg, const SheetContent& c, std::size_t page, std::size_t pages) {
  double y = drawHeader(pg, c);
  y = drawScenes(pg, c, y);
  constexpr double kGap = 6;
  const double boxW = (kWidth - 2 * kGap) / 3;
  drawSettingBox(pg, kLeft, y, boxW, kSettingsCaption, c.settings, false);
  drawSettingBox(pg, kLeft + boxW + kGap, y, boxW, kFansCaption, c.fans, true);
  drawSettingBox(pg, kLeft + 2 * (boxW + kGap), y, boxW, kAirCaption, c.airConditioner, false);
  y = drawLevels(pg, c, y + 7 + 6 * 5 + 5);
  // The signatures just above the footer; what room is left between is for remarks by hand.
  constexpr double kSignaturesY = kPageH - 27;
  if (kSignaturesY - 3 - y >= 8) {
    const QRectF box(kLeft, y, kWidth, kSignaturesY - 3 - y);
    pg.frame(box, kRule, 0.25);
    pg.text(QRectF(kLeft + 2, y + 1, 30, 4.5), QString::fromUtf8(kRemarksCaption), 8.5, kMuted);
  }
  drawSignatures(pg, c, kSignaturesY);
  drawFooter(pg, c, page, pages);
}

}  // namespace

QString paintSheet(QPagedPaintDevice& device, std::span<const SheetInput> pages) {
  const QString family = chineseFamily();
  QPainter painter(&device);
  painter.setRenderHint(QPainter::Antialiasing);
  const double dotsPerUnit = device.logicalDpiX() / 25.4 / kUnitsPerMm;
  painter.scale(dotsPerUnit, device.logicalDpiY() / 25.4 / kUnitsPerMm);
  Page pg(painter, family);
  for (std::size_t i = 0; i < pages.size(); ++i) {
    if (i > 0) device.newPage();
    drawPage(pg, sheetContent(pages[i]), i + 1, pages.size());
  }
  return family;
}

PdfSheet sheetPdf(std::span<const SheetInput> pages) {
  PdfSheet out;
  QBuffer buffer(&out.bytes);
  buffer.open(QIODevice::WriteOnly);
  {
    QPdfWriter writer(&buffer);
    writer.setResolution(kResolution);
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    writer.setCreator(pages.empty() ? QString() : q(pages.front().tool));
    writer.setTitle(QStringLiteral("QZ系列灯光场景配置单"));
    out.family = paintSheet(writer, pages);
  }
  return out;
}

}  // namespace qz::report

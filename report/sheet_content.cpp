#include "report/sheet_content.h"

#include <QCryptographicHash>
#include <cstdio>
#include <utility>

#include "config/assignment.h"
#include "config/setting_names.h"
#include "config/settings.h"

namespace qz::report {

namespace {

// "CJ05": a row as the file names it, so that the reader can look for the line.
std::string rowName(int row) {
  char text[8];
  std::snprintf(text, sizeof text, "CJ%02d", row);
  return text;
}

std::string absentText(int row) {
  std::string text = "文件中没有 ";
  text.append(rowName(row));
  text.append(" 行");
  return text;
}

// A value the window's list has, or the byte itself marked.
Setting listed(std::string name, std::uint8_t value, std::initializer_list<const char*> items) {
  if (value < items.size()) return {std::move(name), *(items.begin() + value), {}, Mark::Plain};
  return {std::move(name), std::to_string(value), {}, Mark::Odd};
}

std::string channelText(std::uint8_t channel) {
  return channel == 0 ? std::string(kNoChannelItem) : channelItem(channel);
}

SceneCell sceneCell(std::uint8_t v, bool dimming, bool known, const SheetInput& in) {
  SceneCell cell;
  cell.text = std::to_string(v);
  if (!known) return cell;
  if (!dimming && v <= 1) {
    cell.kind = v == 1 ? SceneCell::Kind::On : SceneCell::Kind::Off;
    cell.text = v == 1 ? "●" : "○";
  } else if (dimming && v < kLevels) {
    cell.kind = SceneCell::Kind::Level;
    if (in.rows[row18::kRow]) cell.output = std::to_string(in.image(row18::kRow, 1 + v));
  } else {
    cell.mark = Mark::Odd;
  }
  return cell;
}

void addScenes(SheetContent& out, const SheetInput& in, bool known) {
  const int s = known ? switchCount(in.model) : kRowBytes;
  for (int c = 0; c < kRowBytes; ++c) {
    out.columns.push_back({known && c >= s, c < s ? c + 1 : c - s + 1, {}});
  }
  if (known && in.rows[row17::kRow]) {
    // A channel serving a fan function is withdrawn from the scene editor, as the window
    // does: only an assignment the model's list can show counts.
    for (const int list : kChannelLists) {
      const std::uint8_t ch = shownAssignment(list, in.model, in.image(row17::kRow, list));
      if (ch > 0) {
        out.columns[ch - 1u].functions.push_back(settingName(row17::kRow, list, in.model));
      }
    }
  }
  for (int r = 0; r < kSceneKeys; ++r) {
    SceneLine line{std::string(sceneKeyName(r)), in.rows[static_cast<std::size_t>(r)], {}};
    for (int c = 0; line.present && c < kRowBytes; ++c) {
      line.cells.push_back(sceneCell(in.image(r, c), c >= s, known, in));
    }
    out.scenes.push_back(std::move(line));
  }
}

void addAssignments(SheetContent& out, const SheetInput& in, bool known) {
  const bool present = in.rows[row17::kRow];
  for (const int list : kChannelLists) {
    const std::uint8_t ch = in.image(row17::kRow, list);
    Setting s{settingName(row17::kRow, list, in.model), channelText(ch), {}, Mark::Plain};
    if (known && shownAssignment(list, in.model, ch) != ch) s.mark = Mark::Odd;
    if (!present) s = {s.name, absentText(row17::kRow), {}, Mark::Absent};
    if (list >= kFirstAirConditionerList) {
      out.airConditioner.push_back(s);
      continue;
    }
    if (present) {
      const Setting state = listed({}, in.image(row17::kRow, list + 1), {"关闭", "打开"});
      s.powerOn = state.value;
      s.powerOnMark = state.mark;
    }
    out.fans.push_back(s);
  }
}

void addSettings(SheetContent& out, const SheetInput& in) {
  const std::uint8_t power = in.image(row18::kRow, row18::kPowerOnScene);
  Setting powerOn{"开机场景", std::string(sceneKeyName(power)), {}, Mark::Plain};
  if (powerOn.value.empty()) powerOn = {"开机场景", std::to_string(power), {}, Mark::Odd};
  Setting mode =
      listed("工作模式", in.image(row17::kRow, row17::kWorkMode), {"LINK模式", "DMX512模式"});
  const int a = dmxAddress(in.image);
  Setting address{
      "DMX512地址", a == 0 ? "未选择" : std::to_string(a), {}, a > 501 ? Mark::Odd : Mark::Plain};
  Setting sceneMode =
      listed("场景模式", in.image(row18::kRow, row18::kSceneMode), {"切换", "叠加"});
  for (Setting* s : {&mode, &address}) {
    if (!in.rows[row17::kRow]) *s = {s->name, absentText(row17::kRow), {}, Mark::Absent};
  }
  for (Setting* s : {&powerOn, &sceneMode}) {
    if (!in.rows[row18::kRow]) *s = {s->name, absentText(row18::kRow), {}, Mark::Absent};
  }
  out.settings = {powerOn, mode, address, sceneMode};
  for (int i = 0; i < kLevels; ++i) {
    const int value = in.rows[row18::kRow] ? in.image(row18::kRow, row18::kFirstLevel + i) : -1;
    out.levels.push_back({std::to_string(i) + "级", value});
  }
}

}  // namespace

std::string sha256Hex(std::span<const std::uint8_t> bytes) {
  const QByteArray data(reinterpret_cast<const char*>(bytes.data()),
                        static_cast<qsizetype>(bytes.size()));
  return QCryptographicHash::hash(data, QCryptographicHash::Sha256).toHex().toStdString();
}

SheetContent sheetContent(const SheetInput& in) {
  SheetContent out;
  const bool known = !modelName(in.model).empty();
  out.title = "QZ系列灯光场景配置单";
  out.model = known ? std::string(modelName(in.model)) : "机型未知";
  if (known) {
    out.modelSplit = std::to_string(switchCount(in.model)) + " 路开关通道";
    if (dimCount(in.model) > 0)
      out.modelSplit += " · " + std::to_string(dimCount(in.model)) + " 路调光";
    out.switchGroup = "开关通道";
    out.dimmingGroup = dimCount(in.model) > 0 ? "调光" : "";
  } else {
    out.modelSplit = "开关与调光的划分未知，通道按字节列出";
    out.switchGroup = "通道";
  }
  out.header.push_back({"来源", in.source, {}, Mark::Plain});
  if (!in.firmware.empty()) out.header.push_back({"软件版本", in.firmware, {}, Mark::Plain});
  out.header.push_back({"日期", in.date, {}, Mark::Plain});
  for (const auto& [name, value] : {std::pair{"客户", &in.customer}, std::pair{"现场", &in.site},
                                    std::pair{"房间", &in.room}}) {
    if (!value->empty()) out.handover.push_back({name, *value, {}, Mark::Plain});
  }

  std::string missing;
  for (int r = 0; r < kRows; ++r) {
    if (in.rows[static_cast<std::size_t>(r)]) continue;
    missing.append(missing.empty() ? "" : "、");
    missing.append(rowName(r));
  }
  if (!missing.empty()) out.notice = "文件中没有以下各行，其参数未画出：" + missing + "。";
  for (const std::string& note : in.notes) {
    out.notice.append(out.notice.empty() ? "" : " ");
    out.notice.append(note);
  }

  addScenes(out, in, known);
  out.switchMarks = known;
  out.legend =
      known ? std::string("调光：级别 与 输出值　有底色的通道用于排风或空调，不在场景中编辑　") +
                  kOddLegend
            : "每格是该字节的原值";
  addAssignments(out, in, known);
  addSettings(out, in);
  out.signatures = {"安装人员", "接收人员", "交接日期"};
  out.tool = in.tool;
  out.checksum = "SHA-256 " + in.checksum;
  return out;
}

}  // namespace qz::report

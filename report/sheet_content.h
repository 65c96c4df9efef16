#pragma once
// What a sheet says, decided once for every way of drawing it: the texts of each cell in the
// window's own words, and which of them are absent or hold a value no list of the window has.

#include <string>
#include <vector>

#include "report/sheet.h"

namespace qz::report {

// How a value is set: as it is, as a value the window's lists cannot show (kept, and marked),
// or as a setting of a row the file lacks.
enum class Mark { Plain, Odd, Absent };

struct SceneCell {
  enum class Kind { On, Off, Level, Raw };
  Kind kind = Kind::Raw;
  std::string text;    // "●", "○", the level "7", or the byte as it is
  std::string output;  // a level's output value from the dimming table, when the table is known
  Mark mark = Mark::Plain;
};

struct ChannelColumn {
  bool dimming = false;
  int number = 0;                      // switch channel 1..S, dimming channel 1..D, or 1..12
  std::vector<std::string> functions;  // "排风1", "阀开": taken from the scene editor for them
};

struct SceneLine {
  std::string key;  // "场景1" .. "静音"
  bool present = true;
  std::vector<SceneCell> cells;  // one per column
};

struct Setting {
  std::string name;
  std::string value;
  std::string powerOn;  // exhaust fans only: "打开", "关闭"
  Mark mark = Mark::Plain;
  Mark powerOnMark = Mark::Plain;
};

struct LevelEntry {
  std::string name;  // "0级"
  int value = -1;    // 0..255; -1 when the file lacks the row
};

struct SheetContent {
  std::string title;
  std::string model;       // "QZ-0804", or what names none
  std::string modelSplit;  // "8 路开关通道 · 4 路调光"
  std::vector<Setting> header;
  std::vector<Setting> handover;  // 客户, 现场, 房间: only those given
  std::string notice;  // the rows the file lacks and the lines it left out; empty when none
  std::string switchGroup;
  std::string dimmingGroup;
  std::vector<ChannelColumn> columns;
  std::vector<SceneLine> scenes;
  bool switchMarks = false;  // the legend explains the on and off marks first
  std::string legend;
  std::vector<Setting> settings;        // 开机场景, 工作模式, DMX512地址, 场景模式
  std::vector<Setting> fans;            // 排风1, 排风2
  std::vector<Setting> airConditioner;  // 阀开 .. 低风
  std::vector<LevelEntry> levels;
  std::vector<std::string> signatures;  // the handover's signature fields
  std::string tool;
  std::string checksum;  // "SHA-256 " and the digits
};

// Section captions, as the window titles its frames.
inline constexpr char kScenesCaption[] = "灯光设置";
inline constexpr char kSettingsCaption[] = "设置";
inline constexpr char kFansCaption[] = "排风";
inline constexpr char kAirCaption[] = "风管机空调";
inline constexpr char kLevelsCaption[] = "调光级别设置";
inline constexpr char kMissingRow[] = "文件中没有此行";
inline constexpr char kKeysCaption[] = "按键";
inline constexpr char kRemarksCaption[] = "备注";
// The legend of a value no list of the window offers: kept as read, and marked.
inline constexpr char kOddLegend[] = "红色：超出软件可选范围的值，原样保留";

[[nodiscard]] SheetContent sheetContent(const SheetInput& in);

}  // namespace qz::report

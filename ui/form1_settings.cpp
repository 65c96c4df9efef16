// Model, power-on scene, work mode, DMX512 address, scene mode and the level table.
//
// Each list is a view of one image cell: its handler stores the item chosen. A list that shows
// nothing (a stored value no item names) stores nothing.

#include <QComboBox>
#include <QLabel>
#include <optional>

#include "config/settings.h"
#include "ui/form1.h"
#include "ui/module1.h"

namespace qz {

namespace {
// The item chosen as a byte, or nothing when the list shows no item.
std::optional<std::uint8_t> chosen(const QComboBox* list) {
  const int i = list->currentIndex();
  if (i < 0 || i > 255) return std::nullopt;
  return static_cast<std::uint8_t>(i);
}
}  // namespace

void Form1::Combo机型_Click() {
  const auto m = chosen(Combo机型);
  if (!m || *m >= kModels) return;
  CurModel = *m;
  显示对应灯控通道设置(*m);
  排风空调设置选项(*m);
  显示机型(*m);
  writeDefaultScenePattern(SetData, *m);
  // The panel now shown holds what the image holds for the scene being edited, the new
  // pattern included; loading it sends nothing.
  loadPanel();
}

void Form1::显示机型(std::uint8_t model) {
  selectPosition(Combo机型, model);
  // While connected the label names the controller, whatever model a file brought in.
  Label机型->setText(Connected() ? uiText(modelName(session.controllerModel()))
                                 : Combo机型->currentText());
}

void Form1::Combo开机场景_Click() {
  if (const auto v = chosen(Combo开机场景)) SetData(row18::kRow, row18::kPowerOnScene) = *v;
}

void Form1::Combo工作模式_Click() {
  if (const auto v = chosen(Combo工作模式)) SetData(row17::kRow, row17::kWorkMode) = *v;
}

void Form1::Combo1DMX地址_Click() {
  const int i = Combo1DMX地址->currentIndex();
  if (i < 0) return;
  const auto [high, low] = dmxAddressBytes(i + 1);
  SetData(row17::kRow, row17::kDmxHigh) = high;
  SetData(row17::kRow, row17::kDmxLow) = low;
}

void Form1::Combo场景模式_Click() {
  if (const auto v = chosen(Combo场景模式)) SetData(row18::kRow, row18::kSceneMode) = *v;
}

void Form1::Combo调光级别_Click(int k) {
  if (!Combo调光级别.contains(k)) return;
  const auto v = chosen(Combo调光级别[k]);
  if (!v) return;
  SetData(row18::kRow, row18::kFirstLevel + k) = *v;
  DimTable[static_cast<std::size_t>(k)] = *v;
  // The lights follow the new output value at once.
  Send场景();
}

}  // namespace qz

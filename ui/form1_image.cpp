// The whole image into the editor, and the live test senders.

#include <QComboBox>

#include "config/frames.h"
#include "config/settings.h"
#include "ui/form1.h"
#include "ui/module1.h"

namespace qz {

void Form1::Show_Set(std::uint8_t scene) {
  paintSceneKeys(scene);
  提示当前设置场景(scene);
  // Each selection runs its handler, which writes the same byte back (and, for the assignment
  // lists, checks for clashes). An assignment the model cannot have shows "关闭" and becomes 0;
  // a byte no item of the other lists shows leaves its list empty and stays as it is.
  showAssignments(CurModel);
  selectPosition(Combo工作模式, SetData(row17::kRow, row17::kWorkMode));
  selectPosition(Combo1DMX地址, dmxAddress(SetData) - 1);  // address 0 selects nothing
  selectPosition(Combo场景模式, SetData(row18::kRow, row18::kSceneMode));
  selectPosition(Combo开机场景, SetData(row18::kRow, row18::kPowerOnScene));
  for (int i = 0; i < kLevels; ++i) {
    selectPosition(Combo调光级别[i], SetData(row18::kRow, row18::kFirstLevel + i));
  }
}

void Form1::TsetControl(const Frame& frame) {
  if (takingModel_) return;
  drive([this, &frame] { session.preview(frame); });
}

void Form1::Send场景() {
  // Built only for a connected controller: the editor's state as it stands now.
  if (!Connected() || takingModel_) return;
  const Frame f = scenePreviewFrame(SetData, CurScene, CurModel, DimTable);
  drive([this, &f] { session.preview(f); });
}

}  // namespace qz

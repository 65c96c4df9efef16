// Exhaust fan and air conditioner channels.
//
// A switch channel serves one fan function at most; a channel that serves one is taken out of
// the scene editor. A clashing choice is refused with the prompt frame, which holds the editor
// until the user acknowledges it.

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QSignalBlocker>

#include "config/assignment.h"
#include "ui/form1.h"
#include "ui/module1.h"

namespace qz {

void Form1::排风空调设置选项(std::uint8_t model) {
  if (model >= kModels) return;
  // Lists rebuilt for the model they already serve (a controller of the model shown has
  // answered) keep what the image holds. For another model the air conditioner starts over on
  // "关闭"; the fans keep their channels where the model has them.
  const bool sameModel = Combo空调排风[row17::kFan1]->count() ==
                         assignmentItemCount(row17::kFan1, static_cast<int>(model));
  const QStringList fanItems = uiItems(fanChannelItems(model));
  const QStringList powerItems = uiItems(powerOnItems());
  QStringList airItems = {uiText(kNoChannelItem)};
  if (hasAirConditioner(model)) airItems = fanItems;
  for (int k = Combo空调排风.kFirst; k <= Combo空调排风.kLast; ++k) {
    const bool power = k == row17::kFan1PowerOn || k == row17::kFan2PowerOn;
    const bool air = k >= kFirstAirConditionerList && k <= kLastAirConditionerList;
    fillList(Combo空调排风[k], power ? powerItems : air ? airItems : fanItems);
    if (air) {
      Combo空调排风[k]->setEnabled(hasAirConditioner(model));
      if (!sameModel) SetData(row17::kRow, k) = 0;
    }
  }
  Frame5->setEnabled(hasAirConditioner(model));
  showAssignments(model);
}

void Form1::showAssignments(int model) {
  // The lists show the image's nine assignments as one whole: nothing is compared with what
  // they showed before. Each list is chosen in turn, its handler looking for a clash only
  // with the lists chosen before it, so a clash the image itself holds is refused for the
  // later list.
  for (QComboBox* list : Combo空调排风) {
    const QSignalBlocker quiet(list);
    list->setCurrentIndex(-1);
  }
  for (int k = Combo空调排风.kFirst; k <= Combo空调排风.kLast; ++k) showAssignment(k, model);
  // A list whose selection did not change ran no handler; the boxes follow the lists all the
  // same.
  withdrawAssignedChannels();
}

void Form1::showAssignment(int k, int model) {
  const std::uint8_t stored = SetData(row17::kRow, k);
  const std::uint8_t shown = shownAssignment(k, model, stored);
  // The selection runs the handler when it changes; a list that already showed "关闭" runs
  // none, so the byte is cleared here as well.
  selectPosition(Combo空调排风[k], shown);
  if (shown != stored) SetData(row17::kRow, k) = 0;
}

AssignmentSelection Form1::assignmentSelection() const {
  AssignmentSelection selection{};
  for (int k = Combo空调排风.kFirst; k <= Combo空调排风.kLast; ++k) {
    selection[static_cast<std::size_t>(k)] = Combo空调排风[k]->currentIndex();
  }
  return selection;
}

void Form1::withdrawAssignedChannels() {
  if (CurModel >= kModels) return;
  const AssignmentSelection selection = assignmentSelection();
  for (int ch = 1; ch <= switchCount(CurModel); ++ch) {
    switchBox(CurModel, ch - 1)->setEnabled(!channelAssigned(selection, ch));
  }
}

void Form1::Combo空调排风_Click(int Index) {
  if (!Combo空调排风.contains(Index)) return;
  QComboBox* list = Combo空调排风[Index];
  const int chosen = list->currentIndex();
  if (chosen < 0) return;  // shows nothing: nothing to store

  withdrawAssignedChannels();
  if (const auto other = duplicateOf(assignmentSelection(), Index)) {
    Frame7->show();
    Label19->setText(uiText(duplicateMessage(*other)));
    // Runs this handler again for "关闭", which stores 0 and gives the channel back.
    selectPosition(list, 0);
    Frame2[0]->setEnabled(false);
    return;
  }
  SetData(row17::kRow, Index) = static_cast<std::uint8_t>(chosen);
}

void Form1::Command1_Click() {
  Frame7->hide();
  Frame2[0]->setEnabled(true);
}

}  // namespace qz

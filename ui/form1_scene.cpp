// The scene keys and the model panels.

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QPushButton>

#include "config/frames.h"
#include "config/settings.h"
#include "ui/form1.h"
#include "ui/module1.h"

namespace qz {

namespace {
// The keys' colours: light orange, and red for the key being edited.
const QColor kKeyColour(255, 224, 192);
const QColor kCurrentKeyColour(255, 0, 0);

// How a box shows a switch byte; a byte that is neither off nor on is grayed and stays in the
// image as it came.
Qt::CheckState checkState(std::uint8_t value) {
  switch (switchShown(value)) {
    case SwitchShown::Off:
      return Qt::Unchecked;
    case SwitchShown::On:
      return Qt::Checked;
    case SwitchShown::Neither:
      break;
  }
  return Qt::PartiallyChecked;
}
}  // namespace

// No key is current (0) while the window is built.
void Form1::paintSceneKeys(int current) {
  for (int i = Command6.kFirst; i <= Command6.kLast; ++i) {
    setButtonColour(Command6[i], i == current ? kCurrentKeyColour : kKeyColour);
  }
}

void Form1::Command6_Click(int Index) {
  if (!Command6.contains(Index)) return;
  paintSceneKeys(Index);
  提示当前设置场景(static_cast<std::uint8_t>(Index));
}

void Form1::提示当前设置场景(std::uint8_t key) {
  if (!Command6.contains(key)) return;
  CurScene = static_cast<std::uint8_t>(key - 1);
  const QString title = QStringLiteral("当前设置->") + Command6[key]->text();
  for (QGroupBox* panel : Frame6) panel->setTitle(title);

  loadPanel();
  Send场景();
}

void Form1::loadPanel() {
  // The controls follow the row; their handlers must neither store nor send meanwhile.
  LiveTest = false;
  if (CurModel < kModels) {
    const int s = switchCount(CurModel);
    for (int c = 0; c < kRowBytes; ++c) {
      const std::uint8_t v = SetData(CurScene, c);
      if (c < s) {
        QCheckBox* box = switchBox(CurModel, c);
        const Qt::CheckState state = checkState(v);
        // Only a grayed value needs the third state; a click then leads to ticked or cleared.
        box->setTristate(state == Qt::PartiallyChecked);
        box->setCheckState(state);
      } else {
        // A level above 9 shows nothing and keeps its byte.
        selectPosition(levelList(CurModel, c - s), v);
      }
    }
  }
  LiveTest = true;
}

void Form1::显示对应灯控通道设置(std::uint8_t model) {
  for (int k = Frame6.kFirst; k <= Frame6.kLast; ++k) Frame6[k]->setVisible(k == model);
}

void Form1::switchBoxChanged(int model, int index) {
  if (model < 0 || model >= kModels || index < 0 || index >= switchCount(model)) return;
  QCheckBox* box = switchBox(model, index);
  const Qt::CheckState state = box->checkState();
  if (state != Qt::PartiallyChecked) box->setTristate(false);
  if (!LiveTest || state == Qt::PartiallyChecked) return;

  const bool on = state == Qt::Checked;
  SetData(CurScene, index) = on ? 1 : 0;
  TsetControl(switchTestFrame(index + 1, on));
}

void Form1::levelListChanged(int model, int index) {
  if (model < 0 || model >= kModels || index < 0 || index >= dimCount(model)) return;
  const int level = levelList(model, index)->currentIndex();
  if (level < 0 || level >= kLevels) return;  // the list shows nothing: nothing to store
  // Stored even while the panel is loading: it writes back the value just loaded.
  SetData(CurScene, switchCount(model) + index) = static_cast<std::uint8_t>(level);
  if (!LiveTest) return;
  TsetControl(dimTestFrame(index + 1, DimTable[static_cast<std::size_t>(level)]));
}

void Form1::TD1_Click(int Index) {
  switchBoxChanged(0, Index);
}
void Form1::TD2_Click(int Index) {
  switchBoxChanged(1, Index);
}
void Form1::TD3_Click(int Index) {
  switchBoxChanged(2, Index);
}
void Form1::TD4_Click(int Index) {
  switchBoxChanged(3, Index);
}
void Form1::TD5_Click(int Index) {
  switchBoxChanged(4, Index);
}
void Form1::TG1_Click(int Index) {
  levelListChanged(0, Index);
}
void Form1::TG2_Click(int Index) {
  levelListChanged(1, Index);
}
void Form1::TG3_Click(int Index) {
  levelListChanged(2, Index);
}
void Form1::TG4_Click(int Index) {
  levelListChanged(3, Index);
}

}  // namespace qz

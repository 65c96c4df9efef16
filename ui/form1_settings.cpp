// Model, power-on scene, work mode, DMX512 address, scene mode and the level table.

#include <QComboBox>
#include <QLabel>

#include "ui/form1.h"

namespace qz {

void Form1::Combo机型_Click() {
  if (Combo机型->currentIndex() < 0) return;
  CurModel = static_cast<std::uint8_t>(Combo机型->currentIndex());
  显示机型(CurModel);
}

void Form1::显示机型(std::uint8_t model) {
  Combo机型->setCurrentIndex(model);
  Label机型->setText(Combo机型->currentText());
}

void Form1::Combo开机场景_Click() {}
void Form1::Combo工作模式_Click() {}
void Form1::Combo1DMX地址_Click() {}
void Form1::Combo场景模式_Click() {}
void Form1::Combo调光级别_Click(int) {}

}  // namespace qz

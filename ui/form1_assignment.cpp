// Exhaust fan and air conditioner channels.

#include "ui/form1.h"

namespace qz {

void Form1::排风空调设置选项(std::uint8_t) {}
void Form1::Combo空调排风_Click(int) {}
void Form1::Command1_Click() {}

}  // namespace qz

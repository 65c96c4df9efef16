// The scene keys and the model panels.

#include "ui/form1.h"

namespace qz {

void Form1::Command6_Click(int) {}
void Form1::提示当前设置场景(std::uint8_t) {}
void Form1::显示对应灯控通道设置(std::uint8_t) {}
void Form1::TD1_Click(int) {}
void Form1::TD2_Click(int) {}
void Form1::TD3_Click(int) {}
void Form1::TD4_Click(int) {}
void Form1::TD5_Click(int) {}
void Form1::TG1_Click(int) {}
void Form1::TG2_Click(int) {}
void Form1::TG3_Click(int) {}
void Form1::TG4_Click(int) {}

}  // namespace qz

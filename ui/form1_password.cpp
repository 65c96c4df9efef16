// The password gate of the level table.

#include "ui/form1.h"

namespace qz {

void Form1::Command9_Click() {}
void Form1::Command10_Click() {}
void Form1::Command11_Click() {}

}  // namespace qz

// Parameter files: the image and the model kept on disk.

#include "ui/form1.h"

namespace qz {

void Form1::Command4_Click() {}
void Form1::Command5_Click() {}

}  // namespace qz

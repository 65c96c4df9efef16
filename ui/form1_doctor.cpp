#include "ui/form1.h"

namespace qz {

void Form1::diagnoseAdapters() {}

}  // namespace qz

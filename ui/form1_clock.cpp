// The clock line, the wide and narrow layouts, the history list.

#include "ui/form1.h"

namespace qz {

void Form1::Timer1_Timer() {}
void Form1::Image1_DblClick() {}
void Form1::List1_DblClick() {}

}  // namespace qz

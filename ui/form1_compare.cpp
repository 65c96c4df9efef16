// 与控制器比较 and 下载后校验: the controller's image read without touching the editor, and the
// differences in the words of the window's captions.

#include "ui/form1.h"

namespace qz {

void Form1::compareWithController() {}

}  // namespace qz

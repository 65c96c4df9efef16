// The whole image into the editor, and the live test senders.

#include "ui/form1.h"

namespace qz {

void Form1::Show_Set(std::uint8_t) {}
void Form1::TsetControl(std::uint8_t, std::uint8_t, std::uint8_t, std::uint8_t, std::uint8_t,
                        std::uint8_t) {}
void Form1::Send场景() {}

}  // namespace qz

#include "protocol/connection.h"

#include "link/hex_text.h"
#include "link/serial_port.h"
#include "protocol/frames.h"

namespace qz {

void ask(SerialPort& port, std::string_view frame, int replyLength) {
  port.setReceiveThreshold(replyLength);
  port.discardInput();
  HexTextToBytes(port, frame);
}

void sendHandshake(SerialPort& port) {
  ask(port, frames::kHandshake, frames::kHandshakeReplyLength);
}

}  // namespace qz

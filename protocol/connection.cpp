#include "protocol/connection.h"

#include "link/hex_text.h"
#include "link/serial_port.h"
#include "protocol/frames.h"

namespace qz {

void sendHandshake(SerialPort& port) {
  port.setReceiveThreshold(frames::kHandshakeReplyLength);
  port.discardInput();
  HexTextToBytes(port, frames::kHandshake);
}

}  // namespace qz

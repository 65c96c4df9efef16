// What the controller says, cut and joined at random the way the port delivers it, through the
// recogniser: a reply is known only by its exact length and fixed bytes, and nothing else is
// ever taken for one.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <variant>
#include <vector>

#include "fuzz/check.h"
#include "link/fake_port.h"
#include "protocol/replies.h"

namespace {

void checkReply(const std::vector<std::uint8_t>& b) {
  const qz::Reply reply = qz::recogniseReply(b);
  if (const auto* h = std::get_if<qz::HandshakeReply>(&reply)) {
    QZ_FUZZ_CHECK(b.size() == 5 && b[0] == 0xAA && b[1] == 0x55 && b[3] == 0x88 && b[4] == 0x66);
    QZ_FUZZ_CHECK(h->model == b[2] && h->model <= 4);
  } else if (const auto* ack = std::get_if<qz::DownloadAck>(&reply)) {
    QZ_FUZZ_CHECK(b.size() == 3 && b[0] == 0xD0 && b[2] == 0x55 && ack->nextRow == b[1]);
  } else if (const auto* row = std::get_if<qz::UploadRow>(&reply)) {
    QZ_FUZZ_CHECK(b.size() == 14 && b[0] == 0xA2 && row->row == b[1]);
    for (std::size_t i = 0; i < 12; ++i) QZ_FUZZ_CHECK(row->data[i] == b[2 + i]);
  } else if (const auto* service = std::get_if<qz::ServiceReply>(&reply)) {
    QZ_FUZZ_CHECK(b.size() == 8 && b[0] == 0xA1 && b[1] == 0xB2 && b[2] == 0xC3 && b[3] == 0xD4 &&
                  b[4] == 0xE5 && b[5] == 0xF5 && service->result == b[6]);
    if (const auto message = qz::serviceMessage(service->result)) {
      QZ_FUZZ_CHECK(!message->title.empty() && !message->text.empty());
      QZ_FUZZ_CHECK(message->severity == qz::Severity::Information ||
                    message->severity == qz::Severity::Failure);
    }
  } else {
    // Nothing recognised: then it is none of the shapes.
    const bool isHandshake =
        b.size() == 5 && b[0] == 0xAA && b[1] == 0x55 && b[2] <= 4 && b[3] == 0x88 && b[4] == 0x66;
    const bool isAck = b.size() == 3 && b[0] == 0xD0 && b[2] == 0x55;
    const bool isRow = b.size() == 14 && b[0] == 0xA2;
    const bool isService = b.size() == 8 && b[0] == 0xA1 && b[1] == 0xB2 && b[2] == 0xC3 &&
                           b[3] == 0xD4 && b[4] == 0xE5 && b[5] == 0xF5;
    QZ_FUZZ_CHECK(!isHandshake && !isAck && !isRow && !isService);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  qz::FakePort port;
  port.ports[1] = qz::PortError::None;
  port.setPortNumber(1);
  port.open();

  std::size_t delivered = 0;
  std::size_t notifications = 0;
  port.onComm = [&] {
    ++notifications;
    QZ_FUZZ_CHECK(port.commEvent() == qz::CommEvent::Receive);
    QZ_FUZZ_CHECK(port.bytesWaiting() > 0);
    const std::vector<std::uint8_t> got = port.readAll();
    delivered += got.size();
    checkReply(got);
  };

  std::size_t sent = 0;
  while (in.remaining_bytes() > 0) {
    const auto piece = in.ConsumeBytes<std::uint8_t>(in.ConsumeIntegralInRange<std::size_t>(1, 32));
    const std::size_t before = notifications;
    port.inject(piece);
    port.deliver();  // the notification the event loop would run next
    sent += piece.size();
    // Every piece that came is told once, and the notification takes everything.
    QZ_FUZZ_CHECK(notifications == before + (piece.empty() ? 0 : 1));
    QZ_FUZZ_CHECK(port.bytesWaiting() == 0);
  }
  QZ_FUZZ_CHECK(delivered + port.bytesWaiting() == sent);
  return 0;
}

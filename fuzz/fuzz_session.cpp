// A conversation with a controller against any order of presses, replies, ticks and a port that
// goes away: every frame it writes is one the tool sends and goes to an open port, a service
// command or an upload request only while connected, a row frame carries that row of the image;
// the length it waits for is a reply's; a lost port leaves nothing due; a handshake reply counts
// only after a handshake of this attempt went out; and left without answers, every timer stops
// on its own.

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "fuzz/check.h"
#include "fuzz/fuzzed_image.h"
#include "session/session.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
constexpr std::array<std::uint8_t, 5> kHead = {0xA1, 0xB2, 0xC3, 0xD4, 0xE5};
constexpr std::array<std::uint8_t, 5> kTail = {0x5E, 0x4D, 0x3C, 0x2B, 0x1A};

struct Front {
  const qz::Session* session = nullptr;
  const qz::ConfigImage* image = nullptr;
  bool open = false;
  bool handshakeSent = false;  // since the attempt began

  void written(std::span<const std::uint8_t> b) {
    QZ_FUZZ_CHECK(open);
    if (b.size() == 12) {
      QZ_FUZZ_CHECK(std::equal(kHead.begin(), kHead.end(), b.begin()) &&
                    std::equal(kTail.begin(), kTail.end(), b.begin() + 7));
      const std::uint8_t command = b[5];
      QZ_FUZZ_CHECK(command == 0xA1 || command == 0xA2 || command == 0xA3 || command == 0xF5 ||
                    command == 0xF6);
      if (command == 0xA1) handshakeSent = true;
      if (command == 0xF5) QZ_FUZZ_CHECK(session->connected());
    } else if (b.size() == 15) {
      QZ_FUZZ_CHECK(b[0] == 0xD0 && b[1] < qz::kRows && b[14] == 0x55 && image != nullptr);
      const qz::Row& row = image->rows[b[1]];
      QZ_FUZZ_CHECK(std::equal(row.begin(), row.end(), b.begin() + 2));
    } else {
      QZ_FUZZ_CHECK(b.size() == 6 && b[0] == 0xA2 && b[1] <= qz::kRows && b[2] == b[1]);
      QZ_FUZZ_CHECK(session->connected());
    }
  }

  // What the call left, taken after it.
  void collect(qz::Session& s) {
    while (const auto t = s.pollTransmit()) {
      if (t->kind == qz::Transmit::Kind::Close) {
        open = false;
      } else {
        written(t->frame.bytes());
      }
    }
    while (const auto e = s.pollEvent()) happened(*e);
    const int a = s.awaiting();
    QZ_FUZZ_CHECK(a == 0 || a == 3 || a == 5 || a == 8 || a == 14 || a == 31);
  }
  void happened(const qz::SessionEvent& e) {
    if (const auto* a = std::get_if<qz::event::ControllerAnswered>(&e); a && a->first) {
      QZ_FUZZ_CHECK(handshakeSent && a->model < qz::kModels);
    }
  }
};

// A reply as the line may bring it: mostly well formed, sometimes anything.
Bytes reply(FuzzedDataProvider& in) {
  const auto a = in.ConsumeIntegral<std::uint8_t>();
  switch (in.ConsumeIntegralInRange<int>(0, 4)) {
    case 0:
      return {0xAA, 0x55, static_cast<std::uint8_t>(a % 6), 0x88, 0x66};
    case 1:
      return {0xD0, static_cast<std::uint8_t>(a % 24), 0x55};
    case 2: {
      Bytes row = {0xA2, static_cast<std::uint8_t>(a % 21)};
      for (int i = 0; i < 12; ++i) row.push_back(in.ConsumeIntegral<std::uint8_t>());
      return row;
    }
    case 3:
      return {0xA1, 0xB2, 0xC3, 0xD4, 0xE5, 0xF5, a, 0x00};
    default:
      return in.ConsumeBytes<std::uint8_t>(in.ConsumeIntegralInRange<std::size_t>(1, 40));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  const qz::ConfigImage image = fuzzedImage(in);
  Front front;
  qz::Session session({.serviceGiveUpTick = in.ConsumeBool() ? 15 : 0});
  front.session = &session;
  qz::TransferClock::time_point now{};
  const auto tickRunning = [&](std::size_t which) {
    for (std::size_t k = 0; k < qz::kTickKinds; ++k) {
      const auto t = static_cast<qz::Tick>((which + k) % qz::kTickKinds);
      if (session.ticking(t)) {
        session.tick(t, now);
        front.collect(session);
        return;
      }
    }
  };

  while (in.remaining_bytes() > 0) {
    now += std::chrono::milliseconds(20 * in.ConsumeIntegral<std::uint8_t>());
    switch (in.ConsumeIntegralInRange<int>(0, 7)) {
      case 0:
        if (front.open) break;
        front.open = true;
        front.handshakeSent = false;
        session.connect();
        break;
      case 1:
        if (front.open) session.received(reply(in), now);
        break;
      case 2:
        tickRunning(in.ConsumeIntegral<std::uint8_t>());
        break;
      case 3:
        session.service(static_cast<qz::ServiceCommand>(in.ConsumeIntegralInRange<int>(0, 4)));
        break;
      case 4:
        // The buttons of the transfers are there only while connected.
        if (session.connected()) {
          front.image = &image;
          session.download(image, in.ConsumeIntegral<std::uint8_t>(), std::nullopt, now);
        }
        break;
      case 5:
        if (session.connected()) session.upload(now);
        break;
      case 6:
        session.disconnect(static_cast<qz::DisconnectBy>(in.ConsumeIntegralInRange<int>(0, 3)));
        break;
      default:
        // Only an open port can go away.
        if (!front.open) break;
        session.portLost();
        front.collect(session);
        QZ_FUZZ_CHECK(!front.open && !session.connected() && !session.nextDeadline());
        break;
    }
    front.collect(session);
  }

  // Left alone, every timer stops.
  for (int round = 0; round < 200; ++round) tickRunning(static_cast<std::size_t>(round));
  for (int t = 0; t < qz::kTickKinds; ++t) {
    QZ_FUZZ_CHECK(!session.ticking(static_cast<qz::Tick>(t)));
  }
  return 0;
}

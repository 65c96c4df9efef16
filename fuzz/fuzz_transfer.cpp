// The transfer schedule against any order of starts, ticks, acknowledgements, rows and stops:
// every frame it asks for is a row of the image or a request for a row, an upload gives an
// image only when every row of it came and only with the bytes that came, success is said only
// when every row was confirmed since the start, no transfer sends more than its frames or
// sends anything after its time, and a transfer left without answers ends on its own.

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <array>
#include <bitset>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "fuzz/check.h"
#include "fuzz/fuzzed_image.h"
#include "session/transfer.h"

namespace {

constexpr std::array<std::uint8_t, 5> kHead = {0xA1, 0xB2, 0xC3, 0xD4, 0xE5};
constexpr std::array<std::uint8_t, 5> kTail = {0x5E, 0x4D, 0x3C, 0x2B, 0x1A};

void checkDownload(const qz::TransferAction& a, const qz::ConfigImage& image) {
  for (const qz::OutgoingFrame& f : a.frames) {
    const auto b = f.frame.bytes();
    if (f.kind == qz::OutgoingFrame::Kind::DownloadRow) {
      QZ_FUZZ_CHECK(b.size() == 15 && b[0] == 0xD0 && b[1] < qz::kRows && b[14] == 0x55);
      const qz::Row& row = image.rows[b[1]];
      QZ_FUZZ_CHECK(std::equal(row.begin(), row.end(), b.begin() + 2));
    } else {
      QZ_FUZZ_CHECK(f.kind == qz::OutgoingFrame::Kind::ProtocolAndRunMode);
      QZ_FUZZ_CHECK(b.size() == 12 && std::equal(kHead.begin(), kHead.end(), b.begin()) &&
                    b[5] == 0xF6 && std::equal(kTail.begin(), kTail.end(), b.begin() + 7));
    }
  }
  if (a.threshold) QZ_FUZZ_CHECK(*a.threshold == 3);
  if (a.progressRow) QZ_FUZZ_CHECK(*a.progressRow < qz::kRows);
  QZ_FUZZ_CHECK(!a.image);
}

void checkUpload(const qz::TransferAction& a) {
  for (const qz::OutgoingFrame& f : a.frames) {
    const auto b = f.frame.bytes();
    QZ_FUZZ_CHECK(f.kind == qz::OutgoingFrame::Kind::UploadRequest);
    // After the last row the request names row 19, which no image has.
    QZ_FUZZ_CHECK(b.size() == 6 && b[0] == 0xA2 && b[1] <= qz::kRows && b[2] == b[1] &&
                  b[3] == 0xAA && b[4] == 0xFE && b[5] == 0xFF);
  }
  if (a.threshold) QZ_FUZZ_CHECK(*a.threshold == 14);
  if (a.progressRow) QZ_FUZZ_CHECK(*a.progressRow < qz::kRows);
  if (a.arrived) QZ_FUZZ_CHECK(a.arrived->row < qz::kRows);
}

// What the line saw of one transfer since its start, counted here and not by the schedule.
struct Seen {
  int frames = 0;
  qz::TransferClock::time_point started{};
  std::bitset<qz::kRows> confirmed;  // download: the controller named r + 1 while r was pending
  int pending = -1;                  // download: the row of the latest row frame

  void start(qz::TransferClock::time_point now) { *this = Seen{0, now, {}, -1}; }
  // Every frame of the direction counts, a row or a request; none may go out after the time.
  void sent(const qz::TransferAction& a, qz::TransferClock::time_point now) {
    for (const qz::OutgoingFrame& f : a.frames) {
      if (f.kind == qz::OutgoingFrame::Kind::ProtocolAndRunMode) continue;
      ++frames;
      QZ_FUZZ_CHECK(frames <= qz::kTransferFrameBudget);
      QZ_FUZZ_CHECK(now - started < qz::kTransferTimeBudget);
      if (f.kind == qz::OutgoingFrame::Kind::DownloadRow) pending = f.frame.bytes()[1];
    }
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  const qz::ConfigImage image = fuzzedImage(in);
  qz::Download down;
  qz::Upload up;
  // The rows the running upload has been given, as the line brought them.
  std::array<std::optional<qz::Row>, qz::kRows> given{};
  Seen seenDown;
  Seen seenUp;
  // Time moves on before each event by up to 5 s in steps of 20 ms, so some transfers run out
  // of it.
  qz::TransferClock::time_point now{};

  while (in.remaining_bytes() > 0) {
    now += std::chrono::milliseconds(20 * in.ConsumeIntegral<std::uint8_t>());
    switch (in.ConsumeIntegralInRange<int>(0, 7)) {
      case 0: {
        seenDown.start(now);
        const qz::TransferAction a = down.start(image, in.ConsumeIntegral<std::uint8_t>(), now);
        checkDownload(a, image);
        seenDown.sent(a, now);
        QZ_FUZZ_CHECK(down.running() && !down.done());
        break;
      }
      case 1: {
        const std::uint8_t n = in.ConsumeIntegral<std::uint8_t>();
        // The controller names the row it wants next; after the last row, any count past it
        // says every row is stored.
        const bool last = seenDown.pending == qz::kRows - 1 && n >= qz::kRows;
        if (seenDown.pending >= 0 && (n == seenDown.pending + 1 || last)) {
          seenDown.confirmed.set(static_cast<std::size_t>(seenDown.pending));
        }
        const qz::TransferAction a = down.acknowledged(n, image, now);
        checkDownload(a, image);
        seenDown.sent(a, now);
        if (a.news == qz::TransferNews::Succeeded) {
          QZ_FUZZ_CHECK(n >= qz::kRows && seenDown.confirmed.all());
        }
        for (const qz::OutgoingFrame& f : a.frames) QZ_FUZZ_CHECK(f.frame.bytes()[1] == n);
        break;
      }
      case 2: {
        const qz::TransferAction a = down.tick(image, now);
        checkDownload(a, image);
        seenDown.sent(a, now);
        QZ_FUZZ_CHECK(a.news != qz::TransferNews::Succeeded);
        break;
      }
      case 3: {
        seenUp.start(now);
        const qz::TransferAction a = up.start(now);
        checkUpload(a);
        seenUp.sent(a, now);
        given = {};
        QZ_FUZZ_CHECK(up.running() && !up.done());
        break;
      }
      case 4: {
        const std::uint8_t r = in.ConsumeIntegral<std::uint8_t>();
        qz::Row row{};
        for (auto& b : row) b = in.ConsumeIntegral<std::uint8_t>();
        const qz::TransferAction a = up.rowReceived(r, row, now);
        checkUpload(a);
        seenUp.sent(a, now);
        if (r < qz::kRows) given[r] = row;
        if (a.image) {
          QZ_FUZZ_CHECK(r == qz::kRows - 1);
          for (std::size_t k = 0; k < qz::kRows; ++k) {
            QZ_FUZZ_CHECK(given[k] && a.image->rows[k] == *given[k]);
          }
        }
        QZ_FUZZ_CHECK((a.news == qz::TransferNews::Succeeded) == a.image.has_value());
        break;
      }
      case 5: {
        const qz::TransferAction a = up.tick(now);
        checkUpload(a);
        seenUp.sent(a, now);
        QZ_FUZZ_CHECK(!a.image && a.news != qz::TransferNews::Succeeded);
        break;
      }
      case 6:
        checkDownload(down.stop(), image);
        QZ_FUZZ_CHECK(!down.running());
        break;
      default: {
        const qz::TransferAction a = up.stop();
        checkUpload(a);
        QZ_FUZZ_CHECK(!up.running() && !a.image);
        break;
      }
    }
  }

  // Without answers, each transfer closes by its fifteenth tick.
  for (int t = 0; t < 15; ++t) {
    checkDownload(down.tick(image, now), image);
    checkUpload(up.tick(now));
  }
  QZ_FUZZ_CHECK(!down.running() && !up.running());
  return 0;
}

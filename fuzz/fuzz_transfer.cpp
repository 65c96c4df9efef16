// The transfer schedule against any order of starts, ticks, acknowledgements, rows and stops:
// every frame it asks for is a row of the image or a request for a row, an upload gives an
// image only when every row of it came and only with the bytes that came, success is said only
// when it happened, and a transfer left without answers ends on its own.

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "config/transfer.h"
#include "fuzz/check.h"

namespace {

constexpr std::array<std::uint8_t, 5> kHead = {0xA1, 0xB2, 0xC3, 0xD4, 0xE5};
constexpr std::array<std::uint8_t, 5> kTail = {0x5E, 0x4D, 0x3C, 0x2B, 0x1A};

void checkDownload(const qz::TransferAction& a, const qz::ConfigImage& image) {
  for (const qz::OutgoingFrame& f : a.frames) {
    const auto& b = f.bytes;
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
    const auto& b = f.bytes;
    QZ_FUZZ_CHECK(f.kind == qz::OutgoingFrame::Kind::UploadRequest);
    // After the last row the request names row 19, which no image has.
    QZ_FUZZ_CHECK(b.size() == 6 && b[0] == 0xA2 && b[1] <= qz::kRows && b[2] == b[1] &&
                  b[3] == 0xAA && b[4] == 0xFE && b[5] == 0xFF);
  }
  if (a.threshold) QZ_FUZZ_CHECK(*a.threshold == 14);
  if (a.progressRow) QZ_FUZZ_CHECK(*a.progressRow < qz::kRows);
  if (a.historyRow) QZ_FUZZ_CHECK(a.historyRow->size() == 36);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  qz::ConfigImage image;
  for (auto& row : image.rows) {
    for (auto& b : row) b = in.ConsumeIntegral<std::uint8_t>();
  }
  qz::Download down;
  qz::Upload up;
  // The rows the running upload has been given, as the line brought them.
  std::array<std::optional<qz::Row>, qz::kRows> given{};

  while (in.remaining_bytes() > 0) {
    switch (in.ConsumeIntegralInRange<int>(0, 7)) {
      case 0:
        checkDownload(down.start(image, in.ConsumeIntegral<std::uint8_t>()), image);
        QZ_FUZZ_CHECK(down.running() && !down.done());
        break;
      case 1: {
        const std::uint8_t n = in.ConsumeIntegral<std::uint8_t>();
        const qz::TransferAction a = down.acknowledged(n, image);
        checkDownload(a, image);
        if (a.status == std::string(qz::kDownloadedText)) QZ_FUZZ_CHECK(n >= qz::kRows);
        if (n < qz::kRows) QZ_FUZZ_CHECK(a.frames.size() == 1 && a.frames[0].bytes[1] == n);
        break;
      }
      case 2: {
        const qz::TransferAction a = down.tick(image);
        checkDownload(a, image);
        QZ_FUZZ_CHECK(a.status != std::string(qz::kDownloadedText));
        break;
      }
      case 3:
        checkUpload(up.start());
        given = {};
        QZ_FUZZ_CHECK(up.running() && !up.done());
        break;
      case 4: {
        const std::uint8_t r = in.ConsumeIntegral<std::uint8_t>();
        qz::Row row{};
        for (auto& b : row) b = in.ConsumeIntegral<std::uint8_t>();
        const qz::TransferAction a = up.rowReceived(r, row);
        checkUpload(a);
        if (r < qz::kRows) given[r] = row;
        if (a.image) {
          QZ_FUZZ_CHECK(r == qz::kRows - 1);
          for (std::size_t k = 0; k < qz::kRows; ++k) {
            QZ_FUZZ_CHECK(given[k] && a.image->rows[k] == *given[k]);
          }
        }
        QZ_FUZZ_CHECK((a.status == std::string(qz::kUploadedText)) == a.image.has_value());
        break;
      }
      case 5: {
        const qz::TransferAction a = up.tick();
        checkUpload(a);
        QZ_FUZZ_CHECK(!a.image && a.status != std::string(qz::kUploadedText));
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
    checkDownload(down.tick(image), image);
    checkUpload(up.tick());
  }
  QZ_FUZZ_CHECK(!down.running() && !up.running());
  return 0;
}

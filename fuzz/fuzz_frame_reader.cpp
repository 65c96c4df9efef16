// The simulated controller's receiver against any byte stream at any pace: every byte comes
// out once, in order, as a frame of a known shape or as noise, and cutting the stream into
// other pieces at the same times changes nothing.

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "fuzz/check.h"
#include "sim/frame_reader.h"

namespace {

using qz::sim::Bytes;
using qz::sim::Clock;
using qz::sim::Frame;
using qz::sim::FrameKind;

constexpr std::array<std::uint8_t, 5> kHead = {0xA1, 0xB2, 0xC3, 0xD4, 0xE5};
constexpr std::array<std::uint8_t, 5> kTail = {0x5E, 0x4D, 0x3C, 0x2B, 0x1A};
constexpr std::array<std::uint8_t, 3> kTrailer = {0xAA, 0xFE, 0xFF};

// Whether a frame has the length and fixed bytes its kind says.
bool wellFormed(const Frame& f) {
  const Bytes& b = f.bytes;
  switch (f.kind) {
    case FrameKind::Noise:
      return !b.empty();
    case FrameKind::Handshake:
    case FrameKind::Disconnect:
    case FrameKind::VersionQuery:
    case FrameKind::Service:
    case FrameKind::ProtocolAndRunMode:
    case FrameKind::OtherCommand:
      if (b.size() != 12 || !std::equal(kHead.begin(), kHead.end(), b.begin()) ||
          !std::equal(kTail.begin(), kTail.end(), b.begin() + 7)) {
        return false;
      }
      if (f.kind == FrameKind::Handshake) return b[5] == 0xA1 && b[6] == 0xAE;
      if (f.kind == FrameKind::Disconnect) return b[5] == 0xA2 && b[6] == 0xAD;
      if (f.kind == FrameKind::VersionQuery) return b[5] == 0xA3 && b[6] == 0xAC;
      if (f.kind == FrameKind::Service) return b[5] == 0xF5;
      if (f.kind == FrameKind::ProtocolAndRunMode) return b[5] == 0xF6;
      return true;
    case FrameKind::DownloadRow:
      return b.size() == 15 && b[0] == 0xD0 && b[14] == 0x55;
    case FrameKind::ScenePreview:
      return b.size() == 15 && b[0] == 0xD1 && b[1] == 0xD1 && b[14] == 0x55;
    case FrameKind::SwitchTest:
    case FrameKind::DimTest:
    case FrameKind::UploadRequest: {
      const std::uint8_t lead = f.kind == FrameKind::SwitchTest ? 0xA0
                                : f.kind == FrameKind::DimTest  ? 0xA1
                                                                : 0xA2;
      return b.size() == 6 && b[0] == lead &&
             std::equal(kTrailer.begin(), kTrailer.end(), b.begin() + 3);
    }
  }
  return false;
}

struct Piece {
  Bytes bytes;
  Clock::time_point time;
  bool idleBefore;  // the controller's loop looked at the line before these arrived
};

// Runs the pieces through a reader, each piece whole or byte by byte, and checks each frame.
std::vector<Frame> run(const std::vector<Piece>& pieces, Clock::duration gap, bool bytewise,
                       Clock::time_point end) {
  qz::sim::FrameReader reader(gap);
  std::vector<Frame> out;
  const auto take = [&out](std::vector<Frame> frames) {
    for (Frame& f : frames) out.push_back(std::move(f));
  };
  for (const Piece& p : pieces) {
    if (p.idleBefore) take(reader.idle(p.time));
    if (bytewise) {
      for (const std::uint8_t b : p.bytes) take(reader.feed({&b, 1}, p.time));
    } else {
      take(reader.feed(p.bytes, p.time));
    }
    if (const auto d = reader.deadline()) QZ_FUZZ_CHECK(*d >= p.time);
  }
  take(reader.idle(end));
  QZ_FUZZ_CHECK(reader.pendingBytes() == 0);
  QZ_FUZZ_CHECK(!reader.deadline().has_value());
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  static constexpr std::array<int, 5> kBauds = {1200, 9600, 19200, 115200, 1000000};
  const int baud = kBauds[in.ConsumeIntegralInRange<std::size_t>(0, kBauds.size() - 1)];
  const Clock::duration gap = qz::sim::quietGapFor(baud);

  std::vector<Piece> pieces;
  Bytes all;
  Clock::time_point t{};
  while (in.remaining_bytes() > 0) {
    // Pauses from nothing to a few quiet gaps; pieces of up to 40 bytes.
    t += std::chrono::microseconds(in.ConsumeIntegralInRange<int>(0, 8000));
    Piece p{in.ConsumeBytes<std::uint8_t>(in.ConsumeIntegralInRange<std::size_t>(1, 40)), t,
            in.ConsumeBool()};
    if (p.bytes.empty()) break;  // the data ran out
    all.insert(all.end(), p.bytes.begin(), p.bytes.end());
    pieces.push_back(std::move(p));
  }
  const Clock::time_point end = t + gap;

  const std::vector<Frame> whole = run(pieces, gap, false, end);
  Bytes joined;
  Clock::time_point previous{};
  for (const Frame& f : whole) {
    QZ_FUZZ_CHECK(wellFormed(f));
    QZ_FUZZ_CHECK(f.time >= previous);
    previous = f.time;
    joined.insert(joined.end(), f.bytes.begin(), f.bytes.end());
  }
  QZ_FUZZ_CHECK(joined == all);

  // One byte at a time, at the same times, gives the same frames.
  const std::vector<Frame> single = run(pieces, gap, true, end);
  QZ_FUZZ_CHECK(single.size() == whole.size());
  for (std::size_t i = 0; i < whole.size(); ++i) {
    QZ_FUZZ_CHECK(single[i].kind == whole[i].kind && single[i].bytes == whole[i].bytes &&
                  single[i].time == whole[i].time);
  }
  return 0;
}

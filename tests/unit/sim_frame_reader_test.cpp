// The simulated controller's frame reader, fed whole and byte by byte.

#include <gtest/gtest.h>

#include <stdexcept>
#include <variant>

#include "config/frames.h"
#include "link/hex_text.h"
#include "protocol/frames.h"
#include "protocol/replies.h"
#include "sim/controller.h"
#include "sim/frame_reader.h"

namespace qz::sim {
namespace {

using namespace std::chrono_literals;

Bytes hex(std::string_view text) {
  return hexTextBytes(text).value();
}

Bytes concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

template <std::size_t N>
Bytes bytesOf(const std::array<std::uint8_t, N>& a) {
  return Bytes(a.begin(), a.end());
}

struct Seen {
  FrameKind kind;
  Bytes bytes;
  Clock::time_point time;
  bool operator==(const Seen&) const = default;
};

std::vector<Seen> seen(const std::vector<Frame>& frames) {
  std::vector<Seen> out;
  for (const Frame& f : frames) out.push_back({f.kind, f.bytes, f.time});
  return out;
}

void append(std::vector<Seen>& to, const std::vector<Frame>& frames) {
  for (const Seen& s : seen(frames)) to.push_back(s);
}

// Chunks of the line, each arriving at its own time.
struct Chunk {
  Bytes bytes;
  Clock::time_point time;
};

std::vector<Seen> readWhole(const std::vector<Chunk>& chunks, Clock::time_point end) {
  FrameReader reader(quietGapFor(9600));
  std::vector<Seen> out;
  for (const Chunk& c : chunks) append(out, reader.feed(c.bytes, c.time));
  append(out, reader.idle(end));
  return out;
}

std::vector<Seen> readByteByByte(const std::vector<Chunk>& chunks, Clock::time_point end) {
  FrameReader reader(quietGapFor(9600));
  std::vector<Seen> out;
  for (const Chunk& c : chunks) {
    for (const std::uint8_t b : c.bytes) append(out, reader.feed(std::span(&b, 1), c.time));
  }
  append(out, reader.idle(end));
  return out;
}

const Clock::time_point t0 = Clock::time_point(100s);

TEST(SimFrameReader, KnowsEveryFrameTheToolSendsWholeAndByteByByte) {
  ConfigImage image = defaultImage(2);
  image(3, 7) = 0x55;  // a data byte equal to the end byte
  const Bytes handshake = hex(frames::kHandshake);
  const Bytes stream = concat({
      handshake,
      hex(frames::kVersionQuery),
      hex(frames::kDisconnect),
      hex(frames::kRunModeOverlay),
      hex("A1 B2 C3 D4 E5 F6 12 5E 4D 3C 2B 1A"),
      hex("A1 B2 C3 D4 E5 A1 00 5E 4D 3C 2B 1A"),  // well formed, but no command
      bytesOf(downloadRowFrame(image, 3)),
      bytesOf(scenePreviewFrame(image, 0, 2, kDefaultLevelTable)),
      bytesOf(switchTestFrame(3, false)),
      bytesOf(dimTestFrame(2, 0xFA)),
      hex("A1 B2 C3 AA FE FF"),  // dimming channel B2 to C3: starts like a command frame
      bytesOf(uploadRequestFrame(18)),
  });
  const std::vector<FrameKind> kinds = {
      FrameKind::Handshake,
      FrameKind::VersionQuery,
      FrameKind::Disconnect,
      FrameKind::Service,
      FrameKind::ProtocolAndRunMode,
      FrameKind::OtherCommand,
      FrameKind::DownloadRow,
      FrameKind::ScenePreview,
      FrameKind::SwitchTest,
      FrameKind::DimTest,
      FrameKind::DimTest,
      FrameKind::UploadRequest,
  };

  FrameReader whole(quietGapFor(9600));
  const auto frames = whole.feed(stream, t0);
  ASSERT_EQ(frames.size(), kinds.size());
  Bytes joined;
  for (std::size_t i = 0; i < frames.size(); ++i) {
    EXPECT_EQ(frames[i].kind, kinds[i]) << i;
    EXPECT_EQ(frames[i].time, t0);
    joined.insert(joined.end(), frames[i].bytes.begin(), frames[i].bytes.end());
  }
  EXPECT_EQ(joined, stream);  // nothing lost, nothing taken as noise
  EXPECT_EQ(frames[10].bytes, hex("A1 B2 C3 AA FE FF"));
  EXPECT_EQ(whole.pendingBytes(), 0u);
  EXPECT_FALSE(whole.deadline());

  const std::vector<Chunk> chunks = {{stream, t0}};
  EXPECT_EQ(readByteByByte(chunks, t0 + 1s), seen(frames));
  EXPECT_EQ(readWhole(chunks, t0 + 1s), seen(frames));
}

TEST(SimFrameReader, SkipsGarbageAndGivesUpUnfinishedFramesAfterAQuietGap) {
  const Bytes handshake = hex(frames::kHandshake);
  const Clock::duration gap = quietGapFor(9600);
  EXPECT_GT(gap, 3500us);
  EXPECT_LT(gap, 3700us);
  EXPECT_EQ(quietGapFor(115200), 1750us);

  // Bytes that cannot start a frame, and a start that goes wrong at once, are skipped on the
  // spot: the handshake behind them is not delayed.
  {
    FrameReader reader(gap);
    const auto frames = reader.feed(concat({hex("00 FF 55 A1 00"), handshake}), t0);
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0].kind, FrameKind::Noise);
    EXPECT_EQ(frames[0].bytes, hex("00 FF 55 A1 00"));
    EXPECT_EQ(frames[1].kind, FrameKind::Handshake);
  }

  // A download row cut short, then the line is quiet, then a whole download row: the first
  // must not swallow the second.
  {
    const Bytes row = hex("D0 04 01 02 03 04 05 06 07 08 09 0A 0B 0C 55");
    const std::vector<Chunk> chunks = {{hex("D0 03 01 02"), t0}, {row, t0 + 10ms}};
    const auto frames = readWhole(chunks, t0 + 1s);
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0], (Seen{FrameKind::Noise, hex("D0 03 01 02"), t0}));
    EXPECT_EQ(frames[1], (Seen{FrameKind::DownloadRow, row, t0 + 10ms}));
    EXPECT_EQ(readByteByByte(chunks, t0 + 1s), frames);
  }

  // An unfinished start hides a whole frame: the quiet gap brings it out.
  {
    FrameReader reader(gap);
    EXPECT_TRUE(reader.feed(concat({hex("D0"), handshake}), t0).empty());
    EXPECT_EQ(reader.deadline(), t0 + gap);
    EXPECT_TRUE(reader.idle(t0 + gap - 1us).empty());
    const auto frames = reader.idle(t0 + gap);
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0].bytes, hex("D0"));
    EXPECT_EQ(frames[1].kind, FrameKind::Handshake);
    EXPECT_FALSE(reader.deadline());
  }

  // Within the gap the bytes belong together, a handshake split over two reads included.
  {
    const std::vector<Chunk> chunks = {{Bytes(handshake.begin(), handshake.begin() + 5), t0},
                                       {Bytes(handshake.begin() + 5, handshake.end()), t0 + 1ms}};
    const auto frames = readWhole(chunks, t0 + 1s);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0], (Seen{FrameKind::Handshake, handshake, t0 + 1ms}));
    EXPECT_EQ(readByteByByte(chunks, t0 + 1s), frames);
  }

  // The same halves with a quiet gap between them are two pieces of noise.
  {
    const std::vector<Chunk> chunks = {{Bytes(handshake.begin(), handshake.begin() + 5), t0},
                                       {Bytes(handshake.begin() + 5, handshake.end()), t0 + 5ms}};
    const auto frames = readWhole(chunks, t0 + 1s);
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0].kind, FrameKind::Noise);
    EXPECT_EQ(frames[1].kind, FrameKind::Noise);
    EXPECT_EQ(readByteByByte(chunks, t0 + 1s), frames);
  }
}

}  // namespace
}  // namespace qz::sim

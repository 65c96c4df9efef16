#pragma once
// The controller's receiver: cuts the byte stream from the tool into the frames it knows.
//
// Frames have fixed lengths and fixed bytes but no length field and no checksum, so the
// receiver matches the stream against the frame shapes: a byte that cannot start a frame is
// skipped, a frame that stops matching gives up its first byte and the rest is looked at again,
// and a frame left unfinished is given up once the line has been quiet for a few byte times.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace qz::sim {

using Clock = std::chrono::steady_clock;
using Bytes = std::vector<std::uint8_t>;

enum class FrameKind : std::uint8_t {
  Noise,               // bytes that made no frame: skipped or part of an unfinished frame
  Handshake,           // A1 B2 C3 D4 E5 A1 AE ...
  Disconnect,          // ... A2 AD ...
  VersionQuery,        // ... A3 AC ...
  Service,             // ... F5 x ...
  ProtocolAndRunMode,  // ... F6 x ...
  OtherCommand,        // a well-formed command frame with any other command or argument byte
  DownloadRow,         // D0 r d0..d11 55
  ScenePreview,        // D1 D1 o0..o11 55
  SwitchTest,          // A0 c D0/D1 AA FE FF (any third byte)
  DimTest,             // A1 c v AA FE FF
  UploadRequest,       // A2 r r AA FE FF (any second and third bytes)
};

[[nodiscard]] std::string_view frameKindName(FrameKind kind);

struct Frame {
  FrameKind kind = FrameKind::Noise;
  Bytes bytes;
  Clock::time_point time;  // arrival of its last byte
};

// How long the line must be quiet before an unfinished frame is given up: 3.5 byte times, but
// never less than 1.75 ms, the usual rule of field-bus receivers (at 9600 baud about 3.6 ms).
[[nodiscard]] Clock::duration quietGapFor(int baud);

// The time one byte takes on the line: a start bit, 8 data bits and a stop bit.
[[nodiscard]] Clock::duration byteTime(int baud);

class FrameReader {
 public:
  explicit FrameReader(Clock::duration quietGap);

  // Takes bytes that arrived together at `time` (not earlier than any time given before) and
  // returns the frames they complete, in order. Bytes given whole or one at a time with the
  // same times give the same frames.
  [[nodiscard]] std::vector<Frame> feed(std::span<const std::uint8_t> bytes,
                                        Clock::time_point time);

  // The line has been quiet until `now`: gives up an unfinished frame once the quiet gap has
  // passed, and returns what that brings out (frames found in the rest, and the noise).
  [[nodiscard]] std::vector<Frame> idle(Clock::time_point now);

  // When idle() has something to do, if anything is waiting.
  [[nodiscard]] std::optional<Clock::time_point> deadline() const;

  [[nodiscard]] std::size_t pendingBytes() const { return pending_.size(); }

 private:
  void extract(std::vector<Frame>& out);
  void giveUp(std::vector<Frame>& out);
  void flushNoise(std::vector<Frame>& out);

  Clock::duration quietGap_;
  Bytes pending_;
  Bytes noise_;
  Clock::time_point last_{};
};

}  // namespace qz::sim

#include "sim/frame_reader.h"

#include <algorithm>

#include "protocol/frames.h"

namespace qz::sim {

namespace {

namespace f = qz::frames;

enum class Shape { Command, DownloadRow, Preview, Short };
constexpr Shape kShapes[] = {Shape::Command, Shape::DownloadRow, Shape::Preview, Shape::Short};

// Noise is reported in pieces of at most this many bytes, so a babbling line stays visible.
constexpr std::size_t kMaxNoise = 64;

std::size_t shapeLength(Shape s) {
  switch (s) {
    case Shape::Command:
      return f::kCommandLength;
    case Shape::DownloadRow:
    case Shape::Preview:
      return f::kRowFrameLength;
    case Shape::Short:
      return f::kShortLength;
  }
  return 0;
}

// Whether byte b may stand at position i of a frame of shape s.
bool fits(Shape s, std::size_t i, std::uint8_t b) {
  switch (s) {
    case Shape::Command:
      if (i < 5) return b == f::kHead[i];
      if (i < 7) return true;
      return b == f::kTail[i - 7];
    case Shape::DownloadRow:
      if (i == 0) return b == f::kDownloadRowLead;
      return i != 14 || b == f::kRowFrameEnd;
    case Shape::Preview:
      if (i <= 1) return b == f::kPreviewLead;
      return i != 14 || b == f::kRowFrameEnd;
    case Shape::Short:
      if (i == 0) return b == f::kSwitchTest || b == f::kDimTest || b == f::kUploadRequest;
      if (i < 3) return true;
      return b == f::kShortTrailer[i - 3];
  }
  return false;
}

enum class Match { None, Partial, Complete };

Match match(Shape s, std::span<const std::uint8_t> p) {
  const std::size_t n = std::min(p.size(), shapeLength(s));
  for (std::size_t i = 0; i < n; ++i) {
    if (!fits(s, i, p[i])) return Match::None;
  }
  return p.size() >= shapeLength(s) ? Match::Complete : Match::Partial;
}

FrameKind kindOf(Shape s, std::span<const std::uint8_t> p) {
  switch (s) {
    case Shape::Command: {
      const std::uint8_t cmd = p[5];
      const std::uint8_t arg = p[6];
      if (cmd == f::kCmdHandshake && arg == f::kArgHandshake) return FrameKind::Handshake;
      if (cmd == f::kCmdDisconnect && arg == f::kArgDisconnect) return FrameKind::Disconnect;
      if (cmd == f::kCmdVersion && arg == f::kArgVersion) return FrameKind::VersionQuery;
      if (cmd == f::kCmdService) return FrameKind::Service;
      if (cmd == f::kCmdProtocolAndRunMode) return FrameKind::ProtocolAndRunMode;
      return FrameKind::OtherCommand;
    }
    case Shape::DownloadRow:
      return FrameKind::DownloadRow;
    case Shape::Preview:
      return FrameKind::ScenePreview;
    case Shape::Short:
      if (p[0] == f::kSwitchTest) return FrameKind::SwitchTest;
      if (p[0] == f::kDimTest) return FrameKind::DimTest;
      return FrameKind::UploadRequest;
  }
  return FrameKind::Noise;
}

}  // namespace

std::string_view frameKindName(FrameKind kind) {
  switch (kind) {
    case FrameKind::Noise:
      return "noise";
    case FrameKind::Handshake:
      return "handshake";
    case FrameKind::Disconnect:
      return "disconnect";
    case FrameKind::VersionQuery:
      return "version query";
    case FrameKind::Service:
      return "service";
    case FrameKind::ProtocolAndRunMode:
      return "protocol and run mode";
    case FrameKind::OtherCommand:
      return "unknown command";
    case FrameKind::DownloadRow:
      return "download row";
    case FrameKind::ScenePreview:
      return "scene preview";
    case FrameKind::SwitchTest:
      return "switch test";
    case FrameKind::DimTest:
      return "dimming test";
    case FrameKind::UploadRequest:
      return "upload request";
  }
  return "?";
}

Clock::duration byteTime(int baud) {
  const long long b = std::max(baud, 1);
  return std::chrono::nanoseconds(10'000'000'000LL / b);
}

Clock::duration quietGapFor(int baud) {
  const Clock::duration floor = std::chrono::microseconds(1750);
  return std::max(byteTime(baud) * 7 / 2, floor);
}

FrameReader::FrameReader(Clock::duration quietGap) : quietGap_(quietGap) {}

std::vector<Frame> FrameReader::feed(std::span<const std::uint8_t> bytes, Clock::time_point time) {
  std::vector<Frame> out;
  if (!bytes.empty()) {
    if ((!pending_.empty() || !noise_.empty()) && time - last_ >= quietGap_) giveUp(out);
  }
  for (const std::uint8_t b : bytes) {
    pending_.push_back(b);
    last_ = time;
    extract(out);
  }
  return out;
}

std::vector<Frame> FrameReader::idle(Clock::time_point now) {
  std::vector<Frame> out;
  if ((!pending_.empty() || !noise_.empty()) && now - last_ >= quietGap_) giveUp(out);
  return out;
}

std::optional<Clock::time_point> FrameReader::deadline() const {
  if (pending_.empty() && noise_.empty()) return std::nullopt;
  return last_ + quietGap_;
}

void FrameReader::extract(std::vector<Frame>& out) {
  while (!pending_.empty()) {
    bool partial = false;
    bool done = false;
    for (const Shape s : kShapes) {
      const Match m = match(s, pending_);
      if (m == Match::Complete) {
        flushNoise(out);
        const auto len = static_cast<std::ptrdiff_t>(shapeLength(s));
        out.push_back(
            {kindOf(s, pending_), Bytes(pending_.begin(), pending_.begin() + len), last_});
        pending_.erase(pending_.begin(), pending_.begin() + len);
        done = true;
        break;
      }
      if (m == Match::Partial) partial = true;
    }
    if (done) continue;
    if (partial) return;
    // Nothing starts here: the first byte is noise, the rest may still hold a frame.
    noise_.push_back(pending_.front());
    pending_.erase(pending_.begin());
    if (noise_.size() >= kMaxNoise) flushNoise(out);
  }
}

void FrameReader::giveUp(std::vector<Frame>& out) {
  // The unfinished frame is abandoned byte by byte: a complete frame may sit behind its start.
  while (!pending_.empty()) {
    noise_.push_back(pending_.front());
    pending_.erase(pending_.begin());
    if (noise_.size() >= kMaxNoise) flushNoise(out);
    extract(out);
  }
  flushNoise(out);
}

void FrameReader::flushNoise(std::vector<Frame>& out) {
  if (noise_.empty()) return;
  out.push_back({FrameKind::Noise, std::move(noise_), last_});
  noise_.clear();
}

}  // namespace qz::sim

#include "sim/controller.h"

#include <algorithm>
#include <cstdio>

#include "config/settings.h"
#include "protocol/frames.h"
#include "sim/outputs.h"

namespace qz::sim {

namespace {

namespace f = qz::frames;

int switchChannels(int model) {
  return std::clamp(switchCount(model), 0, kRowBytes);
}

std::string rowText(int r) {
  return "row " + std::to_string(r);
}

}  // namespace

std::string paddedVersionText(std::string_view text) {
  constexpr auto kLength = static_cast<std::size_t>(f::kVersionTextLength);
  std::string t(text.substr(0, std::min(text.size(), kLength)));
  t.resize(kLength, ' ');
  return t;
}

ConfigImage defaultImage(int model) {
  ConfigImage image;
  if (model >= 0 && model < kModels) writeDefaultScenePattern(image, model);
  for (int level = 0; level < kLevels; ++level) {
    image(row18::kRow, row18::kFirstLevel + level) =
        kDefaultLevelTable[static_cast<std::size_t>(level)];
  }
  return image;
}

std::string hexBytes(std::span<const std::uint8_t> bytes) {
  std::string out;
  out.reserve(bytes.size() * 3);
  for (const std::uint8_t b : bytes) {
    char digits[4];
    std::snprintf(digits, sizeof digits, "%02X", b);
    if (!out.empty()) out += ' ';
    out += digits;
  }
  return out;
}

std::string describe(const LogEntry& entry) {
  std::string line =
      "RX " + hexBytes(entry.received) + "  " + std::string(frameKindName(entry.kind));
  if (!entry.note.empty()) line += " (" + entry.note + ")";
  if (!entry.sent.empty()) line += " -> " + hexBytes(entry.sent);
  return line;
}

Controller::Controller(const Options& options)
    : model_(options.model),
      version_(options.versionText),
      image_(options.image.value_or(defaultImage(options.model))),
      serviceResults_(options.serviceResults),
      logLimit_(std::max<std::size_t>(options.logLimit, 1)) {
  setFaults(options.faults);
  powerOn();
}

void Controller::press(int row) {
  outputs_ = drive(image_, model_, outputs_, KeyPress{row});
}

void Controller::powerOn() {
  outputs_ = drive(image_, model_, outputs_, PowerOn{});
}

void Controller::setFaults(Faults faults) {
  faults_ = std::move(faults);
  ruleHits_.assign(faults_.rules.size(), 0);
}

void Controller::setServiceResult(std::uint8_t request, std::uint8_t code) {
  serviceResults_[request] = code;
}

void Controller::record(LogEntry entry) {
  // Line noise can run to megabytes; the log keeps its start and says how long it was.
  constexpr std::size_t kNoiseKept = 64;
  if (entry.kind == FrameKind::Noise && entry.received.size() > kNoiseKept) {
    entry.note += ", " + std::to_string(entry.received.size()) + " bytes, the first " +
                  std::to_string(kNoiseKept) + " kept";
    entry.received.resize(kNoiseKept);
    entry.received.shrink_to_fit();
  }
  log_.push_back(std::move(entry));
  while (log_.size() > logLimit_) log_.pop_front();
}

void Controller::annotateLast(std::string_view note) {
  if (log_.empty() || note.empty()) return;
  std::string& n = log_.back().note;
  n += n.empty() ? "" : ", ";
  n += note;
}

void Controller::markLastSent(Clock::time_point time) {
  if (!log_.empty()) log_.back().sentAt = time;
}

Controller::Response Controller::handle(const Frame& frame) {
  LogEntry entry{frame.time, frame.kind, frame.bytes, {}, {}, {}};
  Response response;
  if (frame.kind == FrameKind::Noise) {
    entry.note = "not a frame, skipped";
    record(std::move(entry));
    return response;
  }
  ++frames_;
  Answer a = answer(frame);
  if (frame.kind == FrameKind::ScenePreview || frame.kind == FrameKind::SwitchTest ||
      frame.kind == FrameKind::DimTest) {
    outputs_ = drive(image_, model_, outputs_, frame);
    if (a.note.empty()) a.note = outputsText(image_, model_, outputs_);
  }
  if (!a.bytes.empty()) {
    ++replies_;
    if (faults_.silent) {
      a.bytes.clear();
      a.note = "silent";
    } else {
      applyFaults(a);
    }
  }
  response.oneWrite = a.oneWrite;
  response.again = a.again;
  if (a.hangUp || (faults_.hangupAfter > 0 && frames_ >= faults_.hangupAfter)) {
    response.hangUp = true;
    a.note += a.note.empty() ? "then the line is cut" : ", then the line is cut";
  }
  response.reply = a.bytes;
  entry.sent = std::move(a.bytes);
  entry.note = std::move(a.note);
  record(std::move(entry));
  return response;
}

Controller::Answer Controller::answer(const Frame& frame) {
  const Bytes& p = frame.bytes;
  Answer a;
  switch (frame.kind) {
    case FrameKind::Noise:
      break;
    case FrameKind::Handshake:
      ++handshakes_;
      if (handshakes_ < faults_.answerFrom) {
        a.note = "not answering before handshake " + std::to_string(faults_.answerFrom);
        break;
      }
      a.kind = ReplyKind::Handshake;
      a.bytes = {f::kHandshakeReplyLead[0], f::kHandshakeReplyLead[1],
                 static_cast<std::uint8_t>(model_), f::kHandshakeReplyEnd[0],
                 f::kHandshakeReplyEnd[1]};
      break;
    case FrameKind::VersionQuery:
      a.kind = ReplyKind::Version;
      a.bytes.assign(version_.begin(), version_.end());
      if (a.bytes.empty()) a.note = "no version text";
      break;
    case FrameKind::Disconnect:
      ++disconnects_;
      break;
    case FrameKind::Service: {
      const std::uint8_t request = p[6];
      const auto it = serviceResults_.find(request);
      const std::uint8_t code = it != serviceResults_.end() ? it->second : request;
      a.kind = ReplyKind::Service;
      a.argument = request;
      a.bytes = {f::kHead[0], f::kHead[1],    f::kHead[2], f::kHead[3],
                 f::kHead[4], f::kCmdService, code,        0x00};
      break;
    }
    case FrameKind::ProtocolAndRunMode:
      protocolAndRunMode_ = p[6];
      break;
    case FrameKind::OtherCommand:
      a.note = "not a command this controller knows";
      break;
    case FrameKind::DownloadRow: {
      const int r = p[1];
      if (r >= kRows) {
        a.note = "the image has no " + rowText(r) + ", not stored";
        break;
      }
      std::copy(p.begin() + 2, p.begin() + 14, image_.rows[static_cast<std::size_t>(r)].begin());
      if (r == faults_.wrongRow) {
        image_(r, 0) ^= 0x01;
        a.note = "stored with byte 0 changed";
      }
      a.kind = ReplyKind::Download;
      a.argument = r;
      a.bytes = {f::kDownloadRowLead, static_cast<std::uint8_t>(r + 1), f::kRowFrameEnd};
      break;
    }
    case FrameKind::ScenePreview: {
      RowFrame preview{};
      std::copy(p.begin(), p.end(), preview.begin());
      lastPreview_ = preview;
      break;
    }
    case FrameKind::SwitchTest: {
      const int c = p[1];
      if (c < 1 || c > switchChannels(model_)) {
        a.note = "no switch channel " + std::to_string(c);
      } else if (p[2] != f::kSwitchOn && p[2] != f::kSwitchOff) {
        a.note = "neither on nor off";
      }
      break;
    }
    case FrameKind::DimTest: {
      const int c = p[1];
      const int s = switchChannels(model_);
      if (c < 1 || c > kRowBytes - s) {
        a.note = "no dimming channel " + std::to_string(c);
      }
      break;
    }
    case FrameKind::UploadRequest: {
      const int r = p[1];
      // The row goes out twice; a request whose copies disagree names no row for sure.
      if (p[1] != p[2]) {
        a.note = "row bytes disagree";
        break;
      }
      // Row 19 is asked for after the last row of every upload: there is nothing to send.
      if (r >= kRows) {
        a.note = "the image has no " + rowText(r);
        break;
      }
      a.kind = ReplyKind::Upload;
      a.argument = r;
      const Row& row = image_.rows[static_cast<std::size_t>(r)];
      a.bytes.resize(2 + row.size());
      a.bytes[0] = f::kUploadRequest;
      a.bytes[1] = static_cast<std::uint8_t>(r);
      std::copy(row.begin(), row.end(), a.bytes.begin() + 2);
      break;
    }
  }
  return a;
}

bool Controller::matches(const ReplySelector& s, const Answer& a) const {
  if (s.kind == ReplyKind::Any) return s.ordinal == 0 || s.ordinal == replies_;
  return s.kind == a.kind && (s.argument < 0 || s.argument == a.argument);
}

void Controller::applyFaults(Answer& a) {
  constexpr FaultAction kOrder[] = {
      FaultAction::Corrupt, FaultAction::AckEarlier, FaultAction::Extra,  FaultAction::Duplicate,
      FaultAction::Merge,   FaultAction::Twice,      FaultAction::HangUp, FaultAction::Drop};
  const Bytes original = a.bytes;
  std::vector<std::string> applied;
  for (const FaultAction action : kOrder) {
    for (std::size_t i = 0; i < faults_.rules.size(); ++i) {
      const FaultRule& rule = faults_.rules[i];
      if (rule.action != action || !matches(rule.which, a)) continue;
      if (rule.count > 0 && ruleHits_[i] >= rule.count) continue;
      ++ruleHits_[i];
      switch (action) {
        case FaultAction::Corrupt: {
          const std::size_t at = std::min(rule.offset, original.size() - 1);
          a.bytes[at] ^= 0xFF;
          applied.push_back("corrupted byte " + std::to_string(at));
          break;
        }
        case FaultAction::Extra:
          a.bytes.insert(a.bytes.end(), rule.extra.begin(), rule.extra.end());
          applied.push_back("extra bytes");
          break;
        case FaultAction::Duplicate: {
          const Bytes once = a.bytes;
          a.bytes.insert(a.bytes.end(), once.begin(), once.end());
          applied.push_back("duplicated");
          break;
        }
        case FaultAction::AckEarlier:
          if (a.kind != ReplyKind::Download) break;
          a.bytes[1] = rule.named;
          applied.push_back("asks for row " + std::to_string(rule.named));
          break;
        case FaultAction::Merge: {
          const Bytes once = a.bytes;
          a.bytes.insert(a.bytes.end(), once.begin(), once.end());
          a.oneWrite = true;
          applied.push_back("twice in one write");
          break;
        }
        case FaultAction::Twice:
          a.again = a.bytes;
          applied.push_back("answered twice");
          break;
        case FaultAction::HangUp:
          a.bytes.clear();
          a.again.clear();
          a.hangUp = true;
          applied.push_back("not answered: would send " + hexBytes(original));
          break;
        case FaultAction::Drop:
          a.bytes.clear();
          a.again.clear();
          applied.push_back("dropped: would send " + hexBytes(original));
          break;
      }
    }
  }
  for (const std::string& s : applied) a.note += (a.note.empty() ? "" : ", ") + s;
}

}  // namespace qz::sim

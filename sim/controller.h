#pragma once
// The simulated controller: what it stores and what it answers to each frame, with no line
// and no clock of its own, so every answer can be checked byte for byte.

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "config/frames.h"
#include "config/image.h"
#include "sim/frame_reader.h"

namespace qz::sim {

// The text padded with blanks, or cut, to the 31 bytes the tool waits for.
[[nodiscard]] std::string paddedVersionText(std::string_view text);

inline constexpr std::string_view kDefaultVersionText = "QZSIM V1.0 simulated controller";

// What a controller holds when it leaves the factory: the model's default scene pattern and
// the default dimming level table.
[[nodiscard]] ConfigImage defaultImage(int model);

// Which replies a fault rule applies to.
enum class ReplyKind : std::uint8_t { Any, Handshake, Version, Download, Upload, Service };

struct ReplySelector {
  ReplyKind kind = ReplyKind::Any;
  // With ReplyKind::Any: the n-th reply since start (1-based); 0 matches every reply.
  int ordinal = 0;
  // Download/Upload: the row asked about; Service: the request's argument byte; -1: any.
  int argument = -1;
};

enum class FaultAction : std::uint8_t {
  Drop,        // the reply is not sent
  Duplicate,   // the reply is sent twice, back to back
  Corrupt,     // one byte of the reply is inverted (xor FF)
  Extra,       // bytes are sent after the reply
  AckEarlier,  // a download acknowledgement names an earlier row than the next one
  Merge,       // the reply twice, both arriving in one write
  Twice,       // the reply, then the same reply again as an answer of its own
  HangUp,      // the line is cut instead of the reply
};

struct FaultRule {
  FaultAction action = FaultAction::Drop;
  ReplySelector which;
  int count = 0;           // how many matching replies it affects; 0: all of them
  std::size_t offset = 0;  // Corrupt: the byte inverted; past the end: the last byte
  Bytes extra;             // Extra: the bytes sent after the reply
  std::uint8_t named = 0;  // AckEarlier: the row the acknowledgement names
};

struct Faults {
  bool silent = false;  // receives and stores everything, answers nothing
  int answerFrom = 1;   // handshakes before this one (1-based, since start) get no answer
  int hangupAfter = 0;  // the line is cut once this many frames are handled; 0: never
  int wrongRow = -1;    // this download row is stored with byte 0 changed (xor 01); -1: none
  // Applied in this order to a reply that several rules match: corrupt, ack-earlier, extra,
  // duplicate, merge, twice, hang-up, drop.
  std::vector<FaultRule> rules;
};

// What the line brings back to the tool of its own bytes: nothing, or, as with many two-wire
// RS-485 adapters, every byte the tool sends, ahead of the answer.
enum class Echo : std::uint8_t {
  None,
  Whole,       // each write of the tool comes back whole, at once
  ByteByByte,  // each byte as it has gone out on the line
};

struct Options {
  int model = 2;  // 0..4: QZ-0408, QZ-0606, QZ-0804, QZ-1002, QZ-1200
  // Entries the in-memory log keeps, the most recent ones (at least 1); the qzsim program,
  // which writes its log out as it goes, keeps only a few.
  std::size_t logLimit = 10000;
  int baud = 9600;  // paces the answers; a pseudo-terminal itself ignores the baud rate
  bool pacing = true;
  Echo echo = Echo::None;
  int comNumber = 0;  // COMn for the alias, 1..50; 0: the lowest free one
  // Where the COM alias goes; empty: the per-user alias folder the tool looks in.
  std::filesystem::path aliasFolder;
  std::string versionText = std::string(kDefaultVersionText);  // sent as is, byte for byte
  std::optional<ConfigImage> image;                            // empty: defaultImage(model)
  std::filesystem::path dumpFile;  // rewritten whenever the image changes; empty: none
  // Result code of a service request per argument byte; without an entry the code is the
  // argument itself, the success code of each request (01, 02, FF, 10, 20).
  std::map<std::uint8_t, std::uint8_t> serviceResults;
  Faults faults;
};

// One received frame and what became of it.
struct LogEntry {
  Clock::time_point time;
  FrameKind kind = FrameKind::Noise;
  Bytes received;
  Bytes sent;        // after faults; empty: no answer
  std::string note;  // why there is no answer, or which faults changed it
  // When the last byte of the answer was handed to the line; empty: nothing went out.
  std::optional<Clock::time_point> sentAt;
};

// "RX <hex>  <what>" then "-> <hex>" or the note; one line, without time.
[[nodiscard]] std::string describe(const LogEntry& entry);
[[nodiscard]] std::string hexBytes(std::span<const std::uint8_t> bytes);

using Outputs = std::array<std::uint8_t, kRowBytes>;

class Controller {
 public:
  explicit Controller(const Options& options);

  struct Response {
    Bytes reply;            // empty: nothing to send
    bool oneWrite = false;  // the reply arrives whole at once, not byte by byte
    Bytes again;            // sent after the reply as an answer of its own
    bool hangUp = false;    // cut the line once the reply is out
  };

  // Handles one frame from the reader (noise included, which is only logged).
  Response handle(const Frame& frame);

  void setFaults(Faults faults);
  void setServiceResult(std::uint8_t request, std::uint8_t code);
  void setImage(const ConfigImage& image) { image_ = image; }
  // A key on the controller's front plays its row (0..16) of the stored image.
  void press(int row);
  // The controller restarts: its power-on scene, the fans in their power-on states.
  void powerOn();
  // Adds what the line did to the latest entry (bytes lost, nobody listening).
  void annotateLast(std::string_view note);
  // Notes when the answer to the latest entry left.
  void markLastSent(Clock::time_point time);

  [[nodiscard]] int model() const { return model_; }
  [[nodiscard]] const ConfigImage& image() const { return image_; }
  // The most recent entries, oldest first; at most Options::logLimit of them.
  [[nodiscard]] const std::deque<LogEntry>& log() const { return log_; }
  // The last scene preview frame, whole.
  [[nodiscard]] const std::optional<RowFrame>& lastPreview() const { return lastPreview_; }
  // What the twelve outputs show: switch channels 0/1, dimming channels their output value;
  // set at power-on, by previews, channel tests and keys (sim/outputs.h).
  [[nodiscard]] const Outputs& outputs() const { return outputs_; }
  [[nodiscard]] std::optional<std::uint8_t> protocolAndRunMode() const {
    return protocolAndRunMode_;
  }
  [[nodiscard]] int handshakes() const { return handshakes_; }
  [[nodiscard]] int disconnects() const { return disconnects_; }
  [[nodiscard]] int frames() const { return frames_; }
  [[nodiscard]] int replies() const { return replies_; }

 private:
  struct Answer {
    Bytes bytes;
    ReplyKind kind = ReplyKind::Any;
    int argument = -1;
    std::string note;
    bool oneWrite = false;
    Bytes again;
    bool hangUp = false;
  };
  Answer answer(const Frame& frame);
  void applyFaults(Answer& a);
  [[nodiscard]] bool matches(const ReplySelector& s, const Answer& a) const;

  int model_;
  std::string version_;
  ConfigImage image_;
  std::map<std::uint8_t, std::uint8_t> serviceResults_;
  Faults faults_;
  std::vector<int> ruleHits_;

  void record(LogEntry entry);

  std::size_t logLimit_;
  std::deque<LogEntry> log_;
  std::optional<RowFrame> lastPreview_;
  Outputs outputs_{};
  std::optional<std::uint8_t> protocolAndRunMode_;
  int handshakes_ = 0;
  int disconnects_ = 0;
  int frames_ = 0;   // frames handled, noise not counted
  int replies_ = 0;  // answers made, before faults
};

}  // namespace qz::sim

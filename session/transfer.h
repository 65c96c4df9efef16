#pragma once
// Moving the image to and from the controller, one row of 12 bytes at a time, as a schedule:
// what the start, a 200 ms tick, a download acknowledgement or an upload row makes a transfer
// do. The conversation (session/) carries these answers out and tells its front ends what
// became of the transfer; neither front end knows the steps.
//
// Both directions follow the controller: the next frame goes to the row its latest answer
// names. Without an answer the pending frame goes out again on ticks 1 to 4, the transfer fails
// on tick 10 and closes on tick 15; a success closes on tick 5. Every
// accepted answer restarts the count, so an answer after tick 10 carries the transfer on.
//
// An accepted answer also restarts the tick itself, so a frame goes out again only after a
// whole 200 ms without an answer. With a tick that runs on regardless, the first tick after
// an answer comes 0 to 200 ms later and repeats a frame whose answer is on its way; the
// controller answers both, the tool follows both answers, and from there on every row
// travels twice (and the history shows it twice).
//
// Answers the line can garble or repeat are not followed blindly:
// - the same answer again, while the frame it asked for is the one pending, sends nothing
//   more (a controller that answers twice, or keeps asking for one row, would otherwise have
//   every answer send a frame, without end);
// - a download acknowledgement names the row just sent plus one, or a row the controller
//   wants again; one that names a row further on, or no row at all (20 and up), is no answer,
//   and the tick repeats the pending row as for silence. With row 18 pending, any row of 19 or
//   more says that every row is stored;
// - whatever the controller says, a transfer gives up after kTransferFrameBudget frames or
//   kTransferTimeBudget, fails, and closes as a silent one does.

#include <bitset>
#include <chrono>
#include <cstdint>
#include <optional>
#include <vector>

#include "config/image.h"
#include "protocol/frame.h"
#include "protocol/frames.h"
#include "protocol/replies.h"

namespace qz {

// A transfer sends no more than this many frames of its direction, each row five times over
// (the option frame of a download aside), and runs no longer than this.
inline constexpr int kTransferFrameBudget = 5 * kRows;
// A frame without an answer goes out again this many times before the transfer waits for its
// failure.
inline constexpr int kTransferRepeats = 4;
inline constexpr std::chrono::seconds kTransferTimeBudget{30};
using TransferClock = std::chrono::steady_clock;

// Why a transfer that did not succeed ended.
enum class TransferEnd : std::uint8_t {
  None,         // running, succeeded, or stopped by the connection
  Silence,      // no answer for 15 ticks
  FrameBudget,  // kTransferFrameBudget frames went out
  TimeBudget,   // kTransferTimeBudget passed
  PortLost,     // the port went away under it
};

// The length of the reply each direction waits for.
inline constexpr int kDownloadAckBytes = frames::kDownloadAckLength;
inline constexpr int kUploadRowBytes = frames::kUploadRowLength;

struct OutgoingFrame {
  enum class Kind {
    DownloadRow,         // 15 bytes: 0xD0, row, the row's 12 bytes, 0x55
    ProtocolAndRunMode,  // 12 bytes: the command frame 0xF6 with the option byte
    UploadRequest,       // 6 bytes: 0xA2, row, row, 0xAA, 0xFE, 0xFF; only while connected
  };
  Kind kind;
  Frame frame;
};

// What became of a transfer with one event.
enum class TransferNews : std::uint8_t {
  None,
  Started,      // running: its start button off until it closes
  Succeeded,    // every row confirmed (a download) or received (an upload, with its image)
  Failed,       // no answer for 10 ticks, or a budget spent: it closes 5 ticks later
  Incomplete,   // an upload's last row came before rows ahead of it
  Closed,       // over, after success or failure: the start button is on again
  Interrupted,  // the connection ended under it
};

// What one event makes a transfer do, in the order a caller carries it out:
// input, the row that came, frames, the reply length awaited, progress, news, tick, image.
struct TransferAction {
  bool dropInput = false;                   // drop what has come so far, answering nothing
  std::optional<UploadRow> arrived;         // an upload row the controller sent, to be shown
  std::vector<OutgoingFrame> frames;        // each written as one write, in this order
  std::optional<int> threshold;             // the reply length awaited after the frames
  std::optional<std::uint8_t> progressRow;  // the row the transfer has reached
  TransferNews news = TransferNews::None;
  bool startTimer = false;  // the direction's 200 ms tick, (re)started from now
  bool stopTimer = false;
  // The upload is complete: this replaces the image.
  std::optional<ConfigImage> image;
};

// What both directions keep of the transfer under way.
struct TransferCourse {
  bool running = false;
  std::int16_t tick = 0;
  bool done = false;
  int frames = kTransferFrameBudget;  // of this direction since its start; none before one
  TransferClock::time_point started{};
  TransferEnd end = TransferEnd::None;
  // The answer the pending frame went out for, as its bytes; empty after a start.
  std::vector<std::uint8_t> followed;
};

// The image to the controller. `now` is when the event happened.
class Download {
 public:
  // Row 0, then at once the protocol and run-mode frame with `optionByte` (see
  // protocolAndRunModeArgument).
  TransferAction start(const ConfigImage& image, std::uint8_t optionByte,
                       TransferClock::time_point now);
  // The controller wants row `nextRow` next; 19 or more after row 18: every row is stored. Also
  // followed with no download running, within the frames and time of the latest one, but
  // without a tick, news or a success.
  TransferAction acknowledged(std::uint8_t nextRow, const ConfigImage& image,
                              TransferClock::time_point now);
  TransferAction tick(const ConfigImage& image, TransferClock::time_point now);
  // The connection is gone: no more frames, no more ticks; Interrupted, which is a failure
  // unless done(), for the reason `why` (None: the user ended the connection).
  TransferAction stop(TransferEnd why = TransferEnd::None);
  // A download that has succeeded closes now rather than five ticks on (it is read back).
  TransferAction closeNow();

  [[nodiscard]] bool running() const { return c_.running; }
  [[nodiscard]] std::int16_t ticks() const { return c_.tick; }  // DownTick
  [[nodiscard]] bool done() const { return c_.done; }           // DownDone
  [[nodiscard]] std::uint8_t pendingRow() const { return row_; }
  [[nodiscard]] int framesSent() const { return c_.frames; }
  [[nodiscard]] TransferEnd failure() const { return c_.end; }
  [[nodiscard]] const TransferCourse& course() const { return c_; }

 private:
  void sendRow(TransferAction& a, std::uint8_t row, const ConfigImage& image);

  TransferCourse c_;
  std::uint8_t row_ = 0;
};

// The controller's image into a staging image of its own, which becomes the tool's image only
// when every row of this upload has arrived.
class Upload {
 public:
  TransferAction start(TransferClock::time_point now);
  // Row `row` with its 12 bytes. A row the image does not have (above 18) is dropped: no
  // history line, no request, the count goes on. A row that comes when no upload takes rows
  // (none running, done, or given up), or again right after it was taken, is only shown in the
  // history: every row that comes has its line, and each request goes out once.
  TransferAction rowReceived(std::uint8_t row, const Row& data, TransferClock::time_point now);
  TransferAction tick(TransferClock::time_point now);
  TransferAction stop(TransferEnd why = TransferEnd::None);

  [[nodiscard]] bool running() const { return c_.running; }
  [[nodiscard]] std::int16_t ticks() const { return c_.tick; }      // UpTick
  [[nodiscard]] bool done() const { return c_.done; }               // UpDone
  [[nodiscard]] std::uint8_t requestedRow() const { return row_; }  // UpRow
  [[nodiscard]] int framesSent() const { return c_.frames; }
  [[nodiscard]] TransferEnd failure() const { return c_.end; }
  // The rows this upload has received so far, and their bytes.
  [[nodiscard]] const std::bitset<kRows>& received() const { return received_; }
  [[nodiscard]] const ConfigImage& staged() const { return staged_; }
  [[nodiscard]] const TransferCourse& course() const { return c_; }

 private:
  void request(TransferAction& a, std::uint8_t row);

  TransferCourse c_;
  std::uint8_t row_ = 0;
  std::bitset<kRows> received_;
  ConfigImage staged_;
};

}  // namespace qz

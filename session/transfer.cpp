#include "session/transfer.h"

#include <algorithm>

#include "config/frames.h"

namespace qz {

namespace {

// A pending frame goes out again on the ticks before this one.
constexpr int kRepeatBefore = kTransferRepeats + 1;
constexpr int kFailTick = 10;
constexpr int kCloseTick = 15;
constexpr int kSuccessCloseTick = 5;
constexpr int kLastRow = kRows - 1;

void close(TransferAction& a) {
  a.news = TransferNews::Closed;
  a.stopTimer = true;
}

// A transfer starts: its tick counting from 0, no frame sent yet and no answer followed.
void begin(TransferAction& a, TransferCourse& c, TransferClock::time_point now) {
  a.news = TransferNews::Started;
  a.startTimer = true;
  c = TransferCourse{};
  c.frames = 0;
  c.started = now;
  c.running = true;
}

// Whether answers still move the transfer on.
bool live(const TransferCourse& c) {
  return c.running && !c.done && c.end == TransferEnd::None;
}

// Why the transfer may send no more frames; None while it may.
TransferEnd spent(const TransferCourse& c, TransferClock::time_point now) {
  if (c.frames >= kTransferFrameBudget) return TransferEnd::FrameBudget;
  if (now - c.started >= kTransferTimeBudget) return TransferEnd::TimeBudget;
  return TransferEnd::None;
}

// The transfer gives up: it fails at once, and it closes five ticks later, as after the
// failure of a silent one. Answers move it no more.
void giveUp(TransferAction& a, TransferCourse& c, TransferEnd why) {
  c.end = why;
  c.tick = std::max<std::int16_t>(c.tick, kFailTick);
  a.news = TransferNews::Failed;
}

// One tick of a running transfer in either direction: failing, closing after silence or after
// success. True when the pending frame goes out again.
bool countTick(TransferAction& a, TransferCourse& c, TransferClock::time_point now) {
  ++c.tick;
  if (c.done) {
    if (c.tick >= kSuccessCloseTick) {
      close(a);
      c.running = false;
    }
    return false;
  }
  if (c.end == TransferEnd::None && c.tick < kCloseTick) {
    if (const TransferEnd why = spent(c, now);
        why == TransferEnd::TimeBudget || (why != TransferEnd::None && c.tick < kRepeatBefore)) {
      giveUp(a, c, why);
      return false;
    }
  }
  if (c.tick == kFailTick) {
    a.news = TransferNews::Failed;
  } else if (c.tick >= kCloseTick) {
    close(a);
    c.running = false;
    if (c.end == TransferEnd::None) c.end = TransferEnd::Silence;
  }
  return c.end == TransferEnd::None && c.tick < kRepeatBefore;
}

// The connection went: the tick stops.
TransferAction stopped(TransferCourse& c, TransferEnd why) {
  TransferAction a;
  if (!c.running) return a;
  c.running = false;
  if (!c.done && why != TransferEnd::None) c.end = why;
  a.stopTimer = true;
  a.news = TransferNews::Interrupted;
  return a;
}

}  // namespace

// ---- Download ----

void Download::sendRow(TransferAction& a, std::uint8_t row, const ConfigImage& image) {
  row_ = row;
  ++c_.frames;
  a.frames.push_back({OutgoingFrame::Kind::DownloadRow, downloadRowFrame(image, row)});
  a.threshold = kDownloadAckBytes;
  a.progressRow = row;
}

TransferAction Download::start(const ConfigImage& image, std::uint8_t optionByte,
                               TransferClock::time_point now) {
  TransferAction a;
  begin(a, c_, now);
  sendRow(a, 0, image);
  // The options travel with every download, right behind the first row.
  a.frames.push_back(
      {OutgoingFrame::Kind::ProtocolAndRunMode, protocolAndRunModeFrame(optionByte)});
  return a;
}

TransferAction Download::acknowledged(std::uint8_t nextRow, const ConfigImage& image,
                                      TransferClock::time_point now) {
  TransferAction a;
  // The controller has the rows up to the one just sent: it names the next one, or one it
  // wants again; after the last row, any number past it. Any other row byte is a garbled
  // answer.
  const bool allStored = row_ == kLastRow && nextRow >= kRows;
  if (nextRow > row_ + 1 && !allStored) return a;
  const bool moving = live(c_);
  if (allStored) {
    if (!moving) return a;
    c_.tick = 0;
    a.startTimer = true;
    a.news = TransferNews::Succeeded;
    c_.done = true;
    return a;
  }
  const std::vector<std::uint8_t> answer = {nextRow};
  if (nextRow == row_ && c_.followed == answer) return a;  // its row has just gone out
  if (c_.running && !moving) return a;                     // succeeded, or gave up
  if (const TransferEnd why = spent(c_, now); why != TransferEnd::None) {
    if (moving) giveUp(a, c_, why);
    return a;
  }
  // The count starts again from this answer; with no download running there is none to run.
  c_.tick = 0;
  a.startTimer = moving;
  c_.followed = answer;
  sendRow(a, nextRow, image);
  return a;
}

TransferAction Download::tick(const ConfigImage& image, TransferClock::time_point now) {
  TransferAction a;
  if (!c_.running) return a;
  if (countTick(a, c_, now)) {
    // Answers that come close together can be read one and a half at a time; the half left
    // waiting would shift every later acknowledgement by its length. The repeated row's answer
    // finds nothing before it. A late answer after the repeats is left alone.
    a.dropInput = true;
    sendRow(a, row_, image);
  }
  return a;
}

TransferAction Download::stop(TransferEnd why) {
  return stopped(c_, why);
}

TransferAction Download::closeNow() {
  TransferAction a;
  if (!c_.running || !c_.done) return a;
  close(a);
  c_.running = false;
  return a;
}

// ---- Upload ----

void Upload::request(TransferAction& a, std::uint8_t row) {
  row_ = row;
  ++c_.frames;
  a.frames.push_back({OutgoingFrame::Kind::UploadRequest, uploadRequestFrame(row)});
  a.threshold = kUploadRowBytes;
}

TransferAction Upload::start(TransferClock::time_point now) {
  TransferAction a;
  // A new upload owes nothing to rows an earlier one received.
  received_.reset();
  staged_ = ConfigImage{};
  begin(a, c_, now);
  request(a, 0);
  a.progressRow = 0;
  return a;
}

TransferAction Upload::rowReceived(std::uint8_t row, const Row& data,
                                   TransferClock::time_point now) {
  TransferAction a;
  if (row > kLastRow) return a;  // no such row: nothing to store, show or ask for
  std::vector<std::uint8_t> answer = {row};
  answer.insert(answer.end(), data.begin(), data.end());
  a.arrived = UploadRow{row, data};
  // The same row again, whose successor's request has just gone out: shown, already stored.
  if (live(c_) && row_ == row + 1 && c_.followed == answer) return a;
  // The upload it belonged to has closed, failed or done: the line came and is shown, but it
  // neither asks for more nor turns a failed upload into an image.
  if (!live(c_)) return a;
  if (const TransferEnd why = spent(c_, now); why != TransferEnd::None) {
    giveUp(a, c_, why);
    return a;
  }
  c_.tick = 0;
  a.startTimer = true;
  c_.followed = std::move(answer);
  staged_.rows[row] = data;
  received_.set(row);
  // After the last row this asks for row 19, which the image does not have; the controller
  // answers it with nothing.
  request(a, static_cast<std::uint8_t>(row + 1));
  a.progressRow = row;
  if (row == kLastRow) {
    if (received_.all()) {
      a.news = TransferNews::Succeeded;
      c_.done = true;
      c_.tick = 0;
      a.image = staged_;
    } else {
      // A last row that overtook earlier ones is no image: the editor keeps its own and the
      // user is told. The tick runs on to the failure, unless the missing rows come.
      a.news = TransferNews::Incomplete;
    }
  }
  return a;
}

TransferAction Upload::tick(TransferClock::time_point now) {
  TransferAction a;
  if (!c_.running) return a;
  // A reply that came only partly is of no use to the next request.
  a.dropInput = !c_.done;
  if (countTick(a, c_, now)) request(a, row_);
  return a;
}

TransferAction Upload::stop(TransferEnd why) {
  return stopped(c_, why);
}

}  // namespace qz

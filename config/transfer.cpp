#include "config/transfer.h"

#include <cstdio>

#include "config/frames.h"
#include "link/hex_text.h"

namespace qz {

namespace {

// A pending frame goes out again on the ticks before this one.
constexpr int kRepeatBefore = 5;
constexpr int kFailTick = 10;
constexpr int kCloseTick = 15;
constexpr int kSuccessCloseTick = 5;
constexpr int kLastRow = kRows - 1;

// n / d rounded to the nearest whole number, a half to the even one; n, d >= 0, d > 0.
int roundHalfEven(long long n, long long d) {
  const long long q = n / d;
  const long long twice = 2 * (n % d);
  if (twice > d || (twice == d && q % 2 != 0)) return static_cast<int>(q + 1);
  return static_cast<int>(q);
}

template <std::size_t N>
std::vector<std::uint8_t> bytesOf(const std::array<std::uint8_t, N>& a) {
  return {a.begin(), a.end()};
}

void close(TransferAction& a) {
  a.hideProgress = true;
  a.hidePanel = true;
  a.enableButton = true;
  a.stopTimer = true;
}

// A transfer starts: its panel and text, its button off, its tick counting from 0.
void begin(TransferAction& a, std::string_view text, bool& running, std::int16_t& tick,
           bool& done) {
  a.showPanel = true;
  a.status = std::string(text);
  a.disableButton = true;
  a.startTimer = true;
  done = false;
  tick = 0;
  running = true;
}

// One tick of a running transfer in either direction: the failure text, closing after silence
// or after success. True when the pending frame goes out again.
bool countTick(TransferAction& a, std::int16_t& tick, bool done, bool& running,
               std::string_view failedText) {
  ++tick;
  if (done) {
    if (tick >= kSuccessCloseTick) {
      close(a);
      running = false;
    }
    return false;
  }
  if (tick == kFailTick) {
    a.showPanel = true;
    a.status = std::string(failedText);
  } else if (tick >= kCloseTick) {
    close(a);
    running = false;
  }
  return tick < kRepeatBefore;
}

// The connection went: the tick stops, and a transfer that had not succeeded says it failed.
TransferAction stopped(bool& running, bool done, std::string_view failedText) {
  TransferAction a;
  if (!running) return a;
  running = false;
  a.stopTimer = true;
  a.hideProgress = true;
  if (!done) {
    a.showPanel = true;
    a.status = std::string(failedText);
  }
  return a;
}

}  // namespace

int progressPercent(int row) {
  if (row <= 0) return 0;
  return roundHalfEven(static_cast<long long>(row) * 555, 100);
}

int progressFillWidth(int row, int outline) {
  if (row <= 0 || outline <= 0) return 0;
  return roundHalfEven(static_cast<long long>(row) * outline, kLastRow);
}

std::string historyHexLine(const Row& row) {
  std::string line;
  line.reserve(row.size() * 3);
  for (const std::uint8_t b : row) {
    char hex[3];
    std::snprintf(hex, sizeof hex, "%X", b);
    std::string digits = hex;
    line += PadZeros(digits, 2);
    line += ' ';
  }
  return line;
}

// ---- Download ----

void Download::sendRow(TransferAction& a, std::uint8_t row, const ConfigImage& image) {
  row_ = row;
  a.frames.push_back({OutgoingFrame::Kind::DownloadRow, bytesOf(downloadRowFrame(image, row))});
  a.threshold = kDownloadAckBytes;
  a.progressRow = row;
}

TransferAction Download::start(const ConfigImage& image, std::uint8_t optionByte) {
  TransferAction a;
  sendRow(a, 0, image);
  // The options travel with every download, right behind the first row.
  a.frames.push_back(
      {OutgoingFrame::Kind::ProtocolAndRunMode, bytesOf(protocolAndRunModeFrame(optionByte))});
  begin(a, kDownloadingText, running_, tick_, done_);
  return a;
}

TransferAction Download::acknowledged(std::uint8_t nextRow, const ConfigImage& image) {
  TransferAction a;
  tick_ = 0;
  // The count starts again from this answer; with no download running there is none to run.
  a.startTimer = running_;
  if (nextRow >= kRows) {
    a.status = std::string(kDownloadedText);
    done_ = true;
  } else {
    sendRow(a, nextRow, image);
  }
  return a;
}

TransferAction Download::tick(const ConfigImage& image) {
  TransferAction a;
  if (!running_) return a;
  if (countTick(a, tick_, done_, running_, kDownloadFailedText)) {
    // Answers that come close together can be read one and a half at a time; the half left
    // waiting would shift every later acknowledgement by its length. The repeated row's answer
    // finds nothing before it. A late answer after the repeats is left alone.
    a.dropInput = true;
    sendRow(a, row_, image);
  }
  return a;
}

TransferAction Download::stop() {
  return stopped(running_, done_, kDownloadFailedText);
}

// ---- Upload ----

void Upload::request(TransferAction& a, std::uint8_t row) {
  row_ = row;
  a.frames.push_back({OutgoingFrame::Kind::UploadRequest, bytesOf(uploadRequestFrame(row))});
  a.threshold = kUploadRowBytes;
}

TransferAction Upload::start() {
  TransferAction a;
  // A new upload owes nothing to rows an earlier one received.
  received_.reset();
  staged_ = ConfigImage{};
  request(a, 0);
  a.progressRow = 0;
  begin(a, kUploadingText, running_, tick_, done_);
  return a;
}

TransferAction Upload::rowReceived(std::uint8_t row, const Row& data) {
  TransferAction a;
  if (row > kLastRow) return a;  // no such row: nothing to store, show or ask for
  if (!running_) {
    // The upload it belonged to has closed, failed or done: the line came and is shown, but
    // it neither asks for more nor turns a failed upload into an image.
    a.historyHeader = row == 0;
    a.historyRow = historyHexLine(data);
    return a;
  }
  row_ = static_cast<std::uint8_t>(row + 1);
  tick_ = 0;
  a.startTimer = true;
  a.historyHeader = row == 0;
  staged_.rows[row] = data;
  received_.set(row);
  a.historyRow = historyHexLine(data);
  // After the last row this asks for row 19, which the image does not have; the controller
  // answers it with nothing.
  request(a, static_cast<std::uint8_t>(row + 1));
  a.progressRow = row;
  if (row == kLastRow) {
    if (received_.all()) {
      a.status = std::string(kUploadedText);
      done_ = true;
      tick_ = 0;
      a.image = staged_;
    } else {
      // A last row that overtook earlier ones is no image: the editor keeps its own and the
      // user is told. The tick runs on to the failure text, unless the missing rows come.
      a.status = std::string(kUploadIncompleteText);
    }
  }
  return a;
}

TransferAction Upload::tick() {
  TransferAction a;
  if (!running_) return a;
  // A reply that came only partly is of no use to the next request.
  a.dropInput = !done_;
  if (countTick(a, tick_, done_, running_, kUploadFailedText)) request(a, row_);
  return a;
}

TransferAction Upload::stop() {
  return stopped(running_, done_, kUploadFailedText);
}

}  // namespace qz

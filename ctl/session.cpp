#include "ctl/session.h"

#include <QString>
#include <cstdio>

#include "config/frames.h"
#include "config/param_file.h"
#include "config/param_file_io.h"
#include "config/settings.h"
#include "config/transfer.h"
#include "ctl/port_words.h"
#include "link/hex_text.h"
#include "protocol/connection.h"
#include "protocol/frames.h"
#include "protocol/replies.h"

namespace qz::ctl {

namespace {

constexpr int kTickMs = 200;
constexpr int kVersionDelayMs = 500;
constexpr int kVersionWaitMs = 200;
// The service commands have no time-out of their own in the window; here a silent controller
// gets as long as a transfer gives a row.
constexpr int kServiceGiveUpTick = 15;

}  // namespace

struct Session::TransferState {
  Download download;
  Upload upload;
  bool uploading = false;
  bool failedTextShown = false;
};

Session::Session(std::string port, std::string device, const Job& job) : job_(job) {
  result_.port = std::move(port);
  result_.device = std::move(device);
  port_.setDevicePath(result_.device);
  port_.onComm = [this] { onComm(); };
  for (QTimer* t : {&ticker_, &versionDelay_, &versionWait_}) t->setTimerType(Qt::PreciseTimer);
  ticker_.setInterval(kTickMs);
  versionDelay_.setInterval(kVersionDelayMs);
  versionDelay_.setSingleShot(true);
  versionWait_.setInterval(kVersionWaitMs);
  versionWait_.setSingleShot(true);
  QObject::connect(&ticker_, &QTimer::timeout, [this] { tick(); });
  QObject::connect(&versionDelay_, &QTimer::timeout, [this] {
    // The controller has settled: ask for its firmware version.
    phase_ = Phase::Version;
    versionBytes_.clear();
    ask(port_, frames::kVersionQuery, frames::kVersionTextLength);
    versionWait_.start();
    progressChanged();
  });
  QObject::connect(&versionWait_, &QTimer::timeout, [this] { versionDone(); });
}

Session::~Session() {
  port_.onComm = nullptr;
  if (port_.isOpen()) port_.close();
}

void Session::start(bool quietNoAnswer) {
  quietNoAnswer_ = quietNoAnswer;
  if (!port_.setSettings(std::to_string(job_.baud) + ",N,8,1") || !port_.open()) {
    const PortError e = port_.lastError();
    if (quietNoAnswer_) result_.noController = true;
    finish(kPortFailed, portWords(e, port_.lastErrorText()).sentence);
    return;
  }
  port_.discardInput();
  phase_ = Phase::Handshake;
  tick_ = 0;
  // The handshakes begin once every port of the command is open, so that opening many ports
  // does not stagger their schedules.
  QTimer::singleShot(0, &ticker_, [this] {
    if (!finished_) ticker_.start();
  });
  progressChanged();
}

void Session::interrupt() {
  if (finished_) return;
  // The goodbye goes out even to a controller that has not answered yet.
  linked_ = true;
  finish(kNoAnswer, "stopped by the user; the port is closed");
}

void Session::send(std::span<const std::uint8_t> bytes) {
  port_.write(bytes);
}

void Session::sendText(std::string_view hex) {
  HexTextToBytes(port_, hex);
}

void Session::progressChanged() {
  if (onProgress) onProgress();
}

std::string Session::progress() const {
  switch (phase_) {
    case Phase::Idle:
      return "opening";
    case Phase::Handshake:
      return "handshake " + std::to_string(std::min(tick_, kHandshakeAttempts)) + "/" +
             std::to_string(kHandshakeAttempts);
    case Phase::Settling:
    case Phase::VersionDelay:
    case Phase::Version:
      return "connected, " + modelText(result_.model);
    case Phase::Service:
      return "waiting for the controller's answer";
    case Phase::Download:
    case Phase::Verify:
    case Phase::Upload: {
      const char* what = phase_ == Phase::Download ? "download "
                         : phase_ == Phase::Verify ? "verify "
                                                   : "upload ";
      const int row = std::max(progressRow_, 0);
      return what + std::to_string(progressPercent(row)) + "% (row " + std::to_string(row) + ")";
    }
    case Phase::Done:
      return "done";
  }
  return {};
}

void Session::tick() {
  ++tick_;
  switch (phase_) {
    case Phase::Handshake:
      switch (connectStep(tick_, false)) {
        case ConnectStep::SendHandshake:
          sendHandshake(port_);
          progressChanged();
          break;
        case ConnectStep::ShowFailure:
          if (quietNoAnswer_) result_.noController = true;
          finish(kNoAnswer,
                 "no controller answered " + std::to_string(kHandshakeAttempts) + " handshakes");
          break;
        default:
          break;
      }
      break;
    case Phase::Settling:
      if (connectStep(tick_, true) == ConnectStep::StartVersion) {
        ticker_.stop();
        phase_ = Phase::VersionDelay;
        versionDelay_.start();
      }
      break;
    case Phase::Service:
      if (tick_ >= kServiceGiveUpTick) finish(kNoAnswer, "the controller did not answer");
      break;
    case Phase::Download:
    case Phase::Verify:
    case Phase::Upload:
      transferTick();
      break;
    default:
      break;
  }
}

void Session::onComm() {
  if (finished_) return;
  const CommEvent event = port_.commEvent();
  if (event == CommEvent::Lost) {
    port_.close();
    const bool moving =
        phase_ == Phase::Download || phase_ == Phase::Verify || phase_ == Phase::Upload;
    finish(kNoAnswer, moving ? "the port went away in the middle of the transfer "
                               "(adapter unplugged or line cut); the transfer did not finish"
                             : "the port went away (adapter unplugged or line cut)");
    return;
  }
  if (event != CommEvent::Receive) return;
  const std::vector<std::uint8_t> rx = port_.readAll();
  if (rx.empty()) return;
  // Dropped before an answer sends the next frame, whose reply may come at once.
  port_.discardInput();
  if (phase_ == Phase::Version) {
    versionBytes_.append(rx.begin(), rx.end());
    // Everything the window would show has come; no need to sit out the rest of its wait.
    if (versionBytes_.size() >= static_cast<std::size_t>(frames::kVersionTextLength)) {
      versionWait_.stop();
      versionDone();
    }
    return;
  }
  const Reply reply = recogniseReply(rx);
  if (const auto* h = std::get_if<HandshakeReply>(&reply)) {
    result_.model = h->model;
    if (phase_ == Phase::Handshake) connected();
  } else if (const auto* ack = std::get_if<DownloadAck>(&reply)) {
    downloadAck(ack->nextRow);
  } else if (const auto* row = std::get_if<UploadRow>(&reply)) {
    uploadRow(row->row, row->data);
  } else if (const auto* service = std::get_if<ServiceReply>(&reply)) {
    if (phase_ == Phase::Service) {
      const ServiceAnswer answer = serviceAnswer(serviceRequest_, service->result);
      result_.serviceCode = service->result;
      const std::string said =
          std::string(answer.message.text) + " (" + std::string(answer.message.title) + ")";
      if (!answer.ownCode) {
        char code[4];
        std::snprintf(code, sizeof code, "%02X", service->result);
        finish(kNoAnswer, std::string("refused with code ") + code +
                              ", which does not answer this command: " + said);
      } else {
        finish(answer.message.severity == Severity::Failure ? kNoAnswer : kDone, said);
      }
      return;
    }
  }
}

void Session::connected() {
  linked_ = true;
  phase_ = Phase::Settling;
  tick_ = 0;
  progressChanged();
}

void Session::versionDone() {
  if (phase_ != Phase::Version) return;
  result_.firmware = printableVersion(
      {reinterpret_cast<const std::uint8_t*>(versionBytes_.data()), versionBytes_.size()});
  runJob();
}

void Session::runJob() {
  switch (job_.command) {
    case Command::Info:
      finish(kDone, modelText(result_.model) + ", firmware \"" + result_.firmware + "\"");
      return;
    case Command::SetProtocol:
    case Command::SetRunMode: {
      phase_ = Phase::Service;
      tick_ = 0;
      std::string_view frame = frames::kProtocol1200;
      serviceRequest_ = 0x01;
      if (job_.command == Command::SetProtocol) {
        if (job_.protocol == ProtocolChoice::New19200) {
          frame = frames::kProtocol19200;
          serviceRequest_ = 0x02;
        }
        if (job_.protocol == ProtocolChoice::Cancel) {
          frame = frames::kProtocolCancel;
          serviceRequest_ = 0xFF;
        }
      } else {
        const bool overlay = job_.runMode == RunModeChoice::Overlay;
        frame = overlay ? frames::kRunModeOverlay : frames::kRunModeSwitch;
        serviceRequest_ = overlay ? 0x20 : 0x10;
      }
      ask(port_, frame, frames::kServiceReplyLength);
      ticker_.start();
      progressChanged();
      return;
    }
    case Command::Download:
      if (job_.model >= 0 && job_.model != result_.model && !job_.force) {
        finish(kDifferent, "refused: the file is for " + modelText(job_.model) +
                               " but the controller is " + modelText(result_.model) +
                               " (it would read the scene bytes with another split); "
                               "--force downloads it anyway");
        return;
      }
      startDownload();
      return;
    case Command::Upload:
      startUpload(Phase::Upload);
      return;
    case Command::Compare:
      startUpload(Phase::Upload);
      return;
    default:
      finish(kUsage, "nothing to do");
      return;
  }
}

void Session::finish(int code, std::string text) {
  if (finished_) return;
  finished_ = true;
  ticker_.stop();
  versionDelay_.stop();
  versionWait_.stop();
  // Said goodbye to, as the window's exit button does.
  if (linked_ && port_.isOpen() && phase_ != Phase::Done) sendText(frames::kDisconnect);
  phase_ = Phase::Done;
  if (port_.isOpen()) port_.close();
  result_.code = code;
  result_.text = std::move(text);
  progressChanged();
  if (onFinished) onFinished();
}

// --- transfers: the shared core decides, the session carries out -------------------------

void Session::startDownload() {
  transfer_ = std::make_unique<TransferState>();
  phase_ = Phase::Download;
  progressRow_ = 0;
  progressChanged();
  // The window's default options go with the image: "1200旧协议" and "场景切换模式".
  const TransferAction a = transfer_->download.start(
      job_.image, protocolAndRunModeArgument(true, true), TransferClock::now());
  carryOut(a);
}

void Session::startUpload(Phase purpose) {
  if (!transfer_) transfer_ = std::make_unique<TransferState>();
  transfer_->upload = Upload{};
  transfer_->uploading = true;
  phase_ = purpose;
  progressRow_ = 0;
  progressChanged();
  carryOut(transfer_->upload.start(TransferClock::now()));
}

void Session::carryOut(const TransferAction& a) {
  if (a.dropInput) (void)port_.readAll();
  for (const OutgoingFrame& f : a.frames) send(f.bytes);
  if (a.threshold) port_.setReceiveThreshold(*a.threshold);
  if (a.startTimer) ticker_.start();
  if (a.progressRow && static_cast<int>(*a.progressRow) != progressRow_) {
    progressRow_ = *a.progressRow;
    progressChanged();
  }
  if (a.status && (*a.status == kDownloadFailedText || *a.status == kUploadFailedText)) {
    transfer_->failedTextShown = true;
  }
  if (a.status && *a.status == kUploadIncompleteText) {
    finish(kNoAnswer,
           "the controller sent its last row before the rows ahead of it; "
           "the upload is incomplete");
    return;
  }
  if (a.image) {
    uploadComplete(*a.image);
    return;
  }
  if (a.stopTimer) {
    const bool isDownload = phase_ == Phase::Download;
    const bool done = isDownload ? transfer_->download.done() : transfer_->upload.done();
    if (!done) {
      const int row =
          isDownload ? transfer_->download.pendingRow() : transfer_->upload.requestedRow();
      const char* what = phase_ == Phase::Download ? "download"
                         : phase_ == Phase::Verify ? "verification read"
                                                   : "upload";
      const TransferEnd why =
          isDownload ? transfer_->download.failure() : transfer_->upload.failure();
      std::string reason = "no answer for row " + std::to_string(row) + " after 4 repeats";
      if (why == TransferEnd::FrameBudget) {
        reason = "stopped at row " + std::to_string(row) + " after " +
                 std::to_string(kTransferFrameBudget) +
                 " frames: the controller's answers did not move it on";
      } else if (why == TransferEnd::TimeBudget) {
        reason = "stopped at row " + std::to_string(row) + ": not finished within " +
                 std::to_string(kTransferTimeBudget.count()) + " s";
      }
      finish(kNoAnswer, std::string(what) + " failed: " + reason);
    }
  }
}

void Session::transferTick() {
  if (phase_ == Phase::Download) {
    carryOut(transfer_->download.tick(job_.image, TransferClock::now()));
  } else {
    carryOut(transfer_->upload.tick(TransferClock::now()));
  }
}

void Session::downloadAck(std::uint8_t next) {
  if (phase_ != Phase::Download || !transfer_) return;
  carryOut(transfer_->download.acknowledged(next, job_.image, TransferClock::now()));
  // Every row is stored: read the image back at once to see that it arrived whole.
  if (!finished_ && transfer_->download.done()) startUpload(Phase::Verify);
}

void Session::uploadRow(std::uint8_t row, const Row& data) {
  if ((phase_ != Phase::Upload && phase_ != Phase::Verify) || !transfer_) return;
  carryOut(transfer_->upload.rowReceived(row, data, TransferClock::now()));
}

void Session::uploadComplete(const ConfigImage& image) {
  result_.image = image;
  if (phase_ == Phase::Verify) {
    result_.differences = differences(image, job_.image);
    if (result_.differences.empty()) {
      finish(kDone, "downloaded " + job_.file + " and read it back: all " +
                        std::to_string(kRows * kRowBytes) + " bytes arrived");
    } else {
      finish(kDifferent, "verification failed: the controller holds " +
                             std::to_string(result_.differences.size()) + " byte(s) other than " +
                             job_.file);
    }
    return;
  }
  if (job_.command == Command::Compare) {
    // A row the file lacks has no bytes to compare with.
    result_.differences = differences(image, job_.image, job_.rows);
    const bool modelDiffers = job_.model >= 0 && job_.model != result_.model;
    if (result_.differences.empty() && !modelDiffers) {
      finish(kDone, "same as " + job_.file);
    } else {
      std::string text =
          std::to_string(result_.differences.size()) + " byte(s) differ from " + job_.file;
      if (modelDiffers) {
        text += "; the file is for " + modelText(job_.model) + ", the controller is " +
                modelText(result_.model);
      }
      finish(kDifferent, text);
    }
    return;
  }
  // Upload: the file is replaced whole or not at all.
  const std::vector<std::uint8_t> bytes = writeParamFile(result_.model, image);
  const FileProblem problem = saveParamFileBytes(QString::fromStdString(job_.file), bytes);
  if (problem.kind != FileProblem::Kind::None) {
    finish(kFileFailed,
           "uploaded, but cannot write " + job_.file + ": " + problem.reason.toStdString());
    return;
  }
  finish(kDone, "uploaded " + modelText(result_.model) + " image to " + job_.file);
}

}  // namespace qz::ctl

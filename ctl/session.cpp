#include "ctl/session.h"

#include <QString>
#include <cstdio>

#include "config/frames.h"
#include "config/param_file.h"
#include "config/param_file_io.h"
#include "config/settings.h"
#include "ctl/file_bytes.h"
#include "ctl/port_words.h"
#include "protocol/frames.h"
#include "protocol/replies.h"
#include "session/transfer.h"

namespace qz::ctl {

namespace {

// The service commands have no time-out of their own in the window; here a silent controller
// gets as long as a transfer gives a row.
constexpr int kServiceGiveUpTick = 15;

// Nobody reads the version on a screen: its wait ends once the whole text has come. A download
// is always read back and compared.
qz::Session::Options options(const Job& job) {
  return {.serviceGiveUpTick = kServiceGiveUpTick,
          .baud = job.baud,
          .versionEndsWhenWhole = true,
          .readBack = true};
}

}  // namespace

Session::Session(std::string port, std::string device, const Job& job)
    : job_(job), ownPort_(std::make_unique<QtSerialPort>()), port_(*ownPort_), core_(options(job)) {
  ownPort_->setDevicePath(device);
  result_.port = std::move(port);
  result_.device = std::move(device);
  wire();
}

Session::Session(std::string port, SerialPort& line, const Job& job)
    : job_(job), port_(line), core_(options(job)) {
  result_.port = std::move(port);
  wire();
}

void Session::wire() {
  port_.onComm = [this] {
    if (!finished_) driver_.portNotified();
  };
  driver_.onEvent = [this](const SessionEvent& e) { happened(e); };
}

Session::~Session() {
  port_.onComm = nullptr;
  if (port_.isOpen()) port_.close();
}

void Session::start(bool quietNoAnswer, TransferClock::time_point from) {
  quietNoAnswer_ = quietNoAnswer;
  if (!port_.open(LineSettings{.baud = job_.baud})) {
    const PortError e = port_.lastError();
    if (quietNoAnswer_) result_.noController = true;
    finish(kPortFailed, portWords(e, port_.lastErrorText()).sentence);
    return;
  }
  opened_ = true;
  driver_.run([this, from] { core_.connect(from); });
  progressChanged();
}

void Session::interrupt() {
  if (finished_) return;
  // The goodbye goes out even to a controller that has not answered yet.
  interrupted_ = true;
  finish(kNoAnswer, "stopped by the user; the port is closed");
}

void Session::progressChanged() {
  if (onProgress) onProgress();
}

std::string Session::progress() const {
  if (finished_) return "done";
  if (!opened_) return "opening";
  if (!core_.connected()) {
    return "handshake " + std::to_string(std::min<int>(core_.linkTick(), kHandshakeAttempts)) +
           "/" + std::to_string(kHandshakeAttempts);
  }
  switch (doing_) {
    case Doing::Nothing:
      return "connected, " + modelText(result_.model);
    case Doing::Service:
      return "waiting for the controller's answer";
    case Doing::Download:
    case Doing::Verify:
    case Doing::Upload:
      break;
  }
  const char* what = doing_ == Doing::Download ? "download "
                     : doing_ == Doing::Verify ? "verify "
                                               : "upload ";
  const int row = std::max(progressRow_, 0);
  return what + std::to_string(row * 100 / (kRows - 1)) + "% (row " + std::to_string(row) + ")";
}

void Session::portLost() {
  const bool moving =
      doing_ == Doing::Download || doing_ == Doing::Verify || doing_ == Doing::Upload;
  finish(kNoAnswer, moving ? "the port went away in the middle of the transfer "
                             "(adapter unplugged or line cut); the transfer did not finish"
                           : "the port went away (adapter unplugged or line cut)");
}

void Session::happened(const SessionEvent& e) {
  if (finished_) return;
  if (std::holds_alternative<event::HandshakeSent>(e) || std::holds_alternative<event::Linked>(e)) {
    progressChanged();
  } else if (const auto* a = std::get_if<event::ControllerAnswered>(&e)) {
    result_.model = a->model;
    progressChanged();
  } else if (std::holds_alternative<event::AttemptFailed>(e)) {
    if (quietNoAnswer_) result_.noController = true;
    finish(kNoAnswer,
           "no controller answered " + std::to_string(kHandshakeAttempts) + " handshakes");
  } else if (const auto* v = std::get_if<event::VersionKnown>(&e)) {
    result_.firmware = printableVersion(v->text);
    runJob();
  } else if (const auto* s = std::get_if<event::ServiceAnswered>(&e)) {
    serviceAnswered(*s);
  } else if (std::holds_alternative<event::ServiceUnanswered>(e)) {
    finish(kNoAnswer, "the controller did not answer");
  } else if (const auto* p = std::get_if<event::Progress>(&e)) {
    if (p->row != progressRow_) {
      progressRow_ = p->row;
      progressChanged();
    }
  } else if (const auto* t = std::get_if<event::Transfer>(&e)) {
    transferNews(*t);
  } else if (const auto* u = std::get_if<event::Uploaded>(&e)) {
    uploadComplete(u->image);
  } else if (const auto* back = std::get_if<event::ReadBack>(&e)) {
    readBack(back->image);
  } else if (std::holds_alternative<event::PortLost>(e)) {
    portLost();
  } else if (const auto* r = std::get_if<event::TransferRefused>(&e); r && r->otherModel) {
    finish(kOtherModel, "refused: the file is for " + modelText(job_.model) +
                            " but the controller is " + modelText(result_.model) +
                            " (it would read the scene bytes with another split); "
                            "--force downloads it anyway");
  }
}

void Session::serviceAnswered(const event::ServiceAnswered& s) {
  result_.serviceCode = s.result;
  char code[4];
  std::snprintf(code, sizeof code, "%02X", s.result);
  if (!s.answer) {
    finish(kNoAnswer, std::string("answered with code ") + code + ", which no command has");
    return;
  }
  const ServiceAnswer& answer = *s.answer;
  const std::string said =
      std::string(answer.message.text) + " (" + std::string(answer.message.title) + ")";
  if (!answer.ownCode) {
    finish(kNoAnswer, std::string("refused with code ") + code +
                          ", which does not answer this command: " + said);
  } else {
    finish(answer.message.severity == Severity::Failure ? kNoAnswer : kDone, said);
  }
}

void Session::runJob() {
  switch (job_.command) {
    case Command::Info:
      finish(kDone, modelText(result_.model) + ", firmware \"" + result_.firmware + "\"");
      return;
    case Command::SetProtocol:
    case Command::SetRunMode: {
      doing_ = Doing::Service;
      ServiceCommand command = ServiceCommand::Protocol1200;
      if (job_.command == Command::SetProtocol) {
        if (job_.protocol == ProtocolChoice::New19200) command = ServiceCommand::Protocol19200;
        if (job_.protocol == ProtocolChoice::Cancel) command = ServiceCommand::ProtocolCancel;
      } else {
        command = job_.runMode == RunModeChoice::Overlay ? ServiceCommand::RunModeOverlay
                                                         : ServiceCommand::RunModeSwitch;
      }
      progressChanged();
      driver_.run([this, command] { core_.service(command); });
      return;
    }
    case Command::Download: {
      doing_ = Doing::Download;
      progressRow_ = 0;
      progressChanged();
      // The window's default options go with the image: "1200旧协议" and "场景切换模式".
      std::optional<std::uint8_t> model;
      if (job_.model >= 0 && !job_.force) model = static_cast<std::uint8_t>(job_.model);
      driver_.run([this, model] {
        core_.download(job_.image, protocolAndRunModeArgument(true, true), model);
      });
      return;
    }
    case Command::Upload:
    case Command::Compare:
      doing_ = Doing::Upload;
      progressRow_ = 0;
      progressChanged();
      driver_.run([this] { core_.upload(); });
      return;
    default:
      finish(kUsage, "nothing to do");
      return;
  }
}

void Session::finish(int code, std::string text) {
  if (finished_) return;
  finished_ = true;
  // Said goodbye to, as the window's exit button does.
  driver_.run(
      [this] { core_.disconnect(interrupted_ ? DisconnectBy::Interrupt : DisconnectBy::Exit); });
  if (port_.isOpen()) port_.close();
  result_.code = code;
  result_.text = std::move(text);
  progressChanged();
  if (onFinished) onFinished();
}

void Session::transferNews(const event::Transfer& t) {
  if (t.news == TransferNews::Incomplete) {
    finish(kNoAnswer,
           "the controller sent its last row before the rows ahead of it; "
           "the upload is incomplete");
  } else if (t.news == TransferNews::Started && t.readBack && t.direction == Direction::Upload) {
    // Every row is stored: the image is read back to see that it arrived whole.
    doing_ = Doing::Verify;
    progressRow_ = 0;
    progressChanged();
  } else if (t.news == TransferNews::Closed && !t.done) {
    const int row = t.row;
    const char* what = doing_ == Doing::Download ? "download"
                       : doing_ == Doing::Verify ? "verification read"
                                                 : "upload";
    std::string reason = "no answer for row " + std::to_string(row) + " after " +
                         std::to_string(kTransferRepeats) + " repeats";
    if (t.why == TransferEnd::FrameBudget) {
      reason = "stopped at row " + std::to_string(row) + " after " +
               std::to_string(kTransferFrameBudget) +
               " frames: the controller's answers did not move it on";
    } else if (t.why == TransferEnd::TimeBudget) {
      reason = "stopped at row " + std::to_string(row) + ": not finished within " +
               std::to_string(kTransferTimeBudget.count()) + " s";
    }
    finish(kNoAnswer, std::string(what) + " failed: " + reason);
  }
}

void Session::readBack(const ConfigImage& image) {
  result_.image = image;
  result_.differences = differences(image, job_.image);
  if (result_.differences.empty()) {
    finish(kDone, "downloaded " + job_.file + " and read it back: all " +
                      std::to_string(kRows * kRowBytes) + " bytes arrived");
  } else {
    finish(kDifferent, "verification failed: the controller holds " +
                           std::to_string(result_.differences.size()) + " byte(s) other than " +
                           job_.file);
  }
}

void Session::uploadComplete(const ConfigImage& image) {
  result_.image = image;
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
  const Saved saved = saveUpload(job_.file, bytes, job_.force,
                                 "uploaded " + modelText(result_.model) + " image to " + job_.file);
  finish(saved.code, saved.text);
}

}  // namespace qz::ctl

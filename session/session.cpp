#include "session/session.h"

#include <algorithm>

#include "protocol/frames.h"
#include "protocol/replies.h"

namespace qz {

namespace {

Tick tickOf(Direction d) {
  return d == Direction::Download ? Tick::Download : Tick::Upload;
}

// The argument each service command carries, and its frame.
struct ServiceFrame {
  std::uint8_t argument;
  std::string_view hex;
};
ServiceFrame serviceFrame(ServiceCommand c) {
  switch (c) {
    case ServiceCommand::Protocol1200:
      return {0x01, frames::kProtocol1200};
    case ServiceCommand::Protocol19200:
      return {0x02, frames::kProtocol19200};
    case ServiceCommand::ProtocolCancel:
      return {0xFF, frames::kProtocolCancel};
    case ServiceCommand::RunModeSwitch:
      return {0x10, frames::kRunModeSwitch};
    case ServiceCommand::RunModeOverlay:
      break;
  }
  return {0x20, frames::kRunModeOverlay};
}

// Previews of one kind replace each other: a scene preview any other, a channel test the one of
// its channel.
bool sameKind(const Frame& a, const Frame& b) {
  const auto x = a.bytes();
  const auto y = b.bytes();
  if (x.size() != y.size() || x.empty()) return false;
  return x[0] == y[0] && (x.size() == frames::kRowFrameLength || x[1] == y[1]);
}

}  // namespace

TransferClock::duration quietGap(int baud) {
  // Ten bits a character.
  const auto perCharacter = std::chrono::microseconds(10'000'000 / std::max(baud, 1));
  return kQuietCharacters * perCharacter;
}

void AnswerTimer::sample(TransferClock::duration time) {
  if (!shortest_ || time < *shortest_) shortest_ = time;
  if (!smoothed_) {
    smoothed_ = time;
    variation_ = time / 2;
    return;
  }
  const auto difference = time > *smoothed_ ? time - *smoothed_ : *smoothed_ - time;
  variation_ = (3 * variation_ + difference) / 4;
  smoothed_ = (7 * *smoothed_ + time) / 8;
}

TransferClock::duration AnswerTimer::interval() const {
  if (!smoothed_) return kShortest;
  return std::clamp<TransferClock::duration>(*smoothed_ + 4 * variation_, kShortest, kLongest);
}

std::optional<Transmit> Session::pollTransmit() {
  if (transmits_.empty()) return std::nullopt;
  const Transmit t = transmits_.front();
  transmits_.pop_front();
  if (t.kind == Transmit::Kind::Close) closing_ = false;
  return t;
}

std::optional<SessionEvent> Session::pollEvent() {
  if (events_.empty()) return std::nullopt;
  SessionEvent e = std::move(events_.front());
  events_.pop_front();
  return e;
}

void Session::write(const Frame& f) {
  if (closing_) return;
  if (written_.size() >= 4) written_.erase(written_.begin());
  written_.push_back(f);
  transmits_.push_back({Transmit::Kind::Write, f});
}

void Session::closePort() {
  open_ = false;
  closing_ = true;
  transmits_.push_back({Transmit::Kind::Close});
}

void Session::expect(int replyLength) {
  awaiting_ = std::max(replyLength, 0);
}

// What came so far answers nothing asked from here on.
void Session::clearInput() {
  rx_.clear();
  quietDue_.reset();
  misframed_ = false;
}

void Session::startTick(Tick t) {
  due_[static_cast<int>(t)] = now_ + interval(t);
}

void Session::stopTick(Tick t) {
  due_[static_cast<int>(t)].reset();
}

// A command whose reply the tool waits for: the session waits for the reply's length, drops
// whatever came before (part of an earlier reply or a noise byte would shift this reply and
// every later one), and the frame goes out.
void Session::ask(std::string_view hexFrame, int replyLength) {
  expect(replyLength);
  clearInput();
  write(Frame::fromHex(hexFrame));
}

void Session::connect(TransferClock::time_point now) {
  now_ = now;
  open_ = true;
  linkTick_ = 0;
  startTick(Tick::Link);
  tell(event::Connecting{});
}

TransferClock::duration Session::interval(Tick t) const {
  if (t == Tick::Download || t == Tick::Upload) return answers_.interval();
  return std::chrono::milliseconds(tickInterval(t));
}

void Session::timeout(TransferClock::time_point now) {
  // A reply whose quiet has come is taken before a tick repeats its request.
  if (quietDue_ && *quietDue_ <= now) {
    now_ = now;
    take();
  }
  for (int i = 0; i < kTickKinds; ++i) {
    if (due_[i] && *due_[i] <= now) tick(static_cast<Tick>(i), now);
  }
}

std::optional<TransferClock::time_point> Session::nextDeadline() const {
  std::optional<TransferClock::time_point> next = quietDue_;
  for (const auto& due : due_) {
    if (due && (!next || *due < *next)) next = due;
  }
  return next;
}

void Session::tick(Tick which, TransferClock::time_point now) {
  now_ = now;
  auto& due = due_[static_cast<int>(which)];
  const auto before = due;
  step(which, now);
  // A tick that runs on, and was not started again by its own step, is due one interval on,
  // as a repeating timer's next tick; a step late by more than that counts from now.
  if (due && due == before) {
    const auto every = interval(which);
    *due += every;
    if (*due <= now) due = now + every;
  }
}

void Session::step(Tick which, TransferClock::time_point now) {
  switch (which) {
    case Tick::Link:
      ++linkTick_;
      switch (connectStep(linkTick_, connected_, options_.handshakes)) {
        case ConnectStep::SendHandshake:
          ask(frames::kHandshake, frames::kHandshakeReplyLength);
          tell(event::HandshakeSent{linkTick_});
          break;
        case ConnectStep::ShowFailure:
          closePort();
          tell(event::AttemptFailed{});
          break;
        case ConnectStep::Reset:
          linkTick_ = 0;
          stopTick(Tick::Link);
          tell(event::AttemptOver{});
          break;
        case ConnectStep::ShowConnected:
          tell(event::Linked{});
          break;
        case ConnectStep::StartVersion:
          startTick(Tick::VersionQuery);
          stopTick(Tick::Link);
          tell(event::TransfersOpen{});
          break;
        case ConnectStep::Nothing:
          break;
      }
      return;
    case Tick::VersionQuery:
      version_.clear();
      versionMode_ = true;
      ask(frames::kVersionQuery, frames::kVersionTextLength);
      startTick(Tick::VersionShown);
      stopTick(Tick::VersionQuery);
      tell(event::VersionAsked{});
      return;
    case Tick::VersionShown:
      versionMode_ = false;
      stopTick(Tick::VersionShown);
      tell(event::VersionKnown{version_});
      return;
    case Tick::Download:
      carryOut(Direction::Download, download_.tick(image_, now), true);
      return;
    case Tick::Upload:
      carryOut(Direction::Upload, upload_.tick(now), true);
      return;
    case Tick::Service:
      if (serviceAsked_ && ++serviceTick_ < options_.serviceGiveUpTick) return;
      stopTick(Tick::Service);
      if (!serviceAsked_) return;
      serviceAsked_.reset();
      tell(event::ServiceUnanswered{});
      return;
  }
}

void Session::received(std::span<const std::uint8_t> bytes, TransferClock::time_point now) {
  now_ = now;
  if (bytes.empty()) return;
  // The spacing of the chunks a reply comes in: an adapter that hands bytes on after its
  // latency timer leaves that much between the parts of one reply.
  if (!rx_.empty() && awaiting_ > 0 && rx_.size() < static_cast<std::size_t>(awaiting_)) {
    replySpacing_ = std::max(replySpacing_, now - lastBytes_);
  }
  // The version text is collected for its own tick, whatever parts it comes in.
  const bool whole = !misframed_ && !quietDue_ && (rx_.empty() || versionMode_) &&
                     rx_.size() + bytes.size() == static_cast<std::size_t>(awaiting_);
  if (rx_.empty()) replySpacing_ = {};
  lastBytes_ = now;
  rx_.insert(rx_.end(), bytes.begin(), bytes.end());
  // The whole echo of a command the port let through goes before anything counts: the version
  // text and a service answer are what the controller sent behind it.
  // Bytes that are so far only the start of such an echo wait for the rest.
  for (const Frame& f : written_) {
    const auto b = f.bytes();
    if (b.size() != frames::kCommandLength) continue;
    const std::size_t n = std::min(b.size(), rx_.size());
    if (!std::equal(b.begin(), b.begin() + static_cast<std::ptrdiff_t>(n), rx_.begin())) continue;
    if (n < b.size()) return;
    rx_.erase(rx_.begin(), rx_.begin() + static_cast<std::ptrdiff_t>(n));
    break;
  }
  // The version text has no framing of its own: once its length has come, every byte that
  // comes during its wait is part of it, however many and in whatever parts.
  if (versionMode_) {
    if (version_.empty() && rx_.size() < static_cast<std::size_t>(awaiting_)) return;
    collectVersion();
    return;
  }
  // The adapter handed over exactly one reply at once, with nothing ahead of it: it is taken
  // now. A reply that came in parts waits for the quiet behind it.
  if (whole) {
    take();
    return;
  }
  if (!misframed_ && (awaiting_ == 0 || rx_.size() < static_cast<std::size_t>(awaiting_))) return;
  // A handshake reply is fixed at both ends and needs no quiet behind it: a controller that
  // says more after it still connects.
  if (!misframed_ && !versionMode_ &&
      std::holds_alternative<HandshakeReply>(
          recogniseReply(std::span(rx_).first(static_cast<std::size_t>(awaiting_))))) {
    rx_.resize(static_cast<std::size_t>(awaiting_));
    take();
    return;
  }
  if (misframed_ || rx_.size() > static_cast<std::size_t>(awaiting_)) {
    // More than one reply's length before the line went quiet: no reply of the controller's
    // but one run into noise or an echo. Everything goes until the line is quiet again, and
    // the request goes out again as for no answer.
    rx_.clear();
    misframed_ = true;
  }
  quietDue_ = now + quiet();
}

TransferClock::duration Session::quiet() const {
  return std::clamp<TransferClock::duration>(
      std::max(quietGap(options_.baud), chunkSpacing_ + quietGap(options_.baud) / 2),
      quietGap(options_.baud), kLongestQuiet);
}

void Session::collectVersion() {
  version_.insert(version_.end(), rx_.begin(), rx_.end());
  rx_.clear();
  quietDue_.reset();
  misframed_ = false;
  written_.clear();
  // A front end that does not sit out the whole wait still takes what follows within the quiet.
  auto& shown = due_[static_cast<int>(Tick::VersionShown)];
  if (options_.versionEndsWhenWhole && shown && *shown > now_ + quiet()) shown = now_ + quiet();
}

void Session::take() {
  quietDue_.reset();
  std::vector<std::uint8_t> taken;
  taken.swap(rx_);
  if (misframed_ || awaiting_ == 0 || taken.size() != static_cast<std::size_t>(awaiting_)) {
    misframed_ = false;
    return;
  }
  chunkSpacing_ = std::min<TransferClock::duration>(replySpacing_, kLongestQuiet);
  // Nothing else came with it (that would have misframed it): the reply of a controller that
  // answers the next frame at once starts afresh.
  const bool echo = isEcho(taken);
  written_.clear();
  if (echo) return;
  dispatch(taken);
}

// The start of a frame the tool wrote is its echo, never an answer (a service command's first
// eight bytes have the shape of a success).
bool Session::isEcho(const std::vector<std::uint8_t>& taken) const {
  return std::any_of(written_.begin(), written_.end(), [&](const Frame& f) {
    const auto b = f.bytes();
    return b.size() >= taken.size() && std::equal(taken.begin(), taken.end(), b.begin());
  });
}

void Session::answered() {
  // Only an answer that surely answers the first sending measures the controller: after a
  // repeat, one that came sooner than any answer has is the first sending's.
  const auto shortest = answers_.shortest();
  if (!repeated_ || !shortest || now_ - repeatedAt_ < *shortest) answers_.sample(now_ - sentAt_);
}

void Session::dispatch(const std::vector<std::uint8_t>& taken) {
  if (versionMode_) {
    version_.insert(version_.end(), taken.begin(), taken.end());
    return;
  }
  const Reply reply = recogniseReply(taken);
  if (const auto* h = std::get_if<HandshakeReply>(&reply)) {
    if (handshakeReplyCounts(connected_, linkTick_)) handshakeReply(h->model);
  } else if (const auto* ack = std::get_if<DownloadAck>(&reply)) {
    const TransferAction a = download_.acknowledged(ack->nextRow, image_, now_);
    if (a.startTimer) answered();
    carryOut(Direction::Download, a);
  } else if (const auto* row = std::get_if<UploadRow>(&reply)) {
    // While an upload asks, a row is its answer only when it is the row asked for (or the one
    // before, again).
    const std::uint8_t asked = upload_.requestedRow();
    const bool asking =
        upload_.running() && !upload_.done() && upload_.failure() == TransferEnd::None;
    if (asking && row->row != asked && row->row + 1 != asked) return;
    const TransferAction a = upload_.rowReceived(row->row, row->data, now_);
    if (a.startTimer) answered();
    carryOut(Direction::Upload, a);
  } else if (const auto* service = std::get_if<ServiceReply>(&reply)) {
    // The command sent is answered once.
    if (!serviceAsked_) return;
    const std::uint8_t request = *serviceAsked_;
    serviceAsked_.reset();
    if (ticking(Tick::Service)) stopTick(Tick::Service);
    tell(event::ServiceAnswered{request, service->result, serviceAnswer(request, service->result)});
  }
}

void Session::handshakeReply(std::uint8_t model) {
  // `first`: the front end takes this model as the connection's, not as an edit to preview.
  tell(event::ControllerAnswered{model, !connected_});
  connected_ = true;
  linkTick_ = 0;
  model_ = model;
}

void Session::service(ServiceCommand command, TransferClock::time_point now) {
  now_ = now;
  // The wait is for the answer's length, also when nothing may go out.
  expect(frames::kServiceReplyLength);
  if (!connected_) {
    tell(event::ServiceRefused{});
    return;
  }
  const ServiceFrame f = serviceFrame(command);
  serviceAsked_ = f.argument;
  ask(f.hex, frames::kServiceReplyLength);
  if (options_.serviceGiveUpTick > 0) {
    serviceTick_ = 0;
    startTick(Tick::Service);
  }
}

bool Session::transferring() const {
  return (download_.running() && !download_.done()) || (upload_.running() && !upload_.done());
}

bool Session::mayStart(Direction d) const {
  const bool down = d == Direction::Download;
  const TransferCourse& own = down ? download_.course() : upload_.course();
  const TransferCourse& other = down ? upload_.course() : download_.course();
  return !own.running && !(other.running && !other.done);
}

void Session::download(const ConfigImage& image, std::uint8_t optionByte,
                       std::optional<std::uint8_t> imageModel, TransferClock::time_point now) {
  now_ = now;
  // An image made for another model would be read with another split of switch and dimming
  // channels.
  const bool otherModel = connected_ && imageModel && *imageModel != model_;
  if (otherModel || !mayStart(Direction::Download)) {
    tell(event::TransferRefused{Direction::Download, otherModel, model_, imageModel.value_or(0)});
    return;
  }
  image_ = image;
  downloadReadBack_ = options_.readBack;
  // The first row's answer must come alone.
  clearInput();
  carryOut(Direction::Download, download_.start(image_, optionByte, now));
}

void Session::upload(TransferClock::time_point now) {
  now_ = now;
  if (!mayStart(Direction::Upload)) {
    tell(event::TransferRefused{Direction::Upload, false, model_, 0});
    return;
  }
  readingBack_ = false;
  clearInput();
  carryOut(Direction::Upload, upload_.start(now));
}

void Session::preview(const Frame& frame) {
  if (!connected_ || frame.empty()) return;
  if (!transferring()) {
    write(frame);
    return;
  }
  const auto held = std::find_if(heldPreviews_.begin(), heldPreviews_.end(),
                                 [&](const Frame& f) { return sameKind(f, frame); });
  if (held != heldPreviews_.end()) {
    *held = frame;
  } else {
    heldPreviews_.push_back(frame);
  }
}

void Session::flushPreviews() {
  if (heldPreviews_.empty() || transferring()) return;
  std::vector<Frame> held;
  held.swap(heldPreviews_);
  if (!connected_) return;
  for (const Frame& f : held) write(f);
}

void Session::carryOut(Direction d, const TransferAction& a, bool repeat) {
  if (a.dropInput) clearInput();
  if (!a.frames.empty()) {
    (repeat ? repeatedAt_ : sentAt_) = now_;
    repeated_ = repeat;
  }
  for (const OutgoingFrame& f : a.frames) {
    // Upload requests are live commands: they go out only while connected.
    if (f.kind == OutgoingFrame::Kind::UploadRequest && !connected_) continue;
    write(f.frame);
  }
  if (a.threshold) expect(*a.threshold);
  if (a.startTimer) startTick(tickOf(d));
  if (a.stopTimer) stopTick(tickOf(d));
  if (a.arrived) tell(event::RowArrived{a.arrived->row, a.arrived->data});
  if (a.progressRow) tell(event::Progress{d, *a.progressRow});
  if (a.news != TransferNews::None) {
    const bool down = d == Direction::Download;
    tell(event::Transfer{d, a.news, down ? download_.done() : upload_.done(),
                         down ? download_.pendingRow() : upload_.requestedRow(),
                         down ? download_.failure() : upload_.failure(),
                         down ? downloadReadBack_ : readingBack_});
  }
  if (a.image) {
    if (readingBack_) {
      event::ReadBack r{*a.image, {}};
      for (std::uint8_t row = 0; row < kRows; ++row) {
        if (a.image->rows[row] != image_.rows[row]) r.rows.push_back(row);
      }
      tell(std::move(r));
    } else {
      tell(event::Uploaded{*a.image});
    }
  }
  // A download read back closes as soon as it has succeeded, and the upload that reads it back
  // follows at once, as if pressed then.
  const bool readBack =
      d == Direction::Download && download_.done() && downloadReadBack_ && connected_;
  if (readBack && a.news == TransferNews::Succeeded) {
    carryOut(Direction::Download, download_.closeNow());
    return;
  }
  // What the editor showed meanwhile goes out once the transfer is over.
  flushPreviews();
  if (readBack && a.news == TransferNews::Closed) {
    downloadReadBack_ = false;
    readingBack_ = true;
    clearInput();
    carryOut(Direction::Upload, upload_.start(now_));
  }
}

void Session::stopTransfers(TransferEnd why) {
  heldPreviews_.clear();
  carryOut(Direction::Download, download_.stop(why));
  carryOut(Direction::Upload, upload_.stop(why));
}

void Session::disconnect(DisconnectBy by) {
  stopTransfers();
  serviceAsked_.reset();
  const bool speak = by == DisconnectBy::Interrupt ? open_ : connected_;
  connected_ = false;
  // Nothing of the conversation goes on after it: nothing is due any more.
  versionMode_ = false;
  clearInput();
  for (const Tick t : {Tick::Link, Tick::VersionQuery, Tick::VersionShown, Tick::Service}) {
    stopTick(t);
  }
  if (!speak) return;
  for (int i = 0; i < disconnectFrames(by); ++i) {
    write(Frame::fromHex(frames::kDisconnect));
  }
  closePort();
  tell(event::Disconnected{by});
}

void Session::portLost() {
  // Whatever was under way ends here: no timer goes on writing into a dead port.
  const bool linked = wasLinked(connected_, ticking(Tick::Link), ticking(Tick::VersionQuery),
                                ticking(Tick::VersionShown));
  closePort();
  for (const Tick t : {Tick::Link, Tick::VersionQuery, Tick::VersionShown, Tick::Upload,
                       Tick::Download, Tick::Service}) {
    stopTick(t);
  }
  connected_ = false;
  versionMode_ = false;
  serviceAsked_.reset();
  linkTick_ = 0;
  // Bytes that came before are nobody's answer now: their quiet must not connect a dead port.
  clearInput();
  tell(event::PortLost{linked});
  // A transfer under way says that it failed, and why.
  stopTransfers(TransferEnd::PortLost);
}

}  // namespace qz

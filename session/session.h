#pragma once
// One conversation with one controller, without I/O: connecting (30 handshakes, settling, the
// version query), the service commands, download and upload, and saying goodbye. The window
// and the terminal tool drive it with what happens (a press, the bytes of a receive
// notification, a tick of one of its timers, the port going away); it answers through its
// front end, in order, with what to do to the port and the timers and with what happened, in
// no language. Each front end puts the events into its own words.
//
// The front end is called back inside each call, so an event sees the session as it is at
// that step: a handshake reply reports the model while the session is not yet connected, as a
// preview that the model change sends must not go out for the first reply. Within a step, what
// it does to the port and the timers comes before what happened, so a front end that answers
// an event with a call of its own (qzctl ending the session) finds nothing of that step still
// to come.

#include <chrono>
#include <cstdint>
#include <optional>
#include <variant>
#include <vector>

#include "config/image.h"
#include "link/serial_port.h"
#include "protocol/frame.h"
#include "protocol/replies.h"
#include "session/connection.h"
#include "session/transfer.h"

namespace qz {

// The timers of a conversation; the front end keeps one of each, of the precise kind.
enum class Tick : std::uint8_t {
  Link,          // 200 ms: handshakes, then settling
  VersionQuery,  // 500 ms after settling: the version query
  VersionShown,  // 200 ms later: the version text as collected
  Download,      // 200 ms: the download's time-out
  Upload,        // 200 ms: the upload's time-out
  Service,       // 200 ms: the wait for a service answer, where the front end wants one
};
inline constexpr int kTickKinds = 6;
[[nodiscard]] constexpr int tickInterval(Tick t) {
  return t == Tick::VersionQuery ? 500 : 200;
}

// A reply is the controller's only when the bytes that came form exactly one reply and the
// line then stays quiet for a few character times: bytes beyond its length within that gap
// (noise before or inside it, an echo run into it) make it misframed, and it is dropped whole,
// as if it had not come. An adapter that hands bytes on in chunks stretches the gap to the
// spacing of its chunks, up to kLongestQuiet. Exactly one reply handed over at once, with
// nothing ahead of it, is taken without the wait; so is a handshake reply, fixed at both ends.
inline constexpr int kQuietCharacters = 4;
inline constexpr std::chrono::milliseconds kLongestQuiet{40};
[[nodiscard]] TransferClock::duration quietGap(int baud);

// The transfer's repeat interval follows the answer time measured on this connection, as TCP's
// retransmission timer does: smoothed answer time plus four times its variation, never below
// the 200 ms tick, and at most a second.
class AnswerTimer {
 public:
  static constexpr std::chrono::milliseconds kShortest{200};
  static constexpr std::chrono::milliseconds kLongest{1000};
  // An answer came `time` after the frame it answers went out.
  void sample(TransferClock::duration time);
  [[nodiscard]] TransferClock::duration interval() const;
  // The shortest answer time seen; none before a sample.
  [[nodiscard]] std::optional<TransferClock::duration> shortest() const { return shortest_; }

 private:
  std::optional<TransferClock::duration> smoothed_, shortest_;
  TransferClock::duration variation_{};
};

// Something to do to the port or a timer.
struct PortOp {
  enum class Kind {
    Write,         // `frame` as one write
    Threshold,     // the session now waits for replies of `bytes` (nothing for the port to do)
    DiscardInput,  // drop what waits, before a request whose answer must come alone
    TakeInput,     // read what waits and drop it undispatched (a reply that came only partly)
    ClosePort,
    StartTick,  // `tick` (re)starts from now
    StopTick,
    Deadline,  // the session's next deadline moved without a tick (a reply waits for quiet)
  };
  Kind kind;
  Frame frame{};
  int bytes = 0;
  Tick tick = Tick::Link;
};

// Does to the port what `op` asks, and keeps what TakeInput read in `taken` when given; false
// for an operation on a timer, which the front end does itself.
bool doOnPort(SerialPort& port, const PortOp& op, std::vector<std::uint8_t>* taken = nullptr);
class Session;
// A receive notification, for both front ends: everything waiting goes to the session, which
// takes a reply once its length has come. False when nothing waited.
bool receiveWaiting(SerialPort& port, Session& session);
// Before a timeout: bytes that have reached the port go to the session first. On a busy machine a
// due timer runs in the same turn as the port's read, before the receive notification it queued,
// and would end a wait whose answer is already here.
void receiveBeforeTimeout(SerialPort& port, Session& session);

enum class Direction : std::uint8_t { Download, Upload };
enum class ServiceCommand : std::uint8_t {
  Protocol1200,
  Protocol19200,
  ProtocolCancel,
  RunModeSwitch,
  RunModeOverlay
};

namespace event {
struct Connecting {};  // an attempt began: the port is open
struct HandshakeSent {
  int attempt;  // 1..30
};
// A handshake reply counted: the model is the controller's. `first`: this attempt's first.
struct ControllerAnswered {
  std::uint8_t model;
  bool first;
};
struct Linked {};         // the first settling tick: connected
struct TransfersOpen {};  // settled: transfers may start, the version query is armed
struct AttemptFailed {};  // no answer to 30 handshakes: the port is closed
struct AttemptOver {};    // five ticks later: back to idle
struct VersionAsked {};
struct VersionKnown {  // the version text as collected, possibly nothing
  std::vector<std::uint8_t> text;
};
struct ServiceRefused {};  // not connected: nothing went out
struct ServiceAnswered {
  std::uint8_t request;  // the command's argument: 01, 02, FF, 10 or 20
  std::uint8_t result;
  // What the result says to this command (its family's text, or a refusal); none for a code
  // the controller does not send.
  std::optional<ServiceAnswer> answer;
};
struct ServiceUnanswered {};  // the front end's service wait ran out
struct Progress {
  Direction direction;
  std::uint8_t row;
};
struct RowArrived {  // an upload row the controller sent, whether or not an upload takes it
  std::uint8_t row;
  Row data;
};
struct Transfer {
  Direction direction;
  TransferNews news;
  bool done;         // the transfer had succeeded (for Closed and Interrupted)
  std::uint8_t row;  // the row pending: sent last (download) or asked for last (upload)
  TransferEnd why;   // why it failed, once it has
};
struct Uploaded {
  ConfigImage image;
};
// A transfer was asked for and nothing went out: another one runs (busy), or the image is made
// for another model than the controller's (`imageModel` differs from `controller`).
struct TransferRefused {
  Direction direction;
  bool otherModel;
  std::uint8_t controller;
  std::uint8_t imageModel;
};
struct Disconnected {
  DisconnectBy by;
};
struct PortLost {
  bool wasLinked;  // a connection was held or under way
};
}  // namespace event

using SessionEvent =
    std::variant<event::Connecting, event::HandshakeSent, event::ControllerAnswered, event::Linked,
                 event::TransfersOpen, event::AttemptFailed, event::AttemptOver,
                 event::VersionAsked, event::VersionKnown, event::ServiceRefused,
                 event::ServiceAnswered, event::ServiceUnanswered, event::Progress,
                 event::RowArrived, event::Transfer, event::Uploaded, event::Disconnected,
                 event::PortLost, event::TransferRefused>;

class SessionFront {
 public:
  virtual void perform(const PortOp& op) = 0;
  virtual void happened(const SessionEvent& e) = 0;

 protected:
  virtual ~SessionFront() = default;
};

class Session {
 public:
  struct Options {
    // A service command waits this many ticks of Tick::Service for its answer; 0: for ever.
    int serviceGiveUpTick = 0;
    // The line's speed, for the quiet gap that ends a reply.
    int baud = 9600;
  };
  explicit Session(SessionFront& front) : Session(front, Options{}) {}
  Session(SessionFront& front, Options options) : front_(front), options_(options) {}
  // The line's speed, for a front end that chooses it at each connection.
  void setBaud(int baud) { options_.baud = baud; }

  // The port has been opened: the attempt begins with its first tick. Every call takes the
  // time it happens at; a tick it starts is due one interval later.
  void connect(TransferClock::time_point now = TransferClock::now());
  // Bytes that came from the controller, any number: the session keeps them until they are
  // one reply with the line quiet behind it (a reply that came whole in one call is taken at
  // once), and drops them all when more came.
  void received(std::span<const std::uint8_t> bytes,
                TransferClock::time_point now = TransferClock::now());
  // A tick of `which`, whether due or not (a front end with a timer of each kind).
  void tick(Tick which, TransferClock::time_point now = TransferClock::now());
  // The time has come: every tick due by `now` runs, in the order of Tick. A front end with one
  // timer calls this when nextDeadline() has come, and starts its timer for the next one after
  // every call.
  void timeout(TransferClock::time_point now = TransferClock::now());
  [[nodiscard]] std::optional<TransferClock::time_point> nextDeadline() const;
  void service(ServiceCommand command, TransferClock::time_point now = TransferClock::now());
  // The image as it stands now goes to the controller: the session keeps its own copy, so edits
  // made meanwhile wait for the next download. `optionByte` is the protocol and run-mode
  // argument that goes with it. An image of model `imageModel` other than the controller's is
  // refused (none given: any model goes), and so is a download or upload while one runs.
  void download(const ConfigImage& image, std::uint8_t optionByte,
                std::optional<std::uint8_t> imageModel = std::nullopt,
                TransferClock::time_point now = TransferClock::now());
  void upload(TransferClock::time_point now = TransferClock::now());
  // A live preview for the controller (a scene, a channel test): written at once while
  // connected and no transfer runs; during a transfer the latest of each kind waits and goes out
  // once when it closes; without a connection nothing goes out.
  void preview(const Frame& frame);
  void disconnect(DisconnectBy by);
  void portLost();

  [[nodiscard]] bool connected() const { return connected_; }
  [[nodiscard]] std::int16_t linkTick() const { return linkTick_; }
  [[nodiscard]] bool collectingVersion() const { return versionMode_; }
  // The length of the reply the session waits for (the port's receive threshold of old); 0
  // while it waits for none.
  [[nodiscard]] int awaiting() const { return awaiting_; }
  [[nodiscard]] const std::vector<std::uint8_t>& versionText() const { return version_; }
  // The model of the latest counted handshake reply; meaningful while connected.
  [[nodiscard]] std::uint8_t controllerModel() const { return model_; }
  [[nodiscard]] const Download& downloading() const { return download_; }
  [[nodiscard]] const Upload& uploading() const { return upload_; }
  // Whether a transfer in direction `d` may start: not while it runs itself (until it closes),
  // nor while the other one is under way (until it has succeeded or closed).
  [[nodiscard]] bool mayStart(Direction d) const;
  // The timers this session has started and not stopped.
  [[nodiscard]] bool ticking(Tick t) const { return due_[static_cast<int>(t)].has_value(); }
  // The transfer ticks' interval as measured so far.
  [[nodiscard]] TransferClock::duration repeatInterval() const { return answers_.interval(); }

 private:
  void step(Tick which, TransferClock::time_point now);
  void op(PortOp o);
  void ask(std::string_view hexFrame, int replyLength);
  void startTick(Tick t);
  void stopTick(Tick t);
  void carryOut(Direction d, const TransferAction& a, bool repeat = false);
  void stopTransfers(TransferEnd why = TransferEnd::None);
  void handshakeReply(std::uint8_t model);
  [[nodiscard]] bool transferring() const;
  void flushPreviews();
  [[nodiscard]] TransferClock::duration interval(Tick t) const;
  void take();
  void dispatch(const std::vector<std::uint8_t>& taken);
  [[nodiscard]] bool isEcho(const std::vector<std::uint8_t>& taken) const;
  void answered();

  SessionFront& front_;
  Options options_;
  bool connected_ = false;
  std::int16_t linkTick_ = 0;
  bool open_ = false;  // the port is open for this conversation
  bool versionMode_ = false;
  std::vector<std::uint8_t> version_;
  std::uint8_t model_ = 0;
  std::optional<std::uint8_t> serviceAsked_;
  int serviceTick_ = 0;
  ConfigImage image_{};              // the download's own copy
  std::vector<Frame> heldPreviews_;  // the latest of each kind, in the order first held
  Download download_;
  Upload upload_;
  // When each running tick is due next, and the time of the call under way.
  std::optional<TransferClock::time_point> due_[kTickKinds] = {};
  // What came since the last reply, and the length of the reply awaited (0: none).
  std::vector<std::uint8_t> rx_;
  int awaiting_ = 0;
  // When the latest bytes came, the widest spacing of the chunks of one reply, and when the
  // bytes that came are taken if no more come.
  TransferClock::time_point lastBytes_{};
  TransferClock::duration chunkSpacing_{}, replySpacing_{};
  bool misframed_ = false;
  std::optional<TransferClock::time_point> quietDue_;
  // The frames written since the last reply: a reply that is only the start of one is its echo.
  std::vector<Frame> written_;
  // The transfer frame pending: when it first went out, and whether it went out again since.
  AnswerTimer answers_;
  TransferClock::time_point sentAt_{}, repeatedAt_{};
  bool repeated_ = false;
  TransferClock::time_point now_{};
};

}  // namespace qz

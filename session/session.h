#pragma once
// One conversation with one controller, without I/O: connecting (30 handshakes, settling, the
// version query), the service commands, download and upload, and saying goodbye. The window
// and the terminal tool drive it with what happens (a press, the bytes of a receive
// notification, the time coming, the port going away), each call with the time it happens at.
// Nothing comes back inside a call: each call leaves what to write to the port (and whether to
// close it), its next deadline and what happened, in no language, and the caller takes them
// once the call has returned (session/port_driver.h does that for both front ends). Each front
// end puts the events into its own words.

#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>
#include <variant>
#include <vector>

#include "config/image.h"
#include "protocol/frame.h"
#include "protocol/replies.h"
#include "session/connection.h"
#include "session/transfer.h"

namespace qz {

// The timers of a conversation. The session keeps when each is due; a front end keeps one
// precise timer for the earliest of them (nextDeadline()).
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

// What goes to the port, in order: a frame as one write, or the port closed.
struct Transmit {
  enum class Kind : std::uint8_t { Write, Close };
  Kind kind;
  Frame frame{};
};

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
struct AttemptFailed {};  // no answer to its handshakes: the port is closed
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
  // A download that is read back once it has closed, or the upload that reads it back.
  bool readBack = false;
};
// The read-back of a download is complete: the controller's image, and the rows in which it
// differs from the image sent (none: the controller holds exactly what was sent).
struct ReadBack {
  ConfigImage image;
  std::vector<std::uint8_t> rows;
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
                 event::PortLost, event::TransferRefused, event::ReadBack>;

class Session {
 public:
  struct Options {
    // A service command waits this many ticks of Tick::Service for its answer; 0: for ever.
    int serviceGiveUpTick = 0;
    // The line's speed, for the quiet gap that ends a reply.
    int baud = 9600;
    // The version wait ends once the whole text has come and the line is quiet behind it,
    // instead of on its tick.
    bool versionEndsWhenWhole = false;
    // Handshakes before an attempt fails.
    int handshakes = kHandshakeAttempts;
    // A download that closed successfully is read back by an upload of the session's own, whose
    // image is only compared with the one sent (event::ReadBack), never taken as an upload's.
    bool readBack = false;
  };
  Session() : Session(Options{}) {}
  explicit Session(Options options) : options_(options) {}
  // The line's speed, for a front end that chooses it at each connection.
  void setBaud(int baud) { options_.baud = baud; }
  // Whether the next downloads are read back.
  void setReadBack(bool on) { options_.readBack = on; }

  // The port has been opened: the attempt begins with its first tick. Every call takes the
  // time it happens at; a tick it starts is due one interval later.
  void connect(TransferClock::time_point now = TransferClock::now());
  // Bytes that came from the controller, any number: the session keeps them until they are
  // one reply with the line quiet behind it (a reply that came whole in one call is taken at
  // once), and drops them all when more came.
  void received(std::span<const std::uint8_t> bytes,
                TransferClock::time_point now = TransferClock::now());
  // A tick of `which`, whether due or not (a procedure of the window run by hand).
  void tick(Tick which, TransferClock::time_point now = TransferClock::now());
  // The time has come: every tick due by `now` runs, in the order of Tick. A front end calls
  // this when nextDeadline() has come, and starts its timer for the next one after every call.
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

  // What the calls so far left, taken once each call has returned: the next thing to do to the
  // port (frames in the order they go out; a frame left after a close is dropped, as the closed
  // port would drop it), and the next event.
  std::optional<Transmit> pollTransmit();
  std::optional<SessionEvent> pollEvent();

  [[nodiscard]] bool connected() const { return connected_; }
  [[nodiscard]] std::int16_t linkTick() const { return linkTick_; }
  [[nodiscard]] bool collectingVersion() const { return versionMode_; }
  // The length of the reply the session waits for; 0
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
  void write(const Frame& f);
  void closePort();
  void expect(int replyLength);
  void clearInput();
  void tell(SessionEvent e) { events_.push_back(std::move(e)); }
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
  // The quiet that ends a reply on this line; the version text as it has come so far.
  [[nodiscard]] TransferClock::duration quiet() const;
  void collectVersion();
  void dispatch(const std::vector<std::uint8_t>& taken);
  [[nodiscard]] bool isEcho(const std::vector<std::uint8_t>& taken) const;
  void answered();

  Options options_;
  std::deque<Transmit> transmits_;
  std::deque<SessionEvent> events_;
  bool closing_ = false;  // a close waits to be taken: frames behind it are dropped
  bool connected_ = false;
  std::int16_t linkTick_ = 0;
  bool open_ = false;  // the port is open for this conversation
  bool versionMode_ = false;
  std::vector<std::uint8_t> version_;
  std::uint8_t model_ = 0;
  std::optional<std::uint8_t> serviceAsked_;
  int serviceTick_ = 0;
  ConfigImage image_{};              // the download's own copy
  bool downloadReadBack_ = false;    // the download under way is read back once it closes
  bool readingBack_ = false;         // the upload under way reads a download back
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

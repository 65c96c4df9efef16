#pragma once
// The echo of what the port sends. Many two-wire RS-485 adapters hear their own transmission:
// every byte the tool writes comes back in front of the controller's answer. The port knows
// what it has just written, so the bytes that come in its place, within their wire time and a
// margin, are that echo; they are taken out before anything counts the input.
//
// An echo is matched by position, not only byte for byte: on a real line a collision changes a
// byte of it, a burst of noise slips in before or inside it, a USB adapter hands it on up to
// some 300 ms late, and an adapter that switches its receiver late cuts it short. So the bytes
// that come after a write are the echo when they are the written bytes in their places with at
// most one byte changed or lost (frames of six bytes and more). Bytes ahead of an echo are never
// taken for noise and dropped: with a late adapter they are as likely the answer to an earlier
// frame. The time matters too: an adapter hands its echoes on about equally late, so bytes that
// come well before the echo of the frame written last could come are no part of it. Once the
// adapter is known to echo, what came as the start of an echo is never released as input, even when
// the rest does not come: half an echo must never become part of a reply. Bytes that come ahead of
// the echo (a late answer the line still carried) are input, and the echo behind them is still
// recognised. With an adapter that does not echo nothing is taken out: an answer that begins like
// the frame just written is held back until it stops matching or the echo is due. Once answers have
// come where echoes were due and none did, the adapter is taken not to echo: an echo is then only
// the written bytes unchanged, due within its margin.
//
// No clock and no port of its own: the adapter says when it wrote, what came, and when it
// looked for an echo that is due.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <vector>

namespace qz {

class EchoFilter {
 public:
  using Clock = std::chrono::steady_clock;
  // How long after its wire time an echo may still come: USB adapters hand bytes on in packets
  // up to 16 ms apart, and the event loop may be busy for a moment before it looks.
  static constexpr std::chrono::milliseconds kMargin{100};
  // How late an adapter may hand the echo on besides: some deliver 150 ms and more late, and
  // then byte by byte.
  static constexpr std::chrono::milliseconds kLate{300};
  // The shortest frame whose echo may come with a byte changed.
  static constexpr std::size_t kShortestChanged = 6;
  // How many written bytes, unchanged in their places, make an echo cut short: fewer could be
  // an answer that begins like its request ("A2 r" of an upload row).
  static constexpr std::size_t kSureEcho = 4;
  // How long a byte that would be an echo's first only with a change is held for the next one:
  // as likely it is the last byte of an answer ahead of the echo, which must not wait.
  static constexpr std::chrono::milliseconds kDoubt{40};
  // The latency from which the time an echo comes counts: below it answers come behind the
  // echo anyway. Bytes that come within half the adapter's latency after a frame was written
  // are no part of its echo; half, so that echoes a busy event loop read late do not make a
  // prompt one look too early.
  static constexpr std::chrono::milliseconds kLateLine{100};

  explicit EchoFilter(int baud = 9600) {
    setBaud(baud);
    restart();
  }
  void setBaud(int baud);

  // `bytes` were written at `now`; they go on the line behind what is still going out.
  void sent(std::span<const std::uint8_t> bytes, Clock::time_point now);
  // Bytes that came from the line at `now`, in order; those that are no echo are appended to
  // `input`. Bytes that may be the start of an echo are held back until that is decided.
  void received(std::span<const std::uint8_t> bytes, Clock::time_point now,
                std::vector<std::uint8_t>& input);
  // The same, the bytes having come just now.
  void received(std::span<const std::uint8_t> bytes, std::vector<std::uint8_t>& input) {
    received(bytes, Clock::now(), input);
  }
  // Echoes due by `now` did not come (whole): bytes held back as their start are dropped when
  // the adapter is known to echo (the echo was cut short), input otherwise. Call it only once
  // what has arrived by now has been passed to received().
  void expire(Clock::time_point now, std::vector<std::uint8_t>& input);
  // When expire() next has something to do.
  [[nodiscard]] std::optional<Clock::time_point> deadline() const;
  // The port opened or closed: nothing is on its way, and the adapter is not known yet.
  void clear();

  [[nodiscard]] std::size_t held() const { return candidate_.size(); }
  // Whether an echo has come back on this port since it opened.
  [[nodiscard]] bool echoing() const { return echoing_; }
  // Whether the adapter is taken not to echo.
  [[nodiscard]] bool quiet() const { return quiet_ && !echoing_; }

 private:
  struct Echo {
    std::vector<std::uint8_t> bytes;
    Clock::time_point wireEnd;  // when its last byte has gone out on the line
  };
  [[nodiscard]] Clock::time_point due(const Echo& e) const;
  // One way the bytes held so far line up with the echo: its next position and the bytes
  // changed.
  struct Place {
    std::size_t next = 0;
    int changed = 0;
    bool operator==(const Place&) const = default;
  };
  enum class Step { Open, Whole, Broken };
  Step take(std::uint8_t b);
  void restart();
  void feed(std::vector<std::uint8_t> bytes, Clock::time_point now,
            std::vector<std::uint8_t>& input);
  // Held bytes of which only the first, changed, or no more than the first stands in its
  // place: an answer's last byte as likely as an echo's first.
  [[nodiscard]] bool doubtful() const { return candidate_.size() == 1; }
  // The held bytes from `from` on, as input.
  void releaseFrom(std::size_t from, std::vector<std::uint8_t>& input) const;

  std::deque<Echo> expected_;
  std::vector<std::uint8_t> candidate_;  // bytes held as the start of the first echo
  std::vector<Place> places_;            // how they may line up with it
  // Held bytes that surely are echo: the written bytes unchanged, at least kSureEcho of them.
  std::size_t echoEnd_ = 0;
  Clock::time_point heldSince_{};
  // The least time an echo has come after its wire time on this port: bytes that come sooner
  // after a frame was written are no part of its echo (an answer ahead of it on a late line).
  std::optional<Clock::duration> latency_;
  int echoesTimed_ = 0;
  bool echoing_ = false;
  // Answers came while echoes were due and none of them did: this adapter does not echo, so an
  // echo is matched byte for byte and waited for no longer than its margin.
  bool quiet_ = false;
  bool inputWhileDue_ = false;
  Clock::duration byteTime_{};
  Clock::time_point lineFree_{};  // when the line has sent everything written so far
};

}  // namespace qz

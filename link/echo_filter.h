#pragma once
// The echo of what the port sends. Many two-wire RS-485 adapters hear their own transmission:
// every byte the tool writes comes back in front of the controller's answer. The port knows
// what it has just written, so those exact bytes, arriving in one run within their wire time and
// a margin, are that echo; they are taken out before anything counts the input. Bytes that come
// ahead of the echo (a late answer the line still carried) are input, and the echo behind them
// is still recognised. An answer never holds its request whole, so with an adapter that does
// not echo nothing is taken out; an answer that ends like the start of the frame just written
// waits for the rest of it until the echo is due.
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

  explicit EchoFilter(int baud = 9600) { setBaud(baud); }
  void setBaud(int baud);

  // `bytes` were written at `now`; they go on the line behind what is still going out.
  void sent(std::span<const std::uint8_t> bytes, Clock::time_point now);
  // Bytes that came from the line, in order; those that are no echo are appended to `input`.
  // Bytes that match the start of an echo are held back until the rest of it has come.
  void received(std::span<const std::uint8_t> bytes, std::vector<std::uint8_t>& input);
  // Echoes due by `now` did not come (whole): bytes held back as their start are input after
  // all. Call it only once what has arrived by now has been passed to received().
  void expire(Clock::time_point now, std::vector<std::uint8_t>& input);
  // When expire() next has something to do.
  [[nodiscard]] std::optional<Clock::time_point> deadline() const;
  // The input was discarded: the bytes held back go with it; the echo is still recognised.
  void discardHeld() { held_ = 0; }
  // The port opened or closed: nothing is on its way.
  void clear();

  [[nodiscard]] std::size_t held() const { return held_; }

 private:
  struct Echo {
    std::vector<std::uint8_t> bytes;
    Clock::time_point due;
  };
  void release(std::vector<std::uint8_t>& input);

  std::deque<Echo> expected_;
  std::size_t matched_ = 0;  // bytes of the first expected echo that have come
  std::size_t held_ = 0;     // the last of those, not yet known to be echo
  Clock::duration byteTime_{};
  Clock::time_point lineFree_{};  // when the line has sent everything written so far
};

}  // namespace qz

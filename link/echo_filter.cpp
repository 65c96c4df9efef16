#include "link/echo_filter.h"

#include <algorithm>

namespace qz {

void EchoFilter::setBaud(int baud) {
  // A start bit, 8 data bits and a stop bit.
  byteTime_ = std::chrono::nanoseconds(10'000'000'000LL / std::max(baud, 50));
}

void EchoFilter::sent(std::span<const std::uint8_t> bytes, Clock::time_point now) {
  if (bytes.empty()) return;
  lineFree_ = std::max(lineFree_, now) + byteTime_ * static_cast<long>(bytes.size());
  expected_.push_back({{bytes.begin(), bytes.end()}, lineFree_});
}

EchoFilter::Clock::time_point EchoFilter::due(const Echo& e) const {
  return e.wireEnd + kMargin + (quiet() ? Clock::duration{} : Clock::duration{kLate});
}

void EchoFilter::restart() {
  candidate_.clear();
  places_.assign(1, Place{});
  echoEnd_ = 0;
}

EchoFilter::Step EchoFilter::take(std::uint8_t b) {
  const std::vector<std::uint8_t>& echo = expected_.front().bytes;
  const std::size_t n = echo.size();
  // A changed byte is told from an answer only by the bytes around it.
  const bool mayChange = n >= kShortestChanged && !quiet();
  std::vector<Place> next;
  auto add = [&](Place p) {
    if (std::find(next.begin(), next.end(), p) == next.end()) next.push_back(p);
  };
  bool inPlace = false;
  for (const Place& p : places_) {
    if (p.next >= n) continue;
    if (b == echo[p.next]) {
      add({p.next + 1, p.changed});
      inPlace = inPlace || (p.changed == 0 && p.next + 1 >= kSureEcho);
    } else if (mayChange && p.changed == 0) {
      add({p.next + 1, 1});  // changed by a collision
      // Or lost: a collision can cost a byte, and input dropped while an echo comes in may
      // take one of its bytes with it.
      if (p.next + 1 < n && b == echo[p.next + 1]) add({p.next + 2, 1});
    }
  }
  candidate_.push_back(b);
  if (inPlace) echoEnd_ = candidate_.size();
  places_ = std::move(next);
  if (places_.empty()) return Step::Broken;
  const bool whole =
      std::any_of(places_.begin(), places_.end(), [&](const Place& p) { return p.next == n; });
  return whole ? Step::Whole : Step::Open;
}

void EchoFilter::releaseFrom(std::size_t from, std::vector<std::uint8_t>& input) const {
  for (std::size_t i = from; i < candidate_.size(); ++i) {
    input.push_back(candidate_[i]);
  }
}

void EchoFilter::feed(std::vector<std::uint8_t> bytes, Clock::time_point now,
                      std::vector<std::uint8_t>& input) {
  std::deque<std::uint8_t> todo(bytes.begin(), bytes.end());
  while (!todo.empty()) {
    const std::uint8_t b = todo.front();
    todo.pop_front();
    if (expected_.empty()) {
      input.push_back(b);
      continue;
    }
    const std::size_t before = input.size();
    if (candidate_.empty() && echoesTimed_ >= 2 && *latency_ >= kLateLine) {
      const Echo& e = expected_.front();
      const Clock::time_point earliest =
          e.wireEnd - byteTime_ * static_cast<long>(e.bytes.size() - 1) + *latency_ / 2;
      if (now < earliest) {
        input.push_back(b);
        inputWhileDue_ = true;
        continue;
      }
    }
    if (candidate_.empty()) heldSince_ = now;
    const Step step = take(b);
    if (step == Step::Open) continue;
    if (step == Step::Whole) {
      const Clock::duration late = std::max(now - expected_.front().wireEnd, Clock::duration{});
      latency_ = std::min(latency_.value_or(late), late);
      ++echoesTimed_;
      expected_.pop_front();
      echoing_ = true;
      restart();
      continue;
    }
    // The held bytes stopped lining up with the echo. Looked at again from where they may
    // belong to something else.
    std::size_t from = 1;
    if (echoing_ && echoEnd_ > 0) {
      // The echo was cut short (or ended in a changed byte): what came after its last byte in
      // place is the next thing on the line.
      from = echoEnd_;
      expected_.pop_front();
    } else if (expected_.size() > 1 && candidate_.front() != expected_[0].bytes.front() &&
               candidate_.front() == expected_[1].bytes.front()) {
      // This echo never came; the next one did.
      from = 0;
      expected_.pop_front();
    } else {
      input.push_back(candidate_.front());
    }
    inputWhileDue_ = inputWhileDue_ || input.size() > before;
    todo.insert(todo.begin(),
                candidate_.begin() + static_cast<long>(std::min(from, candidate_.size())),
                candidate_.end());
    restart();
  }
}

void EchoFilter::received(std::span<const std::uint8_t> bytes, Clock::time_point now,
                          std::vector<std::uint8_t>& input) {
  feed({bytes.begin(), bytes.end()}, now, input);
}

void EchoFilter::expire(Clock::time_point now, std::vector<std::uint8_t>& input) {
  // A byte held only as an echo's changed first byte, whose next byte did not follow: input.
  while (doubtful() && heldSince_ + kDoubt <= now) {
    input.push_back(candidate_.front());
    std::vector<std::uint8_t> rest(candidate_.begin() + 1, candidate_.end());
    restart();
    feed(std::move(rest), now, input);
  }
  while (!expected_.empty() && due(expected_.front()) <= now) {
    // Once the adapter is known to echo, a start that did not go on is an echo cut short.
    if (!echoing_ || doubtful()) releaseFrom(0, input);
    quiet_ = quiet_ || (inputWhileDue_ && !echoing_);
    inputWhileDue_ = false;
    expected_.pop_front();
    restart();
  }
}

std::optional<EchoFilter::Clock::time_point> EchoFilter::deadline() const {
  if (expected_.empty()) return std::nullopt;
  if (doubtful()) return std::min(due(expected_.front()), heldSince_ + kDoubt);
  return due(expected_.front());
}

void EchoFilter::clear() {
  expected_.clear();
  restart();
  echoing_ = false;
  latency_.reset();
  echoesTimed_ = 0;
  quiet_ = false;
  inputWhileDue_ = false;
  lineFree_ = {};
}

}  // namespace qz

#pragma once
// The connection attempt as a schedule of 200 ms ticks: what tick t must do.

#include <cstdint>
#include <span>
#include <string>

namespace qz {

inline constexpr int kHandshakeAttempts = 30;

enum class ConnectStep {
  Nothing,
  SendHandshake,  // ticks 1..30 while no reply came
  ShowFailure,    // tick 31: failure text, port closed
  Reset,          // tick 36 on: back to idle
  ShowConnected,  // tick 1 after the reply: "connected" shown
  StartVersion,   // tick 6 on after the reply: version query armed, transfers enabled
};

// t counts from 1; connected tells whether the handshake reply has arrived (which restarts
// the count). A search for controllers greets each port with fewer `attempts`.
[[nodiscard]] constexpr ConnectStep connectStep(int t, bool connected,
                                                int attempts = kHandshakeAttempts) {
  if (!connected) {
    if (t >= 1 && t <= attempts) return ConnectStep::SendHandshake;
    if (t == attempts + 1) return ConnectStep::ShowFailure;
    if (t >= attempts + 6) return ConnectStep::Reset;
    return ConnectStep::Nothing;
  }
  if (t == 1) return ConnectStep::ShowConnected;
  if (t >= 6) return ConnectStep::StartVersion;
  return ConnectStep::Nothing;
}

// Whether a handshake reply completes the connection. While no connection is held, only a
// reply that follows a handshake frame of this attempt counts: one the line held before the
// first frame went out (tick 0) answers nothing the tool asked. Once connected, a repeated
// reply is taken again.
[[nodiscard]] constexpr bool handshakeReplyCounts(bool connected, int linkTick) {
  return connected || (linkTick >= 1 && linkTick <= kHandshakeAttempts);
}

// How the user ends a connection, and how many disconnect frames go out for it: the connect
// button says it three times in a row, leaving the window once. The exit button and closing
// the window speak only to a connected controller; stopping the terminal tool speaks whenever
// the port is open, answered or not.
enum class DisconnectBy { Button, Exit, Unload, Interrupt };
[[nodiscard]] constexpr int disconnectFrames(DisconnectBy by) {
  return by == DisconnectBy::Button ? 3 : 1;
}

// Whether a connection was held or under way when the line went away, from what is running:
// the handshake ticks, the wait before the version query, the wait for the version text.
[[nodiscard]] constexpr bool wasLinked(bool connected, bool handshakeTicks, bool versionQueryArmed,
                                       bool versionTextAwaited) {
  return connected || handshakeTicks || versionQueryArmed || versionTextAwaited;
}

// The version text as collected: each byte is one character of the PC's code page, read as
// Latin-1 so that no byte can join its neighbour into one character.
[[nodiscard]] inline std::u16string versionText(std::span<const std::uint8_t> bytes) {
  return {bytes.begin(), bytes.end()};
}

}  // namespace qz

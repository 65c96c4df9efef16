#pragma once
// The connection attempt as a schedule of 200 ms ticks: what tick t must do.

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
// the count).
[[nodiscard]] constexpr ConnectStep connectStep(int t, bool connected) {
  if (!connected) {
    if (t >= 1 && t <= kHandshakeAttempts) return ConnectStep::SendHandshake;
    if (t == kHandshakeAttempts + 1) return ConnectStep::ShowFailure;
    if (t >= kHandshakeAttempts + 6) return ConnectStep::Reset;
    return ConnectStep::Nothing;
  }
  if (t == 1) return ConnectStep::ShowConnected;
  if (t >= 6) return ConnectStep::StartVersion;
  return ConnectStep::Nothing;
}

}  // namespace qz

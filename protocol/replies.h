#pragma once
// Recognising what the controller said. The protocol has no length fields and no checksums:
// a reply is known by its exact byte count and a few fixed bytes.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <variant>

namespace qz {

struct HandshakeReply {
  std::uint8_t model;  // 0..4
};
struct DownloadAck {
  std::uint8_t nextRow;  // 19 or more: every row is stored
};
struct UploadRow {
  std::uint8_t row;
  std::array<std::uint8_t, 12> data;
};
struct ServiceReply {
  std::uint8_t result;
};
using Reply = std::variant<std::monostate, HandshakeReply, DownloadAck, UploadRow, ServiceReply>;

// What a receive notification holds. A handshake reply naming no model (a model byte above 4)
// is not a reply: connecting with it would index the model tables out of range.
[[nodiscard]] Reply recogniseReply(std::span<const std::uint8_t> bytes);

// Whether the controller did what a service command asked.
enum class Severity { Information, Failure };

struct ServiceMessage {
  std::string_view title;
  std::string_view text;
  Severity severity;
};

// What the user is told about a service result code; nothing for a code the controller does not
// send.
[[nodiscard]] std::optional<ServiceMessage> serviceMessage(std::uint8_t result);

// The answer to the service command with argument `request` (01, 02, FF, 10, 20). A code of
// the command's own family (the protocol commands 01, 02, FF with 11, 12, 0F; the run modes 10,
// 20 with 90, A0) is shown as it stands, whichever command of the family it names. A code of
// the other family is a refusal: the command's failure text, with `ownCode` false so that the
// code is shown beside it. A code the controller does not send: nothing.
struct ServiceAnswer {
  ServiceMessage message;
  bool ownCode;
};
[[nodiscard]] std::optional<ServiceAnswer> serviceAnswer(std::uint8_t request, std::uint8_t result);

}  // namespace qz

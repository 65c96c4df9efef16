#include "protocol/replies.h"

#include <algorithm>

#include "protocol/frames.h"

namespace qz {

Reply recogniseReply(std::span<const std::uint8_t> b) {
  switch (b.size()) {
    case frames::kHandshakeReplyLength:
      if (b[0] == frames::kHandshakeReplyLead[0] && b[1] == frames::kHandshakeReplyLead[1] &&
          b[3] == frames::kHandshakeReplyEnd[0] && b[4] == frames::kHandshakeReplyEnd[1] &&
          b[2] < frames::kModelCount) {
        return HandshakeReply{b[2]};
      }
      break;
    case frames::kDownloadAckLength:
      if (b[0] == frames::kDownloadRowLead && b[2] == frames::kRowFrameEnd) {
        return DownloadAck{b[1]};
      }
      break;
    case frames::kUploadRowLength:
      if (b[0] == frames::kUploadRequest) {
        UploadRow row{b[1], {}};
        std::copy(b.begin() + 2, b.end(), row.data.begin());
        return row;
      }
      break;
    case frames::kServiceReplyLength:
      if (std::equal(std::begin(frames::kHead), std::end(frames::kHead), b.begin()) &&
          b[5] == frames::kCmdService) {
        return ServiceReply{b[6]};
      }
      break;
    default:
      break;
  }
  return std::monostate{};
}

std::optional<ServiceMessage> serviceMessage(std::uint8_t result) {
  constexpr std::string_view kProtocol = "接口协议配置";
  constexpr std::string_view kRunMode = "场景模式配置";
  switch (result) {
    case 0x01:
    case 0x02:
      return ServiceMessage{kProtocol, "485协议配置成功!  重启生效", Severity::Information};
    case 0xFF:
      return ServiceMessage{kProtocol, "取消485协议配置!  重启生效", Severity::Information};
    case 0x11:
    case 0x12:
      return ServiceMessage{kProtocol, "485协议配置失败!", Severity::Failure};
    case 0x0F:
      return ServiceMessage{kProtocol, "取消485协议配置失败!", Severity::Failure};
    case 0x10:
      return ServiceMessage{kRunMode, "场景切换模式配置成功!  重启生效。", Severity::Information};
    case 0x20:
      return ServiceMessage{kRunMode, "场景叠加模式配置成功!  重启生效。", Severity::Information};
    case 0x90:
      return ServiceMessage{kRunMode, "场景切换模式配置失败!", Severity::Failure};
    case 0xA0:
      return ServiceMessage{kRunMode, "场景叠加模式配置失败!", Severity::Failure};
    default:
      return std::nullopt;
  }
}

std::optional<ServiceAnswer> serviceAnswer(std::uint8_t request, std::uint8_t result) {
  const std::optional<ServiceMessage> own = serviceMessage(result);
  if (!own) return std::nullopt;
  // The failure code of each request: the protocol ones gain 0x10 (cancel: 0x0F), the run
  // modes 0x80.
  std::uint8_t failure = 0x0F;
  if (request == 0x01 || request == 0x02) failure = static_cast<std::uint8_t>(request | 0x10);
  if (request == 0x10 || request == 0x20) failure = static_cast<std::uint8_t>(request | 0x80);
  const std::optional<ServiceMessage> refused = serviceMessage(failure);
  // The family is the title the table gives the code.
  if (refused && own->title == refused->title) return ServiceAnswer{*own, true};
  return ServiceAnswer{refused.value_or(ServiceMessage{{}, {}, Severity::Failure}), false};
}

}  // namespace qz

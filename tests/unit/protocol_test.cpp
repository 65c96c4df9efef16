#include <gtest/gtest.h>

#include "protocol/replies.h"
#include "session/connection.h"

namespace qz {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(ReplyRecogniser, KnowsEachReplyByLengthAndFixedBytes) {
  const auto hs = recogniseReply(Bytes{0xAA, 0x55, 0x02, 0x88, 0x66});
  ASSERT_TRUE(std::holds_alternative<HandshakeReply>(hs));
  EXPECT_EQ(std::get<HandshakeReply>(hs).model, 2);
  // First two bytes exchanged, a model byte naming no model.
  EXPECT_TRUE(
      std::holds_alternative<std::monostate>(recogniseReply(Bytes{0x55, 0xAA, 0x02, 0x88, 0x66})));
  EXPECT_TRUE(
      std::holds_alternative<std::monostate>(recogniseReply(Bytes{0xAA, 0x55, 0x05, 0x88, 0x66})));
  EXPECT_TRUE(
      std::holds_alternative<HandshakeReply>(recogniseReply(Bytes{0xAA, 0x55, 0x04, 0x88, 0x66})));

  const auto ack = recogniseReply(Bytes{0xD0, 0x13, 0x55});
  ASSERT_TRUE(std::holds_alternative<DownloadAck>(ack));
  EXPECT_EQ(std::get<DownloadAck>(ack).nextRow, 19);
  EXPECT_TRUE(std::holds_alternative<std::monostate>(recogniseReply(Bytes{0xD0, 0x13, 0x54})));

  Bytes row(14, 0x77);
  row[0] = 0xA2;
  row[1] = 0x05;
  row[13] = 0x0A;
  const auto up = recogniseReply(row);
  ASSERT_TRUE(std::holds_alternative<UploadRow>(up));
  EXPECT_EQ(std::get<UploadRow>(up).row, 5);
  EXPECT_EQ(std::get<UploadRow>(up).data[0], 0x77);
  EXPECT_EQ(std::get<UploadRow>(up).data[11], 0x0A);
  row[0] = 0xA3;
  EXPECT_TRUE(std::holds_alternative<std::monostate>(recogniseReply(row)));

  const auto svc = recogniseReply(Bytes{0xA1, 0xB2, 0xC3, 0xD4, 0xE5, 0xF5, 0x02, 0x00});
  ASSERT_TRUE(std::holds_alternative<ServiceReply>(svc));
  EXPECT_EQ(std::get<ServiceReply>(svc).result, 0x02);
  EXPECT_TRUE(std::holds_alternative<std::monostate>(
      recogniseReply(Bytes{0xA1, 0xB2, 0xC3, 0xD4, 0xE5, 0xF6, 0x02, 0x00})));

  // Two replies together, or any count no reply has, are nothing.
  EXPECT_TRUE(std::holds_alternative<std::monostate>(recogniseReply(Bytes(12, 0xA1))));
  EXPECT_TRUE(std::holds_alternative<std::monostate>(
      recogniseReply(Bytes{0xD0, 0x01, 0x55, 0xD0, 0x02, 0x55})));
  EXPECT_TRUE(std::holds_alternative<std::monostate>(recogniseReply(Bytes{})));
}

TEST(ServiceMessages, EveryResultCodeHasItsBox) {
  struct Case {
    std::uint8_t code;
    const char* title;
    const char* text;
    Severity severity;
  };
  const Case cases[] = {
      {0x01, "接口协议配置", "485协议配置成功!  重启生效", Severity::Information},
      {0x02, "接口协议配置", "485协议配置成功!  重启生效", Severity::Information},
      {0xFF, "接口协议配置", "取消485协议配置!  重启生效", Severity::Information},
      {0x11, "接口协议配置", "485协议配置失败!", Severity::Failure},
      {0x12, "接口协议配置", "485协议配置失败!", Severity::Failure},
      {0x0F, "接口协议配置", "取消485协议配置失败!", Severity::Failure},
      {0x10, "场景模式配置", "场景切换模式配置成功!  重启生效。", Severity::Information},
      {0x20, "场景模式配置", "场景叠加模式配置成功!  重启生效。", Severity::Information},
      {0x90, "场景模式配置", "场景切换模式配置失败!", Severity::Failure},
      {0xA0, "场景模式配置", "场景叠加模式配置失败!", Severity::Failure},
  };
  for (const auto& c : cases) {
    const auto m = serviceMessage(c.code);
    ASSERT_TRUE(m.has_value()) << int{c.code};
    EXPECT_EQ(m->title, c.title);
    EXPECT_EQ(m->text, c.text);
    EXPECT_EQ(m->severity, c.severity);
  }
  EXPECT_FALSE(serviceMessage(0x30).has_value());
  EXPECT_FALSE(serviceMessage(0x00).has_value());
}

TEST(ServiceReply, OnlyTheCommandsOwnCodesAnswerIt) {
  struct Case {
    std::uint8_t request;
    std::uint8_t result;
    bool own;
    std::string_view text;
  };
  const Case cases[] = {
      {0x01, 0x01, true, "485协议配置成功!  重启生效"},
      {0x01, 0x11, true, "485协议配置失败!"},
      {0x01, 0x02, true, "485协议配置成功!  重启生效"},  // its family: as the table has it
      {0x02, 0xFF, true, "取消485协议配置!  重启生效"},
      {0x02, 0x12, true, "485协议配置失败!"},
      {0xFF, 0xFF, true, "取消485协议配置!  重启生效"},
      {0xFF, 0x0F, true, "取消485协议配置失败!"},
      {0x10, 0x90, true, "场景切换模式配置失败!"},
      {0x20, 0x20, true, "场景叠加模式配置成功!  重启生效。"},
      {0x20, 0x10, true, "场景切换模式配置成功!  重启生效。"},  // its family
      {0x20, 0x33, false, ""},                       // a code the controller does not send: nothing
      {0x10, 0x01, false, "场景切换模式配置失败!"},  // the other family: refused
  };
  for (const Case& c : cases) {
    const std::optional<ServiceAnswer> a = serviceAnswer(c.request, c.result);
    ASSERT_EQ(a.has_value(), !c.text.empty()) << int{c.request} << " " << int{c.result};
    if (!a) continue;
    EXPECT_EQ(a->ownCode, c.own) << int{c.request} << " " << int{c.result};
    EXPECT_EQ(a->message.text, c.text) << int{c.request} << " " << int{c.result};
    EXPECT_EQ(a->message.severity == Severity::Information,
              c.own && c.text.find("失败") == c.text.npos);
  }
}

TEST(ConnectSchedule, TicksOfAnAttempt) {
  for (int t = 1; t <= 30; ++t) EXPECT_EQ(connectStep(t, false), ConnectStep::SendHandshake) << t;
  EXPECT_EQ(connectStep(31, false), ConnectStep::ShowFailure);
  for (int t = 32; t <= 35; ++t) EXPECT_EQ(connectStep(t, false), ConnectStep::Nothing) << t;
  EXPECT_EQ(connectStep(36, false), ConnectStep::Reset);
  EXPECT_EQ(connectStep(40, false), ConnectStep::Reset);
  EXPECT_EQ(connectStep(1, true), ConnectStep::ShowConnected);
  for (int t = 2; t <= 5; ++t) EXPECT_EQ(connectStep(t, true), ConnectStep::Nothing) << t;
  EXPECT_EQ(connectStep(6, true), ConnectStep::StartVersion);
  EXPECT_EQ(connectStep(7, true), ConnectStep::StartVersion);
}

TEST(Connection, DisconnectFramesLinkStateAndVersionText) {
  EXPECT_EQ(disconnectFrames(DisconnectBy::Button), 3);
  EXPECT_EQ(disconnectFrames(DisconnectBy::Exit), 1);
  EXPECT_EQ(disconnectFrames(DisconnectBy::Unload), 1);

  EXPECT_FALSE(wasLinked(false, false, false, false));  // idle, or a failed attempt resetting
  EXPECT_TRUE(wasLinked(false, true, false, false));    // handshaking
  EXPECT_TRUE(wasLinked(false, false, true, false));
  EXPECT_TRUE(wasLinked(false, false, false, true));
  EXPECT_TRUE(wasLinked(true, false, false, false));

  // One character per byte, whatever the byte: "V1" then 0xB0 (degree sign in Latin-1), 0x00
  // and 0xFF, none joined to its neighbour.
  const std::vector<std::uint8_t> bytes = {'V', '1', 0xB0, 0x00, 0xFF};
  EXPECT_EQ(versionText(bytes), (std::u16string{u'V', u'1', u'\u00B0', u'\0', u'\u00FF'}));
  EXPECT_TRUE(versionText({}).empty());
}

TEST(Connection, AHandshakeReplyCountsOnlyAfterAHandshakeOfThisAttempt) {
  EXPECT_FALSE(handshakeReplyCounts(false, 0));  // the port was just opened
  EXPECT_TRUE(handshakeReplyCounts(false, 1));
  EXPECT_TRUE(handshakeReplyCounts(false, 30));
  EXPECT_FALSE(handshakeReplyCounts(false, 31));  // the attempt has failed
  EXPECT_TRUE(handshakeReplyCounts(true, 0));     // again while connected
  EXPECT_TRUE(handshakeReplyCounts(true, 7));
}

}  // namespace
}  // namespace qz

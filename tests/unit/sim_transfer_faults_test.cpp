// The simulator's faults for transfers: an acknowledgement asking for an earlier row, replies
// merged into one write or sent twice, and a hang-up at a chosen row.

#include <gtest/gtest.h>

#include "config/frames.h"
#include "link/hex_text.h"
#include "sim/command_line.h"
#include "sim/controller.h"

namespace qz::sim {
namespace {

using namespace std::chrono_literals;

Bytes hex(std::string_view text) {
  return hexTextBytes(text).value();
}

template <std::size_t N>
Bytes bytesOf(const std::array<std::uint8_t, N>& a) {
  return Bytes(a.begin(), a.end());
}

Controller::Response send(Controller& c, const Bytes& request) {
  FrameReader reader(quietGapFor(9600));
  const auto frames = reader.feed(request, Clock::time_point(100s));
  EXPECT_EQ(frames.size(), 1u);
  return c.handle(frames.front());
}

Controller withRules(std::initializer_list<std::pair<std::string_view, std::string_view>> opts) {
  std::vector<std::string_view> args;
  for (const auto& [option, value] : opts) {
    args.push_back(option);
    args.push_back(value);
  }
  return Controller(parseCommandLine(args).options);
}

TEST(SimTransferFaults, EarlierRowMergedTwiceAndHangUp) {
  const ConfigImage image = defaultImage(2);
  auto row = [&](int r) { return bytesOf(downloadRowFrame(image, static_cast<std::uint8_t>(r))); };
  {  // Row 7 is acknowledged by asking for row 5, once; the next time row 8 is asked for.
    Controller c = withRules({{"--ack-earlier", "7=5"}});
    EXPECT_EQ(send(c, row(6)).reply, hex("D0 07 55"));
    EXPECT_EQ(send(c, row(7)).reply, hex("D0 05 55"));
    EXPECT_EQ(send(c, row(7)).reply, hex("D0 08 55"));
    EXPECT_EQ(c.log()[1].note, "asks for row 5");
  }
  {  // No answer to row 3, twice.
    Controller c = withRules({{"--drop", "download:3/2"}});
    EXPECT_TRUE(send(c, row(3)).reply.empty());
    EXPECT_TRUE(send(c, row(3)).reply.empty());
    EXPECT_EQ(send(c, row(3)).reply, hex("D0 04 55"));
  }
  {  // Two answers in one write, the first time only.
    Controller c = withRules({{"--merge", "download:2/1"}});
    const auto merged = send(c, row(2));
    EXPECT_EQ(merged.reply, hex("D0 03 55 D0 03 55"));
    EXPECT_TRUE(merged.oneWrite);
    const auto plain = send(c, row(2));
    EXPECT_EQ(plain.reply, hex("D0 03 55"));
    EXPECT_FALSE(plain.oneWrite);
  }
  {  // Every answer twice, each an answer of its own.
    Controller c = withRules({{"--twice", "any"}});
    const auto r = send(c, bytesOf(uploadRequestFrame(4)));
    ASSERT_EQ(r.reply.size(), 14u);
    EXPECT_EQ(r.again, r.reply);
    EXPECT_FALSE(r.oneWrite);
    EXPECT_EQ(send(c, row(0)).again, hex("D0 01 55"));
  }
  {  // The line is cut when row 9 is asked for; the rows before are answered.
    Controller c = withRules({{"--hangup-at", "upload:9"}});
    EXPECT_FALSE(send(c, bytesOf(uploadRequestFrame(8))).hangUp);
    const auto cut = send(c, bytesOf(uploadRequestFrame(9)));
    EXPECT_TRUE(cut.hangUp);
    EXPECT_TRUE(cut.reply.empty());
  }
}

TEST(SimTransferFaults, CommandLineRefusesWhatNamesNoEarlierRow) {
  const auto rule = parseFaultRule(FaultAction::AckEarlier, "7=5/3");
  EXPECT_EQ(rule.which.kind, ReplyKind::Download);
  EXPECT_EQ(rule.which.argument, 7);
  EXPECT_EQ(rule.named, 5);
  EXPECT_EQ(rule.count, 3);
  EXPECT_EQ(parseFaultRule(FaultAction::AckEarlier, "4=4").count, 1);
  EXPECT_EQ(parseFaultRule(FaultAction::Twice, "any").which.kind, ReplyKind::Any);
  EXPECT_EQ(parseFaultRule(FaultAction::HangUp, "download:12").which.argument, 12);
  for (const auto& bad : std::vector<std::vector<std::string_view>>{
           {"--ack-earlier", "7"},
           {"--ack-earlier", "5=7"},
           {"--ack-earlier", "19=0"},
           {"--merge", "later"},
           {"--twice"},
           {"--hangup-at", "upload:x"},
       }) {
    EXPECT_THROW((void)parseCommandLine(bad), std::invalid_argument) << bad[0];
  }
  const std::string usage(usageText());
  for (const char* option : {"--ack-earlier", "--merge", "--twice", "--hangup-at", "/K"}) {
    EXPECT_NE(usage.find(option), std::string::npos) << option;
  }
}

}  // namespace
}  // namespace qz::sim

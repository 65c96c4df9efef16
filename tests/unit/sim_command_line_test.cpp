// qzsim's command line.

#include <gtest/gtest.h>

#include "link/hex_text.h"
#include "protocol/replies.h"
#include "sim/command_line.h"

namespace qz::sim {
namespace {

Bytes hex(std::string_view text) {
  return hexTextBytes(text).value();
}

CommandLine parse(std::initializer_list<std::string_view> args) {
  const std::vector<std::string_view> v(args);
  return parseCommandLine(v);
}

TEST(SimCommandLine, ReadsEveryOptionAndRefusesBadOnes) {
  const CommandLine plain = parse({});
  EXPECT_EQ(plain.options.model, 2);
  EXPECT_EQ(plain.options.baud, 9600);
  EXPECT_TRUE(plain.options.pacing);
  EXPECT_EQ(plain.options.comNumber, 0);
  EXPECT_EQ(plain.options.versionText.size(), 31u);
  EXPECT_FALSE(plain.help);
  EXPECT_TRUE(plain.logFile.empty());

  const CommandLine cl = parse({"--model",
                                "QZ-1200",
                                "--baud=19200",
                                "--no-pacing",
                                "--com",
                                "33",
                                "--firmware",
                                "V9",
                                "--silent",
                                "--answer-from",
                                "3",
                                "--hangup-after",
                                "7",
                                "--drop",
                                "download:5/1",
                                "--duplicate",
                                "4",
                                "--corrupt",
                                "upload:2@13",
                                "--extra",
                                "service:FF=AB CD",
                                "--result",
                                "10=90",
                                "--result",
                                "ff=0f",
                                "--log",
                                "x.log"});
  const Options& o = cl.options;
  EXPECT_EQ(o.model, 4);
  EXPECT_EQ(o.baud, 19200);
  EXPECT_FALSE(o.pacing);
  EXPECT_EQ(o.comNumber, 33);
  EXPECT_EQ(o.versionText, paddedVersionText("V9"));
  EXPECT_TRUE(o.faults.silent);
  EXPECT_EQ(o.faults.answerFrom, 3);
  EXPECT_EQ(o.faults.hangupAfter, 7);
  ASSERT_EQ(o.faults.rules.size(), 4u);
  const FaultRule& drop = o.faults.rules[0];
  EXPECT_EQ(drop.action, FaultAction::Drop);
  EXPECT_EQ(drop.which.kind, ReplyKind::Download);
  EXPECT_EQ(drop.which.argument, 5);
  EXPECT_EQ(drop.count, 1);
  EXPECT_EQ(o.faults.rules[1].which.ordinal, 4);
  EXPECT_EQ(o.faults.rules[2].offset, 13u);
  EXPECT_EQ(o.faults.rules[2].which.argument, 2);
  EXPECT_EQ(o.faults.rules[3].which.kind, ReplyKind::Service);
  EXPECT_EQ(o.faults.rules[3].which.argument, 0xFF);
  EXPECT_EQ(o.faults.rules[3].extra, hex("AB CD"));
  EXPECT_EQ(o.serviceResults, (std::map<std::uint8_t, std::uint8_t>{{0x10, 0x90}, {0xFF, 0x0F}}));
  EXPECT_EQ(cl.logFile, "x.log");
  EXPECT_EQ(parse({"--model", "0"}).options.model, 0);
  EXPECT_EQ(parse({"--version-hex", "41 42"}).options.versionText, "AB");
  EXPECT_TRUE(parse({"-h"}).help);
  EXPECT_EQ(plain.options.echo, Echo::None);
  EXPECT_EQ(parse({"--echo"}).options.echo, Echo::Whole);
  EXPECT_EQ(parse({"--echo=bytes"}).options.echo, Echo::ByteByByte);

  for (const auto& bad : std::vector<std::vector<std::string_view>>{
           {"--model", "5"},
           {"--model", "QZ-9999"},
           {"--baud"},
           {"--baud", "fast"},
           {"--com", "51"},
           {"--drop", "download:x"},
           {"--drop", "download:99"},  // rows end at 18
           {"--twice", "upload:19/2"},
           {"--drop", "download:5/0"},
           {"--drop", "version:3"},
           {"--drop", "handshake@2"},
           {"--drop", "nothing"},
           {"--drop", "0"},
           {"--extra", "ZZ"},
           {"--result", "10"},
           {"--result", "100=1"},
           {"--no-pacing=yes"},
           {"--echo=half"},
           {"--frobnicate"},
       }) {
    EXPECT_THROW((void)parseCommandLine(bad), std::invalid_argument) << bad[0];
  }
  // The faults as written, for the start line; options of a controller that behaves left out.
  const std::vector<std::string_view> args = {"--model",  "1",     "--drop", "download:18/2",
                                              "--silent", "--com", "40"};
  EXPECT_EQ(faultOptions(args), "--drop download:18/2 --silent");
  EXPECT_EQ(faultOptions(std::vector<std::string_view>{"--echo=bytes", "--no-pacing"}), "");
}

TEST(SimCommandLine, ReadsTheLineFaultsAndRefusesOnesThatCannotOccur) {
  using namespace std::chrono_literals;
  const std::vector<std::string_view> args = {
      "--echo",  "--noise", "0.5", "--seed",     "7",  "--echo-collide", "9@3", "--echo-cut",
      "every=8", "--late",  "300", "--row-time", "250"};
  const LineFaults line = parseCommandLine(args).options.line;
  EXPECT_EQ(line.noisePerSecond, 0.5);
  EXPECT_EQ(line.seed, 7u);
  EXPECT_EQ(std::pair(line.collideEcho, line.collideAt), std::pair(9, std::size_t{3}));
  EXPECT_EQ(std::pair(line.cutEcho, line.cutTo), std::pair(LineFaults::kEvery, std::size_t{8}));
  EXPECT_EQ(line.late, 300ms);
  EXPECT_EQ(line.rowTime, 250ms);
  for (const auto& bad : std::vector<std::vector<std::string_view>>{
           {"--noise", "0"},
           {"--noise", "1x"},
           {"--echo-collide", "3"},  // no echo to change
           {"--echo", "--echo-collide", "0"},
           {"--echo", "--echo-cut", "3"},
           {"--late", "0"},
           {"--late", "1001"},
       }) {
    EXPECT_THROW((void)parseCommandLine(bad), std::invalid_argument) << bad.back();
  }
}

}  // namespace
}  // namespace qz::sim

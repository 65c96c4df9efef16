// The simulated controller: its answers, the frames it keeps, and its faults on request.

#include <gtest/gtest.h>

#include <stdexcept>
#include <variant>

#include "config/frames.h"
#include "link/hex_text.h"
#include "protocol/frames.h"
#include "protocol/replies.h"
#include "sim/command_line.h"
#include "sim/controller.h"
#include "sim/frame_reader.h"

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

const Clock::time_point t0 = Clock::time_point(100s);

Frame frame(const Bytes& bytes, Clock::time_point time = t0) {
  FrameReader reader(quietGapFor(9600));
  auto frames = reader.feed(bytes, time);
  EXPECT_EQ(frames.size(), 1u);
  return frames.empty() ? Frame{} : frames.front();
}

Bytes ask(Controller& c, const Bytes& request) {
  return c.handle(frame(request)).reply;
}

TEST(SimController, AnswersEveryRequestByteForByte) {
  for (int m = 0; m < kModels; ++m) {
    Options o;
    o.model = m;
    Controller c(o);
    const Bytes reply = ask(c, hex(frames::kHandshake));
    EXPECT_EQ(reply, (Bytes{0xAA, 0x55, static_cast<std::uint8_t>(m), 0x88, 0x66}));
    const Reply r = recogniseReply(reply);
    ASSERT_TRUE(std::holds_alternative<HandshakeReply>(r));
    EXPECT_EQ(std::get<HandshakeReply>(r).model, m);
  }

  Controller c{Options{}};
  const Bytes version = ask(c, hex(frames::kVersionQuery));
  EXPECT_EQ(version.size(), 31u);
  EXPECT_EQ(std::string(version.begin(), version.end()), kDefaultVersionText);
  EXPECT_EQ(paddedVersionText("V2.1"), "V2.1" + std::string(27, ' '));
  EXPECT_EQ(paddedVersionText(std::string(40, 'x')), std::string(31, 'x'));

  // A whole download as the tool sends it: every row stored, each acknowledged with the next.
  ConfigImage sent;
  for (int r = 0; r < kRows; ++r) {
    for (int col = 0; col < kRowBytes; ++col)
      sent(r, col) = static_cast<std::uint8_t>(r * 13 + col);
  }
  for (std::uint8_t r = 0; r < kRows; ++r) {
    const Bytes ack = ask(c, bytesOf(downloadRowFrame(sent, r)));
    EXPECT_EQ(ack, (Bytes{0xD0, static_cast<std::uint8_t>(r + 1), 0x55}));
    const Reply rep = recogniseReply(ack);
    ASSERT_TRUE(std::holds_alternative<DownloadAck>(rep));
    EXPECT_EQ(std::get<DownloadAck>(rep).nextRow, r + 1);
  }
  EXPECT_EQ(c.image(), sent);
  // The image has no row 19: nothing stored, nothing answered.
  EXPECT_TRUE(ask(c, hex("D0 13 09 09 09 09 09 09 09 09 09 09 09 09 55")).empty());
  EXPECT_EQ(c.image(), sent);

  // Upload: the row asked for, as stored.
  for (std::uint8_t r = 0; r < kRows; ++r) {
    const Bytes row = ask(c, bytesOf(uploadRequestFrame(r)));
    ASSERT_EQ(row.size(), 14u);
    EXPECT_EQ(row[0], 0xA2);
    EXPECT_EQ(row[1], r);
    EXPECT_TRUE(std::equal(row.begin() + 2, row.end(), sent.rows[r].begin()));
    EXPECT_TRUE(std::holds_alternative<UploadRow>(recogniseReply(row)));
  }
  // Row 19, asked for after every upload, and a request whose row copies disagree: nothing.
  EXPECT_TRUE(ask(c, bytesOf(uploadRequestFrame(19))).empty());
  EXPECT_TRUE(ask(c, hex("A2 03 04 AA FE FF")).empty());

  // Service requests: the success code of each by default, a chosen code on request.
  for (const std::uint8_t arg : Bytes{0x01, 0x02, 0xFF, 0x10, 0x20}) {
    const Bytes req = hex("A1 B2 C3 D4 E5 F5 00 5E 4D 3C 2B 1A");
    Bytes r = req;
    r[6] = arg;
    EXPECT_EQ(ask(c, r), (Bytes{0xA1, 0xB2, 0xC3, 0xD4, 0xE5, 0xF5, arg, 0x00}));
    ASSERT_TRUE(std::holds_alternative<ServiceReply>(recogniseReply(ask(c, r))));
  }
  c.setServiceResult(0x01, 0x11);
  EXPECT_EQ(ask(c, hex(frames::kProtocol1200)), hex("A1 B2 C3 D4 E5 F5 11 00"));
  Options failing;
  failing.serviceResults = {{0x10, 0x90}, {0xFF, 0x0F}, {0x20, 0x33}};
  Controller f(failing);
  EXPECT_EQ(ask(f, hex(frames::kRunModeSwitch)), hex("A1 B2 C3 D4 E5 F5 90 00"));
  EXPECT_EQ(ask(f, hex(frames::kProtocolCancel)), hex("A1 B2 C3 D4 E5 F5 0F 00"));
  EXPECT_EQ(ask(f, hex(frames::kRunModeOverlay)), hex("A1 B2 C3 D4 E5 F5 33 00"));
  EXPECT_EQ(ask(f, hex(frames::kProtocol19200)), hex("A1 B2 C3 D4 E5 F5 02 00"));
}

TEST(SimController, TakesTheUnansweredFramesAndShowsWhatTheyDid) {
  Options o;
  o.model = 1;  // QZ-0606: channels 1..6 switch, 7..12 dimming
  Controller c(o);
  const ConfigImage before = c.image();

  EXPECT_TRUE(ask(c, hex("A1 B2 C3 D4 E5 F6 04 5E 4D 3C 2B 1A")).empty());
  EXPECT_EQ(c.protocolAndRunMode(), 0x04);
  EXPECT_TRUE(ask(c, hex(frames::kDisconnect)).empty());
  EXPECT_EQ(c.disconnects(), 1);
  EXPECT_TRUE(ask(c, hex("A1 B2 C3 D4 E5 A7 00 5E 4D 3C 2B 1A")).empty());

  const Bytes preview = hex("D1 D1 01 00 01 00 00 01 00 FA 46 46 82 14 55");
  EXPECT_TRUE(ask(c, preview).empty());
  ASSERT_TRUE(c.lastPreview());
  EXPECT_EQ(bytesOf(*c.lastPreview()), preview);
  EXPECT_EQ(c.outputs(), (Outputs{1, 0, 1, 0, 0, 1, 0, 0xFA, 0x46, 0x46, 0x82, 0x14}));

  EXPECT_TRUE(ask(c, bytesOf(switchTestFrame(3, false))).empty());
  EXPECT_TRUE(ask(c, bytesOf(switchTestFrame(2, true))).empty());
  EXPECT_TRUE(ask(c, bytesOf(dimTestFrame(1, 0x28))).empty());     // output 7
  EXPECT_TRUE(ask(c, bytesOf(dimTestFrame(6, 0x00))).empty());     // output 12
  EXPECT_TRUE(ask(c, bytesOf(switchTestFrame(7, true))).empty());  // no switch channel 7
  EXPECT_TRUE(ask(c, bytesOf(dimTestFrame(7, 0x99))).empty());     // no dimming channel 7
  EXPECT_TRUE(ask(c, hex("A0 01 77 AA FE FF")).empty());           // neither on nor off
  EXPECT_EQ(c.outputs(), (Outputs{1, 1, 0, 0, 0, 1, 0x28, 0xFA, 0x46, 0x46, 0x82, 0x00}));
  EXPECT_EQ(c.image(), before);

  // Every frame is in the log with its time and what was answered.
  const auto& log = c.log();
  ASSERT_EQ(log.size(), 11u);
  EXPECT_EQ(log[0].kind, FrameKind::ProtocolAndRunMode);
  EXPECT_EQ(log[0].time, t0);
  EXPECT_TRUE(log[0].sent.empty());
  EXPECT_EQ(log[8].note, "no switch channel 7");
  EXPECT_EQ(c.frames(), 11);
  EXPECT_EQ(c.replies(), 0);

  ask(c, hex(frames::kHandshake));
  EXPECT_EQ(describe(c.log().back()),
            "RX A1 B2 C3 D4 E5 A1 AE 5E 4D 3C 2B 1A  handshake -> AA 55 01 88 66");
  EXPECT_EQ(describe(c.log()[8]), "RX A0 07 D1 AA FE FF  switch test (no switch channel 7)");
}

Options withFaults(Faults faults) {
  Options o;
  o.faults = std::move(faults);
  return o;
}

Faults silent() {
  Faults f;
  f.silent = true;
  return f;
}

Faults answerFrom(int n) {
  Faults f;
  f.answerFrom = n;
  return f;
}

Faults hangupAfter(int n) {
  Faults f;
  f.hangupAfter = n;
  return f;
}

TEST(SimController, MisbehavesOnRequest) {
  const Bytes handshake = hex(frames::kHandshake);
  const Bytes ok = hex("AA 55 02 88 66");
  ConfigImage image = defaultImage(2);

  {  // Silent: stores, answers nothing.
    Controller c(withFaults(silent()));
    EXPECT_TRUE(ask(c, handshake).empty());
    EXPECT_TRUE(ask(c, bytesOf(downloadRowFrame(ConfigImage{}, 0))).empty());
    EXPECT_EQ(c.image().rows[0], Row{});
  }
  {  // Answers from the third handshake on.
    Controller c(withFaults(answerFrom(3)));
    EXPECT_TRUE(ask(c, handshake).empty());
    EXPECT_TRUE(ask(c, handshake).empty());
    EXPECT_EQ(ask(c, handshake), ok);
    EXPECT_EQ(ask(c, handshake), ok);
  }
  {  // The first acknowledgement of row 5 is lost; the repeat gets through.
    Faults f;
    f.rules.push_back(parseFaultRule(FaultAction::Drop, "download:5/1"));
    Controller c(withFaults(f));
    EXPECT_EQ(ask(c, bytesOf(downloadRowFrame(image, 4))), hex("D0 05 55"));
    EXPECT_TRUE(ask(c, bytesOf(downloadRowFrame(image, 5))).empty());
    EXPECT_EQ(c.image().rows[5], image.rows[5]);  // stored all the same
    EXPECT_EQ(ask(c, bytesOf(downloadRowFrame(image, 5))), hex("D0 06 55"));
    EXPECT_EQ(c.log()[1].note, "dropped: would send D0 06 55");
  }
  {  // The second reply, whatever it is, is dropped; every service reply is dropped.
    Faults f;
    f.rules.push_back(parseFaultRule(FaultAction::Drop, "2"));
    f.rules.push_back(parseFaultRule(FaultAction::Drop, "service"));
    Controller c(withFaults(f));
    EXPECT_EQ(ask(c, handshake), ok);
    EXPECT_TRUE(ask(c, hex(frames::kVersionQuery)).empty());
    EXPECT_EQ(ask(c, handshake), ok);
    EXPECT_TRUE(ask(c, hex(frames::kRunModeSwitch)).empty());
    EXPECT_TRUE(ask(c, hex(frames::kRunModeSwitch)).empty());
  }
  {  // Duplicated: two replies in one notification are nothing to the tool.
    Faults f;
    f.rules.push_back(parseFaultRule(FaultAction::Duplicate, "upload:0"));
    Controller c(withFaults(f));
    const Bytes twice = ask(c, bytesOf(uploadRequestFrame(0)));
    ASSERT_EQ(twice.size(), 28u);
    EXPECT_TRUE(std::equal(twice.begin(), twice.begin() + 14, twice.begin() + 14));
    EXPECT_TRUE(std::holds_alternative<std::monostate>(recogniseReply(twice)));
    EXPECT_EQ(ask(c, bytesOf(uploadRequestFrame(1))).size(), 14u);
  }
  {  // Corrupted: the model byte, or past the end the last byte.
    Faults f;
    f.rules.push_back(parseFaultRule(FaultAction::Corrupt, "handshake@2/1"));
    f.rules.push_back(parseFaultRule(FaultAction::Corrupt, "download@9"));
    Controller c(withFaults(f));
    const Bytes bad = ask(c, handshake);
    EXPECT_EQ(bad, hex("AA 55 FD 88 66"));
    EXPECT_TRUE(std::holds_alternative<std::monostate>(recogniseReply(bad)));
    EXPECT_EQ(ask(c, handshake), ok);
    EXPECT_EQ(ask(c, bytesOf(downloadRowFrame(image, 0))), hex("D0 01 AA"));
  }
  {  // Extra bytes after the version text, and after every reply.
    Faults f;
    f.rules.push_back(parseFaultRule(FaultAction::Extra, "version=00 01"));
    Controller c(withFaults(f));
    EXPECT_EQ(ask(c, hex(frames::kVersionQuery)).size(), 33u);
    EXPECT_EQ(ask(c, handshake), ok);
    f.rules = {parseFaultRule(FaultAction::Extra, "EE")};
    c.setFaults(f);
    EXPECT_EQ(ask(c, handshake), hex("AA 55 02 88 66 EE"));
  }
  {  // Several faults on one reply: corrupted, extended, then doubled.
    Faults f;
    f.rules.push_back(parseFaultRule(FaultAction::Duplicate, "handshake"));
    f.rules.push_back(parseFaultRule(FaultAction::Extra, "handshake=EE"));
    f.rules.push_back(parseFaultRule(FaultAction::Corrupt, "handshake"));
    Controller c(withFaults(f));
    EXPECT_EQ(ask(c, handshake), hex("55 55 02 88 66 EE 55 55 02 88 66 EE"));
  }
  {  // The line is cut after the third frame, which is still answered.
    Controller c(withFaults(hangupAfter(3)));
    EXPECT_FALSE(c.handle(frame(handshake)).hangUp);
    EXPECT_FALSE(c.handle(frame(hex(frames::kDisconnect))).hangUp);
    const auto last = c.handle(frame(hex(frames::kVersionQuery)));
    EXPECT_TRUE(last.hangUp);
    EXPECT_EQ(last.reply.size(), 31u);
  }
  {  // Noise is logged but is no frame: it neither counts nor gets an answer.
    Controller c(withFaults(hangupAfter(1)));
    Frame noise{FrameKind::Noise, hex("00 11"), t0};
    const auto r = c.handle(noise);
    EXPECT_FALSE(r.hangUp);
    EXPECT_TRUE(r.reply.empty());
    EXPECT_EQ(c.log().size(), 1u);
    EXPECT_TRUE(c.handle(frame(handshake)).hangUp);
  }
}

TEST(SimController, KeepsOnlyTheRecentFramesAndNoMoreThanAFewBytesOfNoise) {
  Options o;
  o.logLimit = 100;
  Controller c(o);
  for (int i = 0; i < 1000; ++i) ask(c, hex(frames::kHandshake));
  // A megabyte of line noise in one run.
  Frame noise;
  noise.kind = FrameKind::Noise;
  noise.bytes = Bytes(1 << 20, 0x33);
  noise.time = t0;
  c.handle(noise);
  ask(c, hex(frames::kVersionQuery));
  EXPECT_EQ(c.log().size(), 100u);
  EXPECT_EQ(c.handshakes(), 1000);
  EXPECT_EQ(c.log().back().kind, FrameKind::VersionQuery);
  const LogEntry& kept = c.log()[c.log().size() - 2];
  EXPECT_EQ(kept.kind, FrameKind::Noise);
  EXPECT_LE(kept.received.size(), 64u);
  EXPECT_NE(kept.note.find("1048576 bytes"), std::string::npos) << kept.note;
  EXPECT_EQ(c.log().front().kind, FrameKind::Handshake);
}

}  // namespace
}  // namespace qz::sim

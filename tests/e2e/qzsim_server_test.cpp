// The in-process qzsim server on a real pseudo-terminal, driven from the tool's side.

#include <gtest/gtest.h>
#include <QObject>  // Qt's keywords are macros (emit, signals, slots): the server lives beside them

#include <filesystem>
#include <string>
#include <vector>

#include "config/frames.h"
#include "protocol/frames.h"
#include "sim/command_line.h"
#include "sim/pty_server.h"
#include "support/pty.h"
#include "support/timed.h"

#include "e2e/tool_side.h"

namespace qz::sim {
namespace {

using namespace e2e;

Options serverOptions(const TempDir& dir, bool pacing) {
  Options o;
  o.pacing = pacing;
  o.aliasFolder = dir.path() / "ports";
  return o;
}

TEST(QzsimServer, TimedAnswersOnAPseudoTerminalWithAndWithoutPacing) {
  QZ_TIMED_TEST();
  QZ_SKIP_WITHOUT_PTY();
  for (const bool pacing : {true, false}) {
    SCOPED_TRACE(pacing ? "pacing" : "no pacing");
    TempDir dir;
    PtyServer server(serverOptions(dir, pacing));
    server.start();
    EXPECT_EQ(server.comName(), "COM1");  // the folder is empty, and COMn aliases come first
    EXPECT_EQ(fs::read_symlink(server.aliasPath()), server.devicePath());
    EXPECT_EQ(server.aliasPath(), dir.path() / "ports" / "COM1");
    EXPECT_EQ(fs::status(dir.path() / "ports").permissions(), fs::perms::owner_all);

    ToolSide tool(server.aliasPath());
    ASSERT_TRUE(tool.isOpen());
    const auto before = std::chrono::steady_clock::now();
    EXPECT_EQ(tool.ask(frames::kHandshake, 5), kHandshakeReply0804);
    const auto took = std::chrono::steady_clock::now() - before;
    // The request's 12 bytes and the answer's 5 take at least 16 ms at 9600 baud.
    if (pacing) {
      EXPECT_GE(took, 15ms);
    }
    EXPECT_LT(took, 3s);

    const Bytes version = tool.ask(frames::kVersionQuery, 31);
    EXPECT_EQ(std::string(version.begin(), version.end()), kDefaultVersionText);

    const ConfigImage sent = [] {
      ConfigImage image;
      for (int c = 0; c < kRowBytes; ++c) image(7, c) = static_cast<std::uint8_t>(0x30 + c);
      return image;
    }();
    const RowFrame row = downloadRowFrame(sent, 7);
    ASSERT_TRUE(tool.write(Bytes(row.begin(), row.end())));
    EXPECT_EQ(tool.read(3), hex("D0 08 55"));
    EXPECT_EQ(server.image().rows[7], sent.rows[7]);
    const ShortFrame up = uploadRequestFrame(7);
    ASSERT_TRUE(tool.write(Bytes(up.begin(), up.end())));
    EXPECT_EQ(tool.read(14), hex("A2 07 30 31 32 33 34 35 36 37 38 39 3A 3B"));

    // Results and faults change while it runs.
    server.setServiceResult(0x20, 0xA0);
    EXPECT_EQ(tool.ask(frames::kRunModeOverlay, 8), hex("A1 B2 C3 D4 E5 F5 A0 00"));
    Faults faults;
    faults.rules.push_back(parseFaultRule(FaultAction::Duplicate, "handshake/1"));
    server.setFaults(faults);
    EXPECT_EQ(tool.ask(frames::kHandshake, 10), hex("AA 55 02 88 66 AA 55 02 88 66"));

    // Frames without an answer: the next answer is the first thing on the line.
    const RowFrame preview = scenePreviewFrame(defaultImage(2), 0, 2, kDefaultLevelTable);
    ASSERT_TRUE(tool.write(Bytes(preview.begin(), preview.end())));
    const ShortFrame sw = switchTestFrame(2, true);
    ASSERT_TRUE(tool.write(Bytes(sw.begin(), sw.end())));
    ASSERT_TRUE(tool.write(hex("A1 B2 C3 D4 E5 F6 11 5E 4D 3C 2B 1A")));
    ASSERT_TRUE(tool.write(hex(frames::kDisconnect)));
    EXPECT_EQ(tool.ask(frames::kHandshake, 5), kHandshakeReply0804);
    ASSERT_TRUE(server.lastPreview());
    EXPECT_EQ(*server.lastPreview(), preview);
    EXPECT_EQ(server.outputs(), (Outputs{1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(server.snapshot().protocolAndRunMode(), 0x11);

    const auto log = server.log();
    ASSERT_EQ(log.size(), 11u);
    EXPECT_EQ(log[0].kind, FrameKind::Handshake);
    EXPECT_EQ(log[0].received, hex(frames::kHandshake));
    EXPECT_EQ(log[0].sent, kHandshakeReply0804);
    EXPECT_EQ(log[6].kind, FrameKind::ScenePreview);
    EXPECT_EQ(log[10].sent, kHandshakeReply0804);
    EXPECT_LE(log[0].time, log[1].time);
    EXPECT_EQ(server.listeners(), 1);

    server.stop();
    EXPECT_FALSE(fs::exists(fs::symlink_status(dir.path() / "ports" / "COM1")));
  }
}

TEST(QzsimServer, AnEchoingLineGivesTheToolItsOwnBytesBeforeTheAnswer) {
  QZ_SKIP_WITHOUT_PTY();
  for (const Echo echo : {Echo::Whole, Echo::ByteByByte}) {
    SCOPED_TRACE(echo == Echo::Whole ? "whole" : "byte by byte");
    TempDir dir;
    Options o = serverOptions(dir, true);
    o.echo = echo;
    PtyServer server(o);
    server.start();
    ToolSide tool(server.aliasPath());
    ASSERT_TRUE(tool.isOpen());
    const Bytes handshake = hex(frames::kHandshake);
    Bytes expected = handshake;
    expected.insert(expected.end(), kHandshakeReply0804.begin(), kHandshakeReply0804.end());
    EXPECT_EQ(tool.ask(frames::kHandshake, expected.size()), expected);
    // A frame without an answer comes back all the same.
    EXPECT_EQ(tool.ask(frames::kDisconnect, 12), hex(frames::kDisconnect));
  }
}

TEST(QzsimServer, SurvivesTheToolClosingAndReopeningAndDropsWhatNobodyRead) {
  QZ_SKIP_WITHOUT_PTY();
  TempDir dir;
  PtyServer server(serverOptions(dir, false));
  server.start();
  {
    ToolSide tool(server.devicePath());
    EXPECT_EQ(tool.ask(frames::kHandshake, 5), kHandshakeReply0804);
    // The version text goes out, but the tool closes the port without reading it.
    ASSERT_TRUE(tool.write(hex(frames::kVersionQuery)));
    ASSERT_TRUE(server.waitForLog(2, 3s));
  }
  // Once the server has seen the port closed, what nobody read is gone, as on a real line.
  ASSERT_TRUE(server.waitForListeners(0, 3s));
  ToolSide tool(server.aliasPath());
  ASSERT_TRUE(tool.isOpen());
  EXPECT_EQ(tool.ask(frames::kHandshake, 5), kHandshakeReply0804);
  ASSERT_TRUE(server.waitForListeners(1, 3s));
  ToolSide again(server.aliasPath());  // a second opener does not upset the count
  ASSERT_TRUE(server.waitForListeners(2, 3s));
  again.close();
  ASSERT_TRUE(server.waitForListeners(1, 3s));
  EXPECT_EQ(tool.ask(frames::kHandshake, 5), kHandshakeReply0804);
  EXPECT_FALSE(server.hungUp());
}

TEST(QzsimServer, HangsUpAfterTheChosenFrame) {
  QZ_SKIP_WITHOUT_PTY();
  TempDir dir;
  Options o = serverOptions(dir, true);
  o.faults.hangupAfter = 2;
  PtyServer server(o);
  server.start();
  ToolSide tool(server.aliasPath());
  EXPECT_EQ(tool.ask(frames::kHandshake, 5), kHandshakeReply0804);
  // The second frame is still answered, then the line goes.
  EXPECT_EQ(tool.ask(frames::kVersionQuery, 31).size(), 31u);
  EXPECT_TRUE(tool.seesLineEnd());
  EXPECT_TRUE(server.waitForHangUp(3s));
  EXPECT_TRUE(server.hungUp());
  EXPECT_TRUE(fs::is_symlink(server.aliasPath()));
  server.stop();
  EXPECT_FALSE(fs::exists(fs::symlink_status(dir.path() / "ports" / "COM1")));
}

TEST(QzsimServer, KeepsRealDevicesAndOtherAliasesAndRefusesUnsafeFolders) {
  QZ_SKIP_WITHOUT_PTY();
  TempDir dir;
  const fs::path ports = dir.path() / "ports";
  fs::create_directory(ports);
  fs::permissions(ports, fs::perms::owner_all);
  fs::create_symlink("/dev/null", ports / "COM1");        // someone's live alias
  fs::create_symlink("/dev/pts/999999", ports / "COM2");  // made by hand, its device missing
  PtyServer server(serverOptions(dir, false));
  server.start();
  EXPECT_EQ(server.comNumber(), firstFreeCom(3));
  EXPECT_EQ(fs::read_symlink(ports / "COM2"), "/dev/pts/999999");
  EXPECT_EQ(fs::read_symlink(ports / "COM1"), "/dev/null");

  Options taken = serverOptions(dir, false);
  taken.comNumber = 1;
  PtyServer second(taken);
  EXPECT_THROW(second.start(), std::runtime_error);
  server.stop();
  EXPECT_EQ(fs::read_symlink(ports / "COM1"), "/dev/null");

  fs::permissions(ports, fs::perms::owner_all | fs::perms::others_write);
  PtyServer unsafe(serverOptions(dir, false));
  EXPECT_THROW(unsafe.start(), std::runtime_error);

  EXPECT_EQ(fixedComDevice(1), "/dev/ttyUSB0");
  EXPECT_EQ(fixedComDevice(16), "/dev/ttyACM7");
  EXPECT_EQ(fixedComDevice(17), "/dev/ttyS0");
  EXPECT_EQ(fixedComDevice(32), "/dev/ttyS15");
  EXPECT_EQ(fixedComDevice(33), "");
}

}  // namespace
}  // namespace qz::sim

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "link/com_ports.h"
#include "link/echo_filter.h"
#include "link/fake_port.h"
#include "link/hex_text.h"
#include "link/line_settings.h"
#include "support/runtime_dir.h"

namespace qz {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

using test::RuntimeDir;

TEST(HexText, ConvertsAndWritesEachFrameInOneOperation) {
  FakePort port;
  port.ports[1] = PortError::None;
  port.setPortNumber(1);
  ASSERT_TRUE(port.open());

  HexTextToBytes(port, "A1 B2 C3 D4 E5 A1 AE 5E 4D 3C 2B 1A");
  ASSERT_EQ(port.writes.size(), 1U);
  EXPECT_EQ(port.writes[0],
            (Bytes{0xA1, 0xB2, 0xC3, 0xD4, 0xE5, 0xA1, 0xAE, 0x5E, 0x4D, 0x3C, 0x2B, 0x1A}));

  HexTextToBytes(port, "a1b2");
  HexTextToBytes(port, "A1 B");  // odd count: "0" goes before the last digit
  HexTextToBytes(port, "  A  1  ");
  ASSERT_EQ(port.writes.size(), 4U);
  EXPECT_EQ(port.writes[1], (Bytes{0xA1, 0xB2}));
  EXPECT_EQ(port.writes[2], (Bytes{0xA1, 0x0B}));
  EXPECT_EQ(port.writes[3], (Bytes{0xA1}));

  // Bad or empty text writes nothing at all, not even the good bytes before the fault.
  for (const char* bad : {"A1 ZZ", "", "   ", "A1-B2", "A1\tB2", "G"}) {
    HexTextToBytes(port, bad);
    EXPECT_EQ(port.writes.size(), 4U) << bad;
    EXPECT_EQ(port.lastError(), PortError::None) << bad;
  }

  // The disconnect frame after the port was already closed.
  port.close();
  HexTextToBytes(port, "A1 B2 C3 D4 E5 A2 AD 5E 4D 3C 2B 1A");
  EXPECT_EQ(port.writes.size(), 4U);
  EXPECT_EQ(port.lastError(), PortError::None);
}

TEST(HexText, StripSpacesAndPadZeros) {
  EXPECT_EQ(StripSpaces(" A 1 "), "A1");
  EXPECT_EQ(StripSpaces("\tA B\t"), "\tAB\t");  // only the blank is removed
  EXPECT_EQ(StripSpaces(""), "");

  std::string a = "A";
  EXPECT_EQ(PadZeros(a, 2), "0A");
  EXPECT_EQ(a, "0A");  // the caller's text is padded too
  std::string b = "1A";
  EXPECT_EQ(PadZeros(b, 2), "1A");
  std::string c = "123";
  EXPECT_EQ(PadZeros(c, 2), "123");  // never cut
  std::string empty;
  EXPECT_EQ(PadZeros(empty, 3), "000");
  std::string d = "7";
  EXPECT_EQ(PadZeros(d, -1), "7");
}

TEST(LineSettingsText, ReadsTheFourFieldsAndRefusesAnythingElse) {
  const auto s = parseLineSettings("9600,N,8,1");
  ASSERT_TRUE(s);
  EXPECT_EQ(s->baud, 9600);
  EXPECT_EQ(s->parity, 'N');
  EXPECT_EQ(s->dataBits, 8);
  EXPECT_EQ(s->stopBits, StopBits::One);

  const auto t = parseLineSettings("256000,e,7,1.5");
  ASSERT_TRUE(t);
  EXPECT_EQ(t->baud, 256000);
  EXPECT_EQ(t->parity, 'E');
  EXPECT_EQ(t->dataBits, 7);
  EXPECT_EQ(t->stopBits, StopBits::OneAndHalf);
  EXPECT_EQ(parseLineSettings("1200,S,5,2")->stopBits, StopBits::Two);

  for (const char* bad :
       {"", "9600", "9600,N,8", "9600,N,8,1,", "0,N,8,1", "-9600,N,8,1", ",N,8,1", "96OO,N,8,1",
        "9600,X,8,1", "9600,NO,8,1", "9600,,8,1", "9600,N,4,1", "9600,N,9,1", "9600,N,8,3",
        "9600,N,8,1.0", " 9600,N,8,1", "99999999999,N,8,1", "2147483648,N,8,1"}) {
    EXPECT_FALSE(parseLineSettings(bad)) << bad;
  }
  EXPECT_TRUE(parseLineSettings("2147483647,N,8,1"));
}

TEST(LineSettingsText, SpeedMatchesWithinWhatAUartTolerates) {
  EXPECT_TRUE(lineSpeedMatches(9600, 9600));
  EXPECT_TRUE(lineSpeedMatches(256000, 255319));  // a divisor's nearest rate
  EXPECT_TRUE(lineSpeedMatches(256000, 256000 + 5120));
  EXPECT_FALSE(lineSpeedMatches(256000, 256000 + 5121));
  EXPECT_FALSE(lineSpeedMatches(256000, 115200));  // a 16550 clipped it
  EXPECT_FALSE(lineSpeedMatches(14400, 9600));     // the old rate was kept
  EXPECT_FALSE(lineSpeedMatches(9600, 0));
}

TEST(ComNames, AliasFirstThenTheFixedTable) {
  RuntimeDir dir;
  EXPECT_EQ(comAliasFolder(), dir.ports());

  // The fixed table, with no alias folder at all.
  EXPECT_EQ(comDevicePath(1), "/dev/ttyUSB0");
  EXPECT_EQ(comDevicePath(8), "/dev/ttyUSB7");
  EXPECT_EQ(comDevicePath(9), "/dev/ttyACM0");
  EXPECT_EQ(comDevicePath(16), "/dev/ttyACM7");
  EXPECT_EQ(comDevicePath(17), "/dev/ttyS0");
  EXPECT_EQ(comDevicePath(32), "/dev/ttyS15");
  for (const int n : {33, 40, 50, 0, -1, 51, 255}) EXPECT_EQ(comDevicePath(n), "") << n;

  // An alias wins over the table and is followed to its device; COM33..50 exist only so.
  const fs::path device = dir.root() / "device";
  std::ofstream(device).put('x');
  const fs::path real = fs::canonical(device);
  dir.alias(1, device);
  dir.alias(40, dir.root() / "." / "device");
  dir.alias(50, dir.root() / "gone");  // the device behind it vanished
  EXPECT_EQ(comDevicePath(1), real.string());
  EXPECT_EQ(comDevicePath(2), "/dev/ttyUSB1");
  EXPECT_EQ(comDevicePath(40), real.string());
  EXPECT_EQ(comDevicePath(50), (dir.ports() / "COM50").string());
  EXPECT_EQ(comDevicePath(51), "");

  // Something that is not a link is no alias.
  std::ofstream(dir.ports() / "COM41").put('x');
  EXPECT_EQ(comDevicePath(41), "");

  // A folder any user may write into could send the tool's frames anywhere: not trusted.
  fs::permissions(dir.ports(), fs::perms::others_write, fs::perm_options::add);
  EXPECT_EQ(comDevicePath(1), "/dev/ttyUSB0");
  EXPECT_EQ(comDevicePath(40), "");
}

TEST(ComNames, WithoutRuntimeDirTheFolderIsPerUserInTmp) {
  RuntimeDir dir;
  const std::string expected = "/tmp/qzconfig-" + std::to_string(::getuid()) + "/ports";
  ::unsetenv("XDG_RUNTIME_DIR");
  EXPECT_EQ(comAliasFolder(), expected);
  ::setenv("XDG_RUNTIME_DIR", "", 1);
  EXPECT_EQ(comAliasFolder(), expected);
}

TEST(ComPorts, ListsPortsThatOpenAndPortsHeldElsewhere) {
  FakePort port;
  port.ports = {{1, PortError::None},  {2, PortError::InUse},        {3, PortError::NoSuchPort},
                {5, PortError::Other}, {7, PortError::AccessDenied}, {50, PortError::None}};
  EXPECT_EQ(EnumComPorts(port), (std::vector<std::string>{"COM1", "COM2", "COM7", "COM50"}));
  EXPECT_FALSE(port.isOpen());
  EXPECT_EQ(port.lastError(), PortError::None);
  // Every port that opened was closed again at once.
  EXPECT_EQ(port.history, (std::vector<std::string>{"open 1", "close 1", "open 50", "close 50"}));

  FakePort none;
  EXPECT_TRUE(EnumComPorts(none).empty());
  EXPECT_EQ(none.lastError(), PortError::None);
}

TEST(ComPorts, OpenTellsWhyItFailed) {
  FakePort port;
  port.ports = {{1, PortError::None},
                {2, PortError::InUse},
                {4, PortError::NoSuchPort},
                {5, PortError::AccessDenied},
                {6, PortError::Other}};

  OpenResult r = OpenComPort(port, "COM1", "9600", "NONE", "8", "1");
  EXPECT_TRUE(r.opened);
  EXPECT_FALSE(r.message);
  EXPECT_TRUE(port.isOpen());
  EXPECT_EQ(port.portNumber(), 1);
  EXPECT_EQ(port.settings(), LineSettings{});  // 9600,N,8,1

  // Already open: false, nothing said, nothing changed.
  r = OpenComPort(port, "COM2", "19200", "EVEN", "7", "2");
  EXPECT_FALSE(r.opened);
  EXPECT_FALSE(r.message);
  EXPECT_TRUE(port.isOpen());
  EXPECT_EQ(port.portNumber(), 1);
  EXPECT_EQ(port.settings(), LineSettings{});
  EXPECT_EQ(port.history, (std::vector<std::string>{"open 1"}));
  port.close();

  struct Case {
    const char* portText;
    const char* baud;
    std::optional<std::string> message;
  };
  const Case cases[] = {
      {"COM4", "9600", "COM4已移除，请选择其它串口！"},
      {"COM2", "9600", "COM2已被其它程序打开，请选择其它串口！"},
      {"COM5", "9600",
       "COM5没有访问权限，请把用户加入dialout组！\n在终端中运行: sudo adduser $USER dialout\n"
       "然后注销并重新登录，新的组才生效。"},
      {"COM1", "0", "波特率不适应，请重新设置波特率！"},
      {"COM1", "", "波特率不适应，请重新设置波特率！"},
      {"COM6", "9600", std::nullopt},
      {"", "9600", std::nullopt},  // no port in the list at all
      {"COM", "9600", std::nullopt},
      {"COMx", "9600", std::nullopt},
      {"COM99999", "9600", std::nullopt},
      // The number is read the old way: blanks anywhere, rounding to the nearest number.
      {"COM 1 2", "9600", "COM12已移除，请选择其它串口！"},
      {"COM12abc", "9600", "COM12已移除，请选择其它串口！"},
      {"COM3.6", "9600", "COM4已移除，请选择其它串口！"},
      {"COM4.5", "9600", "COM4已移除，请选择其它串口！"},
      {"COM8.5", "9600", "COM8已移除，请选择其它串口！"},
      {"COM9.5", "9600", "COM10已移除，请选择其它串口！"},
  };
  for (const Case& c : cases) {
    r = OpenComPort(port, c.portText, c.baud, "NONE", "8", "1");
    EXPECT_FALSE(r.opened) << c.portText << " " << c.baud;
    EXPECT_EQ(r.message, c.message) << c.portText << " " << c.baud;
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(port.lastError(), PortError::None);  // cleared for the next caller
  }

  // A rate the port refuses, and the parity passed by its first letter.
  port.refusedBauds = {256000};
  r = OpenComPort(port, "COM1", "256000", "NONE", "8", "1");
  EXPECT_EQ(r.message, "波特率不适应，请重新设置波特率！");
  r = OpenComPort(port, "COM1", "115200", "EVEN", "8", "1");
  EXPECT_TRUE(r.opened);
  EXPECT_EQ(port.settings(), (LineSettings{.baud = 115200, .parity = 'E'}));
  EXPECT_EQ(port.history, (std::vector<std::string>{"open 1", "close 1", "open 1"}));
}

// One event on the line: the port writes, bytes come, or the port looks for an echo that is due.
struct LineStep {
  enum { Sent, Came, Look } what;
  Bytes bytes;
  int ms = 0;  // milliseconds after the start
};

TEST(EchoFilter, TakesOutExactlyWhatWasWrittenComingBackInTime) {
  const Bytes request = {0xA1, 0xB2, 0xC3, 0xD4, 0xE5, 0xF5, 0x01, 0x5E, 0x4D, 0x3C, 0x2B, 0x1A};
  const Bytes serviceReply = {0xA1, 0xB2, 0xC3, 0xD4, 0xE5, 0xF5, 0x01, 0x00};
  const Bytes row = {0xD0, 5, 0x55, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 0x55};
  const Bytes ack = {0xD0, 5, 0x55};  // the controller wants row 5 again; row 5 starts 55
  const Bytes options = {0xA1, 0xB2, 0xC3, 0xD4, 0xE5, 0xF6, 0x11, 0x5E, 0x4D, 0x3C, 0x2B, 0x1A};
  auto uploadRequest = [](std::uint8_t r) { return Bytes{0xA2, r, r, 0xAA, 0xFE, 0xFF}; };
  const Bytes uploadRow = {0xA2, 0, 1, 1, 0, 0, 1, 0, 1, 0, 9, 2, 0, 5};
  auto lost = [](Bytes b, std::size_t at) {
    b.erase(b.begin() + static_cast<long>(at));
    return b;
  };
  auto changed = [](Bytes b, std::size_t at) {
    b[at] ^= 0x40;
    return b;
  };
  auto join = [](std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
  };
  struct Case {
    const char* what;
    std::vector<LineStep> steps;
    Bytes input;  // what the tool gets
  };
  using S = LineStep;
  const Case cases[] = {
      {"an echo, then the reply",
       {{S::Sent, request, 0}, {S::Came, join({request, serviceReply})}},
       serviceReply},
      {"no echo: a reply that begins like its request is all input",
       {{S::Sent, request, 0}, {S::Came, serviceReply}, {S::Look, {}, 420}},
       serviceReply},
      {"no echo: a reply that is the start of its request waits until the echo is due",
       {{S::Sent, row, 0}, {S::Came, ack}, {S::Look, {}, 400}, {S::Look, {}, 416}},
       ack},
      {"two frames written back to back come back in order",
       {{S::Sent, row, 0}, {S::Sent, options, 0}, {S::Came, join({row, options, ack})}},
       ack},
      {"the echo of the first frame lost: the second frame's echo is not taken for input",
       {{S::Sent, row, 0},
        {S::Look, {}, 420},
        {S::Sent, options, 500},
        {S::Came, join({options, ack})}},
       ack},
      {"an echo that is late is input",
       {{S::Sent, ack, 0}, {S::Look, {}, 404}, {S::Came, ack}},
       ack},
      {"a late answer ahead of the echo is input, and the echo behind it is not",
       {{S::Sent, row, 0}, {S::Came, join({ack, row, ack})}},
       join({ack, ack})},
      {"a changed byte in an echo of three bytes: what came is input",
       {{S::Sent, ack, 0}, {S::Came, {0xD0, 5, 0x54, 0xD0, 6, 0x55}}},
       {0xD0, 5, 0x54, 0xD0, 6, 0x55}},
      {"a collision changed byte 5 of the echo: it is still echo",
       {{S::Sent, request, 0}, {S::Came, join({changed(request, 5), serviceReply})}},
       serviceReply},
      {"a byte of the echo lost: it is still echo",
       {{S::Sent, row, 0}, {S::Came, join({lost(row, 3), ack})}},
       ack},
      {"an echoing adapter: an echo cut to 8 bytes is never an answer",
       {{S::Sent, request, 0},
        {S::Came, request},
        {S::Sent, request, 50},
        {S::Came, Bytes(request.begin(), request.begin() + 8), 60},
        {S::Look, {}, 500}},
       {}},
      {"an echoing adapter: an echo cut short, then the answer",
       {{S::Sent, request, 0},
        {S::Came, request},
        {S::Sent, row, 50},
        {S::Came, join({Bytes(row.begin(), row.begin() + 12), ack}), 80}},
       ack},
      {"an echoing adapter 300 ms late: an answer ahead of the next echo does not wait for it",
       {{S::Sent, request, 0},
        {S::Sent, request, 200},
        {S::Came, request, 300},
        {S::Sent, request, 400},
        {S::Came, request, 500},
        {S::Came, serviceReply, 510},
        {S::Look, {}, 560}},
       serviceReply},
      {"an echoing adapter: an upload row like the next request ahead of its echo is input",
       {{S::Sent, uploadRequest(0), 0},
        {S::Came, join({uploadRequest(0), uploadRow}), 5},
        {S::Sent, uploadRequest(1), 20},
        {S::Came, join({uploadRow, uploadRequest(1)}), 70}},
       join({uploadRow, uploadRow})},
      {"no echo: answers came where echoes were due, so later echoes are due within the margin",
       {{S::Sent, request, 0},
        {S::Came, ack},
        {S::Look, {}, 420},
        {S::Sent, request, 500},
        {S::Look, {}, 620},
        {S::Came, request}},
       join({ack, request})},
  };
  const auto t0 = EchoFilter::Clock::time_point{} + std::chrono::hours(1);
  for (const Case& c : cases) {
    for (const bool byteByByte : {false, true}) {
      EchoFilter filter(9600);
      Bytes input;
      for (const LineStep& step : c.steps) {
        const auto at = t0 + std::chrono::milliseconds(step.ms);
        if (step.what == LineStep::Sent) filter.sent(step.bytes, at);
        if (step.what == LineStep::Look) filter.expire(at, input);
        if (step.what != LineStep::Came) continue;
        if (!byteByByte) filter.received(step.bytes, at, input);
        for (std::size_t i = 0; byteByByte && i < step.bytes.size(); ++i) {
          filter.received({&step.bytes[i], 1}, at, input);
        }
      }
      EXPECT_EQ(input, c.input) << c.what << (byteByByte ? ", byte by byte" : ", whole");
      EXPECT_EQ(filter.held(), 0U) << c.what;
    }
  }
}

}  // namespace
}  // namespace qz

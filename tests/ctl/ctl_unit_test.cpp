// qzctl's pure parts: the command line and what it prints about images.

#include <gtest/gtest.h>

#include "ctl/command_line.h"
#include "ctl/listing.h"
#include "ctl/port_words.h"

namespace qz::ctl {
namespace {

ParseResult parse(std::initializer_list<std::string_view> args) {
  const std::vector<std::string_view> v(args);
  return parseCommandLine(v);
}

TEST(CtlCommandLine, OptionsAnywhereSeveralPortsAndEachCommandsArguments) {
  const ParseResult r = parse({"--port", "COM3", "download", "--port=/dev/ttyUSB1", "a.QZ",
                               "--baud", "19200", "--force", "--json", "--quiet"});
  ASSERT_EQ(r.error, "");
  EXPECT_EQ(r.invocation.command, Command::Download);
  EXPECT_EQ(r.invocation.ports, (std::vector<std::string>{"COM3", "/dev/ttyUSB1"}));
  EXPECT_EQ(r.invocation.files, (std::vector<std::string>{"a.QZ"}));
  EXPECT_EQ(r.invocation.baud, 19200);
  EXPECT_TRUE(r.invocation.force && r.invocation.json && r.invocation.quiet);

  EXPECT_EQ(parse({"diff", "a.QZ", "b.QZ"}).invocation.files.size(), 2u);
  EXPECT_EQ(parse({"--port", "all", "info"}).invocation.ports, (std::vector<std::string>{"all"}));
  EXPECT_EQ(parse({"set-protocol", "cancel"}).invocation.protocol, ProtocolChoice::Cancel);
  EXPECT_EQ(parse({"set-protocol", "19200"}).invocation.protocol, ProtocolChoice::New19200);
  EXPECT_EQ(parse({"set-run-mode", "overlay"}).invocation.runMode, RunModeChoice::Overlay);
  EXPECT_EQ(parse({"ports"}).invocation.baud, 9600);
  EXPECT_EQ(parse({"--port", "COM2", "sheet", "--output=s.pdf"}).invocation.output, "s.pdf");
  // A file name that looks like an option follows "--".
  EXPECT_EQ(parse({"show", "--", "-odd.QZ"}).invocation.files,
            (std::vector<std::string>{"-odd.QZ"}));

  // Help for the whole tool and for one command, also with arguments missing.
  EXPECT_TRUE(parse({"--help"}).invocation.help);
  const ParseResult h = parse({"upload", "--help"});
  EXPECT_EQ(h.error, "");
  EXPECT_TRUE(h.invocation.help);
  EXPECT_EQ(h.invocation.command, Command::Upload);
}

TEST(CtlCommandLine, EveryWrongCommandLineIsNamed) {
  const std::vector<std::pair<std::vector<std::string_view>, std::string>> wrong = {
      {{}, "no command given"},
      {{"flash"}, "unknown command flash"},
      {{"--colour", "info"}, "unknown option --colour"},
      {{"upload"}, "upload takes the arguments FILE, got 0"},
      {{"diff", "a.QZ"}, "diff takes the arguments A.QZ B.QZ, got 1"},
      {{"info", "extra"}, "info takes no arguments, got 1"},
      {{"--port", "COM0", "info"},
       "--port COM0: not a port (COM1 to COM50, a device path such "
       "as /dev/ttyUSB0, or all)"},
      {{"--port", "COM51", "info"},
       "--port COM51: not a port (COM1 to COM50, a device path "
       "such as /dev/ttyUSB0, or all)"},
      {{"--port", "ttyUSB0", "info"},
       "--port ttyUSB0: not a port (COM1 to COM50, a device path "
       "such as /dev/ttyUSB0, or all)"},
      {{"info", "--port"}, "--port needs a port: COMn, a device path or all"},
      {{"--port", "all", "--port", "COM1", "info"},
       "--port all cannot be combined with other ports"},
      {{"--baud", "fast", "info"}, "--baud fast: not a rate from 50 to 4000000"},
      {{"--baud", "0", "info"}, "--baud 0: not a rate from 50 to 4000000"},
      {{"set-protocol", "9600"}, "set-protocol takes 1200, 19200 or cancel, not 9600"},
      {{"set-run-mode", "toggle"}, "set-run-mode takes switch or overlay, not toggle"},
      {{"--port", "COM1", "show", "a.QZ"}, "show talks to no controller and takes no --port"},
      {{"--force", "show", "a.QZ"}, "--force is for download and upload only"},
      {{"--json=yes", "info"}, "--json takes no value"},
      {{"sheet", "a.QZ"}, "sheet needs -o SHEET.pdf or -o SHEET.html"},
      {{"--port", "COM1", "sheet", "a.QZ", "-o", "a.pdf"},
       "sheet draws FILE or the controllers on --port, not both"},
      {{"show", "a.QZ", "-o", "a.pdf"}, "-o is for sheet only"},
  };
  for (const auto& [args, error] : wrong) {
    EXPECT_EQ(parseCommandLine(args).error, error) << (args.empty() ? "" : args[0]);
  }
}

TEST(CtlHelp, OverviewAndEachCommandCarryExampleAndExitCodes) {
  const std::string overview = helpText();
  for (const char* c :
       {"ports", "info", "upload FILE", "download FILE", "compare FILE", "diff A.QZ B.QZ",
        "show FILE", "set-protocol 1200|19200|cancel", "set-run-mode switch|overlay"}) {
    EXPECT_NE(overview.find(std::string("  ") + c), std::string::npos) << c;
  }
  for (Command c :
       {Command::Ports, Command::Info, Command::Upload, Command::Download, Command::Compare,
        Command::Diff, Command::Show, Command::SetProtocol, Command::SetRunMode}) {
    const std::string text = helpText(c);
    EXPECT_NE(text.find("Example:\n  qzctl "), std::string::npos) << commandName(c);
    EXPECT_NE(text.find("  5  the file cannot be read or written"), std::string::npos);
  }
}

TEST(CtlListing, EveryDifferingByteByRowByteAndSetting) {
  ConfigImage controller;
  ConfigImage file;
  file(0, 2) = 1;           // 场景1, switch channel 3
  file(9, 9) = 5;           // 场景10, a dimming channel of QZ-0804
  file(17, 0) = 4;          // 排风1
  file(18, 4) = 77;         // 调光级别3
  controller(18, 11) = 13;  // 开机场景
  const std::vector<Difference> d = differences(controller, file);
  ASSERT_EQ(d.size(), 5u);
  EXPECT_EQ(d[0], (Difference{0, 2, 0, 1}));
  EXPECT_EQ(d[4], (Difference{18, 11, 13, 0}));
  std::vector<std::string> lines;
  for (const Difference& x : d) lines.push_back(differenceLine(x, 2, "controller", "file"));
  EXPECT_EQ(lines, (std::vector<std::string>{
                       "场景1 开关通道3: controller 关, file 开",
                       "场景10 调光2: controller 0, file 5",
                       "排风1: controller 关闭, file 通道4",
                       "调光级别3: controller 0, file 77",
                       "开机场景: controller 灯光全关, file 场景1",
                   }));
  EXPECT_TRUE(differences(file, file).empty());
}

TEST(CtlListing, ShowReadsEachSettingAsTheEditorWould) {
  ConfigImage image;
  image.rows[0] = {1, 0, 1, 0, 0, 0, 0, 1, 9, 0, 3, 0};
  image(17, 0) = 3;
  image(17, 1) = 1;
  image(17, 6) = 8;
  image(17, 9) = 1;
  image(17, 10) = 1;
  image(17, 11) = 245;  // DMX address 501
  image(18, 0) = 1;
  for (int i = 0; i < 10; ++i) image(18, 1 + i) = static_cast<std::uint8_t>(i * 25);
  image(18, 11) = 14;
  const std::string text = showText(image, 2);
  for (const char* line : {
           "机型 QZ-0804 (8 switch channels, 4 dimming channels)\n",
           "场景1     1 0 1 0 0 0 0 1   9 0 3 0\n",
           "排风1           通道3, 上电 打开\n",
           "排风2           关闭, 上电 关闭\n",
           "高风            通道8\n",
           "工作模式        DMX512模式\n",
           "DMX512地址      501\n",
           "场景模式        叠加\n",
           "调光级别        0:0  1:25  2:50  3:75  4:100  5:125  6:150  7:175  8:200  9:225\n",
           "开机场景        灯光全开\n",
       }) {
    EXPECT_NE(text.find(line), std::string::npos) << line;
  }
  // Address 0 is no address: said in English, the setting's name as the window shows it.
  EXPECT_NE(showText(ConfigImage{}, 2).find("DMX512地址      not set\n"), std::string::npos);
  EXPECT_EQ(differenceLine({17, 10, 0, 300}, 2, "controller", "file"),
            "DMX512地址: controller not set, file 300");
  // QZ-1200 has no levels column; an unknown model shows the bytes as they are.
  EXPECT_NE(showText(image, 4).find("场景1     1 0 1 0 0 0 0 1 9 0 3 0\n"), std::string::npos);
  EXPECT_NE(showText(image, -1).find("机型 no model"), std::string::npos);
}

TEST(CtlListing, VersionTextLosesItsPaddingAndShowsControlBytesAsEscapes) {
  struct Case {
    std::vector<std::uint8_t> bytes;
    std::string text;
  };
  const Case cases[] = {
      {{'V', '1', ' ', ' ', 0, 0}, "V1"},
      {{'V', 0, '1', 0}, "V\\x001"},  // a NUL inside is no padding
      {{'A', 0x07, 0x1B, 0x7F, 0x85, '\\', 'B'}, "A\\x07\\x1B\\x7F\\x85\\\\B"},
      {{0xB0, 'C', 0xFF}, "\u00B0C\u00FF"},  // Latin-1 as the window shows it
      {{0, 0, ' '}, ""},
  };
  for (const Case& c : cases) EXPECT_EQ(printableVersion(c.bytes), c.text) << c.text;
}

// A port that failed: its device, and the likely cause with the next step.
TEST(CtlPortWords, AFailedPortNamesItsDeviceAndTheLikelyCause) {
  EXPECT_EQ(portAndDevice("COM17", "/dev/ttyS0"), "COM17 (/dev/ttyS0)");
  EXPECT_EQ(portAndDevice("/dev/ttyUSB0", "/dev/ttyUSB0"), "/dev/ttyUSB0");
  EXPECT_EQ(portAndDevice("COM49", ""), "COM49");
  const std::string inUse = portWords(PortError::InUse, {}).sentence;
  const std::string missing = portWords(PortError::NoSuchPort, {}).sentence;
  const struct {
    PortFailure failure;
    const char* cause;  // part of the line; "" for none
  } cases[] = {
      // No answer on an on-board port, with no USB adapter at all, or with one.
      {{false, false, "", "COM17", "/dev/ttyS0", true, true, 0}, "on-board serial port"},
      {{false, false, "", "COM17", "/dev/ttyS0", true, true, 0}, "qzctl doctor"},
      {{false, false, "", "COM17", "/dev/ttyS0", true, true, 1}, "COM1 to COM8"},
      {{false, false, "", "COM1", "/dev/ttyUSB0", true, true, 1}, "A and B swapped"},
      {{false, true, "", "COM1", "/dev/ttyUSB0", true, true, 1}, ""},  // it answered once
      {{false, false, "", "COM40", "/dev/pts/3", true, true, 0}, ""},  // a simulator
      {{true, false, missing, "COM1", "/dev/ttyUSB0", false, false, 0}, "no USB serial adapter"},
      {{true, false, missing, "COM2", "/dev/ttyUSB1", false, false, 1}, "brltty"},
      {{true, false, inUse, "COM1", "/dev/ttyUSB0", true, true, 1}, "qzctl ports names it"},
      {{true, false, "", "COM1", "/dev/ttyUSB0", true, false, 1}, "sudo adduser $USER dialout"},
  };
  for (const auto& c : cases) {
    const std::string cause = likelyCause(c.failure);
    if (*c.cause == 0) {
      EXPECT_EQ(cause, "") << c.failure.device;
    } else {
      EXPECT_TRUE(cause.starts_with("likely: ")) << cause;
      EXPECT_NE(cause.find(c.cause), std::string::npos) << cause;
    }
  }
}

}  // namespace
}  // namespace qz::ctl

// The doctor on fabricated machines: each a sysfs, /dev, /proc, group file and lock folder in a
// scratch folder, read by the same reader as the real machine and diagnosed for a made-up user.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>

#include "doctor/diagnosis.h"

namespace qz::doctor {
namespace {

namespace fs = std::filesystem;

struct Tree {
  fs::path root;
  unsigned gid = 0;  // the group our files get: the fabricated dialout

  void write(const fs::path& rel, const std::string& text) const {
    fs::create_directories((root / rel).parent_path());
    std::ofstream(root / rel) << text;
  }
  void link(const fs::path& rel, const fs::path& target) const {
    fs::create_directories((root / rel).parent_path());
    fs::create_symlink(target, root / rel);
  }
  void process(int pid, const std::string& name, const std::string& openDevice = {}) const {
    const fs::path dir = fs::path("proc") / std::to_string(pid);
    write(dir / "comm", name + "\n");
    if (!openDevice.empty()) link(dir / "fd/5", openDevice);
  }
  // A USB device with one interface; a tty "ttyUSB<n>" or "ttyACM<n>" when given, its node
  // in /dev with mode 0660 and a /dev/serial/by-id name.
  void usb(const std::string& name, const std::string& vid, const std::string& pid,
           const std::string& driver, const std::string& tty, int devnum = 2) const {
    const fs::path dev = fs::path("sys/bus/usb/devices") / name;
    for (const auto& [file, text] :
         std::map<std::string, std::string>{{"idVendor", vid},
                                            {"idProduct", pid},
                                            {"manufacturer", "Maker " + vid},
                                            {"product", "Serial " + pid},
                                            {"busnum", "1"},
                                            {"devnum", std::to_string(devnum)},
                                            {"bDeviceClass", "00"}}) {
      write(dev / file, text + "\n");
    }
    const fs::path intf = fs::path("sys/bus/usb/devices") / (name + ":1.0");
    write(intf / "bInterfaceClass", "ff\n");
    if (!driver.empty()) link(intf / "driver", "../../../bus/usb/drivers/" + driver);
    if (tty.empty()) return;
    const bool acm = tty.starts_with("ttyACM");
    write(intf / (acm ? "tty/" + tty : tty + "/tty/" + tty) / "dev",
          (acm ? "166:" : "188:") + tty.substr(6) + "\n");
    write(fs::path("dev") / tty, "");
    fs::permissions(root / "dev" / tty, fs::perms(0660));
    link("dev/serial/by-id/usb-" + vid + "_" + pid + "-if00-port0", "../../" + tty);
  }
};

struct Row {
  const char* cause;
  std::function<void(const Tree&, User&)> build;
  bool usable;
  // Topic and words one finding says; "!topic": no finding on that topic.
  std::vector<std::pair<std::string, std::string>> findings;
  std::string last;
};

const std::string kNode = "(owner root, group dialout, mode 0660)";
const std::string kMmIgnore =
    "ATTRS{idVendor}==\"1a86\", ATTRS{idProduct}==\"7523\", "
    "ENV{ID_MM_DEVICE_IGNORE}=\"1\"";

const std::vector<Row> kMachines = {
    {"usable CH340",
     [](const Tree& t, User&) { t.usb("1-1", "1a86", "7523", "ch341", "ttyUSB0"); },
     true,
     {{"port", "/dev/ttyUSB0 is COM1; stable name /dev/serial/by-id/usb-1a86_7523-if00-port0"},
      {"access", "owner root, group dialout, mode 0660: you are in dialout"},
      {"use", "no process holds it"}},
     "use COM1 (/dev/ttyUSB0)"},
    {"brltty took it",
     [](const Tree& t, User&) {
       t.usb("1-2", "1a86", "7523", "usbfs", "", 7);
       t.process(812, "brltty", "/dev/bus/usb/001/007");
     },
     false,
     {{"port",
       "brltty, the braille display service, took the adapter (1a86:7523) through "
       "usbfs, as pid 812 (brltty)"},
      {"port", "sudo apt remove brltty"},
      {"port", "sudo ln -s /dev/null /etc/udev/rules.d/85-brltty.rules"}},
     "fix first: no port: brltty, the braille display service, took the adapter (1a86:7523) "
     "through usbfs, as pid 812 (brltty); sudo apt remove brltty (unless a braille display is "
     "used), then unplug the adapter and plug it in again"},
    {"no driver",
     [](const Tree& t, User&) { t.usb("3-1", "10c4", "ea60", "", ""); },
     false,
     {{"port", "no driver is bound"}},
     "fix first: no port: no driver is bound, the kernel does not know this chip (10c4:ea60); a "
     "newer kernel may know it, or the chip maker's Linux driver"},
    {"not in dialout",
     [](const Tree& t, User& u) {
       t.usb("1-1", "1a86", "7523", "ch341", "ttyUSB0");
       u.groups = {4242};
     },
     false,
     {{"access", "you (alice) are not in dialout"}},
     "fix first: /dev/ttyUSB0: you (alice) are not in dialout, the group that may open it " +
         kNode + "; sudo adduser alice dialout, then log out and log in again"},
    {"in /etc/group only",
     [](const Tree& t, User& u) {
       t.usb("1-1", "1a86", "7523", "ch341", "ttyUSB0");
       t.write("etc/group", "dialout:x:" + std::to_string(t.gid) + ":bob,alice\n");
       u.groups = {4242};
     },
     false,
     {},
     "fix first: /dev/ttyUSB0: you (alice) joined dialout after logging in: this session is not "
     "in it yet " +
         kNode + "; log out and log in again (a new terminal is not enough)"},
    {"held by another process",
     [](const Tree& t, User&) {
       t.usb("1-1", "0403", "6001", "ftdi_sio", "ttyUSB0");
       t.process(4321, "minicom", "/dev/ttyUSB0");
       t.write("var/lock/LCK..ttyUSB0", "      4321\n");  // its lock: said once
     },
     false,
     {{"port", "/dev/ttyUSB0 is COM1"}, {"!use", "locked by"}},
     "fix first: /dev/ttyUSB0: in use by pid 4321 (minicom); close that program"},
    {"stale lock",
     [](const Tree& t, User&) {
       t.usb("1-1", "1a86", "7523", "ch341", "ttyUSB0");
       t.write("var/lock/LCK..ttyUSB0", "      9999\n");
     },
     false,
     {},
     "fix first: /dev/ttyUSB0: /var/lock/LCK..ttyUSB0 is left from pid 9999, which is gone, and "
     "it is another user's: the port cannot be locked; sudo rm /var/lock/LCK..ttyUSB0"},
    {"ModemManager without ID_MM_DEVICE_IGNORE",
     [](const Tree& t, User&) {
       t.usb("1-1", "1a86", "7523", "ch341", "ttyUSB0");
       t.process(600, "ModemManager");
     },
     true,
     {{"ModemManager", "may probe the port with AT commands for some seconds after plugging in"},
      {"ModemManager", kMmIgnore}},
     "use COM1 (/dev/ttyUSB0)"},
    {"ModemManager told to ignore it",
     [](const Tree& t, User&) {
       t.usb("1-1", "1a86", "7523", "ch341", "ttyUSB0");
       t.process(600, "ModemManager");
       t.write("run/udev/data/c188:0", "E:ID_MM_DEVICE_IGNORE=1\n");
     },
     true,
     {{"!ModemManager", ""}},
     "use COM1 (/dev/ttyUSB0)"},
    {"two adapters with stable names",
     [](const Tree& t, User&) {
       t.usb("1-1", "0403", "6001", "ftdi_sio", "ttyUSB1", 2);
       t.usb("1-2", "1a86", "7523", "ch341", "ttyUSB0", 3);
       t.usb("1-3", "046d", "c31c", "usbhid", "", 4);  // a keyboard is no adapter
     },
     true,
     {{"adapters", "2 ports: ttyUSB and ttyACM numbers follow the order of plugging in"},
      {"adapters", "qzctl --port /dev/serial/by-id/usb-0403_6001-if00-port0"},
      {"adapters", "qzctl --port /dev/serial/by-id/usb-1a86_7523-if00-port0"}},
     "use COM1 (/dev/ttyUSB0) or COM2 (/dev/ttyUSB1)"},
    {"no adapter at all",
     [](const Tree& t, User&) { t.usb("1-3", "046d", "c31c", "usbhid", ""); },
     false,
     {{"adapters", "no USB serial adapter"}},
     "fix first: no USB serial adapter: none of the USB devices here is one; plug the USB RS-485 "
     "adapter in, then run qzctl doctor again"},
    {"no USB at all",
     [](const Tree&, User&) {},
     false,
     {},
     "fix first: no USB serial adapter: the system shows no USB device at all; plug the USB "
     "RS-485 adapter in, then run qzctl doctor again"},
};

TEST(Doctor, EachCauseOnAFabricatedMachine) {
  for (const Row& row : kMachines) {
    SCOPED_TRACE(row.cause);
    std::string pattern = (fs::temp_directory_path() / "qz-doctor-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    Tree t{pattern};
    struct stat st {};
    ASSERT_EQ(::stat(t.root.c_str(), &st), 0);
    t.gid = st.st_gid;
    // Whoever runs the test owns the files: the fabricated machine calls that user root and
    // that group dialout, and the user diagnosed is someone else who is in dialout.
    t.write("etc/passwd", "root:x:" + std::to_string(st.st_uid) + ":0::/root:/bin/sh\n");
    t.write("etc/group", "dialout:x:" + std::to_string(st.st_gid) + ":\n");
    User alice{st.st_uid + 1000, "alice", {st.st_gid}};
    row.build(t, alice);

    const Diagnosis d = diagnose(readMachine(t.root), alice);
    EXPECT_EQ(d.usable, row.usable);
    EXPECT_EQ(d.last, row.last);
    std::vector<Finding> all = d.machine;
    for (const Adapter& a : d.adapters) all.insert(all.end(), a.findings.begin(), a.findings.end());
    for (const auto& [topic, words] : row.findings) {
      const bool absent = topic.starts_with('!');
      EXPECT_NE(absent, std::any_of(all.begin(), all.end(),
                                    [&](const Finding& f) {
                                      std::string said = f.text;
                                      for (const std::string& fix : f.fixes) said += "\n" + fix;
                                      return f.topic == topic.substr(absent ? 1 : 0) &&
                                             said.find(words) != std::string::npos;
                                    }))
          << topic << ": " << words;
    }
    if (row.usable) {
      EXPECT_EQ(d.adapters.front().ids.manufacturer, "Maker " + d.adapters.front().ids.vendorId);
      EXPECT_FALSE(d.adapters.front().driver.empty());
    }
    fs::remove_all(t.root);
  }
}

TEST(Doctor, WhatDevicesReportIsShownEscaped) {
  const std::pair<std::string, std::string> cases[] = {
      {"QinHeng Electronics", "QinHeng Electronics"},
      {"\x1B]0;owned\x07\x1B[2J", "\\x1B]0;owned\\x07\\x1B[2J"},  // escape sequences
      {"\xC2\x9B"
       "31m",
       "\\xC2\\x9B31m"},                                   // a C1 control in UTF-8
      {"\xE5\x8D\x8E USB\\", "\xE5\x8D\x8E USB\\\\"},      // Chinese kept, \\ doubled
      {"caf\xE9\x7F\xC0\xAF", "caf\\xE9\\x7F\\xC0\\xAF"},  // no UTF-8, overlong form
  };
  for (const auto& [reported, shown] : cases) EXPECT_EQ(printable(reported), shown) << shown;
}

}  // namespace
}  // namespace qz::doctor

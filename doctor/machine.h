#pragma once
// What the doctor reads of a Linux machine to explain a USB serial adapter: the USB devices in
// sysfs with their interfaces, drivers and terminals, the device nodes, which process holds
// which device, the groups, the lock files and udev's database. Plain values only: what they
// mean is decided elsewhere, so a fabricated tree in a scratch folder reads like a machine.

#include <filesystem>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace qz::doctor {

struct Node {
  bool exists = false;
  unsigned uid = 0;
  unsigned gid = 0;
  unsigned mode = 0;  // permission bits only
};

struct Tty {
  std::string name;                         // "ttyUSB0"
  Node node;                                // /dev/<name>
  std::map<std::string, std::string> udev;  // udev's properties of the terminal
};

struct UsbInterface {
  std::string name;    // "1-1:1.0"
  std::string driver;  // "ch341", "usbfs"; empty when no driver is bound
  int interfaceClass = -1;
  int interfaceSubClass = -1;
  std::vector<Tty> ttys;
};

// What a USB device says of itself.
struct UsbIds {
  std::string vendorId;  // "1a86"
  std::string productId;
  std::string manufacturer;
  std::string product;
  std::string serial;
};

struct UsbDevice {
  std::string name;  // "1-1.4", the sysfs name
  UsbIds ids;
  std::string node;                         // "/dev/bus/usb/001/005"
  std::map<std::string, std::string> udev;  // udev's properties of the USB device
  std::vector<UsbInterface> interfaces;
};

struct Process {
  int pid = 0;
  std::string name;               // its comm
  std::vector<std::string> open;  // the devices under /dev it has open, where that can be seen
};

struct LockFile {
  std::string name;  // "LCK..ttyUSB0"
  int pid = 0;       // 0 when the file names none
  unsigned uid = 0;  // its owner
};

struct Group {
  std::string name;
  unsigned gid = 0;
  std::vector<std::string> members;
};

struct Machine {
  bool usbBus = false;                                    // sysfs shows USB devices at all
  std::vector<UsbDevice> usb;                             // every USB device but hubs, by name
  std::vector<std::pair<std::string, std::string>> byId;  // "/dev/serial/by-id/x", "/dev/ttyUSB0"
  std::vector<Process> processes;
  std::vector<Group> groups;
  std::map<unsigned, std::string> users;
  std::vector<LockFile> locks;            // LCK..* in /var/lock
  std::map<int, std::string> comAliases;  // COMn -> device, from the user's alias folder
};

// The user the diagnosis is for: the groups are those of the running process, which are the
// ones a port is opened with (a group joined since logging in is not among them).
struct User {
  unsigned uid = 0;
  std::string name;
  std::vector<unsigned> groups;
};

// Reads sysfs under root/sys, root/dev, root/proc, root/etc/group and root/etc/passwd,
// root/var/lock and root/run/udev/data. Nothing is opened for writing; what cannot be read
// (another user's open files) is left out. The COM aliases are not under root: see below.
[[nodiscard]] Machine readMachine(const std::filesystem::path& root = "/");

// Every process under root/proc, with the devices it has open where that can be seen.
[[nodiscard]] std::vector<Process> readProcesses(const std::filesystem::path& root = "/");

// The COM names the user's alias folder gives, with the device each one opens now.
[[nodiscard]] std::map<int, std::string> readComAliases();

[[nodiscard]] User currentUser();

}  // namespace qz::doctor

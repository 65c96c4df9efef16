#include "doctor/machine.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <fstream>
#include <sstream>
#include <system_error>

#include "link/com_ports.h"

namespace qz::doctor {

namespace {

namespace fs = std::filesystem;

std::vector<fs::path> entries(const fs::path& folder) {
  std::vector<fs::path> found;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    found.push_back(it->path());
  }
  std::sort(found.begin(), found.end());
  return found;
}

// The first line of a small sysfs or proc file, without its line end.
std::string firstLine(const fs::path& file) {
  std::ifstream in(file);
  std::string line;
  std::getline(in, line);
  return line;
}

int number(std::string_view text, int base = 10) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  int value = -1;
  std::from_chars(text.data(), text.data() + text.size(), value, base);
  return value;
}

std::string linkName(const fs::path& link) {
  std::error_code ec;
  const fs::path target = fs::read_symlink(link, ec);
  return ec ? std::string() : target.filename().string();
}

Node stat(const fs::path& path) {
  struct stat st {};
  Node n;
  if (::stat(path.c_str(), &st) != 0) return n;
  n.exists = true;
  n.uid = st.st_uid;
  n.gid = st.st_gid;
  n.mode = st.st_mode & 07777;
  return n;
}

// udev's record of a character device "188:0": its E: lines.
std::map<std::string, std::string> udevProperties(const fs::path& root,
                                                  const std::string& numbers) {
  std::map<std::string, std::string> props;
  if (numbers.empty()) return props;
  std::ifstream in(root / "run/udev/data" / ("c" + numbers));
  for (std::string line; std::getline(in, line);) {
    if (!line.starts_with("E:")) continue;
    const std::size_t eq = line.find('=');
    if (eq != std::string::npos) props[line.substr(2, eq - 2)] = line.substr(eq + 1);
  }
  return props;
}

// A usb-serial driver puts its ports at <interface>/ttyUSB0/tty/ttyUSB0, cdc-acm at
// <interface>/tty/ttyACM0.
std::vector<Tty> ttysOf(const fs::path& root, const fs::path& interface) {
  std::vector<Tty> ttys;
  auto add = [&](const fs::path& classDir) {
    Tty t;
    t.name = classDir.filename().string();
    t.node = stat(root / "dev" / t.name);
    t.udev = udevProperties(root, firstLine(classDir / "dev"));
    ttys.push_back(std::move(t));
  };
  for (const fs::path& child : entries(interface)) {
    const std::string name = child.filename().string();
    if (name == "tty") {
      for (const fs::path& t : entries(child)) add(t);
    } else if (name.starts_with("tty")) {
      add(child / "tty" / name);
    }
  }
  return ttys;
}

std::string padded(const std::string& n) {
  const int v = number(n);
  std::string s = std::to_string(v < 0 ? 0 : v);
  return std::string(s.size() < 3 ? 3 - s.size() : 0, '0') + s;
}

std::vector<UsbDevice> readUsb(const fs::path& root, bool& busSeen) {
  std::vector<UsbDevice> devices;
  const fs::path bus = root / "sys/bus/usb/devices";
  const std::vector<fs::path> all = entries(bus);
  busSeen = !all.empty();
  for (const fs::path& dir : all) {
    const std::string name = dir.filename().string();
    std::error_code ec;
    if (name.find(':') != std::string::npos || !fs::exists(dir / "idVendor", ec)) continue;
    if (firstLine(dir / "bDeviceClass") == "09") continue;  // a hub
    UsbDevice d;
    d.name = name;
    d.ids.vendorId = firstLine(dir / "idVendor");
    d.ids.productId = firstLine(dir / "idProduct");
    d.ids.manufacturer = firstLine(dir / "manufacturer");
    d.ids.product = firstLine(dir / "product");
    d.ids.serial = firstLine(dir / "serial");
    d.node = "/dev/bus/usb/" + padded(firstLine(dir / "busnum")) + "/" +
             padded(firstLine(dir / "devnum"));
    d.udev = udevProperties(root, firstLine(dir / "dev"));
    for (const fs::path& ifDir : all) {
      const std::string ifName = ifDir.filename().string();
      if (!ifName.starts_with(name + ":")) continue;
      UsbInterface i;
      i.name = ifName;
      i.driver = linkName(ifDir / "driver");
      i.interfaceClass = number(firstLine(ifDir / "bInterfaceClass"), 16);
      i.interfaceSubClass = number(firstLine(ifDir / "bInterfaceSubClass"), 16);
      i.ttys = ttysOf(root, ifDir);
      d.interfaces.push_back(std::move(i));
    }
    devices.push_back(std::move(d));
  }
  return devices;
}

std::vector<std::string> fields(const std::string& line) {
  std::vector<std::string> f;
  std::istringstream in(line);
  for (std::string field; std::getline(in, field, ':');) f.push_back(field);
  return f;
}

void readAccounts(const fs::path& root, Machine& m) {
  std::ifstream group(root / "etc/group");
  for (std::string line; std::getline(group, line);) {
    const std::vector<std::string> f = fields(line);
    if (f.size() < 3) continue;
    Group g{f[0], static_cast<unsigned>(number(f[2])), {}};
    std::istringstream members(f.size() > 3 ? f[3] : "");
    for (std::string member; std::getline(members, member, ',');) g.members.push_back(member);
    m.groups.push_back(std::move(g));
  }
  std::ifstream passwd(root / "etc/passwd");
  for (std::string line; std::getline(passwd, line);) {
    const std::vector<std::string> f = fields(line);
    if (f.size() >= 3) m.users[static_cast<unsigned>(number(f[2]))] = f[0];
  }
}

std::vector<LockFile> readLocks(const fs::path& root) {
  std::vector<LockFile> locks;
  for (const fs::path& file : entries(root / "var/lock")) {
    const std::string name = file.filename().string();
    if (!name.starts_with("LCK..")) continue;
    // The holder's pid in decimal text, often padded with blanks to ten places.
    const int pid = number(firstLine(file));
    locks.push_back({name, pid > 0 ? pid : 0, stat(file).uid});
  }
  return locks;
}

}  // namespace

std::vector<Process> readProcesses(const std::filesystem::path& root) {
  std::vector<Process> processes;
  for (const fs::path& dir : entries(root / "proc")) {
    const std::string pid = dir.filename().string();
    if (pid.empty() || pid.find_first_not_of("0123456789") != std::string::npos) continue;
    Process p;
    p.pid = number(pid);
    p.name = firstLine(dir / "comm");
    for (const fs::path& fd : entries(dir / "fd")) {
      std::error_code ec;
      const std::string target = fs::read_symlink(fd, ec).string();
      if (!ec && target.starts_with("/dev/")) p.open.push_back(target);
    }
    processes.push_back(std::move(p));
  }
  return processes;
}

Machine readMachine(const std::filesystem::path& root) {
  Machine m;
  m.usb = readUsb(root, m.usbBus);
  for (const fs::path& link : entries(root / "dev/serial/by-id")) {
    std::error_code ec;
    const fs::path target = fs::read_symlink(link, ec);
    if (ec) continue;
    const fs::path name = fs::path("/dev/serial/by-id") / link.filename();
    m.byId.emplace_back(name.string(), (name.parent_path() / target).lexically_normal().string());
  }
  m.processes = readProcesses(root);
  readAccounts(root, m);
  m.locks = readLocks(root);
  return m;
}

std::map<int, std::string> readComAliases() {
  std::map<int, std::string> aliases;
  for (int n = kFirstComPort; n <= kLastComPort; ++n) {
    const std::string device = comDevicePath(n);
    if (device != fixedComDevice(n)) aliases[n] = device;
  }
  return aliases;
}

User currentUser() {
  User u;
  u.uid = ::getuid();
  if (const passwd* pw = ::getpwuid(u.uid)) u.name = pw->pw_name;
  const int count = ::getgroups(0, nullptr);
  std::vector<gid_t> gids(static_cast<std::size_t>(std::max(count, 0)));
  if (count > 0 && ::getgroups(count, gids.data()) == count) {
    u.groups.assign(gids.begin(), gids.end());
  }
  u.groups.push_back(::getegid());
  return u;
}

}  // namespace qz::doctor

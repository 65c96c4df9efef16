#include "doctor/diagnosis.h"

#include <algorithm>
#include <cstdio>

#include "link/com_ports.h"

namespace qz::doctor {

namespace {

constexpr const char* kReplug = "unplug the adapter and plug it in again";

// Makers whose chips are USB-to-serial bridges: FTDI, Silicon Labs, WCH (QinHeng), Prolific.
// Their chips count as adapters even when no driver took them.
bool serialMaker(const std::string& vendorId) {
  return vendorId == "0403" || vendorId == "10c4" || vendorId == "1a86" || vendorId == "067b";
}

bool isAdapter(const UsbDevice& d) {
  if (serialMaker(d.ids.vendorId)) return true;
  return std::any_of(d.interfaces.begin(), d.interfaces.end(), [](const UsbInterface& i) {
    const bool acm = i.interfaceClass == 2 && i.interfaceSubClass == 2;
    return acm || !i.ttys.empty();
  });
}

bool running(const Machine& m, std::string_view name) {
  return std::any_of(m.processes.begin(), m.processes.end(),
                     [&](const Process& p) { return p.name == name; });
}

std::vector<const Process*> holders(const Machine& m, const std::string& device) {
  std::vector<const Process*> found;
  for (const Process& p : m.processes) {
    if (std::find(p.open.begin(), p.open.end(), device) != p.open.end()) found.push_back(&p);
  }
  return found;
}

// The COM name the port list gives the device: an alias wins over the fixed table.
std::string comNameOf(const Machine& m, const std::string& device) {
  for (int n = kFirstComPort; n <= kLastComPort; ++n) {
    const auto alias = m.comAliases.find(n);
    if ((alias != m.comAliases.end() ? alias->second : fixedComDevice(n)) == device) {
      return "COM" + std::to_string(n);
    }
  }
  return {};
}

std::string octal(unsigned mode) {
  char text[8];
  std::snprintf(text, sizeof text, "%04o", mode);
  return text;
}

struct Examiner {
  const Machine& m;
  const User& u;
  Adapter& a;

  // The finding, its cause and what its words name; the English text is qzctl's.
  Finding& add(Cause cause, std::string subject, const std::string& topic, Level level,
               std::string text, std::vector<std::string> fixes = {}, std::string command = {}) {
    return a.findings.emplace_back(Finding{topic, level, std::move(text), std::move(fixes), cause,
                                           std::move(subject), std::move(command)});
  }

  void port(const Tty& tty) {
    a.device = "/dev/" + tty.name;
    for (const auto& [name, device] : m.byId) {
      if (device == a.device) a.byId.push_back(name);
    }
    a.com = comNameOf(m, a.device);
    std::string text = a.device;
    text.append(a.com.empty() ? " has no COM name" : " is " + a.com);
    if (!a.byId.empty()) text.append("; stable name ").append(a.byId.front());
    add(Cause::PortMade, a.device, "port", Level::Good, text);
    if (a.com.empty()) {
      const std::string alias = "ln -s " + a.device + " \"$XDG_RUNTIME_DIR/qzconfig/ports/COM40\"";
      add(Cause::NoComName, a.device, "port", Level::Note,
          "no COM name leads to " + a.device +
              " (the fixed names stop at ttyUSB7 and ttyACM7, and an alias takes the place of "
              "the fixed name)",
          {"qzctl --port " + a.device + " reaches it as it is", "or name it: " + alias}, alias);
    }
  }

  void noPort(const UsbDevice& d) {
    const std::vector<const Process*> takers = holders(m, d.node);
    const bool usbfs = std::any_of(d.interfaces.begin(), d.interfaces.end(),
                                   [](const UsbInterface& i) { return i.driver == "usbfs"; });
    const std::string ids = d.ids.vendorId + ":" + d.ids.productId;
    if (!takers.empty() && takers.front()->name != "brltty") {
      add(Cause::ClaimedByProgram, describe(*takers.front()), "port", Level::Problem,
          "no port: " + describe(*takers.front()) + " claimed the adapter (" + ids +
              ") through usbfs",
          {std::string("close that program, then ") + kReplug});
    } else if (usbfs || !takers.empty()) {
      add(Cause::TakenByBrltty, {}, "port", Level::Problem,
          "no port: brltty, the braille display service, took the adapter (" + ids +
              ") through usbfs" + (takers.empty() ? "" : ", as " + describe(*takers.front())),
          {std::string("sudo apt remove brltty (unless a braille display is used), then ") +
               kReplug,
           std::string("or disable brltty's udev rule: sudo ln -s /dev/null "
                       "/etc/udev/rules.d/85-brltty.rules && sudo udevadm control "
                       "--reload-rules, then ") +
               kReplug},
          "sudo apt remove brltty");
    } else if (a.driver.empty()) {
      add(Cause::NoDriver, {}, "port", Level::Problem,
          "no port: no driver is bound, the kernel does not know this chip (" + ids + ")",
          {"a newer kernel may know it, or the chip maker's Linux driver"});
    } else {
      add(Cause::DriverMadeNoPort, a.driver, "port", Level::Problem,
          "no port: the driver " + a.driver + " is bound but made no serial port",
          {std::string(kReplug) + "; sudo dmesg | tail tells what the kernel said"});
    }
  }

  void access(const Tty& tty) {
    const Node& n = tty.node;
    if (!n.exists) {
      add(Cause::NodeMissing, a.device, "access", Level::Problem,
          "the kernel made " + tty.name + " but " + a.device + " is missing (udev did not run)",
          {kReplug});
      return;
    }
    const auto user = m.users.find(n.uid);
    a.owner = user != m.users.end() ? user->second : std::to_string(n.uid);
    const auto group = std::find_if(m.groups.begin(), m.groups.end(),
                                    [&](const Group& g) { return g.gid == n.gid; });
    a.group = group != m.groups.end() ? group->name : std::to_string(n.gid);
    a.mode = n.mode;
    const std::string node = "owner " + a.owner + ", group " + a.group + ", mode " + octal(n.mode);
    const bool inNow = std::find(u.groups.begin(), u.groups.end(), n.gid) != u.groups.end();
    const bool listed =
        group != m.groups.end() &&
        std::find(group->members.begin(), group->members.end(), u.name) != group->members.end();
    const std::string you = "you (" + u.name + ")";
    if (u.uid == 0) {
      add(Cause::AccessGranted, {}, "access", Level::Good, node + ": you are root");
    } else if (u.uid == n.uid && (n.mode & 0600) == 0600) {
      add(Cause::AccessGranted, {}, "access", Level::Good, node + ": you own it");
    } else if ((n.mode & 0006) == 0006) {
      add(Cause::AccessGranted, {}, "access", Level::Good,
          node + ": everyone may read and write it");
    } else if ((n.mode & 0060) != 0060) {
      add(Cause::NobodyMayOpen, {}, "access", Level::Problem,
          node + ": neither you nor its group may read and write it",
          {"a udev rule that gives it GROUP=\"dialout\", MODE=\"0660\""});
    } else if (inNow) {
      add(Cause::AccessGranted, {}, "access", Level::Good, node + ": you are in " + a.group);
    } else if (listed) {
      add(Cause::JoinedAfterLogin, a.group, "access", Level::Problem,
          you + " joined " + a.group + " after logging in: this session is not in it yet (" + node +
              ")",
          {"log out and log in again (a new terminal is not enough)"});
    } else {
      const std::string join = "sudo adduser " + u.name + " " + a.group;
      add(Cause::NotInGroup, a.group, "access", Level::Problem,
          you + " are not in " + a.group + ", the group that may open it (" + node + ")",
          {join + ", then log out and log in again"}, join);
    }
  }

  void use(const Tty& tty) {
    const std::vector<const Process*> users = holders(m, a.device);
    std::string names;
    for (const Process* p : users) names.append(names.empty() ? "" : ", ").append(describe(*p));
    const bool probing = std::any_of(users.begin(), users.end(),
                                     [](const Process* p) { return p->name == "ModemManager"; });
    if (probing) {
      add(Cause::ProbedByModemManager, names, "use", Level::Problem,
          "in use by " + names + ": it probes a new port for some seconds after plugging in",
          {"wait a little and run qzctl doctor again"});
    } else if (!users.empty()) {
      add(Cause::InUse, names, "use", Level::Problem, "in use by " + names, {"close that program"});
    }
    std::vector<std::string> lockNames = {"LCK.." + tty.name};
    for (std::string path : a.byId) {
      path.erase(0, 5);  // "/dev/"
      std::replace(path.begin(), path.end(), '/', '_');
      lockNames.push_back("LCK.." + path);
    }
    const std::size_t before = a.findings.size();
    for (const LockFile& lock : m.locks) {
      if (std::find(lockNames.begin(), lockNames.end(), lock.name) == lockNames.end()) continue;
      const std::string file = "/var/lock/" + lock.name;
      const auto owner = std::find_if(m.processes.begin(), m.processes.end(),
                                      [&](const Process& p) { return p.pid == lock.pid; });
      if (owner != m.processes.end()) {
        if (std::find(users.begin(), users.end(), &*owner) == users.end()) {
          add(Cause::LockedBy, describe(*owner), "use", Level::Problem,
              "locked by " + describe(*owner) + " (" + file + ")", {"close that program"});
        }
        continue;
      }
      const std::string stale =
          file + " is left from pid " + std::to_string(lock.pid) + ", which is gone";
      if (u.uid == 0 || lock.uid == u.uid) {
        add(Cause::StaleLock, file, "use", Level::Note, stale + ": opening the port clears it");
      } else {
        add(Cause::OthersStaleLock, file, "use", Level::Problem,
            stale + ", and it is another user's: the port cannot be locked", {"sudo rm " + file},
            "sudo rm " + file);
      }
    }
    if (users.empty() && a.findings.size() == before) {
      add(Cause::NobodyHoldsIt, {}, "use", Level::Good,
          u.uid == 0 ? "no process holds it" : "no process holds it, as far as you may see");
    }
  }

  void modemManager(const Tty& tty, const UsbDevice& d) {
    auto ignores = [](const std::map<std::string, std::string>& props) {
      const auto it = props.find("ID_MM_DEVICE_IGNORE");
      return it != props.end() && it->second == "1";
    };
    if (!running(m, "ModemManager") || ignores(tty.udev) || ignores(d.udev)) return;
    const std::string rule = "echo 'ATTRS{idVendor}==\"" + d.ids.vendorId +
                             "\", ATTRS{idProduct}==\"" + d.ids.productId +
                             "\", ENV{ID_MM_DEVICE_IGNORE}=\"1\"' | sudo tee -a "
                             "/etc/udev/rules.d/99-qzconfig.rules";
    add(Cause::ModemManagerMayProbe, {}, "ModemManager", Level::Note,
        "ModemManager runs and the adapter lacks ID_MM_DEVICE_IGNORE: it may probe the port "
        "with AT commands for some seconds after plugging in, and hold it meanwhile",
        {rule + ", then " + kReplug,
         "or, with no modem on this machine: sudo systemctl disable --now ModemManager"},
        rule);
  }
};

Adapter identity(const UsbDevice& d, const std::string& driver) {
  Adapter a;
  a.usb = d.name;
  a.ids = d.ids;
  a.driver = driver;
  for (const UsbInterface& i : d.interfaces) {
    if (a.driver.empty()) a.driver = i.driver;
  }
  return a;
}

std::string label(const Adapter& a) {
  return a.com.empty() ? a.device : a.com + " (" + a.device + ")";
}

}  // namespace

Diagnosis diagnose(const Machine& machine, const User& user) {
  Diagnosis d;
  for (const UsbDevice& usb : machine.usb) {
    if (!isAdapter(usb)) continue;
    bool anyTty = false;
    for (const UsbInterface& i : usb.interfaces) {
      for (const Tty& tty : i.ttys) {
        anyTty = true;
        Adapter& a = d.adapters.emplace_back(identity(usb, i.driver));
        Examiner e{machine, user, a};
        e.port(tty);
        e.access(tty);
        e.use(tty);
        e.modemManager(tty, usb);
      }
    }
    if (!anyTty) {
      Adapter& a = d.adapters.emplace_back(identity(usb, {}));
      Examiner{machine, user, a}.noPort(usb);
    }
  }

  // In the order of their COM names, those without one last.
  auto comOrder = [](const Adapter& a) {
    return a.com.empty() ? kLastComPort + 1 : std::stoi(a.com.substr(3));
  };
  std::stable_sort(d.adapters.begin(), d.adapters.end(),
                   [&](const Adapter& x, const Adapter& y) { return comOrder(x) < comOrder(y); });
  std::vector<const Adapter*> ports;
  for (Adapter& a : d.adapters) {
    a.usable = std::none_of(a.findings.begin(), a.findings.end(),
                            [](const Finding& f) { return f.level == Level::Problem; });
    if (!a.device.empty()) ports.push_back(&a);
  }
  if (d.adapters.empty()) {
    d.machine.push_back({"adapters",
                         Level::Problem,
                         machine.usbBus
                             ? "no USB serial adapter: none of the USB devices here is one"
                             : "no USB serial adapter: the system shows no USB device at all",
                         {"plug the USB RS-485 adapter in, then run qzctl doctor again"},
                         machine.usbBus ? Cause::NoAdapter : Cause::NoUsbDevice,
                         {},
                         {}});
  } else if (ports.size() > 1) {
    std::vector<std::string> fixes;
    for (const Adapter* a : ports) {
      if (!a->byId.empty()) fixes.push_back("qzctl --port " + a->byId.front());
    }
    d.machine.push_back({"adapters",
                         Level::Note,
                         std::to_string(ports.size()) +
                             " ports: ttyUSB and ttyACM numbers follow the order of plugging "
                             "in; the /dev/serial/by-id names stay with each adapter",
                         fixes,
                         Cause::SeveralPorts,
                         std::to_string(ports.size()),
                         {}});
  }

  std::vector<std::string> good;
  for (const Adapter& a : d.adapters) {
    if (a.usable) good.push_back(label(a));
  }
  d.usable = !good.empty();
  if (d.usable) {
    d.last = "use " + good.front();
    for (std::size_t i = 1; i < good.size(); ++i) d.last.append(" or ").append(good[i]);
  } else {
    d.last = "fix first: " + firstProblem(d);
  }
  return d;
}

std::string describe(const Process& p) {
  std::string s = "pid " + std::to_string(p.pid);
  if (!p.name.empty()) s.append(" (").append(p.name).append(")");
  return s;
}

FirstProblem firstProblemFound(const Diagnosis& d) {
  for (const Adapter& a : d.adapters) {
    for (const Finding& f : a.findings) {
      if (f.level == Level::Problem) return {&a, &f};
    }
  }
  for (const Finding& f : d.machine) {
    if (f.level == Level::Problem) return {nullptr, &f};
  }
  return {};
}

std::string firstProblem(const Diagnosis& d, bool withFix) {
  auto line = [withFix](const Adapter* a, const Finding& f) {
    std::string s = a != nullptr && !a->device.empty() ? a->device + ": " : "";
    s.append(f.text);
    if (withFix && !f.fixes.empty()) s.append("; ").append(f.fixes.front());
    return s;
  };
  for (const Adapter& a : d.adapters) {
    for (const Finding& f : a.findings) {
      if (f.level == Level::Problem) return line(&a, f);
    }
  }
  for (const Finding& f : d.machine) {
    if (f.level == Level::Problem) return line(nullptr, f);
  }
  return {};
}

std::string printable(std::string_view reported, bool backslashes) {
  std::string out;
  auto escape = [&](unsigned char b) {
    char text[5];
    std::snprintf(text, sizeof text, "\\x%02X", b);
    out += text;
  };
  for (std::size_t i = 0; i < reported.size();) {
    const auto b = static_cast<unsigned char>(reported[i]);
    if (b < 0x80) {
      if (b == '\\' && backslashes) {
        out += "\\\\";
      } else if (b < 0x20 || b == 0x7F) {
        escape(b);
      } else {
        out += static_cast<char>(b);
      }
      ++i;
      continue;
    }
    // A whole UTF-8 sequence, shortest form, no surrogate, and no C1 control (U+0080..U+009F).
    const std::size_t n = b >= 0xF0 && b <= 0xF4  ? 4
                          : b >= 0xE0             ? 3
                          : b >= 0xC2 && b < 0xE0 ? 2
                                                  : 0;
    std::uint32_t c = n == 4 ? b & 0x07u : n == 3 ? b & 0x0Fu : b & 0x1Fu;
    bool whole = n > 0 && i + n <= reported.size();
    for (std::size_t k = 1; whole && k < n; ++k) {
      const auto t = static_cast<unsigned char>(reported[i + k]);
      whole = (t & 0xC0) == 0x80;
      c = (c << 6) | (t & 0x3Fu);
    }
    whole = whole && c >= 0xA0 && !(c >= 0xD800 && c <= 0xDFFF) && c <= 0x10FFFF &&
            !(n == 3 && c < 0x800) && !(n == 4 && c < 0x10000);
    if (whole) {
      out.append(reported.substr(i, n));
      i += n;
    } else {
      escape(b);
      ++i;
    }
  }
  return out;
}

}  // namespace qz::doctor

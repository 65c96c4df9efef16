#include "link/com_ports.h"

#include <charconv>
#include <cmath>
#include <system_error>

#include "link/line_settings.h"

namespace qz {

namespace {

namespace fs = std::filesystem;

// The device an alias names. The link is resolved so that every name of one device takes
// the same lock: a second tool opening it as COM1 and as COM40 is then told it is in use.
// A link whose device is gone stays as it is and opens as "no such port".
std::string aliasDevice(int n) {
  const fs::path folder = comAliasFolder();
  if (!trustedAliasFolder(folder.parent_path()) || !trustedAliasFolder(folder)) return {};
  const fs::path alias = folder / comName(n);
  const AliasKind kind = aliasKind(alias);
  // A link left by a program that was killed: the device name may meanwhile belong to
  // somebody else's terminal.
  if (kind != AliasKind::Handmade && kind != AliasKind::Live) return {};
  std::error_code ec;
  const fs::path device = fs::canonical(alias, ec);
  return ec ? alias.string() : device.string();
}

// The number after "COM", read the way the port list's text was always read: blanks skipped
// wherever they stand, an optional sign, digits and a fraction up to the first other
// character, 0 without digits; halves go to the even neighbour.
double leadingNumber(std::string_view text) {
  double value = 0;
  double scale = 0;  // 0 before the decimal point, then 0.1, 0.01, ...
  bool negative = false;
  bool started = false;
  for (const char c : text) {
    if (c == ' ' || c == '\t' || c == '\n' || c == '\r') continue;
    if (!started && (c == '-' || c == '+')) {
      negative = c == '-';
      started = true;
    } else if (c >= '0' && c <= '9') {
      started = true;
      if (scale == 0) {
        value = value * 10 + (c - '0');
      } else {
        value += (c - '0') * scale;
        scale /= 10;
      }
    } else if (c == '.' && scale == 0) {
      started = true;
      scale = 0.1;
    } else {
      break;
    }
  }
  return negative ? -value : value;
}

}  // namespace

std::string comName(int n) {
  return "COM" + std::to_string(n);
}

std::optional<int> comNumber(std::string_view name) {
  if (!name.starts_with("COM")) return std::nullopt;
  const std::string_view digits = name.substr(3);
  int n = 0;
  const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), n);
  if (digits.empty() || digits.front() == '0' || ec != std::errc() ||
      end != digits.data() + digits.size() || n < kFirstComPort || n > kLastComPort) {
    return std::nullopt;
  }
  return n;
}

std::string fixedComDevice(int n) {
  struct Kind {
    int first;
    int count;
    const char* prefix;
  };
  constexpr Kind kKinds[] = {{kFirstUsbComPort, kUsbComPorts, "/dev/ttyUSB"},
                             {kFirstAcmComPort, kAcmComPorts, "/dev/ttyACM"},
                             {kFirstUartComPort, kUartComPorts, "/dev/ttyS"}};
  for (const Kind& k : kKinds) {
    if (n >= k.first && n < k.first + k.count) return k.prefix + std::to_string(n - k.first);
  }
  return {};
}

std::string comDevicePath(int n) {
  if (n < kFirstComPort || n > kLastComPort) return {};
  if (std::string alias = aliasDevice(n); !alias.empty()) return alias;
  return fixedComDevice(n);
}

const std::vector<std::string>& baudRates() {
  static const std::vector<std::string> rates = {"1200",   "2400",   "4800",  "9600",
                                                 "14400",  "19200",  "38400", "57600",
                                                 "115200", "128000", "256000"};
  return rates;
}

std::vector<ComPortState> listComPorts(const ComProbe& probe, bool everyAlias) {
  std::vector<ComPortState> ports;
  for (int n = kFirstComPort; n <= kLastComPort; ++n) {
    ComPortState p = probe(n);
    p.number = n;
    p.device = comDevicePath(n);
    // An alias to a fixed-table device names nothing the table does not.
    p.alias = !p.device.empty() && p.device != fixedComDevice(n);
    if (p.exists() || (everyAlias && p.alias)) ports.push_back(std::move(p));
  }
  return ports;
}

ComProbe probeThrough(SerialPort& port) {
  return [&port](int n) {
    ComPortState p;
    port.setPortNumber(n);
    if (!port.probe()) {
      p.error = port.lastError();
      p.why = port.lastErrorText();
    }
    port.clearError();
    return p;
  };
}

std::vector<std::string> EnumComPorts(SerialPort& port) {
  std::vector<std::string> names;
  // An open port is in use by the tool itself; probing would only fail on every number.
  if (port.isOpen()) return names;
  for (const ComPortState& p : listComPorts(probeThrough(port))) names.push_back(comName(p.number));
  return names;
}

OpenResult OpenComPort(SerialPort& port, std::string_view portText, std::string_view baud,
                       std::string_view parity, std::string_view dataBits,
                       std::string_view stopBits) {
  OpenResult result;
  // Nothing of an open port is touched: its number and settings belong to the connection.
  if (port.isOpen()) return result;
  port.clearError();

  const double number =
      std::nearbyint(leadingNumber(portText.size() > 3 ? portText.substr(3) : ""));
  // No number (an empty list) or one no port can have: nothing to open and nothing to say.
  const bool numberUsable = number >= 1 && number <= 32767;
  PortError error = PortError::None;
  if (numberUsable) {
    port.setPortNumber(static_cast<int>(number));
    std::string text(baud);
    text += ',';
    if (!parity.empty()) text += parity.front();
    text += ',';
    text += dataBits;
    text += ',';
    text += stopBits;
    // Settings that do not read as any are refused as the port refuses those it cannot take.
    const std::optional<LineSettings> settings = parseLineSettings(text);
    result.opened = settings && port.open(*settings);
    error = settings ? port.lastError() : PortError::SettingsRefused;
  }

  if (!result.opened) {
    const std::string n = std::to_string(port.portNumber());
    switch (error) {
      case PortError::SettingsRefused:
        result.message = "波特率不适应，请重新设置波特率！";
        break;
      case PortError::NoSuchPort:
        result.message = "COM" + n + "已移除，请选择其它串口！";
        break;
      case PortError::InUse:
        result.message = "COM" + n + "已被其它程序打开，请选择其它串口！";
        break;
      case PortError::AccessDenied:
        // The first line as the tool always said it, then what to type.
        result.message = "COM" + n +
                         "没有访问权限，请把用户加入dialout组！\n"
                         "在终端中运行: sudo adduser $USER dialout\n"
                         "然后注销并重新登录，新的组才生效。";
        result.mustFix = true;
        break;
      case PortError::None:
      case PortError::Other:
        break;
    }
  }
  port.clearError();
  return result;
}

void CloseComPort(SerialPort& port) {
  if (port.isOpen()) port.close();
}

}  // namespace qz

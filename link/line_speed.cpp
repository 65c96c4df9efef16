// Kept apart from the rest of the link: the kernel's termios2 declarations clash with the C
// library's <termios.h>.
#include "link/line_speed.h"

#include <asm/termbits.h>
#include <linux/serial.h>
#include <sys/ioctl.h>

#include <array>
#include <utility>

namespace qz {

namespace {

// The fixed speed codes of the c_cflag speed field.
constexpr std::array<std::pair<unsigned, std::int64_t>, 31> kSpeedCodes = {{
    {B0, 0},
    {B50, 50},
    {B75, 75},
    {B110, 110},
    {B134, 134},
    {B150, 150},
    {B200, 200},
    {B300, 300},
    {B600, 600},
    {B1200, 1200},
    {B1800, 1800},
    {B2400, 2400},
    {B4800, 4800},
    {B9600, 9600},
    {B19200, 19200},
    {B38400, 38400},
    {B57600, 57600},
    {B115200, 115200},
    {B230400, 230400},
    {B460800, 460800},
    {B500000, 500000},
    {B576000, 576000},
    {B921600, 921600},
    {B1000000, 1000000},
    {B1152000, 1152000},
    {B1500000, 1500000},
    {B2000000, 2000000},
    {B2500000, 2500000},
    {B3000000, 3000000},
    {B3500000, 3500000},
    {B4000000, 4000000},
}};

}  // namespace

std::optional<std::int64_t> deviceLineSpeed(int fd) {
  termios2 tio{};
  if (::ioctl(fd, TCGETS2, &tio) != 0) return std::nullopt;
  const unsigned code = tio.c_cflag & CBAUD;
  // An arbitrary rate, set through termios2.
  if (code == BOTHER) return static_cast<std::int64_t>(tio.c_ospeed);

  std::int64_t speed = -1;
  for (const auto& [c, rate] : kSpeedCodes) {
    if (c == code) speed = rate;
  }
  if (speed < 0) return std::nullopt;

  // The old way to an arbitrary rate: 38400 stands for baud_base / custom_divisor.
  if (code == B38400) {
    serial_struct serial{};
    if (::ioctl(fd, TIOCGSERIAL, &serial) == 0 &&
        (static_cast<unsigned>(serial.flags) & ASYNC_SPD_MASK) == ASYNC_SPD_CUST &&
        serial.custom_divisor > 0) {
      speed = serial.baud_base / serial.custom_divisor;
    }
  }
  return speed;
}

}  // namespace qz

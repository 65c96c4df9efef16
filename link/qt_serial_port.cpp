#include "link/qt_serial_port.h"

namespace qz {

struct QtSerialPort::Impl {};

QtSerialPort::QtSerialPort() : d_(std::make_unique<Impl>()) {}
QtSerialPort::~QtSerialPort() = default;
void QtSerialPort::setPortNumber(int) {}
int QtSerialPort::portNumber() const { return 0; }
bool QtSerialPort::setSettings(std::string_view) { return true; }
std::string QtSerialPort::settings() const { return {}; }
bool QtSerialPort::open() { return false; }
void QtSerialPort::close() {}
bool QtSerialPort::isOpen() const { return false; }
PortError QtSerialPort::lastError() const { return PortError::None; }
std::string QtSerialPort::lastErrorText() const { return {}; }
void QtSerialPort::clearError() {}
void QtSerialPort::setReceiveThreshold(int) {}
int QtSerialPort::receiveThreshold() const { return 0; }
std::size_t QtSerialPort::bytesWaiting() const { return 0; }
std::vector<std::uint8_t> QtSerialPort::readAll() { return {}; }
void QtSerialPort::discardInput() {}
bool QtSerialPort::write(std::span<const std::uint8_t>) { return false; }
CommEvent QtSerialPort::commEvent() const { return CommEvent::None; }

}  // namespace qz

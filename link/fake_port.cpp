#include "link/fake_port.h"

#include <algorithm>

#include "link/line_settings.h"

namespace qz {

bool FakePort::setSettings(std::string_view text) {
  if (!parseLineSettings(text) ||
      std::find(refusedSettings.begin(), refusedSettings.end(), text) != refusedSettings.end()) {
    error_ = PortError::SettingsRefused;
    return false;
  }
  settings_ = std::string(text);
  return true;
}

bool FakePort::open() {
  const auto it = ports.find(number_);
  const PortError e = it == ports.end() ? PortError::NoSuchPort : it->second;
  if (e != PortError::None) {
    error_ = e;
    return false;
  }
  if (std::find(refusedSettings.begin(), refusedSettings.end(), settings_) !=
      refusedSettings.end()) {
    error_ = PortError::SettingsRefused;
    return false;
  }
  open_ = true;
  input_.clear();
  history.push_back("open " + std::to_string(number_));
  return true;
}

void FakePort::close() {
  if (!open_) return;
  open_ = false;
  input_.clear();
  history.push_back("close " + std::to_string(number_));
}

void FakePort::setReceiveThreshold(int bytes) {
  threshold_ = bytes;
}

std::vector<std::uint8_t> FakePort::readAll() {
  std::vector<std::uint8_t> out;
  out.swap(input_);
  return out;
}

bool FakePort::write(std::span<const std::uint8_t> bytes) {
  if (!open_) return false;
  writes.emplace_back(bytes.begin(), bytes.end());
  return true;
}

void FakePort::inject(std::span<const std::uint8_t> bytes) {
  if (!open_) return;
  input_.insert(input_.end(), bytes.begin(), bytes.end());
  if (threshold_ > 0 && input_.size() >= static_cast<std::size_t>(threshold_)) {
    notify(CommEvent::Receive);
  }
}

void FakePort::inject(std::initializer_list<std::uint8_t> bytes) {
  inject(std::span<const std::uint8_t>(bytes.begin(), bytes.size()));
}

void FakePort::pull() {
  if (!open_) return;
  open_ = false;
  input_.clear();
  history.push_back("lost " + std::to_string(number_));
  notify(CommEvent::Lost);
}

std::vector<std::uint8_t> FakePort::line() const {
  std::vector<std::uint8_t> all;
  for (const auto& w : writes) all.insert(all.end(), w.begin(), w.end());
  return all;
}

void FakePort::notify(CommEvent e) {
  event_ = e;
  if (onComm) onComm();
}

}  // namespace qz

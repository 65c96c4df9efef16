#include "link/fake_port.h"

#include <QMetaObject>
#include <QObject>
#include <algorithm>

namespace qz {

FakePort::FakePort() : context_(std::make_unique<QObject>()) {}
FakePort::~FakePort() = default;  // the context takes any check still queued with it

bool FakePort::open(const LineSettings& settings) {
  const auto it = ports.find(number_);
  const PortError e = it == ports.end() ? PortError::NoSuchPort : it->second;
  if (e != PortError::None) {
    error_ = e;
    return false;
  }
  if (std::find(refusedBauds.begin(), refusedBauds.end(), settings.baud) != refusedBauds.end()) {
    error_ = PortError::SettingsRefused;
    return false;
  }
  settings_ = settings;
  open_ = true;
  input_.clear();
  history.push_back("open " + std::to_string(number_));
  return true;
}

void FakePort::close() {
  lostUntold_ = false;
  if (!open_) return;
  open_ = false;
  input_.clear();
  history.push_back("close " + std::to_string(number_));
}

std::vector<std::uint8_t> FakePort::readAll() {
  std::vector<std::uint8_t> out;
  out.swap(input_);
  return out;
}

bool FakePort::write(std::span<const std::uint8_t> bytes) {
  if (!open_) return false;
  writes.emplace_back(bytes.begin(), bytes.end());
  if (onWrite) onWrite(bytes);
  return true;
}

void FakePort::inject(std::span<const std::uint8_t> bytes) {
  if (!open_) return;
  input_.insert(input_.end(), bytes.begin(), bytes.end());
  schedule();
}

void FakePort::inject(std::initializer_list<std::uint8_t> bytes) {
  inject(std::span<const std::uint8_t>(bytes.begin(), bytes.size()));
}

void FakePort::pull() {
  if (!open_) return;
  open_ = false;
  input_.clear();
  history.push_back("lost " + std::to_string(number_));
  lostUntold_ = true;
  schedule();
}

void FakePort::deliver() {
  // A handler that answers every notification with more bytes would keep the event loop busy
  // forever too; here it stops after many rounds.
  for (int round = 0; queued_ && round < 1000; ++round) service();
}

std::vector<std::uint8_t> FakePort::line() const {
  std::vector<std::uint8_t> all;
  for (const auto& w : writes) all.insert(all.end(), w.begin(), w.end());
  return all;
}

void FakePort::schedule() {
  if (queued_) return;
  queued_ = true;
  QMetaObject::invokeMethod(
      context_.get(),
      [this] {
        if (queued_) service();  // deliver() may have run it already
      },
      Qt::QueuedConnection);
}

void FakePort::service() {
  queued_ = false;
  if (inOnComm_) {
    recheck_ = true;
    return;
  }
  if (lostUntold_) {
    lostUntold_ = false;
    notify(CommEvent::Lost);
    return;
  }
  if (open_ && !input_.empty()) notify(CommEvent::Receive);
}

void FakePort::notify(CommEvent e) {
  event_ = e;
  const auto handler = onComm;  // the handler may replace itself
  inOnComm_ = true;
  if (handler) handler();
  inOnComm_ = false;
  if (recheck_) {
    recheck_ = false;
    schedule();
  }
}

}  // namespace qz

#pragma once
// What the qzctl tests share: the built program run to its end, qzsim on pseudo-terminals found
// through their COM aliases, parameter files, and a runtime folder of their own.

#include <gtest/gtest.h>

#include <QProcess>
#include <QString>
#include <QStringList>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "config/image.h"
#include "sim/pty_server.h"
#include "support/runtime_dir.h"

namespace qz::ctl_e2e {

using Bytes = std::vector<std::uint8_t>;
using std::chrono::milliseconds;
namespace fs = std::filesystem;

inline const Bytes kHandshake = {0xA1, 0xB2, 0xC3, 0xD4, 0xE5, 0xA1,
                                 0xAE, 0x5E, 0x4D, 0x3C, 0x2B, 0x1A};
inline const Bytes kDisconnect = {0xA1, 0xB2, 0xC3, 0xD4, 0xE5, 0xA2,
                                  0xAD, 0x5E, 0x4D, 0x3C, 0x2B, 0x1A};
inline const Bytes kVersionQuery = {0xA1, 0xB2, 0xC3, 0xD4, 0xE5, 0xA3,
                                    0xAC, 0x5E, 0x4D, 0x3C, 0x2B, 0x1A};

struct Ran {
  int code = -1;
  std::string out;
  std::string err;
};

// Runs qzctl to its end; `during` runs once the program has started.
inline Ran qzctl(const QStringList& args, const std::function<void(QProcess&)>& during = {}) {
  QProcess p;
  p.start(QStringLiteral(QZCTL_PATH), args);
  if (!p.waitForStarted(5000)) return {};
  if (during) during(p);
  if (!p.waitForFinished(60000)) {
    p.kill();
    p.waitForFinished();
    return {};
  }
  Ran r;
  r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
  r.out = p.readAllStandardOutput().toStdString();
  r.err = p.readAllStandardError().toStdString();
  return r;
}

// Each scene byte different, every value a parameter file can hold appearing somewhere.
inline ConfigImage patternImage() {
  ConfigImage image;
  for (int r = 0; r < kRows; ++r) {
    for (int c = 0; c < kRowBytes; ++c) image(r, c) = static_cast<std::uint8_t>(r * 31 + c * 7);
  }
  return image;
}

// A parameter file as the window writes it: "机型:" in GBK, then CJ lines, CR LF.
inline std::string paramFileText(int model, const ConfigImage& image, int skipRow = -1) {
  std::string text = "\xBB\xFA\xD0\xCD:" + std::to_string(model) + "\r\n";
  for (int r = 0; r < kRows; ++r) {
    if (r == skipRow) continue;
    char line[64];
    std::snprintf(line, sizeof line, "CJ%02d", r);
    text += line;
    for (int c = 0; c < kRowBytes; ++c) {
      std::snprintf(line, sizeof line, "%03d", image(r, c));
      text += line;
    }
    text += "\r\n";
  }
  return text;
}

inline void writeFile(const fs::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

inline std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

inline int count(const sim::PtyServer& server, const Bytes& frame) {
  int n = 0;
  for (const auto& e : server.log()) n += e.received == frame ? 1 : 0;
  return n;
}

inline int countLead(const sim::PtyServer& server, std::uint8_t lead, std::size_t length) {
  int n = 0;
  for (const auto& e : server.log()) {
    n += (e.received.size() == length && e.received[0] == lead) ? 1 : 0;
  }
  return n;
}

// qzsim logs a frame a moment after the program that sent it may have ended.
inline bool goodbyeArrives(const sim::PtyServer& server, int goodbyes = 1) {
  for (int i = 0; i < 100; ++i) {
    if (count(server, kDisconnect) >= goodbyes) return true;
    std::this_thread::sleep_for(milliseconds(20));
  }
  return false;
}

struct Sim {
  std::unique_ptr<sim::PtyServer> server;
  explicit Sim(sim::Options options = {}) {
    server = std::make_unique<sim::PtyServer>(options);
    server->start();
  }
  ~Sim() { server->stop(); }
  Sim(const Sim&) = delete;
  Sim& operator=(const Sim&) = delete;
  [[nodiscard]] QString com() const { return QString::fromStdString(server->comName()); }
  sim::PtyServer* operator->() const { return server.get(); }
};

class Ctl : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = runtime.root() / "files";
    fs::create_directories(dir);
  }
  [[nodiscard]] QString path(const char* name) const {
    return QString::fromStdString((dir / name).string());
  }
  test::RuntimeDir runtime;
  fs::path dir;
};

}  // namespace qz::ctl_e2e

// Every fault qzsim can put on the line, against a download and an upload, through the window
// and through qzctl. Each combination must end within 30 s, and may say success only when
// qzsim's image (download) or what the tool holds (upload) equals what was sent, byte for byte;
// a fault the protocol can ride out must end in success, one it cannot in failure.
//
// All combinations of one program and one direction run at once, each against a qzsim of its
// own: the windows in this process, qzctl with one --port per qzsim. QZ_FAULT_MATRIX=long adds
// variants of each fault and faults on top of one another; scripts/fault-matrix runs it.

#include <gtest/gtest.h>
#include <signal.h>

#include <QComboBox>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <span>
#include <sstream>
#include <string>
#include <vector>

#include "config/param_file.h"
#include "config/transfer.h"
#include "link/qt_serial_port.h"
#include "sim/command_line.h"
#include "sim/pty_server.h"
#include "support/event_loop.h"
#include "support/fake_platform.h"
#include "support/pty.h"
#include "support/runtime_dir.h"
#include "ui/form1.h"
#include "ui/module1.h"

namespace qz {
namespace {

enum class Expect { Success, Failure, Either };
enum class Direction { Download, Upload };

struct Fault {
  std::string args;  // qzsim's options; "{dir}" names the direction under test
  Expect download;
  Expect upload;
  bool longForm = false;
  // The window has no read-back: a controller that stores a row other than it acknowledged
  // is for qzctl's verification to find.
  bool windowDownload = true;
};

constexpr Expect S = Expect::Success;
constexpr Expect F = Expect::Failure;
constexpr Expect E = Expect::Either;

const std::vector<Fault> kFaults = {
    {"", S, S},
    {"--silent", F, F},
    {"--answer-from 3", S, S},
    {"--hangup-after 9", F, F},
    {"--store-wrong 7", F, S, false, false},
    {"--drop {dir}:5/2", S, S},
    {"--duplicate {dir}:5/1", S, S},
    {"--corrupt {dir}:5@1/1", S, S},
    {"--corrupt {dir}:5@1", F, F},  // every answer about row 5 garbled
    {"--extra {dir}:5/1=00", S, S},
    {"--ack-earlier 7=5", S, S},
    {"--ack-earlier 7=7/1000000", F, S},
    {"--merge {dir}:4/1", S, S},
    {"--twice any", S, S},
    {"--hangup-at {dir}:9", F, F},
    {"--result 10=90", S, S},
    {"--echo", S, S},
    {"--echo=bytes", S, S},
    // The long form.
    {"--no-pacing", S, S, true},
    {"--answer-from 31", F, F, true},
    {"--hangup-after 3", F, F, true},
    {"--store-wrong 18", F, S, true, false},
    {"--drop {dir}:0/1", S, S, true},
    {"--drop {dir}:18/4", S, S, true},
    {"--drop {dir}:12/5", F, F, true},
    {"--drop {dir}/3", S, S, true},
    {"--duplicate {dir}", E, E, true},
    {"--duplicate any", E, E, true},
    {"--corrupt {dir}:0@0/1", S, S, true},
    {"--corrupt {dir}:18@1/2", S, S, true},
    {"--corrupt download:9@2/3", S, S, true},
    {"--corrupt {dir}@1/3", S, S, true},
    {"--extra {dir}=00", E, E, true},
    {"--extra {dir}:3/2=D0 04 55", S, S, true},
    {"--ack-earlier 7=5/3", S, S, true},
    {"--ack-earlier 18=0/1000000", F, S, true},
    {"--ack-earlier 0=0/1000000", F, S, true},
    {"--merge {dir}", F, F, true},
    {"--merge {dir}:0/1 --merge {dir}:18/1", S, S, true},
    {"--twice {dir}", S, S, true},
    {"--twice any --no-pacing", S, S, true},
    {"--hangup-at {dir}:0", F, F, true},
    {"--result 20=A0", S, S, true},
    {"--echo --no-pacing", S, S, true},
    {"--echo=bytes --twice any", S, S, true},
    {"--echo=bytes --corrupt {dir}:5@1/1", S, S, true},
    {"--echo --drop {dir}:5/2 --duplicate {dir}:9/1", S, S, true},
    {"--echo=bytes --ack-earlier 7=5", S, S, true},
    {"--echo --ack-earlier 7=7/1000000", F, S, true},
    {"--echo=bytes --hangup-at {dir}:9", F, F, true},
};

constexpr qint64 kRunLimitMs = 30'000;
using Batch = std::span<const Fault* const>;

bool longForm() {
  const char* form = std::getenv("QZ_FAULT_MATRIX");
  return form != nullptr && std::string(form) == "long";
}

std::vector<const Fault*> faults() {
  std::vector<const Fault*> chosen;
  for (const Fault& f : kFaults) {
    if (!f.longForm || longForm()) chosen.push_back(&f);
  }
  return chosen;
}

const char* name(Direction d) {
  return d == Direction::Download ? "download" : "upload";
}

// The options with "{dir}" replaced, one argument per word ("D0 04 55" after "=" stays one).
std::vector<std::string> argsOf(const Fault& f, Direction d) {
  std::string text = f.args;
  for (std::size_t at; (at = text.find("{dir}")) != std::string::npos;) {
    text.replace(at, 5, name(d));
  }
  std::vector<std::string> args;
  for (std::size_t at = 0; at < text.size();) {
    std::size_t end = text.find(" --", at);
    if (end == std::string::npos) end = text.size();
    const std::string option = text.substr(at, end - at);
    const std::size_t blank = option.find(' ');
    args.push_back(option.substr(0, blank));
    if (blank != std::string::npos) args.push_back(option.substr(blank + 1));
    at = end == text.size() ? end : end + 1;
  }
  return args;
}

// An image the editor shows as it is (so an upload leaves it whole), and the controller's
// image before a download, different in every byte.
ConfigImage sentImage() {
  ConfigImage image = sim::defaultImage(2);
  image.rows[0] = {1, 1, 0, 0, 1, 0, 1, 0, 9, 2, 0, 5};
  image.rows[17] = {3, 1, 4, 0, 5, 6, 7, 8, 2, 1, 1, 2};
  image.rows[18] = {1, 5, 25, 45, 75, 105, 135, 165, 195, 225, 255, 16};
  return image;
}

ConfigImage otherImage() {
  ConfigImage image = sentImage();
  for (Row& row : image.rows) {
    for (std::uint8_t& b : row) b ^= 0x01;
  }
  return image;
}

std::unique_ptr<sim::PtyServer> startServer(const Fault& f, Direction d) {
  std::vector<std::string> args = argsOf(f, d);
  const std::vector<std::string_view> views(args.begin(), args.end());
  sim::Options o = sim::parseCommandLine(views).options;
  o.image = d == Direction::Download ? otherImage() : sentImage();
  auto server = std::make_unique<sim::PtyServer>(o);
  server->start();
  return server;
}

// One combination's outcome, and what is wrong with it.
struct Outcome {
  std::string fault;
  Direction direction = Direction::Download;
  const char* program = "";
  bool success = false;
  bool bytesMatch = false;
  qint64 ms = -1;  // until the transfer ended; -1: it did not
  std::string said;
};

std::string problem(const Outcome& o, Expect expect) {
  if (o.ms < 0 || o.ms > kRunLimitMs) return "did not end within 30 s";
  if (o.success && !o.bytesMatch) return "success shown, but the bytes differ";
  if (expect == Expect::Success && !o.success) return "expected success";
  if (expect == Expect::Failure && o.success) return "expected failure";
  return {};
}

void report(const std::vector<Outcome>& outcomes, const std::vector<Expect>& expected) {
  int bad = 0;
  for (std::size_t i = 0; i < outcomes.size(); ++i) {
    const Outcome& o = outcomes[i];
    const std::string wrong = problem(o, expected[i]);
    bad += wrong.empty() ? 0 : 1;
    const std::string time =
        o.ms < 0 ? "  (busy)"
                 : QString::asprintf("%6.1f s", static_cast<double>(o.ms) / 1000.0).toStdString();
    std::printf("%-7s %-8s %-46s %-7s %s  %s%s\n", o.program, name(o.direction),
                o.fault.empty() ? "(no fault)" : o.fault.c_str(), o.success ? "success" : "failed",
                time.c_str(), wrong.empty() ? "ok" : ("WRONG: " + wrong).c_str(),
                o.said.empty() ? "" : ("  [" + o.said + "]").c_str());
    EXPECT_EQ(wrong, "") << o.program << " " << name(o.direction) << " " << o.fault << ": "
                         << o.said;
  }
  std::printf("%zu combinations, %d wrong\n", outcomes.size(), bad);
  std::fflush(stdout);
}

// ---- the window ----

struct WindowRun {
  const Fault* fault;
  std::unique_ptr<sim::PtyServer> server;
  QtSerialPort port;
  test::FakePlatform platform;
  std::unique_ptr<Form1> w;
  bool connected = false;
};

// The attempt ticked by hand, as the end-to-end tests do, so that the connections of all the
// windows do not take their real 2 s each.
bool connect(Form1& w, const std::string& com) {
  const int index = w.Combo串口->findText(QString::fromStdString(com));
  if (index < 0) return false;
  w.Combo串口->setCurrentIndex(index);
  w.Command建立连接->click();
  w.Timer2->stop();
  for (int tick = 1; tick <= 30 && !w.Connected; ++tick) {
    w.Timer2_Timer();
    test::pumpUntil([&] { return w.Connected; }, 200);
  }
  if (!w.Connected) return false;
  for (int tick = 1; tick <= 6; ++tick) w.Timer2_Timer();
  w.Timer3->stop();
  w.Timer3_Timer();
  w.TimerGetVision->stop();
  test::pumpUntil([&] { return w.VersionText.size() >= 31; }, 1000);
  w.TimerGetVision_Timer();
  return true;
}

void runWindows(Direction d, Batch batch, std::vector<Outcome>& results,
                std::vector<Expect>& expected) {
  test::RuntimeDir runtime;
  std::vector<std::unique_ptr<WindowRun>> runs;
  for (const Fault* f : batch) {
    if (d == Direction::Download && !f->windowDownload) continue;
    auto run = std::make_unique<WindowRun>();
    run->fault = f;
    run->server = startServer(*f, d);
    runs.push_back(std::move(run));
  }
  for (auto& run : runs) {
    run->w = std::make_unique<Form1>(run->port, run->platform);
    run->w->Timer1->stop();
    run->connected = connect(*run->w, run->server->comName());
  }
  const QString success = uiText(d == Direction::Download ? kDownloadedText : kUploadedText);
  std::vector<Outcome> outcomes(runs.size());
  QElapsedTimer clock;
  clock.start();
  for (std::size_t i = 0; i < runs.size(); ++i) {
    Form1& w = *runs[i]->w;
    outcomes[i].fault = runs[i]->fault->args;
    outcomes[i].direction = d;
    outcomes[i].program = "window";
    if (!runs[i]->connected) {
      outcomes[i].ms = 0;
      outcomes[i].said = "no connection";
      continue;
    }
    if (d == Direction::Download) {
      w.SetData = sentImage();
      w.Command下载->click();
    } else {
      w.Command上传->click();
    }
  }
  // A transfer has ended when its tick has stopped: closed after success or failure, or
  // stopped by a lost line.
  auto ended = [&](const WindowRun& run) {
    return !(d == Direction::Download ? run.w->Timer下载超时 : run.w->Timer上传超时)->isActive();
  };
  test::pumpUntil(
      [&] {
        bool all = true;
        for (std::size_t i = 0; i < runs.size(); ++i) {
          if (outcomes[i].ms >= 0) continue;
          if (ended(*runs[i])) {
            outcomes[i].ms = clock.elapsed();
          } else {
            all = false;
          }
        }
        return all;
      },
      kRunLimitMs + 5000);
  for (std::size_t i = 0; i < runs.size(); ++i) {
    const WindowRun& run = *runs[i];
    Outcome& o = outcomes[i];
    expected.push_back(d == Direction::Download ? run.fault->download : run.fault->upload);
    o.success = run.w->Label提示->text() == success;
    o.bytesMatch = run.server->image() == sentImage() && run.w->SetData == sentImage();
    if (o.said.empty()) o.said = run.w->Label提示->text().trimmed().toStdString();
    results.push_back(o);
  }
  for (auto& run : runs) {
    run->w.reset();
    run->server->stop();
  }
}

// ---- qzctl ----

std::string paramFileOf(const ConfigImage& image) {
  const std::vector<std::uint8_t> bytes = writeParamFile(2, image);
  return {bytes.begin(), bytes.end()};
}

std::string fileText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void runQzctl(Direction d, Batch chosen, std::vector<Outcome>& outcomes,
              std::vector<Expect>& expected) {
  test::RuntimeDir runtime;
  std::vector<std::unique_ptr<sim::PtyServer>> servers;
  QStringList args = {"--json"};
  for (const Fault* f : chosen) {
    servers.push_back(startServer(*f, d));
    args << "--port" << QString::fromStdString(servers.back()->comName());
  }
  const std::filesystem::path file = runtime.root() / "site.QZ";
  if (d == Direction::Download) {
    std::ofstream(file, std::ios::binary) << paramFileOf(sentImage());
    args << "download" << QString::fromStdString(file.string());
  } else {
    args << "upload" << QString::fromStdString(file.string());
  }
  QElapsedTimer clock;
  clock.start();
  QProcess qzctl;
  qzctl.start(QStringLiteral(QZCTL_PATH), args);
  const bool started = qzctl.waitForStarted(5000);
  // Every port's run ends within the whole command's time. Ports still busy after 30 s are
  // stopped with Ctrl+C, which lets the others report.
  const bool finished = started && qzctl.waitForFinished(kRunLimitMs);
  const qint64 ms = clock.elapsed();
  if (started && !finished) {
    ::kill(static_cast<pid_t>(qzctl.processId()), SIGINT);
    if (!qzctl.waitForFinished(10'000)) qzctl.kill();
  }
  std::vector<QJsonObject> results;
  for (const QByteArray& line : qzctl.readAllStandardOutput().split('\n')) {
    if (!line.trimmed().isEmpty()) results.push_back(QJsonDocument::fromJson(line).object());
  }
  for (std::size_t i = 0; i < chosen.size(); ++i) {
    const std::string com = servers[i]->comName();
    Outcome o;
    o.fault = chosen[i]->args;
    o.direction = d;
    o.program = "qzctl";
    for (const QJsonObject& r : results) {
      if (r["port"].toString().toStdString() != com) continue;
      o.success = r["exit"].toInt() == 0;
      o.said = r["message"].toString().toStdString();
      // A port that had ended before the others were stopped ended within the limit.
      o.ms = o.said.starts_with("stopped by the user") ? -1 : std::min(ms, kRunLimitMs);
    }
    if (d == Direction::Download) {
      o.bytesMatch = servers[i]->image() == sentImage();
    } else {
      const std::filesystem::path mine = runtime.root() / ("site-" + com + ".QZ");
      o.bytesMatch = fileText(mine) == paramFileOf(sentImage());
    }
    expected.push_back(d == Direction::Download ? chosen[i]->download : chosen[i]->upload);
    outcomes.push_back(o);
  }
  for (auto& server : servers) server->stop();
}

// The combinations run a batch at a time: the COM names are fifty, and some are the machine's.
void inBatches(const std::function<void(Batch, std::vector<Outcome>&, std::vector<Expect>&)>& run) {
  constexpr std::size_t kBatch = 20;
  const std::vector<const Fault*> all = faults();
  std::vector<Outcome> outcomes;
  std::vector<Expect> expected;
  for (std::size_t at = 0; at < all.size(); at += kBatch) {
    run(Batch(all).subspan(at, std::min(kBatch, all.size() - at)), outcomes, expected);
  }
  report(outcomes, expected);
}

TEST(FaultMatrix, WindowDownload) {
  QZ_SKIP_WITHOUT_PTY();
  inBatches([](Batch b, auto& o, auto& e) { runWindows(Direction::Download, b, o, e); });
}
TEST(FaultMatrix, WindowUpload) {
  QZ_SKIP_WITHOUT_PTY();
  inBatches([](Batch b, auto& o, auto& e) { runWindows(Direction::Upload, b, o, e); });
}
TEST(FaultMatrix, QzctlDownload) {
  QZ_SKIP_WITHOUT_PTY();
  inBatches([](Batch b, auto& o, auto& e) { runQzctl(Direction::Download, b, o, e); });
}
TEST(FaultMatrix, QzctlUpload) {
  QZ_SKIP_WITHOUT_PTY();
  inBatches([](Batch b, auto& o, auto& e) { runQzctl(Direction::Upload, b, o, e); });
}

}  // namespace
}  // namespace qz

// Every fault qzsim can put on the line, against a download and an upload, through the window
// and through qzctl. Each combination must end within 30 s, and may say success only when
// qzsim's image (download) or what the tool holds (upload) equals what was sent, byte for byte;
// a fault the protocol can ride out must end in success, one it cannot in failure.
//
// The combinations of one program and one direction run at once, each against a qzsim of its
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
#include <algorithm>
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
#include "sim/command_line.h"
#include "support/pty.h"
#include "support/qzsim_rig.h"
#include "ui/module1.h"

namespace qz {
namespace {

enum class Expect { Success, Failure, Either, QzctlFailsWindowSkips };
constexpr Expect S = Expect::Success;
constexpr Expect F = Expect::Failure;
constexpr Expect E = Expect::Either;

struct Fault {
  std::vector<std::string> args;  // qzsim's options; "{dir}" names the direction under test
  Expect download;
  Expect upload;
  bool longForm = false;
  int runs = 1;  // a fault played at random: runs of a qzsim each (short form: 3 at most)
};

const std::vector<Fault> kFaults = {
    {{}, S, S},
    {{"--silent"}, F, F},
    {{"--answer-from", "3"}, S, S},
    {{"--hangup-after", "9"}, F, F},
    // The window has no read-back to find a row stored other than acknowledged; qzctl has.
    {{"--store-wrong", "7"}, Expect::QzctlFailsWindowSkips, S},
    {{"--drop", "{dir}:5/2"}, S, S},
    {{"--duplicate", "{dir}:5/1"}, S, S},
    {{"--corrupt", "{dir}:5@1/1"}, S, S},
    {{"--corrupt", "{dir}:5@1"}, F, F},  // every answer about row 5 garbled
    {{"--extra", "{dir}:5/1=00"}, S, S},
    {{"--ack-earlier", "7=5"}, S, S},
    {{"--ack-earlier", "7=7/1000000"}, F, S},
    {{"--merge", "{dir}:4/1"}, S, S},
    {{"--twice", "any"}, S, S},
    {{"--hangup-at", "{dir}:9"}, F, F},
    {{"--result", "10=90"}, S, S},
    {{"--echo"}, S, S},
    {{"--echo=bytes"}, S, S},
    // The long form.
    {{"--no-pacing"}, S, S, true},
    {{"--answer-from", "31"}, F, F, true},
    {{"--hangup-after", "3"}, F, F, true},
    {{"--store-wrong", "18"}, Expect::QzctlFailsWindowSkips, S, true},
    {{"--drop", "{dir}:0/1"}, S, S, true},
    {{"--drop", "{dir}:18/4"}, S, S, true},
    {{"--drop", "{dir}:12/5"}, F, F, true},
    {{"--drop", "{dir}/3"}, S, S, true},
    {{"--duplicate", "{dir}"}, E, E, true},
    {{"--duplicate", "any"}, E, E, true},
    {{"--corrupt", "{dir}:0@0/1"}, S, S, true},
    {{"--corrupt", "{dir}:18@1/2"}, S, S, true},
    {{"--corrupt", "download:9@2/3"}, S, S, true},
    {{"--corrupt", "{dir}@1/3"}, S, S, true},
    {{"--extra", "{dir}=00"}, E, E, true},
    {{"--extra", "{dir}:3/2=D0 04 55"}, S, S, true},
    {{"--ack-earlier", "7=5/3"}, S, S, true},
    {{"--ack-earlier", "18=0/1000000"}, F, S, true},
    {{"--ack-earlier", "0=0/1000000"}, F, S, true},
    {{"--merge", "{dir}"}, F, F, true},
    {{"--merge", "{dir}:0/1", "--merge", "{dir}:18/1"}, S, S, true},
    {{"--twice", "{dir}"}, S, S, true},
    {{"--twice", "any", "--no-pacing"}, S, S, true},
    {{"--hangup-at", "{dir}:0"}, F, F, true},
    {{"--result", "20=A0"}, S, S, true},
    {{"--echo", "--no-pacing"}, S, S, true},
    {{"--echo=bytes", "--twice", "any"}, S, S, true},
    {{"--echo=bytes", "--corrupt", "{dir}:5@1/1"}, S, S, true},
    {{"--echo", "--drop", "{dir}:5/2", "--duplicate", "{dir}:9/1"}, S, S, true},
    {{"--echo=bytes", "--ack-earlier", "7=5"}, S, S, true},
    {{"--echo", "--ack-earlier", "7=7/1000000"}, F, S, true},
    {{"--echo=bytes", "--hangup-at", "{dir}:9"}, F, F, true},
    // A real line: an echo changed by a collision, cut short or handed on late, noise from
    // dimmers, a controller busy writing its memory.
    {{"--echo", "--echo-collide", "9@5"}, S, S},
    {{"--echo=bytes", "--echo-collide", "every@5"}, S, S},
    {{"--echo", "--echo-cut", "9=10"}, S, S},
    {{"--echo", "--late", "150"}, S, S},
    {{"--echo", "--late", "300"}, S, S},
    {{"--late", "300"}, S, S},
    {{"--row-time", "100"}, S, S},
    {{"--echo", "--echo-collide", "every@0"}, S, S, true},
    {{"--echo", "--echo-collide", "every@14"}, S, S, true},
    {{"--echo", "--echo-cut", "9=14"}, S, S, true},
    {{"--echo", "--echo-cut", "every=8"}, E, E, true},  // no whole echo ever: never connects
    {{"--echo", "--echo-cut", "every=14"}, E, E, true},
    {{"--echo", "--late", "150", "--echo-collide", "every@5"}, S, S, true},
    {{"--echo", "--late", "300", "--echo-cut", "9=10"}, S, S, true},
    {{"--row-time", "150"}, S, S, true},
    {{"--row-time", "250"}, S, S},
    {{"--row-time", "300"}, S, S, true},
    {{"--echo", "--row-time", "250"}, S, S, true},
    {{"--noise", "0.2"}, E, E, true, 5},
    {{"--noise", "1"}, E, E, false, 20},
    {{"--echo", "--noise", "1"}, E, E, false, 20},
    {{"--noise", "3"}, E, E, true, 5},
    {{"--echo", "--late", "150", "--noise", "1"}, E, E, true, 5},
};

constexpr qint64 kRunLimitMs = 30'000;
enum class Direction { Download, Upload };
using Batch = std::span<const Fault* const>;

const char* name(Direction d) {
  return d == Direction::Download ? "download" : "upload";
}

std::vector<std::string> argsOf(const Fault& f, Direction d) {
  std::vector<std::string> args = f.args;
  for (std::string& a : args) {
    if (const auto at = a.find("{dir}"); at != std::string::npos) a.replace(at, 5, name(d));
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

std::unique_ptr<sim::PtyServer> startServer(const Fault& f, Direction d) {
  const std::vector<std::string> args = argsOf(f, d);
  sim::Options o =
      sim::parseCommandLine(std::vector<std::string_view>(args.begin(), args.end())).options;
  o.image = sentImage();
  if (d == Direction::Download) {
    for (Row& row : o.image->rows) {
      for (std::uint8_t& b : row) b ^= 0x01;
    }
  }
  auto server = std::make_unique<sim::PtyServer>(o);
  server->start();
  return server;
}

// One combination: what it showed, and what it should have.
struct Outcome {
  std::string fault;
  Expect expect = Expect::Either;
  bool success = false;
  bool bytesMatch = false;
  qint64 ms = -1;  // until the transfer ended; -1: it did not
  std::string said;
  int rowFrames = 0;  // download rows or upload requests qzsim received
};

int rowFramesOf(const sim::PtyServer& server) {
  const std::vector<sim::LogEntry> log = server.log();
  return static_cast<int>(std::count_if(log.begin(), log.end(), [](const sim::LogEntry& e) {
    return e.kind == sim::FrameKind::DownloadRow || e.kind == sim::FrameKind::UploadRequest;
  }));
}
using Outcomes = std::vector<Outcome>;

std::string problem(const Outcome& o) {
  if (o.ms < 0 || o.ms > kRunLimitMs) return "did not end within 30 s";
  if (o.success && !o.bytesMatch) return "success shown, but the bytes differ";
  if (o.expect == Expect::Success && !o.success) return "expected success";
  if (o.expect != Expect::Success && o.expect != Expect::Either && o.success) {
    return "expected failure";
  }
  return {};
}

// The faults of the chosen form, a batch at a time (the COM names are fifty, and some are the
// machine's), then one line per combination.
void inBatches(const char* program, Direction d, const std::function<void(Batch, Outcomes&)>& run) {
  std::vector<const Fault*> all;
  const char* form = std::getenv("QZ_FAULT_MATRIX");
  for (const Fault& f : kFaults) {
    if (f.longForm && (form == nullptr || std::string(form) != "long")) continue;
    const bool longForm = form != nullptr && std::string(form) == "long";
    for (int i = 0; i < (longForm ? f.runs : std::min(f.runs, 3)); ++i) all.push_back(&f);
  }
  Outcomes outcomes;
  for (std::size_t at = 0; at < all.size(); at += 20) {
    run(Batch(all).subspan(at, std::min<std::size_t>(20, all.size() - at)), outcomes);
  }
  int wrong = 0;
  int wrongData = 0;
  int successes = 0;
  // A fault played more than once: how many of its runs succeeded.
  std::vector<std::pair<std::string, std::pair<int, int>>> played;
  for (const Outcome& o : outcomes) {
    const std::string p = problem(o);
    wrong += p.empty() ? 0 : 1;
    wrongData += o.success && !o.bytesMatch ? 1 : 0;
    successes += o.success && o.bytesMatch ? 1 : 0;
    auto at = std::find_if(played.begin(), played.end(),
                           [&](const auto& e) { return e.first == o.fault; });
    if (at == played.end()) at = played.insert(played.end(), {o.fault, {0, 0}});
    at->second.first += o.success && o.bytesMatch ? 1 : 0;
    ++at->second.second;
    std::printf(
        "%-6s %-8s %-44s %-7s %3d rows %s  %s  [%s]\n", program, name(d),
        o.fault.empty() ? "(no fault)" : o.fault.c_str(), o.success ? "success" : "failed",
        o.rowFrames,
        o.ms < 0 ? "  (busy)"
                 : QString::asprintf("%5.1f s", static_cast<double>(o.ms) / 1000).toUtf8().data(),
        p.empty() ? "ok" : ("WRONG: " + p).c_str(), o.said.c_str());
    EXPECT_EQ(p, "") << program << " " << name(d) << " " << o.fault << ": " << o.said;
  }
  for (const auto& [fault, counts] : played) {
    if (counts.second > 1) {
      std::printf("%-6s %-8s %-44s %d of %d runs succeeded\n", program, name(d), fault.c_str(),
                  counts.first, counts.second);
    }
  }
  std::printf(
      "%s %s: %zu combinations: %d succeeded, %zu failed honestly, %d wrong results "
      "(success said with bytes that differ); %d not as expected\n",
      program, name(d), outcomes.size(), successes,
      outcomes.size() - static_cast<std::size_t>(successes + wrongData), wrongData, wrong);
  std::fflush(stdout);
}

Outcome outcomeOf(const Fault& f, Direction d) {
  Outcome o;
  for (const std::string& a : argsOf(f, d)) o.fault += (o.fault.empty() ? "" : " ") + a;
  o.expect = d == Direction::Download ? f.download : f.upload;
  return o;
}

// ---- the window: all of a batch in this process, each with its own port and qzsim ----

struct WindowRun {
  std::unique_ptr<sim::PtyServer> server;
  QtSerialPort port;
  test::FakePlatform platform;
  std::unique_ptr<Form1> w;
  Outcome outcome;
};

void runWindows(Direction d, Batch batch, Outcomes& outcomes) {
  test::RuntimeDir runtime;
  std::vector<std::unique_ptr<WindowRun>> runs;
  for (const Fault* f : batch) {
    if (d == Direction::Download && f->download == Expect::QzctlFailsWindowSkips) continue;
    runs.push_back(std::make_unique<WindowRun>());
    runs.back()->server = startServer(*f, d);
    runs.back()->outcome = outcomeOf(*f, d);
  }
  const bool down = d == Direction::Download;
  QElapsedTimer clock;
  for (auto& run : runs) {
    run->w = std::make_unique<Form1>(run->port, run->platform);
    Form1& w = *run->w;
    w.Timer1->stop();
    // Connected tick by tick, so that the windows do not take their real 2 s each.
    w.Combo串口->setCurrentIndex(
        w.Combo串口->findText(QString::fromStdString(run->server->comName())));
    w.Command建立连接->click();
    w.TimerSession->stop();
    if (!test::finishAttempt(w)) {
      run->outcome.ms = 0;
      run->outcome.said = "no connection";
    }
  }
  clock.start();
  for (auto& run : runs) {
    if (run->outcome.ms == 0) continue;
    if (down) run->w->SetData = sentImage();
    (down ? run->w->Command下载 : run->w->Command上传)->click();
  }
  // A transfer has ended when its tick has stopped: closed after success or failure, or
  // stopped by a line that went away.
  test::pumpUntil(
      [&] {
        for (auto& run : runs) {
          const bool ticking = run->w->session.ticking(down ? Tick::Download : Tick::Upload);
          if (run->outcome.ms < 0 && !ticking) run->outcome.ms = clock.elapsed();
        }
        return std::all_of(runs.begin(), runs.end(),
                           [](const auto& r) { return r->outcome.ms >= 0; });
      },
      kRunLimitMs + 5000);
  for (auto& run : runs) {
    Outcome& o = run->outcome;
    o.success = run->w->Label提示->text() == uiText(down ? kDownloadedText : kUploadedText);
    o.bytesMatch = run->server->image() == sentImage() && run->w->SetData == sentImage();
    if (o.said.empty()) o.said = run->w->Label提示->text().trimmed().toStdString();
    o.rowFrames = rowFramesOf(*run->server);
    outcomes.push_back(o);
    run->w.reset();
    run->server->stop();
  }
}

// ---- qzctl: one command with a --port for each qzsim of a batch ----

std::string paramFileOf(const ConfigImage& image) {
  const std::vector<std::uint8_t> bytes = writeParamFile(2, image);
  return {bytes.begin(), bytes.end()};
}

void runQzctl(Direction d, Batch batch, Outcomes& outcomes) {
  test::RuntimeDir runtime;
  std::vector<std::unique_ptr<sim::PtyServer>> servers;
  QStringList args = {"--json"};
  for (const Fault* f : batch) {
    servers.push_back(startServer(*f, d));
    args << "--port" << QString::fromStdString(servers.back()->comName());
  }
  const std::filesystem::path file = runtime.root() / "site.QZ";
  if (d == Direction::Download) std::ofstream(file, std::ios::binary) << paramFileOf(sentImage());
  args << name(d) << QString::fromStdString(file.string());
  QElapsedTimer clock;
  clock.start();
  QProcess qzctl;
  qzctl.start(QStringLiteral(QZCTL_PATH), args);
  // Ports still busy after 30 s are stopped with Ctrl+C, which lets the others report.
  if (qzctl.waitForStarted(5000) && !qzctl.waitForFinished(kRunLimitMs)) {
    ::kill(static_cast<pid_t>(qzctl.processId()), SIGINT);
    if (!qzctl.waitForFinished(10'000)) qzctl.kill();
  }
  const qint64 ms = std::min(clock.elapsed(), kRunLimitMs);
  const QList<QByteArray> lines = qzctl.readAllStandardOutput().split('\n');
  for (std::size_t i = 0; i < batch.size(); ++i) {
    Outcome o = outcomeOf(*batch[i], d);
    const std::string com = servers[i]->comName();
    for (const QByteArray& line : lines) {
      const QJsonObject r = QJsonDocument::fromJson(line).object();
      if (r["port"].toString().toStdString() != com) continue;
      o.success = r["exit"].toInt() == 0;
      o.said = r["message"].toString().toStdString();
      o.ms = o.said.starts_with("stopped by the user") ? -1 : ms;
    }
    std::stringstream upload;
    upload << std::ifstream(runtime.root() / ("site-" + com + ".QZ"), std::ios::binary).rdbuf();
    o.bytesMatch = d == Direction::Download ? servers[i]->image() == sentImage()
                                            : upload.str() == paramFileOf(sentImage());
    o.rowFrames = rowFramesOf(*servers[i]);
    outcomes.push_back(o);
    servers[i]->stop();
  }
}

TEST(FaultMatrix, WindowDownload) {
  QZ_SKIP_WITHOUT_PTY();
  inBatches("window", Direction::Download,
            [](Batch b, Outcomes& o) { runWindows(Direction::Download, b, o); });
}
TEST(FaultMatrix, WindowUpload) {
  QZ_SKIP_WITHOUT_PTY();
  inBatches("window", Direction::Upload,
            [](Batch b, Outcomes& o) { runWindows(Direction::Upload, b, o); });
}
TEST(FaultMatrix, QzctlDownload) {
  QZ_SKIP_WITHOUT_PTY();
  inBatches("qzctl", Direction::Download,
            [](Batch b, Outcomes& o) { runQzctl(Direction::Download, b, o); });
}
TEST(FaultMatrix, QzctlUpload) {
  QZ_SKIP_WITHOUT_PTY();
  inBatches("qzctl", Direction::Upload,
            [](Batch b, Outcomes& o) { runQzctl(Direction::Upload, b, o); });
}

}  // namespace
}  // namespace qz

#include "ctl/runner.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSocketNotifier>
#include <algorithm>
#include <filesystem>
#include <map>
#include <memory>

#include "config/param_file.h"
#include "config/param_file_io.h"
#include "config/setting_names.h"
#include "ctl/command_line.h"
#include "ctl/listing.h"
#include "ctl/port_list.h"
#include "ctl/session.h"
#include "link/com_ports.h"
#include "link/qt_serial_port.h"

namespace qz::ctl {

namespace fs = std::filesystem;

namespace {

QString q(const std::string& s) {
  return QString::fromStdString(s);
}

void printJson(std::ostream& out, const QJsonObject& o) {
  out << QJsonDocument(o).toJson(QJsonDocument::Compact).toStdString() << "\n";
}

// A parameter file taken in whole, or why it cannot be.
struct ParamFile {
  std::string name;
  ConfigImage image;
  int model = -1;
  RowsPresent rows{};
  std::vector<std::string> warnings;  // lines that were left out, with their numbers
  std::string error;                  // empty: usable
};

ParamFile loadFile(const std::string& name) {
  ParamFile f;
  f.name = name;
  const LoadedFile loaded = loadParamFileBytes(q(name));
  switch (loaded.problem.kind) {
    case FileProblem::Kind::None:
      break;
    case FileProblem::Kind::TooLarge:
      f.error = name + " is larger than 64 KiB: not a parameter file";
      return f;
    default:
      f.error = "cannot read " + name + ": " + loaded.problem.reason.toStdString();
      return f;
  }
  const ParamFileRead read = readParamFile(loaded.bytes);
  if (!read.isParamFile()) {
    f.error = name + " is not a parameter file: it has no 机型: line and no CJ scene line";
    return f;
  }
  if (!read.skippedLines.empty()) {
    f.warnings.push_back("line(s) " + lineList(read.skippedLines) +
                         " left out: not a whole scene line (shorter than 40 characters, a field "
                         "that is not digits, a row above 18 or a byte above 255)");
  }
  if (!read.ignoredModelLines.empty()) {
    f.warnings.push_back("line(s) " + lineList(read.ignoredModelLines) +
                         " left out: a model line naming no model (5 to 9)");
  }
  read.applyTo(f.image, f.model);
  f.rows = read.rowsPresent();
  return f;
}

QJsonArray missingJson(const RowsPresent& rows) {
  QJsonArray a;
  for (int r = 0; r < kRows; ++r) {
    if (!rows[static_cast<std::size_t>(r)]) a.append(r);
  }
  return a;
}

QJsonArray differencesJson(const std::vector<Difference>& diffs, int model, const char* left,
                           const char* right) {
  QJsonArray a;
  for (const Difference& d : diffs) {
    QJsonObject o;
    o["row"] = d.row;
    o["byte"] = d.column;
    o["setting"] = q(settingName(d.row, d.column, model));
    o[left] = d.left;
    o[right] = d.right;
    a.append(o);
  }
  return a;
}

int usageError(Streams& s, const std::string& error) {
  s.err << "qzctl: " << error << "\nTry \"qzctl --help\".\n";
  return kUsage;
}

// --- commands without a controller -------------------------------------------------------

int runPorts(const Invocation& inv, Streams& s) {
  const std::vector<PortEntry> entries = listPorts();
  for (const PortEntry& e : entries) {
    if (inv.json) {
      QJsonObject o;
      o["port"] = q(e.name);
      o["device"] = q(e.device);
      o["state"] = q(e.state);
      o["alias"] = e.alias;
      if (!e.detail.empty()) o["detail"] = q(e.detail);
      printJson(s.out, o);
    } else if (!inv.quiet) {
      std::string line = e.name;
      line.resize(std::max<std::size_t>(line.size() + 1, 7), ' ');
      std::string device = e.device;
      device.resize(std::max<std::size_t>(device.size() + 1, 16), ' ');
      line += device + e.state;
      if (!e.detail.empty()) line += " " + e.detail;
      if (e.alias) line += " (alias)";
      s.out << line << "\n";
    }
  }
  if (entries.empty() && !inv.json && !inv.quiet) s.out << "no serial ports\n";
  return kDone;
}

int fileFailure(const Invocation& inv, Streams& s, const ParamFile& f) {
  if (inv.json) {
    QJsonObject o;
    o["command"] = q(std::string(commandName(inv.command)));
    o["file"] = q(f.name);
    o["exit"] = kFileFailed;
    o["message"] = q(f.error);
    printJson(s.out, o);
  }
  s.err << "qzctl: " << f.error << "\n";
  return kFileFailed;
}

void warn(const Invocation& inv, Streams& s, const ParamFile& f) {
  if (inv.quiet) return;
  for (const std::string& w : f.warnings) s.err << "qzctl: " << f.name << ": " << w << "\n";
}

int runShow(const Invocation& inv, Streams& s) {
  const ParamFile f = loadFile(inv.files[0]);
  if (!f.error.empty()) return fileFailure(inv, s, f);
  warn(inv, s, f);
  const std::string missing = missingRows(f.rows);
  if (inv.json) {
    QJsonObject o;
    o["command"] = "show";
    o["file"] = q(f.name);
    o["exit"] = kDone;
    o["model"] = q(modelText(f.model));
    o["model_index"] = f.model;
    // A row the file lacks is null: its bytes are nobody's.
    QJsonArray rows;
    for (int r = 0; r < kRows; ++r) {
      if (!f.rows[static_cast<std::size_t>(r)]) {
        rows.append(QJsonValue::Null);
        continue;
      }
      QJsonArray row;
      for (int c = 0; c < kRowBytes; ++c) row.append(f.image(r, c));
      rows.append(row);
    }
    o["rows"] = rows;
    o["missing_rows"] = missingJson(f.rows);
    printJson(s.out, o);
    return kDone;
  }
  if (inv.quiet) return kDone;
  s.out << f.name << "\n" << showText(f.image, f.model, f.rows);
  if (!missing.empty()) s.out << "rows not in the file: " << missing << "\n";
  return kDone;
}

int runDiff(const Invocation& inv, Streams& s) {
  const ParamFile a = loadFile(inv.files[0]);
  if (!a.error.empty()) return fileFailure(inv, s, a);
  const ParamFile b = loadFile(inv.files[1]);
  if (!b.error.empty()) return fileFailure(inv, s, b);
  warn(inv, s, a);
  warn(inv, s, b);
  RowsPresent both{};
  for (std::size_t r = 0; r < both.size(); ++r) both[r] = a.rows[r] && b.rows[r];
  const std::vector<Difference> diffs = differences(a.image, b.image, both);
  const bool modelDiffers = a.model != b.model;
  // A row one file holds and the other lacks is a difference too, though no byte can be named.
  const bool rowsDiffer = a.rows != b.rows;
  const int code = diffs.empty() && !modelDiffers && !rowsDiffer ? kDone : kDifferent;
  const int model = a.model >= 0 ? a.model : b.model;
  if (inv.json) {
    QJsonObject o;
    o["command"] = "diff";
    o["files"] = QJsonArray{q(a.name), q(b.name)};
    o["exit"] = code;
    o["models"] = QJsonArray{q(modelText(a.model)), q(modelText(b.model))};
    o["differences"] = differencesJson(diffs, model, "a", "b");
    o["missing_rows"] = QJsonObject{{"a", missingJson(a.rows)}, {"b", missingJson(b.rows)}};
    printJson(s.out, o);
    return code;
  }
  if (inv.quiet) return code;
  if (modelDiffers) {
    s.out << "model: " << a.name << " " << modelText(a.model) << ", " << b.name << " "
          << modelText(b.model) << "\n";
  }
  for (const Difference& d : diffs) s.out << differenceLine(d, model, a.name, b.name) << "\n";
  const std::string missingA = missingRows(a.rows);
  const std::string missingB = missingRows(b.rows);
  if (!missingA.empty()) s.out << "rows not in " << a.name << ": " << missingA << "\n";
  if (!missingB.empty()) s.out << "rows not in " << b.name << ": " << missingB << "\n";
  if (code == kDone) {
    s.out << "no differences\n";
  } else {
    s.out << std::to_string(diffs.size()) << " byte(s) differ"
          << (rowsDiffer ? ", and the files do not hold the same rows" : "") << "\n";
  }
  return code;
}

// --- commands with controllers -----------------------------------------------------------

int signalPipe[2] = {-1, -1};

extern "C" void onSignal(int) {
  const char byte = 1;
  [[maybe_unused]] const auto n = ::write(signalPipe[1], &byte, 1);
}

// Ctrl+C and SIGTERM reach the event loop as a readable pipe, so every session can say
// goodbye and close its port before the program ends.
class SignalCatcher {
 public:
  explicit SignalCatcher(std::function<void()> onStop) {
    if (signalPipe[0] < 0 && ::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    notifier_ = std::make_unique<QSocketNotifier>(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, [onStop] {
      char buffer[16];
      while (::read(signalPipe[0], buffer, sizeof buffer) > 0) {
      }
      onStop();
    });
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    ::sigaction(SIGINT, &sa, &oldInt_);
    ::sigaction(SIGTERM, &sa, &oldTerm_);
  }
  ~SignalCatcher() {
    if (!notifier_) return;
    ::sigaction(SIGINT, &oldInt_, nullptr);
    ::sigaction(SIGTERM, &oldTerm_, nullptr);
  }
  SignalCatcher(const SignalCatcher&) = delete;
  SignalCatcher& operator=(const SignalCatcher&) = delete;

 private:
  std::unique_ptr<QSocketNotifier> notifier_;
  struct sigaction oldInt_ {};
  struct sigaction oldTerm_ {};
};

struct Target {
  std::string port;
  std::string device;
};

std::string canonicalDevice(const std::string& device) {
  std::error_code ec;
  const fs::path c = fs::canonical(device, ec);
  return ec ? device : c.string();
}

// The ports to work on, each device once. An empty list with a message: nothing to open.
std::vector<Target> resolveTargets(const Invocation& inv, bool& all, std::string& error) {
  std::vector<Target> targets;
  all = inv.ports.size() == 1 && inv.ports[0] == "all";
  std::vector<std::string> names = inv.ports;
  if (all) {
    names.clear();
    for (int n = kFirstComPort; n <= kLastComPort; ++n) {
      const std::string device = comDevicePath(n);
      if (!device.empty() && fs::exists(device)) names.push_back("COM" + std::to_string(n));
    }
  } else if (names.empty()) {
    // As the window does: the first port it would list.
    QtSerialPort probe;
    const std::vector<std::string> listed = EnumComPorts(probe);
    if (listed.empty()) {
      error = "no serial port found; name one with --port";
      return targets;
    }
    names.push_back(listed.front());
  }
  std::vector<std::string> seen;
  for (const std::string& name : names) {
    const std::string device = deviceOf(name);
    const std::string key = canonicalDevice(device.empty() ? name : device);
    if (std::find(seen.begin(), seen.end(), key) != seen.end()) continue;
    seen.push_back(key);
    targets.push_back({name, device});
  }
  if (all && targets.empty()) error = "no serial port found";
  return targets;
}

// FILE for one port of several: "backup.QZ" becomes "backup-COM3.QZ" (or "-ttyUSB0").
std::string fileForPort(const std::string& file, const std::string& port, bool several) {
  if (!several) return file;
  const fs::path p(file);
  std::string tag = port.starts_with('/') ? fs::path(port).filename().string() : port;
  return (p.parent_path() / (p.stem().string() + "-" + tag + p.extension().string())).string();
}

QJsonObject resultJson(const Invocation& inv, const PortResult& r, const Job& job) {
  QJsonObject o;
  o["port"] = q(r.port);
  o["device"] = q(r.device);
  o["command"] = q(std::string(commandName(inv.command)));
  o["exit"] = r.code;
  o["ok"] = r.code == kDone;
  o["message"] = q(r.text);
  if (r.model >= 0) {
    o["model"] = q(modelText(r.model));
    o["model_index"] = r.model;
    o["firmware"] = q(r.firmware);
  }
  if (!job.file.empty()) o["file"] = q(job.file);
  if (r.serviceCode) o["result_code"] = *r.serviceCode;
  if (inv.command == Command::Compare || inv.command == Command::Download) {
    o["differences"] = differencesJson(r.differences, r.model, "controller", "file");
    o["missing_rows"] = missingJson(job.rows);
  }
  return o;
}

class Progress {
 public:
  Progress(std::ostream& err, bool on) : err_(err), on_(on) {}
  void draw(const std::vector<std::unique_ptr<Session>>& sessions) {
    if (!on_) return;
    std::string text;
    if (lines_ > 0) text += "\033[" + std::to_string(lines_) + "A";
    for (const auto& s : sessions) {
      text += "\r\033[K" + s->result().port + ": " + s->progress() + "\n";
    }
    lines_ = static_cast<int>(sessions.size());
    err_ << text << std::flush;
  }
  void clear() {
    if (!on_ || lines_ == 0) return;
    err_ << "\033[" << lines_ << "A\r\033[J" << std::flush;
    lines_ = 0;
  }

 private:
  std::ostream& err_;
  bool on_;
  int lines_ = 0;
};

int runOnPorts(const Invocation& inv, Streams& s) {
  Job job;
  job.command = inv.command;
  job.baud = inv.baud;
  job.force = inv.force;
  job.protocol = inv.protocol;
  job.runMode = inv.runMode;
  if (inv.command == Command::Download || inv.command == Command::Compare) {
    const ParamFile f = loadFile(inv.files[0]);
    if (!f.error.empty()) return fileFailure(inv, s, f);
    const std::string missing = missingRows(f.rows);
    if (inv.command == Command::Download && (!missing.empty() || !f.warnings.empty())) {
      ParamFile bad = f;
      bad.error = f.name + " cannot be downloaded: ";
      if (!missing.empty()) {
        bad.error += "it lacks row(s) " + missing + ", and a controller must get a whole image";
      }
      for (const std::string& w : f.warnings) {
        bad.error += (missing.empty() ? "" : "; ") + w;
      }
      return fileFailure(inv, s, bad);
    }
    warn(inv, s, f);
    if (!missing.empty() && !inv.quiet) {
      s.err << "qzctl: " << f.name << ": rows not in the file are not compared: " << missing
            << "\n";
    }
    job.image = f.image;
    job.model = f.model;
    job.file = f.name;
    job.rows = f.rows;
  }

  bool all = false;
  std::string error;
  const std::vector<Target> targets = resolveTargets(inv, all, error);
  if (targets.empty()) {
    s.err << "qzctl: " << error << "\n";
    return kPortFailed;
  }
  const bool several = all || targets.size() > 1;

  std::vector<std::unique_ptr<Session>> sessions;
  std::vector<Job> jobs;
  for (const Target& t : targets) {
    Job j = job;
    if (inv.command == Command::Upload) {
      const std::string file = withParamFileExtension(q(inv.files[0])).toStdString();
      j.file = fileForPort(file, t.port, several);
    }
    jobs.push_back(j);
    sessions.push_back(std::make_unique<Session>(t.port, t.device, j));
  }

  QEventLoop loop;
  Progress progress(s.err, s.progress && !inv.quiet);
  auto allDone = [&] {
    return std::all_of(sessions.begin(), sessions.end(),
                       [](const auto& x) { return x->finished(); });
  };
  bool running = false;
  for (auto& session : sessions) {
    session->onProgress = [&] { progress.draw(sessions); };
    session->onFinished = [&] {
      if (running && allDone()) loop.quit();
    };
  }
  SignalCatcher catcher([&] {
    for (auto& session : sessions) session->interrupt();
  });
  for (auto& session : sessions) session->start(all);
  running = true;
  if (!allDone()) loop.exec();
  progress.clear();

  int worst = kDone;
  int shown = 0;
  for (std::size_t i = 0; i < sessions.size(); ++i) {
    PortResult r = sessions[i]->result();
    if (all && r.noController) continue;
    ++shown;
    worst = std::max(worst, r.code);
    if (inv.json) {
      printJson(s.out, resultJson(inv, r, jobs[i]));
      continue;
    }
    if (inv.quiet && r.code == kDone) continue;
    std::ostream& o = inv.quiet ? s.err : s.out;
    o << r.port << ": " << r.text << "\n";
    if (inv.quiet) continue;
    const char* left = "controller";
    const char* right = inv.command == Command::Download ? "sent" : "file";
    for (const Difference& d : r.differences) {
      o << "  " << differenceLine(d, r.model, left, right) << "\n";
    }
  }
  if (all && shown == 0) {
    if (inv.json) {
      QJsonObject o;
      o["port"] = "all";
      o["command"] = q(std::string(commandName(inv.command)));
      o["exit"] = kNoAnswer;
      o["message"] = "no controller answered on any port";
      printJson(s.out, o);
    }
    s.err << "qzctl: no controller answered on any port\n";
    return kNoAnswer;
  }
  return worst;
}

}  // namespace

int run(std::span<const std::string_view> args, Streams streams) {
  const ParseResult parsed = parseCommandLine(args);
  if (!parsed.error.empty()) return usageError(streams, parsed.error);
  const Invocation& inv = parsed.invocation;
  if (inv.help) {
    streams.out << helpText(inv.command);
    return kDone;
  }
  switch (inv.command) {
    case Command::Ports:
      return runPorts(inv, streams);
    case Command::Show:
      return runShow(inv, streams);
    case Command::Diff:
      return runDiff(inv, streams);
    default:
      return runOnPorts(inv, streams);
  }
}

}  // namespace qz::ctl

#include <QEventLoop>
#include <algorithm>
#include <filesystem>
#include <memory>

#include "ctl/command.h"
#include "ctl/file_bytes.h"
#include "ctl/output.h"
#include "ctl/param_input.h"
#include "ctl/port_words.h"
#include "ctl/session.h"
#include "ctl/signal_catcher.h"
#include "ctl/targets.h"

// The commands that talk to controllers: one session per port, side by side on the event loop,
// one result line (or JSON object) per port.

namespace qz::ctl {

namespace {

// Whether two names lead to one file, also through "./" or links of their folders.
bool sameFile(const std::string& a, const std::string& b) {
  std::error_code ec;
  const auto key = [&](const std::string& name) {
    return std::filesystem::weakly_canonical(std::filesystem::absolute(name, ec), ec);
  };
  return key(a) == key(b);
}

QJsonObject resultJson(const Invocation& inv, const PortResult& r, const Job& job) {
  QJsonObject o;
  o["port"] = q(r.port);
  o["device"] = q(r.device);
  o["command"] = q(std::string(inv.entry->name));
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

}  // namespace

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

  std::vector<Job> jobs;
  for (const Target& t : targets) {
    Job j = job;
    if (inv.command == Command::Upload) {
      j.file = fileForPort(withExtension(inv.files[0]), t.port, several);
      // Two ports whose files would have one name would lose a backup: refused before any
      // file is written.
      for (std::size_t k = 0; k < jobs.size(); ++k) {
        if (sameFile(jobs[k].file, j.file)) {
          s.err << "qzctl: " << targets[k].port << " and " << t.port << " would both be saved to "
                << j.file << "; upload from them one at a time\n";
          return kUsage;
        }
      }
    }
    jobs.push_back(j);
  }
  std::vector<std::unique_ptr<Session>> sessions;
  for (std::size_t i = 0; i < targets.size(); ++i) {
    sessions.push_back(std::make_unique<Session>(targets[i].port, targets[i].device, jobs[i]));
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
  // The handshakes of every port count from one moment, however long opening them takes.
  const TransferClock::time_point from = TransferClock::now();
  for (auto& session : sessions) session->start(all, from);
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
    // Results on standard output; a port that failed on standard error.
    std::ostream& o = inv.quiet || r.code > kDifferent ? s.err : s.out;
    // A port that failed names its device, and under it the likely cause.
    const bool failed = (r.code == kPortFailed || r.code == kNoAnswer) && catcher.caught() == 0;
    o << (failed ? portAndDevice(r.port, r.device) : r.port) << ": " << r.text << "\n";
    if (inv.quiet) continue;
    if (failed) {
      const std::string cause =
          likelyCauseHere(r.code == kPortFailed, r.model >= 0, r.text, r.port, r.device);
      if (!cause.empty()) o << "  " << cause << "\n";
    }
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
      o["command"] = q(std::string(inv.entry->name));
      o["exit"] = kNoAnswer;
      o["message"] = "no controller answered on any port";
      printJson(s.out, o);
    }
    s.err << "qzctl: no controller answered on any port\n";
    worst = kNoAnswer;
  }
  // Stopped by a signal: the code a shell gives a program that signal ended.
  return catcher.caught() != 0 ? kSignalled + catcher.caught() : worst;
}

}  // namespace qz::ctl

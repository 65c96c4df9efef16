// qzctl and qzsim as scripts and people expect them: exit codes, which stream says what, help
// that fits a terminal, names that keep their bytes, and files that are never lost.

#include <signal.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <sstream>

#include "ctl_rig.h"

namespace qz::ctl_e2e {
namespace {

// A shell line run with $QZCTL, $QZSIM and $D (the test's folder of files) set.
Ran shell(const std::string& line, const fs::path& dir) {
  QProcess p;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QZCTL", QZCTL_PATH);
  env.insert("QZSIM", QZSIM_PATH);
  env.insert("D", QString::fromStdString(dir.string()));
  p.setProcessEnvironment(env);
  p.start("/bin/sh", {"-c", QString::fromStdString(line)});
  if (!p.waitForFinished(30000)) return {};
  return {p.exitCode(), p.readAllStandardOutput().toStdString(),
          p.readAllStandardError().toStdString()};
}

// Columns a line takes on a terminal: a Chinese character takes two.
std::size_t columns(const std::string& line) {
  std::size_t width = 0;
  for (std::size_t i = 0; i < line.size();) {
    const auto c = static_cast<unsigned char>(line[i]);
    const std::size_t len = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    width += len >= 3 ? 2 : 1;
    i += len;
  }
  return width;
}

TEST_F(Ctl, ExitCodesStreamsAndHelpAsScriptsExpect) {
  ConfigImage dmx = patternImage();
  dmx(17, 10) = 1;  // DMX512 address 300: 1 * 256 + 44
  dmx(17, 11) = 44;
  writeFile(dir / "a.QZ", paramFileText(2, patternImage()));
  writeFile(dir / "dmx.QZ", paramFileText(2, dmx));
  writeFile(dir / "m7.QZ", paramFileText(7, patternImage()));
  const std::string version = QZ_VERSION;
  struct Case {
    std::string line;
    int code;
    std::string out;     // standard output holds this
    std::string err;     // standard error holds this
    std::string notOut;  // standard output lacks this
  };
  const Case cases[] = {
      {R"("$QZCTL" --version)", 0, "qzctl " + version + "\n", "", ""},
      {R"("$QZSIM" --version)", 0, "qzsim " + version + "\n", "", ""},
      {R"("$QZCTL" uplaod x.QZ)", 2, "", "unknown command uplaod; did you mean upload?", ""},
      {R"("$QZCTL" --prot COM1 info)", 2, "", "did you mean --port?", ""},
      {R"("$QZSIM" --drp 1)", 2, "", "--drp: unknown option; did you mean --drop?", ""},
      {R"("$QZCTL" show "$D/a.QZ" > /dev/full)", 5, "", "cannot write standard output", ""},
      {R"("$QZCTL" show "$D/a.QZ" >&-)", 5, "", "cannot write standard output", ""},
      {R"("$QZSIM" --help > /dev/full)", 1, "", "cannot write standard output", ""},
      {R"("$QZCTL" --port /a/ctl --port /b/ctl upload "$D/u.QZ")", 2, "",
       "/a/ctl and /b/ctl would both be saved to " + (dir / "u-ctl.QZ").string(), ""},
      {R"("$QZCTL" --port COM1 --port /x/COM1 upload "$D/u")", 2, "", "would both be saved", ""},
      {R"("$QZCTL" --port COM1 upload "$D/")", 2, "", "names a folder, not a file", ""},
      {R"("$QZSIM" --image "$D/m7.QZ")", 1, "", "line 1: a model line naming no model (5 to 9)",
       ""},
      {R"("$QZCTL" diff "$D/a.QZ" "$D/dmx.QZ")", 1,
       "DMX512地址: " + (dir / "a.QZ").string() + " ? (21852), ", "", "DMX地址 高字节"},
      {R"("$QZCTL" --json show "$D/dmx.QZ")", 0, "\"DMX512地址\":300", "", "\"rows\""},
      {R"("$QZCTL" backup --help)", 0, "Usage: qzctl [OPTIONS] upload FILE", "", ""},
      {R"("$QZCTL" show --help)", 0, "-q, --quiet", "", "\n  --port"},
      {R"("$QZCTL" diff --help)", 0, "--json", "", "\n  --force"},
      {R"("$QZCTL" download --help)", 0, "\n  --force", "", "\n  --version"},
      {R"("$QZCTL" --help)", 0, "backup and restore are other names", "", ""},
  };
  for (const Case& c : cases) {
    const Ran r = shell(c.line, dir);
    EXPECT_EQ(r.code, c.code) << c.line << "\n" << r.err;
    EXPECT_NE(r.out.find(c.out), std::string::npos) << c.line << "\n" << r.out;
    EXPECT_NE(r.err.find(c.err), std::string::npos) << c.line << "\n" << r.err;
    if (!c.notOut.empty()) {
      EXPECT_EQ(r.out.find(c.notOut), std::string::npos) << c.line;
    }
  }
  // Refused before anything was written.
  EXPECT_FALSE(fs::exists(dir / "u-ctl.QZ"));
  EXPECT_FALSE(fs::exists(dir / "u-COM1.QZ"));
  EXPECT_FALSE(fs::exists(dir / ".QZ"));

  for (const char* help :
       {"\"$QZCTL\" --help", "\"$QZSIM\" --help", "\"$QZCTL\" ports --help",
        "\"$QZCTL\" info --help", "\"$QZCTL\" upload --help", "\"$QZCTL\" download --help",
        "\"$QZCTL\" compare --help", "\"$QZCTL\" diff --help", "\"$QZCTL\" show --help",
        "\"$QZCTL\" set-protocol --help", "\"$QZCTL\" set-run-mode --help"}) {
    std::istringstream text(shell(help, dir).out);
    for (std::string line; std::getline(text, line);) {
      EXPECT_LE(columns(line), 80u) << help << ": " << line;
    }
  }
}

TEST_F(Ctl, UploadKeepsAnotherImageAndNamesAsTheirBytes) {
  Sim sim;  // QZ-0804 with its factory image
  const std::string other = paramFileText(1, patternImage());
  writeFile(dir / "kept.QZ", other);
  const Ran kept = qzctl({"--port", sim.com(), "upload", path("kept.QZ")});
  EXPECT_EQ(kept.code, 5);
  EXPECT_NE(kept.err.find("holds another image and is kept; --force replaces it"),
            std::string::npos)
      << kept.err;
  EXPECT_EQ(readFile(dir / "kept.QZ"), other);
  const Ran forced = qzctl({"--port", sim.com(), "--force", "upload", path("kept.QZ")});
  EXPECT_EQ(forced.code, 0) << forced.err;
  const std::string uploaded = readFile(dir / "kept.QZ");
  EXPECT_EQ(uploaded, paramFileText(2, sim->image()));

  // A name that is not UTF-8 is written and read under exactly its bytes.
  const Ran odd = shell(std::string("\"$QZCTL\" --port ") + sim->comName() +
                            " upload \"$D/$(printf 'caf\\351')\" && "
                            "\"$QZCTL\" show \"$D/$(printf 'caf\\351.QZ')\"",
                        dir);
  EXPECT_EQ(odd.code, 0) << odd.err;
  EXPECT_EQ(readFile(dir / "caf\xE9.QZ"), uploaded);
  // Whatever its bytes, a name is replaced the same way: its mode kept, a read-only file
  // refused (or, for root, replaced) alike.
  for (const std::string mode : {"600", "444"}) {
    std::vector<std::pair<int, std::string>> seen;  // exit code, the file's mode after
    for (const std::string name : {"same", "sam\\351"}) {
      const std::string file = "\"$D/$(printf '" + name + ".QZ')\"";
      const Ran r =
          shell("rm -f " + file + "; printf x >" + file + " && chmod " + mode + " " + file +
                    " && \"$QZCTL\" --port " + sim->comName() + " --force upload " + file +
                    " >/dev/null; c=$?; stat -c %a " + file + "; exit $c",
                dir);
      seen.emplace_back(r.code, r.out);
    }
    EXPECT_EQ(seen[0], seen[1]) << mode;
    EXPECT_EQ(seen[0].second, mode + "\n");
  }

  // On a terminal the progress lines redraw themselves, unless the terminal is a dumb one.
  for (const std::string term : {"xterm", "dumb"}) {
    const Ran r = shell(
        "TERM=" + term + " script -qec '\"$QZCTL\" --port " + sim->comName() + " info' /dev/null",
        dir);
    EXPECT_EQ(r.code, 0) << r.out;
    EXPECT_EQ(r.out.find('\033') != std::string::npos, term == "xterm") << term << r.out;
  }
}

TEST_F(Ctl, SigtermAndSighupSayGoodbyeAndExitAsShellsExpect) {
  for (const auto& [signal, code] : {std::pair{SIGTERM, 143}, std::pair{SIGHUP, 129}}) {
    sim::Options o;
    o.faults.silent = true;  // qzctl keeps sending handshakes
    Sim sim(o);
    const Ran r = qzctl({"--port", sim.com(), "info"}, [&](QProcess& p) {
      for (int i = 0; i < 100 && count(*sim.server, kHandshake) < 2; ++i) {
        std::this_thread::sleep_for(milliseconds(50));
      }
      ::kill(static_cast<pid_t>(p.processId()), signal);
    });
    EXPECT_EQ(r.code, code) << signal;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, sim.com().toStdString() + ": stopped by the user; the port is closed\n");
    EXPECT_TRUE(goodbyeArrives(*sim.server)) << signal;
  }
}

}  // namespace
}  // namespace qz::ctl_e2e

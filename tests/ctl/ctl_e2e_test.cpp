// qzctl as an installer runs it: the built program, its exit code and its output, against
// qzsim on pseudo-terminals found through their COM aliases.

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>

#include "ctl/runner.h"
#include "link/qt_serial_port.h"
#include "support/random_image.h"
#include "support/timed.h"

#include "ctl/ctl_rig.h"

namespace qz {
namespace {

using namespace ctl_e2e;

// A port that failed as qzctl names it: the COM name and the device behind it.
std::string named(const Sim& sim) {
  return sim.com().toStdString() + " (" + sim->devicePath() + ")";
}

TEST_F(Ctl, InfoConnectsAsTheWindowDoesAndSaysGoodbye) {
  sim::Options o;
  o.model = 3;
  o.versionText = sim::paddedVersionText("QZ-1002 V3.1");
  o.faults.answerFrom = 3;
  Sim sim(o);
  const Ran r = qzctl({"--port", sim.com(), "info"});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, sim.com().toStdString() + ": QZ-1002, firmware \"QZ-1002 V3.1\"\n");
  // Two unanswered handshakes, the third answered, one version query, one goodbye.
  EXPECT_EQ(count(*sim.server, kHandshake), 3);
  EXPECT_EQ(count(*sim.server, kVersionQuery), 1);
  ASSERT_TRUE(goodbyeArrives(*sim.server));
  EXPECT_EQ(count(*sim.server, kDisconnect), 1);
  EXPECT_EQ(sim->log().back().received, kDisconnect);
  EXPECT_TRUE(sim->waitForListeners(0, milliseconds(3000)));

  // The same as JSON, and by device path.
  const Ran j = qzctl({"--json", "--port", QString::fromStdString(sim->devicePath()), "info"});
  EXPECT_EQ(j.code, 0);
  const QJsonObject obj = QJsonDocument::fromJson(QByteArray::fromStdString(j.out)).object();
  EXPECT_EQ(obj["model"].toString(), "QZ-1002");
  EXPECT_EQ(obj["model_index"].toInt(), 3);
  EXPECT_EQ(obj["firmware"].toString(), "QZ-1002 V3.1");
  EXPECT_EQ(obj["exit"].toInt(), 0);
  EXPECT_EQ(obj["port"].toString().toStdString(), sim->devicePath());
}

TEST_F(Ctl, VersionTextWithControlBytesAndPaddingIsPrintable) {
  sim::Options o;
  o.versionText = std::string(
                      "V2.1\tb\x01\xB0"
                      "C") +
                  std::string(23, '\0');
  Sim sim(o);
  const Ran r = qzctl({"--port", sim.com(), "info"});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out, sim.com().toStdString() + ": QZ-0804, firmware \"V2.1\\x09b\\x01\u00B0C\"\n");
  const Ran j = qzctl({"--json", "--port", sim.com(), "info"});
  const QJsonObject obj = QJsonDocument::fromJson(QByteArray::fromStdString(j.out)).object();
  EXPECT_EQ(obj["firmware"].toString(), QStringLiteral("V2.1\\x09b\\x01\u00B0C"));
}

TEST_F(Ctl, ServiceCommandsGiveTheControllersAnswer) {
  Sim sim;
  const Ran p = qzctl({"--port", sim.com(), "set-protocol", "19200"});
  EXPECT_EQ(p.code, 0) << p.out << p.err;
  EXPECT_EQ(p.out, sim.com().toStdString() + ": 485协议配置成功!  重启生效 (接口协议配置)\n");
  const Bytes f502 = {0xA1, 0xB2, 0xC3, 0xD4, 0xE5, 0xF5, 0x02, 0x5E, 0x4D, 0x3C, 0x2B, 0x1A};
  EXPECT_EQ(count(*sim.server, f502), 1);

  const Ran m = qzctl({"--port", sim.com(), "set-run-mode", "overlay"});
  EXPECT_EQ(m.code, 0);
  EXPECT_EQ(m.out,
            sim.com().toStdString() + ": 场景叠加模式配置成功!  重启生效。 (场景模式配置)\n");

  sim->setServiceResult(0xFF, 0x0F);
  const Ran c = qzctl({"--port", sim.com(), "set-protocol", "cancel"});
  EXPECT_EQ(c.code, 4);
  EXPECT_EQ(c.err, named(sim) + ": 取消485协议配置失败! (接口协议配置)\n");

  // An answer of the other command family is a refusal; a code nobody knows is named.
  for (const int code : {0x01, 0x33}) {
    sim->setServiceResult(0x20, static_cast<std::uint8_t>(code));
    const Ran o = qzctl({"--json", "--port", sim.com(), "set-run-mode", "overlay"});
    EXPECT_EQ(o.code, 4) << o.out;
    const QJsonObject obj = QJsonDocument::fromJson(QByteArray::fromStdString(o.out)).object();
    EXPECT_EQ(obj["message"].toString(),
              code == 0x33
                  ? QStringLiteral("answered with code 33, which no command has")
                  : QStringLiteral("refused with code 01, which does not answer this command: "
                                   "场景叠加模式配置失败! (场景模式配置)"));
    EXPECT_EQ(obj["result_code"].toInt(), code);
  }
}

TEST_F(Ctl, SilentControllerAfterThirtyHandshakes) {
  sim::Options o;
  o.pacing = false;
  o.faults.silent = true;
  Sim sim(o);
  const Ran r = qzctl({"--port", sim.com(), "info"});
  EXPECT_EQ(r.code, 4);
  EXPECT_EQ(r.err, named(sim) + ": no controller answered 30 handshakes\n");
  EXPECT_EQ(count(*sim.server, kHandshake), 30);
  EXPECT_EQ(count(*sim.server, kDisconnect), 0);  // never connected, as the window
}

TEST_F(Ctl, HangUpInTheMiddleOfADownload) {
  sim::Options o;
  o.faults.hangupAfter = 8;  // handshake, version, row 0, option frame, rows 1..3, row 4: cut
  Sim sim(o);
  writeFile(dir / "site.QZ", paramFileText(2, patternImage()));
  const Ran r = qzctl({"--port", sim.com(), "download", path("site.QZ")});
  EXPECT_EQ(r.code, 4);
  EXPECT_EQ(r.err, named(sim) +
                       ": the port went away in the middle of the transfer (adapter unplugged "
                       "or line cut); the transfer did not finish\n");
}

TEST_F(Ctl, TimedFourControllersAtOnceOneSilent) {
  QZ_TIMED_TEST();
  std::vector<std::unique_ptr<Sim>> sims;
  for (int i = 0; i < 4; ++i) {
    sim::Options o;
    o.faults.silent = i == 2;
    sims.push_back(std::make_unique<Sim>(o));
  }
  writeFile(dir / "site.QZ", paramFileText(2, patternImage()));
  QStringList args;
  for (const auto& s : sims) args << "--port" << s->com();
  args << "download" << path("site.QZ");
  const Ran r = qzctl(args);
  EXPECT_EQ(r.code, 4);  // the worst wins
  std::string expected;
  for (int i : {0, 1, 3}) {
    expected += (*sims[static_cast<std::size_t>(i)])->comName() + ": downloaded " +
                (dir / "site.QZ").string() + " and read it back: all 228 bytes arrived\n";
  }
  EXPECT_EQ(r.out, expected);
  EXPECT_EQ(r.err, named(*sims[2]) + ": no controller answered 30 handshakes\n");
  for (int i : {0, 1, 3}) EXPECT_EQ((*sims[static_cast<std::size_t>(i)])->image(), patternImage());
  // The silent one held nobody up: the others were done and gone long before its last try.
  const auto silentLog = (*sims[2])->log();
  ASSERT_EQ(silentLog.size(), 30u);
  for (int i : {0, 1, 3}) {
    EXPECT_LT((*sims[static_cast<std::size_t>(i)])->log().back().time, silentLog[20].time);
  }
}

TEST_F(Ctl, UploadFromSeveralControllersGivesEachItsOwnFile) {
  sim::Options a;
  a.model = 0;
  a.image = patternImage();
  sim::Options b;
  b.model = 4;
  Sim first(a);
  Sim second(b);
  const Ran r = qzctl({"--port", first.com(), "--port", second.com(), "upload", path("rack.QZ")});
  EXPECT_EQ(r.code, 0) << r.out;
  const fs::path one = dir / ("rack-" + first.com().toStdString() + ".QZ");
  const fs::path two = dir / ("rack-" + second.com().toStdString() + ".QZ");
  EXPECT_EQ(readFile(one), paramFileText(0, patternImage()));
  EXPECT_EQ(readFile(two), paramFileText(4, second->image()));
  EXPECT_FALSE(fs::exists(dir / "rack.QZ"));
}

TEST_F(Ctl, PortsThatCannotBeOpenedSayWhy) {
  Sim sim;
  const Ran missing = qzctl({"--port", "COM49", "info"});
  EXPECT_EQ(missing.code, 3);
  // A COM name with no device behind it: the likely cause points to the doctor.
  EXPECT_TRUE(missing.err.starts_with(
      "COM49: cannot open the port: it does not exist (adapter unplugged?)\n  likely: "))
      << missing.err;
  EXPECT_NE(missing.err.find("qzctl doctor"), std::string::npos) << missing.err;

  // Another program holds the port.
  QtSerialPort holder;
  holder.setDevicePath(sim->devicePath());
  ASSERT_TRUE(holder.open());
  const Ran busy = qzctl({"--port", sim.com(), "info"});
  EXPECT_EQ(busy.code, 3);
  EXPECT_EQ(busy.err, named(sim) +
                          ": cannot open the port: another program is using it\n"
                          "  likely: a terminal program or another qzctl holds it; qzctl ports "
                          "names it\n");
  const Ran list = qzctl({"ports"});
  EXPECT_EQ(list.code, 0);
  EXPECT_NE(list.out.find(sim.com().toStdString()), std::string::npos);
  EXPECT_NE(list.out.find("in use by pid " + std::to_string(::getpid())), std::string::npos)
      << list.out;
  EXPECT_NE(list.out.find("(alias)"), std::string::npos);
  holder.close();
  const Ran free = qzctl({"ports"});
  const std::size_t at = free.out.find(sim.com().toStdString() + " ");
  ASSERT_NE(at, std::string::npos) << free.out;
  const std::string line = free.out.substr(at, free.out.find('\n', at) - at);
  EXPECT_NE(line.find(sim->devicePath()), std::string::npos) << line;
  EXPECT_NE(line.find(" free (alias)"), std::string::npos) << line;

  // One port fine, one missing: both get their line; the worst code wins.
  const Ran mixed = qzctl({"--port", sim.com(), "--port", "COM49", "info"});
  EXPECT_EQ(mixed.code, 3);
  EXPECT_NE(mixed.out.find(sim.com().toStdString() + ": QZ-0804"), std::string::npos);
  EXPECT_NE(mixed.err.find("COM49: cannot open"), std::string::npos);

  // --port all: only where a controller answers.
  const Ran all = qzctl({"--port", "all", "--json", "info"});
  EXPECT_NE(all.out.find("\"port\":\"" + sim.com().toStdString() + "\""), std::string::npos)
      << all.out;
}

TEST_F(Ctl, CtrlCSaysGoodbyeAndClosesThePort) {
  sim::Options o;
  sim::FaultRule drop;
  drop.action = sim::FaultAction::Drop;
  drop.which.kind = sim::ReplyKind::Upload;
  drop.which.argument = 5;
  o.faults.rules.push_back(drop);  // the upload stalls at row 5
  Sim sim(o);
  const Ran r = qzctl({"--port", sim.com(), "upload", path("x.QZ")}, [&](QProcess& p) {
    // Wait for the first repeat of row 5, then press Ctrl+C.
    const Bytes row5 = {0xA2, 5, 5, 0xAA, 0xFE, 0xFF};
    for (int i = 0; i < 100 && count(*sim.server, row5) < 2; ++i) {
      std::this_thread::sleep_for(milliseconds(50));
    }
    ::kill(static_cast<pid_t>(p.processId()), SIGINT);
  });
  EXPECT_EQ(r.code, 130);
  EXPECT_EQ(r.err, sim.com().toStdString() + ": stopped by the user; the port is closed\n");
  EXPECT_TRUE(sim->waitForLog(sim->log().size(), milliseconds(1000)));
  ASSERT_TRUE(goodbyeArrives(*sim.server));
  EXPECT_EQ(sim->log().back().received, kDisconnect);
  EXPECT_EQ(count(*sim.server, kDisconnect), 1);
  EXPECT_TRUE(sim->waitForListeners(0, milliseconds(3000)));
  EXPECT_FALSE(fs::exists(dir / "x.QZ"));
}

TEST_F(Ctl, QuietSaysOnlyWhatFailedAndATerminalSeesProgress) {
  Sim sim;
  const Ran ok = qzctl({"--quiet", "--port", sim.com(), "info"});
  EXPECT_EQ(ok.code, 0);
  EXPECT_EQ(ok.out + ok.err, "");
  const Ran bad = qzctl({"--quiet", "--port", sim.com(), "--port", "COM49", "info"});
  EXPECT_EQ(bad.code, 3);
  EXPECT_EQ(bad.out, "");
  EXPECT_EQ(bad.err, "COM49: cannot open the port: it does not exist (adapter unplugged?)\n");

  // With stderr on a terminal each port gets a line that is redrawn in place, then cleared.
  const std::string file = (dir / "p.QZ").string();
  const std::string com = sim->comName();
  const std::vector<std::string_view> args = {"--port", com, "upload", file};
  std::ostringstream out;
  std::ostringstream err;
  EXPECT_EQ(ctl::run(args, {out, err, true}), 0);
  EXPECT_EQ(out.str(), sim->comName() + ": uploaded QZ-0804 image to " + file + "\n");
  const std::string drawn = err.str();
  for (const std::string line : {"handshake 1/30", "connected, QZ-0804", "upload 0% (row 0)",
                                 "upload 50% (row 9)", "upload 100% (row 18)"}) {
    EXPECT_NE(drawn.find("\r\033[K" + sim->comName() + ": " + line + "\n"), std::string::npos)
        << line;
  }
  EXPECT_TRUE(drawn.ends_with("\033[1A\r\033[J")) << drawn;
}

TEST_F(Ctl, WrongCommandLineAndHelp) {
  const Ran wrong = qzctl({"flash"});
  EXPECT_EQ(wrong.code, 2);
  EXPECT_EQ(wrong.err, "qzctl: unknown command flash\nTry \"qzctl --help\".\n");
  const Ran help = qzctl({"--help"});
  EXPECT_EQ(help.code, 0);
  EXPECT_NE(help.out.find("Exit codes"), std::string::npos);
  const Ran one = qzctl({"download", "--help"});
  EXPECT_EQ(one.code, 0);
  EXPECT_NE(one.out.find("qzctl --port COM1 download"), std::string::npos);
}

// What poppler-utils read in a PDF: its text laid out as on the page, or pdfinfo's report.
QString poppler(const char* tool, const QStringList& args) {
  QProcess p;
  p.start(QString::fromLatin1(tool), args);
  p.waitForFinished(30000);
  return QString::fromUtf8(p.readAllStandardOutput());
}

bool havePoppler() {
  return !QStandardPaths::findExecutable("pdftotext").isEmpty() &&
         !QStandardPaths::findExecutable("pdfinfo").isEmpty() &&
         !QStandardPaths::findExecutable("pdffonts").isEmpty();
}

QString sha256Of(const std::string& bytes) {
  return QString::fromLatin1(
      QCryptographicHash::hash(QByteArray::fromStdString(bytes), QCryptographicHash::Sha256)
          .toHex());
}

// The sheet of a random image of each model, read back from the PDF as text.
TEST_F(Ctl, SheetOfEachModelIsOneA4PageWithEveryKeyAndSetting) {
  if (!havePoppler())
    GTEST_SKIP() << "poppler-utils (pdftotext, pdfinfo, pdffonts) is not installed";
  const char* keys[] = {"场景1",  "场景2",    "场景3",    "场景4",  "场景5",  "场景6",
                        "场景7",  "场景8",    "场景9",    "场景10", "场景11", "场景12",
                        "场景13", "灯光全关", "灯光全开", "暂停",   "静音"};
  const char* models[] = {"QZ-0408", "QZ-0606", "QZ-0804", "QZ-1002", "QZ-1200"};
  const char* functions[] = {"排风1", "", "排风2", "", "阀开", "阀关", "高风", "中风", "低风"};
  // As under sudo or cron: no login session, so no runtime folder.
  qunsetenv("XDG_RUNTIME_DIR");
  test::RandomImages random(18);
  for (int model = 0; model < kModels; ++model) {
    SCOPED_TRACE(model);
    const ConfigImage image = random.image(model);
    const std::string file = paramFileText(model, image);
    writeFile(dir / "site.QZ", file);
    const Ran r = qzctl({"sheet", path("site.QZ"), "-o", path("site.pdf")});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.err, "");  // nothing to warn about
    const QString info = poppler("pdfinfo", {path("site.pdf")});
    EXPECT_TRUE(info.contains(QRegularExpression("\nPages: +1\n"))) << info.toStdString();
    EXPECT_TRUE(info.contains(QRegularExpression("\nPage size: .* pts \\(A4\\)\n")))
        << info.toStdString();
    // Every font embedded (the emb column), so the page reads the same on any viewer.
    const QString fonts = poppler("pdffonts", {path("site.pdf")});
    EXPECT_TRUE(fonts.contains(QRegularExpression(" yes +(yes|no) +yes +\\d+ +\\d+\n")));
    EXPECT_FALSE(fonts.contains(QRegularExpression(" no +(yes|no) +(yes|no) +\\d+ +\\d+\n")))
        << fonts.toStdString();
    const QString text = poppler("pdftotext", {"-layout", path("site.pdf"), "-"});
    const auto has = [&](const QString& pattern) {
      return text.contains(QRegularExpression(pattern));
    };
    for (const char* key : keys) EXPECT_TRUE(text.contains(QString::fromUtf8(key))) << key;
    EXPECT_TRUE(text.contains(QString::fromLatin1(models[model])));
    EXPECT_TRUE(has(QStringLiteral("DMX512地址 +%1\\b").arg(image(17, 10) * 256 + image(17, 11))));
    for (int list = 0; list < 9; ++list) {
      if (*functions[list] == '\0' || image(17, list) == 0) continue;
      EXPECT_TRUE(has(QStringLiteral("%1 +通道%2\\b").arg(functions[list]).arg(image(17, list))))
          << functions[list];
    }
    QStringList levels;  // the dimming table's values, in one line and in order
    for (int i = 0; i < kLevels; ++i) levels << QString::number(image(18, 1 + i));
    EXPECT_TRUE(has("\\b" + levels.join(" +") + "\\b")) << levels.join(' ').toStdString();
    EXPECT_TRUE(text.contains("SHA-256 " + sha256Of(file)));
  }
}

// Several controllers, a page each, after the upload that qzctl upload does.
TEST_F(Ctl, SheetOfSeveralControllersGivesAPageEach) {
  if (!havePoppler())
    GTEST_SKIP() << "poppler-utils (pdftotext, pdfinfo, pdffonts) is not installed";
  sim::Options a;
  a.model = 1;
  a.image = patternImage();
  a.versionText = sim::paddedVersionText("QZ-0606 V2.7");
  sim::Options b = a;
  b.model = 4;
  b.versionText = sim::paddedVersionText("QZ-1200 V3.0");
  Sim simA(a);
  Sim simB(b);
  const Ran r = qzctl({"--port", simA.com(), "--port", simB.com(), "sheet", "-o", path("two.pdf")});
  ASSERT_EQ(r.code, 0) << r.out << r.err;
  EXPECT_TRUE(poppler("pdfinfo", {path("two.pdf")}).contains(QRegularExpression("\nPages: +2\n")));
  const int models[] = {1, 4};
  const char* firmware[] = {"QZ-0606 V2.7", "QZ-1200 V3.0"};
  for (int page = 1; page <= 2; ++page) {
    const QString text = poppler("pdftotext", {"-f", QString::number(page), "-l",
                                               QString::number(page), path("two.pdf"), "-"});
    EXPECT_TRUE(text.contains(QString::fromLatin1(firmware[page - 1]))) << page;
    EXPECT_TRUE(
        text.contains("SHA-256 " + sha256Of(paramFileText(models[page - 1], patternImage()))))
        << page;
  }
  ASSERT_TRUE(goodbyeArrives(*simA.server));
  ASSERT_TRUE(goodbyeArrives(*simB.server));
}

// A sheet is written whole or not at all; a file is read as show reads it.
TEST_F(Ctl, SheetIsWholeOrAbsentAndNamesTheRowsAFileLacks) {
  writeFile(dir / "site.QZ", paramFileText(2, patternImage()));
  writeFile(dir / "part.QZ", paramFileText(2, patternImage(), 17));
  writeFile(dir / "notes.txt", "shopping list\r\n");
  writeFile(dir / "bare.QZ", "\xBB\xFA\xD0\xCD:2\r\nCJ01 too short\r\n");
  fs::create_directories(dir / "folder");
  struct Case {
    QStringList args;
    int code;
    const char* written;  // the file the sheet is in, or nullptr
    const char* says;     // in the sheet (HTML) or on standard error
  };
  const Case cases[] = {
      {{"sheet", path("site.QZ"), "-o", path("site.QZ/inside.pdf")}, 5, nullptr, "cannot write"},
      {{"sheet", path("site.QZ"), "-o", path("folder")}, 5, nullptr, "cannot write"},
      {{"sheet", path("missing.QZ"), "-o", path("x.pdf")}, 5, nullptr, "cannot read"},
      {{"sheet", path("notes.txt"), "-o", path("x.pdf")}, 5, nullptr, "not a parameter file"},
      {{"sheet", path("site.QZ")}, 2, nullptr, "sheet needs -o"},
      {{"sheet", path("part.QZ"), "-o", path("part.html")}, 0, "part.html", "没有以下各行"},
      {{"sheet", path("site.QZ"), "-o", path("s.txt")}, 2, nullptr, "a .pdf, .html or .htm"},
      {{"sheet", path("bare.QZ"), "-o", path("x.pdf")}, 5, nullptr, "no valid scene line"},
      {{"sheet", path("site.QZ"), "-o", path("plain")}, 0, "plain.pdf", "%PDF"},
      // Whom and where, on the sheet; the file by its name, not the folder it lies in here.
      {{"sheet", path("site.QZ"), "--customer", "张先生", "--site", "滨江花园", "--room", "3号包间",
        "-o", path("s.html")},
       0,
       "s.html",
       "<dd>张先生</dd></div><div><dt>现场</dt><dd>滨江花园</dd></div><div><dt>房间</dt>"
       "<dd>3号包间</dd>"},
      {{"sheet", path("site.QZ"), "-o", path("s.htm")}, 0, "s.htm", "<dd>site.QZ</dd>"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.join(' ').toStdString());
    std::vector<fs::path> before;
    for (const auto& e : fs::directory_iterator(dir)) before.push_back(e.path());
    const Ran r = qzctl(c.args);
    EXPECT_EQ(r.code, c.code) << r.err;
    std::vector<fs::path> after;
    for (const auto& e : fs::directory_iterator(dir)) {
      if (c.written == nullptr || e.path().filename() != c.written) after.push_back(e.path());
    }
    std::sort(before.begin(), before.end());
    std::sort(after.begin(), after.end());
    EXPECT_EQ(after, before);  // nothing else, no part of a sheet
    const std::string said = c.written ? readFile(dir / c.written) : r.out + r.err;
    EXPECT_NE(said.find(c.says), std::string::npos) << said;
  }
}

// This machine as it is: the doctor reads the real sysfs, /dev and /proc and opens nothing.
TEST(Doctor, AMachineWithoutAUsbAdapterSaysSoAndExits3) {
  for (const char* tty : {"/sys/class/tty/ttyUSB0", "/sys/class/tty/ttyACM0"}) {
    if (fs::exists(tty)) GTEST_SKIP() << "this machine has a USB serial adapter: " << tty;
  }
  const Ran text = qzctl({"doctor"});
  EXPECT_EQ(text.code, 3);
  const std::string last = text.out.substr(text.out.rfind('\n', text.out.size() - 2) + 1);
  EXPECT_TRUE(last.starts_with("fix first: no USB serial adapter: ")) << text.out;
  const Ran json = qzctl({"doctor", "--json"});
  EXPECT_EQ(json.code, 3);
  const QJsonObject o = QJsonDocument::fromJson(QByteArray::fromStdString(json.out)).object();
  EXPECT_EQ(o["exit"].toInt(), 3);
  EXPECT_EQ(o["adapters"].toArray().size(), 0);
  EXPECT_EQ(o["last"].toString().toStdString() + "\n", last);
  const Ran ports = qzctl({"ports"});
  EXPECT_EQ(ports.code, 0);
  EXPECT_TRUE(ports.err.starts_with("hint: no USB serial adapter: ")) << ports.err;
}

// A controller on COM7 is found among other ports; a port where nothing answers is not listed.
TEST_F(Ctl, PortsProbeListsEachPortWhereAControllerAnswers) {
  sim::Options silent;
  silent.comNumber = 3;
  silent.faults.silent = true;
  sim::Options seven;
  seven.comNumber = 7;
  const Sim quiet(silent);
  const Sim sim(seven);
  const Ran r = qzctl({"ports", "--probe"});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("COM7   " + sim->devicePath()), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("QZ-0804"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("COM3"), std::string::npos) << r.out;
  EXPECT_EQ(qzctl({"info", "--probe"}).code, 2);
}

}  // namespace
}  // namespace qz

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}

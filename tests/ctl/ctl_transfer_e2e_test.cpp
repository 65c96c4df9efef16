// qzctl's transfers and file commands as an installer runs them: the built program, its exit
// code and its output, against qzsim on pseudo-terminals found through their COM aliases.

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "ctl/runner.h"
#include "support/random_image.h"

#include "ctl/ctl_rig.h"

namespace qz {
namespace {

using namespace ctl_e2e;

TEST_F(Ctl, UploadWritesTheControllersImageAsAParameterFile) {
  sim::Options o;
  o.model = 1;
  o.image = patternImage();
  Sim sim(o);
  const Ran r = qzctl({"--port", sim.com(), "upload", path("backup")});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, sim.com().toStdString() + ": uploaded QZ-0606 image to " +
                       (dir / "backup.QZ").string() + "\n");
  EXPECT_EQ(readFile(dir / "backup.QZ"), paramFileText(1, patternImage()));
  // 19 requests and the one for row 19 the window sends after row 18, and the repeats of
  // the 200 ms tick.
  EXPECT_GE(countLead(*sim.server, 0xA2, 6), 20);
  ASSERT_TRUE(goodbyeArrives(*sim.server));
  EXPECT_EQ(sim->log().back().received, kDisconnect);

  // A file that cannot be written: a path below a regular file. The old file is kept whole.
  const Ran bad = qzctl({"--port", sim.com(), "upload", path("backup.QZ/inside.QZ")});
  EXPECT_EQ(bad.code, 5);
  EXPECT_NE(bad.err.find(": uploaded, but cannot write "), std::string::npos) << bad.err;
  EXPECT_EQ(readFile(dir / "backup.QZ"), paramFileText(1, patternImage()));
}

TEST_F(Ctl, DownloadSucceedsOnlyWhenTheReadBackMatchesEveryByte) {
  sim::Options o;
  o.model = 2;
  Sim sim(o);
  writeFile(dir / "site.QZ", paramFileText(2, patternImage()));
  const Ran r = qzctl({"--port", sim.com(), "download", path("site.QZ")});
  EXPECT_EQ(r.code, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("read it back: all 228 bytes arrived"), std::string::npos) << r.out;
  EXPECT_EQ(sim->image(), patternImage());
  EXPECT_GE(countLead(*sim.server, 0xD0, 15), 19);
  // The window's default options go with the image: 1200 old protocol, switch mode.
  EXPECT_EQ(sim->snapshot().protocolAndRunMode(), std::optional<std::uint8_t>(0x11));
  EXPECT_GE(countLead(*sim.server, 0xA2, 6), 20);  // the verification read

  // A controller that stores row 7 with one byte changed: the read-back catches it.
  sim::Faults f;
  f.wrongRow = 7;
  sim->setFaults(f);
  ConfigImage other = patternImage();
  other(7, 0) = 40;
  other(12, 3) = 9;
  writeFile(dir / "other.QZ", paramFileText(2, other));
  const Ran bad = qzctl({"--port", sim.com(), "download", path("other.QZ")});
  EXPECT_EQ(bad.code, 1);
  EXPECT_NE(bad.out.find("verification failed: the controller holds 1 byte(s) other than"),
            std::string::npos)
      << bad.out;
  EXPECT_NE(bad.out.find("  场景8 开关通道1: controller ? (41), sent ? (40)\n"), std::string::npos)
      << bad.out;
}

TEST_F(Ctl, AControllerThatAnswersAtOnceGetsEachFrameOnce) {
  sim::Options o;
  o.pacing = false;
  o.image = patternImage();
  Sim sim(o);
  // An answer that is there before the next frame has gone is kept, so no tick repeats one.
  EXPECT_EQ(qzctl({"--port", sim.com(), "upload", path("quick")}).code, 0);
  writeFile(dir / "site.QZ", paramFileText(2, patternImage()));
  EXPECT_EQ(qzctl({"--port", sim.com(), "download", path("site.QZ")}).code, 0);
  // The upload's 20 requests and the read-back's 20; rows 0 to 18 once.
  EXPECT_EQ(countLead(*sim.server, 0xA2, 6), 40);
  EXPECT_EQ(countLead(*sim.server, 0xD0, 15), 19);
}

TEST_F(Ctl, DownloadRefusesAnotherModelsFileAndAnIncompleteOne) {
  Sim sim;  // QZ-0804
  writeFile(dir / "0606.QZ", paramFileText(1, patternImage()));
  const Ran r = qzctl({"--port", sim.com(), "download", path("0606.QZ")});
  EXPECT_EQ(r.code, 6);
  EXPECT_NE(r.err.find("refused: the file is for QZ-0606 but the controller is QZ-0804"),
            std::string::npos)
      << r.err;
  EXPECT_EQ(countLead(*sim.server, 0xD0, 15), 0);
  ASSERT_TRUE(goodbyeArrives(*sim.server));
  EXPECT_EQ(sim->log().back().received, kDisconnect);

  const Ran forced = qzctl({"--port", sim.com(), "--force", "download", path("0606.QZ")});
  EXPECT_EQ(forced.code, 0) << forced.out;
  ASSERT_TRUE(goodbyeArrives(*sim.server, 2));
  EXPECT_EQ(sim->image(), patternImage());

  // Row 18 missing: a controller must get a whole image. The port is not even opened.
  const std::size_t before = sim->log().size();
  writeFile(dir / "part.QZ", paramFileText(2, patternImage(), 18));
  const Ran part = qzctl({"--port", sim.com(), "download", path("part.QZ")});
  EXPECT_EQ(part.code, 5);
  EXPECT_NE(part.err.find("it lacks row(s) 18, and a controller must get a whole image"),
            std::string::npos)
      << part.err;
  // A line that does not fit the image, by its number.
  writeFile(dir / "wide.QZ",
            paramFileText(2, patternImage()) + "CJ05256000000000000000000000000000000000\r\n");
  const Ran wide = qzctl({"--port", sim.com(), "download", path("wide.QZ")});
  EXPECT_EQ(wide.code, 5);
  EXPECT_NE(wide.err.find("line(s) 21 left out"), std::string::npos) << wide.err;
  // Not a parameter file at all, and no file.
  writeFile(dir / "notes.txt", "shopping list\r\n");
  EXPECT_EQ(qzctl({"--port", sim.com(), "download", path("notes.txt")}).code, 5);
  const Ran none = qzctl({"--port", sim.com(), "download", path("missing.QZ")});
  EXPECT_EQ(none.code, 5);
  EXPECT_NE(none.err.find("cannot read"), std::string::npos);
  EXPECT_EQ(sim->log().size(), before);
}

TEST_F(Ctl, CompareAndDiffListEveryDifferingByteBySetting) {
  sim::Options o;
  o.image = patternImage();
  Sim sim(o);
  writeFile(dir / "same.QZ", paramFileText(2, patternImage()));
  ConfigImage changed = patternImage();
  changed(0, 2) = 0;    // 场景1, switch channel 3
  changed(17, 0) = 5;   // 排风1
  changed(18, 4) = 70;  // 调光级别3
  writeFile(dir / "changed.QZ", paramFileText(2, changed));

  const Ran same = qzctl({"--port", sim.com(), "compare", path("same.QZ")});
  EXPECT_EQ(same.code, 0) << same.out;
  const Ran r = qzctl({"--port", sim.com(), "compare", path("changed.QZ")});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.out, sim.com().toStdString() + ": 3 byte(s) differ from " +
                       (dir / "changed.QZ").string() +
                       "\n"
                       "  场景1 开关通道3: controller ? (14), file 关\n"
                       "  排风1: controller 通道15, file 通道5\n"
                       "  调光级别3: controller 74, file 70\n");
  EXPECT_EQ(countLead(*sim.server, 0xD0, 15), 0);  // compare writes nothing

  const Ran j = qzctl({"--json", "--port", sim.com(), "compare", path("changed.QZ")});
  EXPECT_EQ(j.code, 1);
  const QJsonObject obj = QJsonDocument::fromJson(QByteArray::fromStdString(j.out)).object();
  ASSERT_EQ(obj["differences"].toArray().size(), 3);
  const QJsonObject first = obj["differences"].toArray()[1].toObject();
  EXPECT_EQ(first["setting"].toString(), QStringLiteral("排风1"));
  EXPECT_EQ(first["controller"].toInt(), 15);
  EXPECT_EQ(first["file"].toInt(), 5);

  const Ran d = qzctl({"diff", path("same.QZ"), path("changed.QZ")});
  EXPECT_EQ(d.code, 1);
  EXPECT_NE(d.out.find("排风1: " + (dir / "same.QZ").string() + " 通道15, " +
                       (dir / "changed.QZ").string() + " 通道5\n"),
            std::string::npos)
      << d.out;
  EXPECT_EQ(qzctl({"diff", path("same.QZ"), path("same.QZ")}).code, 0);
  writeFile(dir / "notes.txt", "shopping list\r\n");
  EXPECT_EQ(qzctl({"diff", path("same.QZ"), path("notes.txt")}).code, 5);

  const Ran show = qzctl({"show", path("changed.QZ")});
  EXPECT_EQ(show.code, 0);
  EXPECT_NE(show.out.find("机型 QZ-0804"), std::string::npos);
  EXPECT_NE(show.out.find("排风1           通道5, 上电 "), std::string::npos) << show.out;
  EXPECT_EQ(qzctl({"show", path("notes.txt")}).code, 5);
}

// Back up, restore and check random images of every kind: each step exits 0 and the
// controller ends up holding what it held at the start.
TEST_F(Ctl, RandomImagesGoUpComeBackDownAndCompareEqual) {
  for (const unsigned seed : {11U, 12U}) {
    test::RandomImages g(seed);
    sim::Options o;
    o.model = g.pick(0, kModels - 1);
    o.pacing = false;
    o.image = g.image(o.model);
    Sim sim(o);
    const QString file = path("random.QZ");
    const Ran up = qzctl({"--port", sim.com(), "upload", "--force", file});
    ASSERT_EQ(up.code, 0) << seed << up.out << up.err;
    sim->setImage(g.image(o.model));
    const Ran down = qzctl({"--port", sim.com(), "download", file});
    EXPECT_EQ(down.code, 0) << seed << down.out << down.err;
    EXPECT_EQ(sim->image(), *o.image) << seed;
    const Ran same = qzctl({"--port", sim.com(), "compare", file});
    EXPECT_EQ(same.code, 0) << seed << same.out << same.err;
  }
}

// A file without row 12: show and diff name the row and invent none of its bytes.
TEST_F(Ctl, ShowAndDiffNameTheRowsAFileLacks) {
  ConfigImage image = patternImage();
  image(12, 0) = 77;
  writeFile(dir / "whole.QZ", paramFileText(2, image));
  writeFile(dir / "part.QZ", paramFileText(2, image, 12));
  const Ran show = qzctl({"show", path("part.QZ")});
  EXPECT_EQ(show.code, 0);
  EXPECT_NE(show.out.find("\n场景13    (not in the file)\n"), std::string::npos) << show.out;
  EXPECT_NE(show.out.find("rows not in the file: 12\n"), std::string::npos) << show.out;
  const Ran json = qzctl({"--json", "show", path("part.QZ")});
  const QJsonObject shown = QJsonDocument::fromJson(QByteArray::fromStdString(json.out)).object();
  EXPECT_TRUE(shown["scenes"].toArray()[12].isNull());
  EXPECT_EQ(shown["missing_rows"].toArray(), QJsonArray{12});

  const Ran diff = qzctl({"diff", path("whole.QZ"), path("part.QZ")});
  EXPECT_EQ(diff.code, 1);
  EXPECT_EQ(diff.out, "rows not in " + (dir / "part.QZ").string() +
                          ": 12\n0 byte(s) differ, and the files do not hold the same rows\n");

  // Against a controller, only the rows the file holds are compared.
  sim::Options o;
  o.image = patternImage();
  o.pacing = false;
  Sim sim(o);
  const Ran compare = qzctl({"--port", sim.com(), "compare", path("part.QZ")});
  EXPECT_EQ(compare.code, 0) << compare.out;
  EXPECT_NE(compare.out.find(": same as "), std::string::npos) << compare.out;
  EXPECT_NE(compare.err.find("rows not in the file are not compared: 12"), std::string::npos);
}

}  // namespace
}  // namespace qz

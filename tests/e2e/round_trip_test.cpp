// The image travels through the real window, parameter files and qzsim, and comes back byte for
// byte whatever the editor showed before: random valid images of every model, each path
// started from a random earlier editor state, with or without a reconnect on the way.
//
// QZ_ROUND_TRIP_CASES sets how many cases run (50 here; scripts/soak runs thousands), and
// QZ_ROUND_TRIP_SEED the first seed. A failure names its seed, which replays it alone.

#include <gtest/gtest.h>

#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QTemporaryDir>
#include <cstdlib>
#include <string>

#include "config/param_file.h"
#include "config/settings.h"
#include "support/pty.h"
#include "support/qzsim_rig.h"
#include "support/random_image.h"

namespace qz {
namespace {

using test::Rig;

enum class Path { ReadSave, UploadSave, ReadDownload, UploadDownload };
enum class Before { Fresh, OtherImage, OtherModel };

constexpr const char* kPathNames[] = {"read -> save", "upload -> save", "read -> download",
                                      "upload -> download"};
constexpr const char* kBeforeNames[] = {"a fresh window", "another image shown",
                                        "another model chosen"};

struct Case {
  unsigned seed = 0;
  Path path = Path::ReadSave;
  Before before = Before::Fresh;
  bool reconnect = false;  // a controller of the same model connects on the way
  int model = 0;
  ConfigImage image;       // what must come back
  int otherModel = 0;      // the earlier editor state
  ConfigImage other;       // shown before, or held by the controller before a download
  ConfigImage controller;  // what the controller holds before a download
};

// Case i covers every path, earlier state and reconnect in turn; the seed draws the rest.
Case drawCase(unsigned seed, int i) {
  test::RandomImages g(seed);
  Case c;
  c.seed = seed;
  c.path = static_cast<Path>(i % 4);
  c.before = static_cast<Before>(i / 4 % 3);
  c.reconnect = i / 12 % 2 == 1;
  c.model = g.pick(0, kModels - 1);
  c.image = g.image(c.model);
  c.otherModel = (c.model + g.pick(1, kModels - 1)) % kModels;
  c.other = g.image(c.otherModel);
  c.controller = g.image(c.model);
  return c;
}

std::string describe(const Case& c) {
  return "seed " + std::to_string(c.seed) + ": " + kPathNames[static_cast<int>(c.path)] + " of a " +
         std::string(modelName(c.model)) + " image, from " +
         kBeforeNames[static_cast<int>(c.before)] + (c.reconnect ? ", reconnected" : "");
}

QByteArray fileOf(int model, const ConfigImage& image) {
  const auto bytes = writeParamFile(model, image);
  return {reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size())};
}

class Trip {
 public:
  Trip(const Case& c, const QTemporaryDir& dir) : c_(c), dir_(dir), rig_(options(c)) {}

  // Empty when the image came back whole, else what went wrong.
  std::string go() {
    Form1& w = *rig_.w;
    if (c_.before == Before::OtherImage) read("other.QZ", fileOf(c_.otherModel, c_.other));
    if (c_.before == Before::OtherModel) w.Combo机型->setCurrentIndex(c_.otherModel);
    const QByteArray file = fileOf(c_.model, c_.image);

    switch (c_.path) {
      case Path::ReadSave:
        read("image.QZ", file);
        if (c_.reconnect && !rig_.connect()) return "no connection";
        return sameFile(save(), file);
      case Path::UploadSave:
        if (!rig_.connect()) return "no connection";
        if (!transfer(w.Command上传, "  参数上传成功")) return status("upload");
        if (c_.reconnect && !reconnect()) return "no connection again";
        return sameFile(save(), file);
      case Path::ReadDownload:
        if (!c_.reconnect && !rig_.connect()) return "no connection";
        read("image.QZ", file);
        if (c_.reconnect && !rig_.connect()) return "no connection";
        if (!transfer(w.Command下载, "  参数下载成功")) return status("download");
        return sameImage();
      case Path::UploadDownload:
        if (!rig_.connect()) return "no connection";
        if (!transfer(w.Command上传, "  参数上传成功")) return status("upload");
        if (c_.reconnect && !reconnect()) return "no connection again";
        rig_.server->setImage(c_.controller);
        if (!transfer(w.Command下载, "  参数下载成功")) return status("download");
        return sameImage();
    }
    return "no such path";
  }

  [[nodiscard]] std::string unasked() const {
    if (!rig_.platform.messages.empty()) {
      return "a message: " + rig_.platform.messages.front().text.toStdString();
    }
    if (rig_.w->Frame7->isVisibleTo(rig_.w.get())) return "the clash prompt opened";
    return {};
  }

 private:
  static sim::Options options(const Case& c) {
    sim::Options o;
    o.model = c.model;
    o.pacing = false;
    o.image = c.path == Path::ReadDownload ? c.controller : c.image;
    return o;
  }

  void read(const QString& name, const QByteArray& bytes) {
    QFile f(dir_.filePath(name));
    if (f.open(QIODevice::WriteOnly)) f.write(bytes);
    f.close();
    rig_.platform.openAnswer = f.fileName();
    rig_.w->Command4->click();
  }

  QByteArray save() {
    rig_.platform.saveAnswer = dir_.filePath("saved.QZ");
    rig_.w->Command5->click();
    QFile f(rig_.platform.saveAnswer);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  }

  bool transfer(QPushButton* button, const char* success) {
    if (!test::pumpUntil([&] { return button->isEnabled(); }, 3000)) return false;
    button->click();
    return test::pumpUntil([&] { return rig_.w->Label提示->text() == QString::fromUtf8(success); },
                           5000);
  }

  bool reconnect() {
    rig_.w->Command建立连接->click();  // disconnect
    return rig_.connect();
  }

  [[nodiscard]] std::string status(const char* what) const {
    return std::string(what) + " did not succeed: \"" + rig_.w->Label提示->text().toStdString() +
           "\"";
  }

  static std::string sameFile(const QByteArray& saved, const QByteArray& expected) {
    if (saved == expected) return {};
    return "saved file differs:\n" + saved.toStdString() + "expected:\n" + expected.toStdString();
  }

  [[nodiscard]] std::string sameImage() const {
    const ConfigImage held = rig_.server->image();
    for (int r = 0; r < kRows; ++r) {
      for (int c = 0; c < kRowBytes; ++c) {
        if (held(r, c) != c_.image(r, c)) {
          return "controller holds row " + std::to_string(r) + " byte " + std::to_string(c) +
                 " = " + std::to_string(held(r, c)) + ", sent for " +
                 std::to_string(c_.image(r, c));
        }
      }
    }
    return {};
  }

  const Case& c_;
  const QTemporaryDir& dir_;
  Rig rig_;
};

unsigned fromEnvironment(const char* name, unsigned fallback) {
  const char* text = std::getenv(name);
  return text != nullptr && *text != '\0' ? static_cast<unsigned>(std::strtoul(text, nullptr, 10))
                                          : fallback;
}

TEST(RoundTrip, EveryPathGivesTheImageBackByteForByte) {
  QZ_SKIP_WITHOUT_PTY();
  const unsigned cases = fromEnvironment("QZ_ROUND_TRIP_CASES", 50);
  const unsigned first = fromEnvironment("QZ_ROUND_TRIP_SEED", 1);
  int failed = 0;
  for (unsigned i = 0; i < cases; ++i) {
    const Case c = drawCase(first + i, static_cast<int>(i));
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    Trip run(c, dir);
    std::string fault = run.go();
    if (fault.empty()) fault = run.unasked();
    if (!fault.empty()) {
      ++failed;
      ADD_FAILURE() << describe(c) << ": " << fault;
    }
  }
  std::printf("round trip: %u cases from seed %u, %d failed\n", cases, first, failed);
}

}  // namespace
}  // namespace qz

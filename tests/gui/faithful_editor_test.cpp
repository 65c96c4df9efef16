// What the editor shows before must not leak into the image it shows next: files read one
// after another, a controller of the same model connecting, an image made for another model.

#include <gtest/gtest.h>

#include <QFile>
#include <QGroupBox>
#include <QTemporaryDir>
#include <QTimer>

#include "config/param_file.h"
#include "support/editor_window.h"

namespace qz {
namespace {

using test::Bytes;
using test::EditorWindow;

// A QZ-0804 image whose fans and air conditioner take seven channels, in the order given
// (fan 1, fan 2, valve open, valve close, high, medium, low), with both fans on at power-up.
ConfigImage assigned(const std::array<std::uint8_t, 7>& ch) {
  ConfigImage image;
  for (int r = 0; r < kSceneKeys; ++r) image(r, r % 8) = 1;
  image.rows[17] = {ch[0], 1, ch[1], 1, ch[2], ch[3], ch[4], ch[5], ch[6], 0, 0, 1};
  image.rows[18] = {0, 0, 20, 40, 70, 100, 130, 160, 190, 220, 250, 2};
  return image;
}

QByteArray fileBytes(int model, const ConfigImage& image) {
  const auto bytes = writeParamFile(model, image);
  return {reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size())};
}

struct Files {
  QTemporaryDir dir;
  QString put(const QString& name, const QByteArray& data) const {
    QFile f(dir.filePath(name));
    if (!f.open(QIODevice::WriteOnly) || f.write(data) != data.size()) return {};
    return f.fileName();
  }
  [[nodiscard]] QByteArray saved(EditorWindow& t, const QString& name) const {
    t.platform.saveAnswer = dir.filePath(name);
    t.w->Command5->click();
    QFile f(dir.filePath(name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  }
};

void read(EditorWindow& t, const QString& path) {
  t.platform.openAnswer = path;
  t.w->Command4->click();
}

// Files read one after another, then a controller of the model shown connecting: the image
// saved is the last file, byte for byte.
TEST(FaithfulEditor, AnImageIsShownWholeAndAControllerOfItsModelKeepsIt) {
  Files files;
  EditorWindow t;
  Form1& w = *t.w;
  const QByteArray a = fileBytes(2, assigned({{3, 1, 8, 5, 2, 6, 7}}));
  const QByteArray b = fileBytes(2, assigned({{8, 6, 1, 2, 7, 3, 4}}));
  read(t, files.put("A.QZ", a));
  read(t, files.put("B.QZ", b));
  EXPECT_TRUE(w.Frame7->isHidden());  // B holds no clash: no prompt
  const int shown[] = {8, 1, 6, 1, 1, 2, 7, 3, 4};
  for (int k = 0; k < 9; ++k) EXPECT_EQ(w.Combo空调排风[k]->currentIndex(), shown[k]) << k;
  EXPECT_EQ(files.saved(t, "B2.QZ"), b);

  t.connect(2);  // on site: a QZ-0804 answers
  for (int k = 4; k <= 8; ++k) EXPECT_TRUE(w.Combo空调排风[k]->isEnabled()) << k;
  EXPECT_EQ(w.Combo空调排风[4]->currentText(), "通道1");
  for (int i = 0; i < 8; ++i) EXPECT_EQ(w.TD3[i]->isEnabled(), i == 4) << i;  // 5 is free
  EXPECT_EQ(files.saved(t, "site.QZ"), b);
  EXPECT_TRUE(t.platform.messages.empty());
}

TEST(FaithfulEditor, AnImageForAnotherModelNeverGoesToTheController) {
  Files files;
  EditorWindow t;
  Form1& w = *t.w;
  t.connect(2);  // QZ-0804
  ConfigImage other;
  other(17, 0) = 12;  // a fan on channel 12, which only a QZ-1200 has
  read(t, files.put("1200.QZ", fileBytes(4, other)));
  ASSERT_EQ(w.Combo机型->currentText(), "QZ-1200");
  t.port.writes.clear();

  w.Command下载->click();
  ASSERT_EQ(t.platform.messages.size(), 1u);
  const test::Message& m = t.platform.messages[0];
  EXPECT_EQ(m.title, "提示信息!");
  EXPECT_EQ(m.icon, MessageIcon::Exclamation);
  EXPECT_TRUE(m.text.contains("QZ-0804") && m.text.contains("QZ-1200")) << m.text.toStdString();
  EXPECT_TRUE(t.port.writes.empty());
  EXPECT_TRUE(w.Command下载->isEnabled());
  EXPECT_FALSE(w.session.ticking(Tick::Download));
  EXPECT_TRUE(w.Frame提示->isHidden());

  // An upload brings the controller's own image, read as the controller's model.
  w.Command上传->click();
  w.TimerSession->stop();
  ConfigImage controller = assigned({{8, 6, 1, 2, 7, 3, 4}});
  for (int r = 0; r < kRows; ++r) {
    Bytes reply = {0xA2, static_cast<std::uint8_t>(r)};
    reply.insert(reply.end(), controller.rows[static_cast<std::size_t>(r)].begin(),
                 controller.rows[static_cast<std::size_t>(r)].end());
    t.answer(reply);
  }
  EXPECT_EQ(w.Combo机型->currentText(), "QZ-0804");
  EXPECT_EQ(w.SetData, controller);
  EXPECT_EQ(w.Combo空调排风[kFirstAirConditionerList]->currentText(), "通道1");

  // Now the editor's model is the controller's: the download goes out.
  t.port.writes.clear();
  w.Command下载->click();
  ASSERT_FALSE(t.port.writes.empty());
  EXPECT_EQ(t.port.writes[0][0], 0xD0);
  EXPECT_EQ(t.platform.messages.size(), 1u);
}

}  // namespace
}  // namespace qz

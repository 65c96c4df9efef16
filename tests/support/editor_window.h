#pragma once
// The real window with the fake port and desktop, as the editor tests drive it.

#include <QCheckBox>
#include <QColor>
#include <QComboBox>
#include <QImage>
#include <QPalette>
#include <QPixmap>
#include <QPushButton>
#include <QStringList>
#include <initializer_list>
#include <memory>
#include <span>
#include <vector>

#include "link/fake_port.h"
#include "support/attempt.h"
#include "support/fake_platform.h"
#include "ui/form1.h"

namespace qz::test {

using Bytes = std::vector<std::uint8_t>;

inline const QColor kRed(255, 0, 0);
inline const QColor kLightOrange(255, 224, 192);

struct EditorWindow {
  FakePort port;
  FakePlatform platform;
  std::unique_ptr<Form1> w;

  EditorWindow() {
    port.ports[1] = PortError::None;  // COM1 is there
    w = std::make_unique<Form1>(port, platform);
  }

  // Connect button, first handshake, the controller's answer naming `model`, settled, the
  // version asked for and shown; then the line is cleared for the test.
  void connect(std::uint8_t model) {
    w->Command建立连接->click();
    finishAttempt(*w, [&](Form1& f) {
      if (!f.Connected()) answer({0xAA, 0x55, model, 0x88, 0x66});
    });
    port.writes.clear();
  }

  // The controller's bytes arrive and the receive notification runs.
  void answer(std::span<const std::uint8_t> bytes) {
    port.inject(bytes);
    port.deliver();
  }
  void answer(std::initializer_list<std::uint8_t> bytes) {
    port.inject(bytes);
    port.deliver();
  }

  // The user picks item `index` of a list.
  static void choose(QComboBox* list, int index) { list->setCurrentIndex(index); }

  [[nodiscard]] Bytes row(int r) const {
    const auto& data = w->SetData.rows.at(static_cast<std::size_t>(r));
    return {data.begin(), data.end()};
  }
};

// The scene preview frame carrying these twelve outputs.
[[nodiscard]] inline Bytes preview(std::initializer_list<std::uint8_t> outputs) {
  Bytes f = {0xD1, 0xD1};
  f.insert(f.end(), outputs);
  f.push_back(0x55);
  return f;
}

// The colour a button is drawn in, read from its pixels: the corners and edges just inside its
// outline, clear of the caption. A button drawn in more than one colour there (a gradient, a
// bevel) has no single colour and gives an invalid one.
[[nodiscard]] inline QColor buttonColour(QPushButton* b) {
  const QImage image = b->grab().toImage();
  const int right = image.width() - 3;
  const int bottom = image.height() - 3;
  const QColor first = image.pixelColor(2, 2);
  for (const QPoint at : {QPoint(right, 2), QPoint(2, bottom), QPoint(right, bottom),
                          QPoint(image.width() / 2, 2), QPoint(image.width() / 2, bottom),
                          QPoint(2, image.height() / 2), QPoint(right, image.height() / 2)}) {
    if (image.pixelColor(at) != first) return {};
  }
  return first;
}

[[nodiscard]] inline QStringList items(const QComboBox* list) {
  QStringList out;
  for (int i = 0; i < list->count(); ++i) out.append(list->itemText(i));
  return out;
}

}  // namespace qz::test

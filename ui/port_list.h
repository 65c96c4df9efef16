#pragma once
// The port list: a list whose items are read again each time it opens, and which may show lines
// of its own below them while it is open.

#include <QComboBox>
#include <functional>

namespace qz {

class PortList final : public QComboBox {
 public:
  using QComboBox::QComboBox;
  // Before the list opens, and after it closed.
  std::function<void()> opening;
  std::function<void()> closed;

  void showPopup() override {
    if (opening) opening();
    QComboBox::showPopup();
  }
  void hidePopup() override {
    QComboBox::hidePopup();
    if (closed) closed();
  }
};

}  // namespace qz

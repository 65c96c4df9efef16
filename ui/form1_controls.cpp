// The panel controls of each model, by model and channel.

#include <QCheckBox>
#include <QComboBox>
#include <array>

#include "ui/form1.h"

namespace qz {

namespace {

// The check boxes and the level lists of each model's panel, written once for the window and
// for its read-only view. QZ-1200 has no level lists.
template <class Window>
auto switchArrays(Window& w) {
  return std::array{w.TD1.items(), w.TD2.items(), w.TD3.items(), w.TD4.items(), w.TD5.items()};
}

template <class Window>
auto levelArrays(Window& w) {
  using Lists = decltype(w.TG1.items());
  return std::array{w.TG1.items(), w.TG2.items(), w.TG3.items(), w.TG4.items(), Lists()};
}

}  // namespace

std::span<QCheckBox* const> Form1::switchBoxes(int model) const {
  return model >= 0 && model < kModels ? switchArrays(*this)[static_cast<std::size_t>(model)]
                                       : std::span<QCheckBox* const>();
}

std::span<QComboBox* const> Form1::levelLists(int model) const {
  return model >= 0 && model < kModels ? levelArrays(*this)[static_cast<std::size_t>(model)]
                                       : std::span<QComboBox* const>();
}

std::span<QCheckBox*> Form1::switchBoxSlots(int model) {
  return switchArrays(*this).at(static_cast<std::size_t>(model));
}

std::span<QComboBox*> Form1::levelListSlots(int model) {
  return levelArrays(*this).at(static_cast<std::size_t>(model));
}

QCheckBox* Form1::switchBox(int model, int index) const {
  const auto boxes = switchBoxes(model);
  return index >= 0 && static_cast<std::size_t>(index) < boxes.size()
             ? boxes[static_cast<std::size_t>(index)]
             : nullptr;
}

QComboBox* Form1::levelList(int model, int index) const {
  const auto lists = levelLists(model);
  return index >= 0 && static_cast<std::size_t>(index) < lists.size()
             ? lists[static_cast<std::size_t>(index)]
             : nullptr;
}

}  // namespace qz

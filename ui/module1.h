#pragma once
// List helpers shared by the window's procedures.
//
// A list filled by the program shows no selection until one is chosen, so that choosing the
// first item runs its handler. Choosing an item runs the handler only when the selection
// changes, as for the user.

#include <QColor>
#include <QPushButton>
#include <QStringList>
#include <string>
#include <string_view>
#include <vector>

#include "link/serial_port.h"

class QComboBox;

namespace qz {

// Clears the list and fills it with items, leaving nothing selected; no handler runs.
void fillList(QComboBox* list, const QStringList& items);
// Items "first".."last" in decimal.
[[nodiscard]] QStringList numberItems(int first, int last);

// Texts the core keeps in UTF-8, as captions and list items.
[[nodiscard]] QString uiText(std::string_view text);
[[nodiscard]] QStringList uiItems(const std::vector<std::string>& items);

// A button painted flat in its palette's button colour, whatever the style: the scene keys,
// whose colour is the only mark of the key being edited. A thin frame outlines it (darker while
// pressed) and a dotted rectangle shows the keyboard focus.
class FlatButton final : public QPushButton {
 public:
  using QPushButton::QPushButton;

 protected:
  void paintEvent(QPaintEvent* event) override;
};

// The button's colour, held in its palette (a FlatButton paints exactly this colour).
void setButtonColour(QPushButton* button, const QColor& colour);

// Selects position index. A position the list does not have (a value from a controller or a
// file that no item shows) leaves the list showing nothing and runs no handler, so the byte
// behind it stays as it was.
void selectPosition(QComboBox* list, int index);

// The usable COM ports into the list, the first one selected.
void EnumComPorts(SerialPort& port, QComboBox* list);
// The 11 baud rates, entry index selected.
void FillBaudRates(QComboBox* list, int index);

}  // namespace qz

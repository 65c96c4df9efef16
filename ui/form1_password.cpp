// The password gate of the level table.

#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>

#include "config/settings.h"
#include "ui/form1.h"

namespace qz {

namespace {
void closePasswordPanel(Form1& w) {
  // Focus inside the closing panel goes back to the button that opens it, not to whatever
  // control happens to follow in the chain.
  const bool focusInside = w.Frame密码->isAncestorOf(w.focusWidget());
  w.Frame密码->hide();
  if (focusInside) w.Command9->setFocus(Qt::OtherFocusReason);
}
}  // namespace

void Form1::Command9_Click() {
  Frame密码->show();
  Text->clear();
  // The keyboard user lands where the password goes.
  Text->setFocus(Qt::OtherFocusReason);
}

void Form1::Command10_Click() {
  if (!passwordAccepted(Text->text().toStdString())) {
    CommonDialog1.messageBox(QStringLiteral("密码错误"), QStringLiteral("工程1"),
                             MessageIcon::None);
    return;
  }
  closePasswordPanel(*this);
  for (int k = 0; k < kLevels; ++k) Combo调光级别[k]->setEnabled(true);
}

void Form1::Command11_Click() {
  closePasswordPanel(*this);
  for (int k = 0; k < kLevels; ++k) Combo调光级别[k]->setEnabled(false);
}

}  // namespace qz

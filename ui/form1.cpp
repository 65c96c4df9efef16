#include "ui/form1.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QComboBox>
#include <QRadioButton>

namespace qz {

namespace {
// To assistive technology a plain widget is a client area ("filler"); the top-level Form1 is
// the application's window.
QAccessibleInterface* windowInterface(const QString& key, QObject* object) {
  if (key != QLatin1String("QWidget")) return nullptr;
  auto* form = dynamic_cast<Form1*>(object);
  if (form == nullptr || !form->isWindow()) return nullptr;
  return new QAccessibleWidget(form, QAccessible::Window);
}
}  // namespace

Form1::Form1(SerialPort& port, Platform& platform, QWidget* parent)
    : QWidget(parent), MSComm1(port), CommonDialog1(platform) {
  static const bool windowRoleKnown = (QAccessible::installFactory(windowInterface), true);
  (void)windowRoleKnown;
  buildWindow();
  buildMenu();
  wireSession();
  Form_Load();
  wireMoments();
}

Form1::~Form1() {
  delete finder_;  // a search still running gives the port back while the window is whole
  MSComm1.onComm = nullptr;
}

void Form1::Form_Load() {
  ControlBarInit();
  LiveTest = true;
  Option1->setChecked(true);
  Option3->setChecked(true);
}

void Form1::Form_Unload() {
  // After the exit button the controller has heard the disconnect already.
  drive([this] { session.disconnect(DisconnectBy::Unload); });
}

}  // namespace qz

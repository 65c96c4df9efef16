// Start-up: every list filled and every default chosen through its handler.

#include <QComboBox>
#include <QLabel>

#include "ui/form1.h"
#include "ui/module1.h"

namespace qz {

void Form1::ControlBarInit() {
  move(twips(50), twips(50));
  setFixedWidth(twips(kNarrowWidthTwips));
  WideView = false;
  fillList(Combo机型, {QStringLiteral("QZ-0408"), QStringLiteral("QZ-0606"),
                       QStringLiteral("QZ-0804"), QStringLiteral("QZ-1002"),
                       QStringLiteral("QZ-1200")});
  Combo机型->setCurrentIndex(0);
  Label机型->setText(QString());
  Label软件版本->setText(QString());
  显示机型(0);
  EnumComPorts(MSComm1, Combo串口);
  FillBaudRates(Combo波特率, 3);
  CurScene = 0;
  CurModel = 0;
  VersionMode = false;
}

}  // namespace qz

// Start-up: every list filled and every default chosen through its handler.
//
// A list is filled with nothing selected, then its default is selected, so that the list's
// handler runs and stores the default into the image exactly as a user's choice would.

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

#include "config/settings.h"
#include "ui/form1.h"
#include "ui/module1.h"

namespace qz {

namespace {
constexpr int kDefaultBaudEntry = 3;     // "9600"
constexpr int kDefaultPowerOnScene = 2;  // "场景3"
}  // namespace

void Form1::ControlBarInit() {
  // 1. Narrow layout near the top left corner.
  move(twips(50), twips(50));
  setFixedWidth(twips(kNarrowWidthTwips));
  WideView = false;

  // 2. The model list; choosing QZ-0408 shows its panel, builds the assignment lists and
  // writes its scene pattern.
  QStringList models;
  for (int m = 0; m < kModels; ++m) models.append(uiText(modelName(m)));
  fillList(Combo机型, models);
  selectPosition(Combo机型, 0);

  // 3., 4. Nothing reported yet; the model list already shows QZ-0408, so only the label is
  // set again.
  Label机型->setText(QString());
  Label软件版本->setText(QString());
  显示机型(0);

  // 5. Ports and baud rates.
  EnumComPorts(MSComm1, Combo串口);
  FillBaudRates(Combo波特率, kDefaultBaudEntry);

  // 6. The panels' level lists, each on level 0 (stored into row 0; nothing is sent yet).
  const QStringList levels = numberItems(0, kLevels - 1);
  for (int m = 0; m < kModels; ++m) {
    for (int i = 0; i < dimCount(m); ++i) {
      fillList(levelList(m, i), levels);
      selectPosition(levelList(m, i), 0);
    }
  }

  // 7. to 10. Work mode, scene mode, DMX512 address, power-on scene.
  fillList(Combo工作模式, {QStringLiteral("LINK模式"), QStringLiteral("DMX512模式")});
  selectPosition(Combo工作模式, 0);
  fillList(Combo场景模式, {QStringLiteral("切换"), QStringLiteral("叠加")});
  selectPosition(Combo场景模式, 0);
  fillList(Combo1DMX地址, numberItems(1, 501));
  selectPosition(Combo1DMX地址, 0);
  QStringList keys;
  for (int row = 0; row < kSceneKeys; ++row) keys.append(uiText(sceneKeyName(row)));
  fillList(Combo开机场景, keys);
  selectPosition(Combo开机场景, kDefaultPowerOnScene);

  // 11. to 14. Scene 1 of QZ-0408 being edited, the assignment lists for QZ-0408.
  CurScene = 0;
  CurModel = 0;
  paintSceneKeys(1);
  提示当前设置场景(1);
  排风空调设置选项(0);

  // 15., 16. The level table, each list on its default and locked behind the password.
  DimTable = kDefaultLevelTable;
  const QStringList values = numberItems(0, 255);
  for (int k = 0; k < kLevels; ++k) {
    const std::uint8_t value = DimTable[static_cast<std::size_t>(k)];
    fillList(Combo调光级别[k], values);
    selectPosition(Combo调光级别[k], value);
    SetData(row18::kRow, row18::kFirstLevel + k) = value;
    Combo调光级别[k]->setEnabled(false);
  }

  // 17. to 19. No version text expected (a new conversation expects none), the start-up beep,
  // the password frame hidden.
  CommonDialog1.beep(4000, 200);
  Frame密码->hide();
}

}  // namespace qz

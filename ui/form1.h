#pragma once
// Form1, the one window of the tool. Its definition is split by concern:
//   form1_layout.cpp      the controls, their placement and names
//   form1_wiring.cpp      what the controls and timers call, the keyboard's order
//   form1_controls.cpp    the panel controls by model and channel
//   form1_connection.cpp  connecting, settling, version query, disconnect, exit
//   form1_dispatch.cpp    the receive notification and what each reply does
//   form1_service.cpp     interface protocol and scene run mode commands
//   form1_init.cpp        start-up: ControlBarInit
//   form1_image.cpp       showing a whole image (Show_Set) and the live test senders
//   form1_scene.cpp       scene keys and the model panels
//   form1_settings.cpp    model, power-on scene, work mode, DMX address, level table
//   form1_assignment.cpp  exhaust fan and air conditioner channels
//   form1_password.cpp    the password gate of the level table
//   form1_clock.cpp       clock, wide/narrow layout, history list
//   form1_transfer.cpp    moving the image to and from the controller
//   form1_files.cpp       parameter files
//   form1_screen.cpp      the window on a screen too small for it
//   form1_outcome.cpp     why an attempt failed, what it left, the history's outcome lines
//   form1_ports.cpp       the port list, read again when opened and when devices come or go
//   form1_unsaved.cpp     the file named in the title, the question before edits are lost

#include <QPointer>
#include <QStringList>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "config/assignment.h"
#include "config/image.h"
#include "link/serial_port.h"
#include "session/port_driver.h"
#include "session/session.h"
#include "ui/control_array.h"
#include "ui/platform.h"
#include "ui/status_texts.h"

namespace qz::report {
struct SheetInput;
}  // namespace qz::report
namespace qz::doctor {
struct Diagnosis;
}  // namespace qz::doctor

class QAction;
class QCheckBox;
class QDialog;
class QMenu;
class QMenuBar;
class QComboBox;
class QFileSystemWatcher;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QScrollArea;
class QTimer;

namespace qz {

// Window geometry is given in twips; 15 twips make one pixel at 96 dots per inch.
constexpr int twips(int t) {
  return t / 15;
}

inline constexpr int kNarrowWidthTwips = 9795;
inline constexpr int kWideWidthTwips = 13800;
inline constexpr int kHistoryLeftTwips = 9720;
inline constexpr int kWindowHeight = 690;  // pixels; the logo line sits at 9720 twips

class Form1 : public QWidget {
 public:
  // The window is created and loaded (Form_Load) at once; it talks to the controller through
  // port and to the desktop through platform, both of which outlive it.
  Form1(SerialPort& port, Platform& platform, QWidget* parent = nullptr);
  ~Form1() override;
  Form1(const Form1&) = delete;
  Form1& operator=(const Form1&) = delete;

  // ---- Connection frame "连接" ----
  QGroupBox* Frame1{};
  QLabel* Label1{};
  QComboBox* Combo串口{};
  QLabel* Label2{};
  QComboBox* Combo波特率{};
  QLabel* Label15{};
  QComboBox* Combo机型{};
  QPushButton* Command建立连接{};
  QPushButton* Command上传{};
  QPushButton* Command下载{};
  QPushButton* Command4{};  // "读取参数"
  QPushButton* Command5{};  // "保存参数"
  QLabel* Label13{};
  QLabel* Label机型{};
  QLabel* Label14{};
  QLabel* Label软件版本{};

  // ---- Light-settings frame "灯光设置" (an array of one) ----
  ControlArray<QGroupBox, 0, 0> Frame2;
  ControlArray<QPushButton, 1, 17> Command6;  // scene keys; index - 1 is the image row
  ControlArray<QGroupBox, 0, 4> Frame6;       // one channel panel per model
  ControlArray<QCheckBox, 0, 3> TD1;
  ControlArray<QCheckBox, 0, 5> TD2;
  ControlArray<QCheckBox, 0, 7> TD3;
  ControlArray<QCheckBox, 0, 9> TD4;
  ControlArray<QCheckBox, 0, 11> TD5;
  ControlArray<QComboBox, 0, 7> TG1;
  ControlArray<QComboBox, 0, 5> TG2;
  ControlArray<QComboBox, 0, 3> TG3;
  ControlArray<QComboBox, 0, 1> TG4;
  ControlArray<QLabel, 0, 19> Label16;  // "调光k" beside the level lists of panels 0..3
  QLabel* Label26{};
  QComboBox* Combo开机场景{};
  QLabel* Label5{};
  QComboBox* Combo工作模式{};
  QLabel* Label17{};
  QComboBox* Combo1DMX地址{};
  QLabel* Label21{};           // hidden
  QComboBox* Combo场景模式{};  // hidden
  // "调光级别设置"
  QGroupBox* Frame3{};
  ControlArray<QComboBox, 0, 9> Combo调光级别;
  ControlArray<QLabel, 0, 9> Label20;
  QPushButton* Command9{};  // "调光设置"
  QGroupBox* Frame密码{};
  QLabel* Label27{};
  QLineEdit* Text{};
  QPushButton* Command10{};  // "确认"
  QPushButton* Command11{};  // "取消"
  // "排风" and "风管机空调"
  QGroupBox* Frame4{};
  QGroupBox* Frame5{};
  ControlArray<QComboBox, 0, 8> Combo空调排风;
  QLabel* Label3{};   // "排风1"
  QLabel* Label4{};   // "排风2"
  QLabel* Label6{};   // "上电" of fan 1
  QLabel* Label7{};   // "上电" of fan 2
  QLabel* Label8{};   // "阀开"
  QLabel* Label9{};   // "阀关"
  QLabel* Label10{};  // "高风"
  QLabel* Label11{};  // "中风"
  QLabel* Label12{};  // "低风"

  // ---- Prompt frame of the channel check ----
  QGroupBox* Frame7{};
  QLabel* Label19{};
  QLabel* Label22{};
  QPushButton* Command1{};  // "确 定"

  // ---- Service frames ----
  QGroupBox* Frame8{};
  ControlArray<QLabel, 0, 1> Label23;
  QRadioButton* Option1{};
  QRadioButton* Option2{};
  QPushButton* Command2{};
  QPushButton* Command3{};
  QGroupBox* Frame9{};
  QLabel* Label24{};
  QRadioButton* Option3{};
  QLabel* Label25{};
  QRadioButton* Option4{};
  QPushButton* Command8{};

  // ---- Status frame ----
  QGroupBox* Frame提示{};
  QLabel* Label提示{};
  QLabel* Label18{};  // percentage
  QFrame* Shape1{};   // progress outline
  QFrame* Shape2{};   // progress fill
  // Why the latest attempt failed and what it left behind, above the status frame; shown with
  // a failure until the user's next action.
  QLabel* Label原因{};

  // ---- History, exit, logo, clock ----
  QListWidget* List1{};
  QPushButton* Command7{};  // "退  出"
  QLabel* Image1{};
  QLabel* LBDATA{};

  // ---- Menu bar above the form (form1_menu.cpp) ----
  QMenuBar* MenuBar{};
  QAction* MenuConnect{};  // 建立连接 / 断开连接, as the button says
  QAction* MenuVerify{};   // 下载后校验, checkable, remembered
  QMenu* MenuRecent{};     // the files read last

  // ---- Timers ----
  QTimer* Timer1{};  // clock, 333 ms
  // The conversation's one timer (the driver's), started for its next deadline after every call.
  // The handlers below are one tick of each kind, run by hand.
  QTimer* TimerSession{};

  // ---- Non-visual ----
  SerialPort& MSComm1;
  Platform& CommonDialog1;  // message boxes and file dialogs, beep and clock

  // ---- Fields ----
  // The conversation with the controller: connected or not, the tick count of an attempt, the
  // version text, the transfers under way and the service command waiting for its answer.
  Session session;
  // Every call of the session goes through it: the port's bytes first, then the call, then the
  // frames written and the events told (sessionEvent).
  PortDriver sessionDriver{MSComm1, session};
  [[nodiscard]] bool Connected() const { return session.connected(); }
  [[nodiscard]] std::int16_t LinkTick() const { return session.linkTick(); }
  [[nodiscard]] bool VersionMode() const { return session.collectingVersion(); }
  [[nodiscard]] QString VersionText() const;
  ConfigImage SetData;
  LevelTable DimTable{};
  std::uint8_t CurScene = 0;
  std::uint8_t CurModel = 0;
  bool LiveTest = false;
  bool WideView = false;

  // ---- Load and unload ----
  void Form_Load();
  void Form_Unload();
  void ControlBarInit();

  // ---- Connection ----
  void Command建立连接_Click();
  void TimerSession_Timer();
  void Timer2_Timer();
  void Timer3_Timer();
  void TimerGetVision_Timer();
  void Command7_Click();

  // ---- Replies ----
  void MSComm1_OnComm();

  // ---- Service commands ----
  void Command2_Click();
  void Command3_Click();
  void Command8_Click();

  // ---- Image and live tests ----
  void Show_Set(std::uint8_t scene);
  // A live command: written only while connected; during a transfer the latest of its kind
  // waits until the transfer ends.
  void TsetControl(const Frame& frame);
  void Send场景();

  // ---- Scene editor ----
  void Command6_Click(int Index);
  void 提示当前设置场景(std::uint8_t key);
  void 显示对应灯控通道设置(std::uint8_t model);
  void TD1_Click(int Index);
  void TD2_Click(int Index);
  void TD3_Click(int Index);
  void TD4_Click(int Index);
  void TD5_Click(int Index);
  void TG1_Click(int Index);
  void TG2_Click(int Index);
  void TG3_Click(int Index);
  void TG4_Click(int Index);

  // ---- Model and global settings ----
  void Combo机型_Click();
  void 显示机型(std::uint8_t model);
  void Combo开机场景_Click();
  void Combo工作模式_Click();
  void Combo1DMX地址_Click();
  void Combo场景模式_Click();
  void Combo调光级别_Click(int k);

  // ---- Channel assignment ----
  void 排风空调设置选项(std::uint8_t model);
  void Combo空调排风_Click(int Index);
  void Command1_Click();

  // ---- Password gate ----
  void Command9_Click();
  void Command10_Click();
  void Command11_Click();

  // ---- Clock, layout, history ----
  void Timer1_Timer();
  void Image1_DblClick();
  void List1_DblClick();

  // ---- Transfers and parameter files ----
  void Command下载_Click();
  void Command上传_Click();
  void Timer下载超时_Timer();
  void Timer上传超时_Timer();
  void Load_JD(std::uint8_t mode, std::uint8_t p);
  void Command4_Click();
  void Command5_Click();
  // Reads the parameter file at path into the editor, as "读取参数" does once its dialog chose
  // the file, with the same messages. qzconfig FILE.QZ starts with this.
  void readParameterFile(const QString& path);

  // ---- What the menu bar reaches besides the buttons ----
  void printSheet();        // form1_sheet.cpp: 打印配置单
  void findController();    // form1_find.cpp: 查找控制器
  void diagnoseAdapters();  // form1_doctor.cpp: 适配器诊断 of this machine
  void showDiagnosis(const doctor::Diagnosis& d);
  void compareWithController();  // form1_compare.cpp: 与控制器比较
  void showTour();               // form1_menu.cpp: 使用说明
  void showAbout();              // 关于
  // A file read into the editor goes first in the menu's list of files read last.
  void rememberFile(const QString& path);
  [[nodiscard]] bool verifyAfterDownload() const;
  [[nodiscard]] int menuHeight() const;  // 0 before the bar exists
  // ---- Outcomes, the port list, unsaved edits ----
  // Each event of the conversation once the window has shown it: the failure's reason and
  // what it left, the history's outcome line, the image a transfer made the saved one.
  void showOutcome(const SessionEvent& e);
  // The user pressed a key or a mouse button in the window: a failure shown is read.
  void userActed();
  // The port list read again: before it opens, and when serial devices come or go, unless a
  // connection holds the port (then once it is let go).
  void Combo串口_DropDown();
  void serialDevicesChanged();
  // The port to select whenever the list has it (qzconfig --port).
  void preselectPort(const QString& comName);
  // What the port list shows of a device besides its COM name: the device and, for a USB
  // adapter, its maker and product. The system's serial port information unless a test sets it.
  struct DeviceInfo {
    QString maker;
    QString product;
    bool usb = false;
  };
  std::function<DeviceInfo(const QString& device)> describeDevice;
  // The image in the editor differs from the one last saved, read, uploaded or downloaded.
  [[nodiscard]] bool editsUnsaved() const;
  // Over unsaved edits asks whether to save them first: true to go on (saved or given up).
  bool editsSettled();
  // editsSettled() once for leaving: the exit button and closing the window ask only once.
  bool mayLeave();
  // The image now in the editor is the one in `file` (read or saved there).
  void imageKeptIn(const QString& file);

  // The window takes the size of its layout. On a screen whose free area is smaller, it takes
  // as much of the screen as there is and its content scrolls. Done when shown, when the screen
  // changes and when the layout changes width.
  void fitToScreen();

  // The panel controls of model m (0..4): its switch boxes and its level lists.
  [[nodiscard]] QCheckBox* switchBox(int model, int index) const;
  [[nodiscard]] QComboBox* levelList(int model, int index) const;

 protected:
  void closeEvent(class QCloseEvent* event) override;
  void showEvent(class QShowEvent* event) override;
  void moveEvent(class QMoveEvent* event) override;
  bool eventFilter(QObject* watched, class QEvent* event) override;

 private:
  void buildWindow();  // form1_layout.cpp
  void buildMenu();    // form1_menu.cpp
  void fillRecentFiles();
  // The sheet of the editor's image with the customer, site and room of the sheet dialog.
  [[nodiscard]] report::SheetInput sheetInput(const QDialog& dialog) const;
  // Compare and verify (form1_compare.cpp): the controller's image read by an upload whose image
  // goes to them, not the editor. True when the event was theirs to show.
  bool comparing_ = false;  // the upload under way is 与控制器比较's
  // What a download read back said of its success and close, told once the read-back agrees.
  std::vector<SessionEvent> verifiedNews_;
  bool readBackEvent(const SessionEvent& e);
  void checkReadBack(const event::ReadBack& r);
  // A download whose read-back failed or differs: the status, the reason that stays, the
  // history's outcome line.
  void verifyFailed(const QString& reason, const QString& historyWhy);
  QPointer<QObject> finder_;  // the search 查找控制器 runs, while it runs
  // A window of the form's own, not modal, showing text the user can select and copy; one of
  // each name at a time.
  QDialog* textDialog(const QString& name, const QString& title, const QString& text);
  void wireWindow();  // form1_wiring.cpp
  // What the window makes of what happened in the conversation (form1_dispatch.cpp): connecting
  // (form1_connection.cpp), transfers (form1_transfer.cpp), service answers (form1_service.cpp).
  void wireSession();
  void sessionEvent(const SessionEvent& e);
  void connectionEvent(const SessionEvent& e);
  void transferEvent(const SessionEvent& e);
  void serviceEvent(const SessionEvent& e);
  // A call of the session, carried out through the driver.
  void drive(const std::function<void()>& call) { sessionDriver.run(call); }
  // The first answer's model is the connection's, no edit: it sends no preview.
  bool takingModel_ = false;
  // The clock's caption in the room between the logo and the exit button: the label is as wide
  // as its text, and a text too long for the room (a long time format) is drawn smaller.
  void fitClockCaption();
  [[nodiscard]] static QFont clockFont();
  // Key `current` red, every other scene key light orange.
  void paintSceneKeys(int current);
  // The panel controls of model m in channel order: TD1..TD5, TG1..TG4 (none for QZ-1200).
  [[nodiscard]] std::span<QCheckBox* const> switchBoxes(int model) const;
  [[nodiscard]] std::span<QComboBox* const> levelLists(int model) const;
  [[nodiscard]] std::span<QCheckBox*> switchBoxSlots(int model);
  [[nodiscard]] std::span<QComboBox*> levelListSlots(int model);
  // One handler per kind of panel control; TD1_Click..TG4_Click name the panel.
  void switchBoxChanged(int model, int index);
  void levelListChanged(int model, int index);
  // Assignment list k shows byte k of row 17 as model m can show it; a byte the model cannot
  // have becomes "关闭" and 0.
  void showAssignment(int k, int model);
  // All nine lists show row 17 as model m can show it, whatever they showed before.
  void showAssignments(int model);
  // The current model's panel shows row CurScene; its handlers neither store nor send meanwhile.
  void loadPanel();
  // What the nine assignment lists show (-1 where a list shows nothing).
  [[nodiscard]] AssignmentSelection assignmentSelection() const;
  // The current panel's boxes of channels that a fan function holds are disabled, the others
  // enabled.
  void withdrawAssignedChannels();

  // Outcomes (form1_outcome.cpp), the port list (form1_ports.cpp), unsaved edits
  // (form1_unsaved.cpp): set up once the window is loaded.
  void wireMoments();
  void wireOutcomes();
  void wirePortList();
  void wireUnsavedEdits();
  void holdFailure();
  void fillPortList();
  bool describePorts();  // true when a USB adapter is listed
  void showUnsaved();
  void imageSaved(const ConfigImage& image, int model);
  bool failureHeld_ = false;   // the status frame shows a failure until the user acts
  bool portWentAway_ = false;  // the transfer that ends next ended with the port
  bool portsStale_ = false;    // devices came or went while the port was held
  QString wantedPort_;         // the port the user chose or was given; kept while it exists
  QStringList deviceNames_;    // the serial devices and aliases seen last
  QFileSystemWatcher* deviceWatch_ = nullptr;  // the program's one watch of /dev and the aliases
  ConfigImage savedImage_;
  int savedModel_ = 0;
  ConfigImage sentImage_;  // the image of the download under way, as at its press
  int sentModel_ = 0;
  QString keptIn_;  // the file last read or saved
  bool leaving_ = false;
  bool cleanAtConnect_ = false;  // nothing was unsaved when the attempt began

  bool unloaded_ = false;
  // While the window is smaller than its layout: the scroll area that fills the window and the
  // widget that holds every control in its place.
  QScrollArea* scroller_ = nullptr;
  QWidget* content_ = nullptr;
  bool watchingScreen_ = false;
  QMetaObject::Connection screenWatch_;
  QSize fittedFrame_;  // the window manager's frame when the window was last fitted
  void watchScreen(class QScreen* shownOn);
  void enterScrolling();
  void leaveScrolling();
};

}  // namespace qz

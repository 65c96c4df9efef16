#pragma once
// What the window asks of the desktop besides its own widgets: modal message boxes, file
// dialogs, the beep and the clock. Tests answer these without blocking and set the time.

#include <QDateTime>
#include <QIcon>
#include <QString>

class QCoreApplication;

namespace qz {

enum class MessageIcon { None, Information, Exclamation, Critical };
// The answers to the question asked before unsaved edits would be lost.
enum class SaveChoice { Save, Discard, Cancel };

class Platform {
 public:
  virtual ~Platform() = default;
  // A modal message box with a single OK button.
  virtual void messageBox(const QString& text, const QString& title, MessageIcon icon) = 0;
  // A modal question with the buttons 保存, 不保存 and 取消; closing it answers 取消.
  virtual SaveChoice askToSave(const QString& text, const QString& title) = 0;
  // The chosen path, or an empty text when the user cancels.
  virtual QString openFileName(const QString& filter) = 0;
  virtual QString saveFileName(const QString& filter) = 0;
  virtual void beep(int hertz, int milliseconds) = 0;
  [[nodiscard]] virtual QDateTime now() const = 0;
};

// The real desktop. The file dialogs open in the user's home folder, then in the folder of the
// file last chosen in either of them.
class DesktopPlatform final : public Platform {
 public:
  void messageBox(const QString& text, const QString& title, MessageIcon icon) override;
  SaveChoice askToSave(const QString& text, const QString& title) override;
  QString openFileName(const QString& filter) override;
  QString saveFileName(const QString& filter) override;
  void beep(int hertz, int milliseconds) override;
  [[nodiscard]] QDateTime now() const override;

 private:
  // Empty until a file is chosen: the home folder then.
  QString lastFolder_;
  [[nodiscard]] QString startFolder() const;
  void remember(const QString& chosen);
};

// Qt's own texts (the file dialogs, the replace question, the buttons 确定, 取消, 是, 否) in the
// window's language, Simplified Chinese, from Qt's installed translations. False when they are
// not installed; Qt then speaks English.
bool installQtTranslations(QCoreApplication& app);

// The tool's icon: the icon theme's when the package installed it, the bundled pictures
// otherwise.
[[nodiscard]] QIcon toolIcon();

}  // namespace qz

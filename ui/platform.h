#pragma once
// What the window asks of the desktop besides its own widgets: modal message boxes, file
// dialogs, the beep and the clock. Tests answer these without blocking and set the time.

#include <QDateTime>
#include <QString>

namespace qz {

enum class MessageIcon { None, Information, Exclamation, Critical };

class Platform {
 public:
  virtual ~Platform() = default;
  // A modal message box with a single OK button.
  virtual void messageBox(const QString& text, const QString& title, MessageIcon icon) = 0;
  // The chosen path, or an empty text when the user cancels.
  virtual QString openFileName(const QString& filter) = 0;
  virtual QString saveFileName(const QString& filter) = 0;
  virtual void beep(int hertz, int milliseconds) = 0;
  [[nodiscard]] virtual QDateTime now() const = 0;
};

// The real desktop.
class DesktopPlatform final : public Platform {
 public:
  void messageBox(const QString& text, const QString& title, MessageIcon icon) override;
  QString openFileName(const QString& filter) override;
  QString saveFileName(const QString& filter) override;
  void beep(int hertz, int milliseconds) override;
  [[nodiscard]] QDateTime now() const override;
};

}  // namespace qz

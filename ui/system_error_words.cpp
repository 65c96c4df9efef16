#include "ui/system_error_words.h"

#include <QCoreApplication>
#include <cerrno>

namespace qz {

namespace {

struct Words {
  int error;
  const char* english;  // the text Qt gives (and translates) for it, or none
  const char* chinese;
};

// The errors a file dialog's choice can meet, most common first.
constexpr Words kWords[] = {
    {ENOENT, "No such file or directory", "没有这个文件或文件夹"},
    {EACCES, "Permission denied", "没有访问权限"},
    {ENOSPC, "No space left on device", "磁盘已满"},
    {EFBIG, nullptr, "文件太大，超出了允许的大小"},
    {EDQUOT, nullptr, "超出了磁盘配额"},
    {EROFS, nullptr, "这是只读的文件系统"},
    {EPERM, nullptr, "不允许这个操作"},
    {EISDIR, nullptr, "这是文件夹"},
    {ENOTDIR, nullptr, "路径中有一段不是文件夹"},
    {ENAMETOOLONG, nullptr, "文件名太长"},
    {ELOOP, nullptr, "符号链接层数太多"},
    {EEXIST, nullptr, "文件已经存在"},
    {EBUSY, nullptr, "文件正被占用"},
    {ETXTBSY, nullptr, "文件正被占用"},
    {EIO, nullptr, "读写磁盘时出错"},
    {EMFILE, "Too many open files", "打开的文件太多"},
    {ENFILE, nullptr, "系统打开的文件太多"},
    {ENOMEM, nullptr, "内存不足"},
    {EINVAL, nullptr, "文件系统不接受这个文件名"},
    {EXDEV, nullptr, "不能跨文件系统改名"},
    {ENXIO, nullptr, "设备不存在"},
    {ENODEV, nullptr, "设备不存在"},
    {ESTALE, nullptr, "网络文件已失效"},
    {EAGAIN, nullptr, "暂时无法完成，请再试一次"},
    {EINTR, nullptr, "操作被中断"},
};

}  // namespace

QString systemErrorWords(int error) {
  for (const Words& w : kWords) {
    if (w.error != error) continue;
    if (w.english != nullptr) {
      // Qt's own Chinese, from the translations the window installed at start.
      const QString qt = QCoreApplication::translate("QIODevice", w.english);
      if (qt != QLatin1String(w.english)) return qt;
    }
    return QString::fromUtf8(w.chinese);
  }
  return QStringLiteral("系统错误（错误号 %1）").arg(error);
}

}  // namespace qz

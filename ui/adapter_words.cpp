#include "ui/adapter_words.h"

#include <QStringList>

namespace qz {

using doctor::Cause;

namespace {

QString u(const std::string& s) {
  return QString::fromStdString(s);
}

constexpr char kReplug[] = "然后拔下适配器再插上。";

}  // namespace

QString findingWords(const doctor::Finding& f) {
  const QString subject = u(f.subject);
  const QString replug = QString::fromUtf8(kReplug);
  switch (f.cause) {
    case Cause::PortMade:
      return QStringLiteral("适配器生成了端口 %1。").arg(subject);
    case Cause::NoComName:
      return QStringLiteral(
                 "没有 COM 名称指向 %1（固定的名称只到 ttyUSB7 和 ttyACM7）。"
                 "用下面的命令可以把它命名为 COM40。")
          .arg(subject);
    case Cause::ClaimedByProgram:
      return QStringLiteral("没有生成端口：%1 通过 usbfs 占用了适配器。请关闭该程序，")
                 .arg(subject) +
             replug;
    case Cause::TakenByBrltty:
      return QStringLiteral(
                 "没有生成端口：盲文显示服务 brltty 占用了适配器。"
                 "如果不用盲文显示器，请卸载 brltty，") +
             replug;
    case Cause::NoDriver:
      return QStringLiteral(
          "没有生成端口：系统不认识这种芯片，没有加载驱动。"
          "需要更新的内核或芯片厂商的 Linux 驱动。");
    case Cause::DriverMadeNoPort:
      return QStringLiteral("没有生成端口：驱动 %1 已加载，但没有生成串口。请拔下适配器再插上。")
          .arg(subject);
    case Cause::NodeMissing:
      return QStringLiteral("内核生成了端口，但 %1 不存在（udev 没有运行）。请拔下适配器再插上。")
          .arg(subject);
    case Cause::AccessGranted:
      return QStringLiteral("您可以读写此端口。");
    case Cause::NobodyMayOpen:
      return QStringLiteral(
          "您和端口所属的组都不能读写此端口。需要一条 udev 规则，"
          "让它属于 dialout 组、权限为 0660。");
    case Cause::JoinedAfterLogin:
      return QStringLiteral(
                 "您是登录以后才加入 %1 组的，这次登录还没有这个权限。"
                 "请注销后重新登录。")
          .arg(subject);
    case Cause::NotInGroup:
      return QStringLiteral(
                 "您不在 %1 组中，只有这个组可以打开此端口。"
                 "请运行下面的命令，然后注销并重新登录。")
          .arg(subject);
    case Cause::ProbedByModemManager:
      return QStringLiteral("%1 正在试探此端口（插上后的几秒钟内）。请稍等，再诊断一次。")
          .arg(subject);
    case Cause::InUse:
      return QStringLiteral("此端口正被 %1 使用。请关闭该程序。").arg(subject);
    case Cause::LockedBy:
      return QStringLiteral("此端口被 %1 锁定。请关闭该程序。").arg(subject);
    case Cause::StaleLock:
      return QStringLiteral("锁文件 %1 是已退出的程序留下的，打开端口时会自动清除。").arg(subject);
    case Cause::OthersStaleLock:
      return QStringLiteral(
                 "锁文件 %1 是另一个用户已退出的程序留下的，端口无法锁定。"
                 "请用下面的命令删除它。")
          .arg(subject);
    case Cause::NobodyHoldsIt:
      return QStringLiteral("没有程序占用此端口。");
    case Cause::ModemManagerMayProbe:
      return QStringLiteral(
                 "ModemManager 正在运行，插上适配器后的几秒钟内可能试探并占用此端口。"
                 "用下面的命令可以让它不碰这个适配器，") +
             replug;
    case Cause::NoUsbDevice:
      return QStringLiteral("系统中没有任何 USB 设备。请插上 USB RS-485 适配器，再诊断一次。");
    case Cause::NoAdapter:
      return QStringLiteral(
          "没有 USB 串口适配器：现有的 USB 设备都不是。"
          "请插上 USB RS-485 适配器，再诊断一次。");
    case Cause::SeveralPorts:
      return QStringLiteral(
                 "共有 %1 个端口：ttyUSB 和 ttyACM 的编号随插入的先后而变，"
                 "/dev/serial/by-id 下的名称始终对应同一个适配器。")
          .arg(subject);
  }
  return u(f.text);
}

QString verdictWords(const doctor::Diagnosis& d) {
  if (d.usable) {
    QStringList ports;
    for (const doctor::Adapter& a : d.adapters) {
      if (!a.usable) continue;
      ports.append(a.com.empty()
                       ? u(a.device)
                       : u(a.com) + QStringLiteral(" (") + u(a.device) + QLatin1Char(')'));
    }
    return QStringLiteral("可以使用: %1").arg(ports.join(QStringLiteral("、")));
  }
  const doctor::FirstProblem first = doctor::firstProblemFound(d);
  if (first.finding == nullptr) return {};
  const QString where = first.adapter != nullptr && !first.adapter->device.empty()
                            ? u(first.adapter->device) + QStringLiteral(": ")
                            : QString();
  return QStringLiteral("请先解决: ") + where + findingWords(*first.finding);
}

QString commandToCopy(const doctor::Diagnosis& d) {
  if (d.usable) return {};
  const doctor::FirstProblem first = doctor::firstProblemFound(d);
  return first.finding != nullptr ? u(first.finding->command) : QString();
}

}  // namespace qz

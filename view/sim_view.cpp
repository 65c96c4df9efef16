#include "view/sim_view.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QStringList>
#include <QVBoxLayout>
#include <algorithm>
#include <string>

#include "config/frames.h"
#include "config/settings.h"
#include "protocol/frames.h"
#include "sim/outputs.h"

namespace qz::view {

namespace {

namespace f = qz::frames;

QString text(std::string_view s) {
  return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

// A lamp's colour: dark when off, warm yellow at full brightness; fans and the air
// conditioner in blue.
QString lampStyle(int brightness, bool machine) {
  const double k = std::clamp(brightness, 0, 255) / 255.0;
  const int r = machine ? 40 + static_cast<int>(k * 80) : 60 + static_cast<int>(k * 195);
  const int g = machine ? 60 + static_cast<int>(k * 130) : 60 + static_cast<int>(k * 154);
  const int b = machine ? 100 + static_cast<int>(k * 155) : 60 - static_cast<int>(k * 60);
  const char* ink = k > 0.5 ? "black" : "white";
  return QString(
             "QLabel { background-color: rgb(%1, %2, %3); color: %4; border-radius: 8px; "
             "padding: 6px; } QLabel:focus { border: 2px solid #3070ff; }")
      .arg(r)
      .arg(g)
      .arg(b)
      .arg(ink);
}

QString onOff(bool on) {
  return on ? "开" : "关";
}

QString protocolName(std::uint8_t p) {
  switch (p) {
    case f::kOldProtocol:
      return "1200旧协议";
    case f::kNewProtocol:
      return "19200协议";
    case 0xFF:
      return "取消设置";
  }
  return QString("%1").arg(p, 2, 16, QChar('0')).toUpper();
}

QString runModeName(std::uint8_t m) {
  if (m == 0x10) return "场景切换模式";
  if (m == 0x20) return "场景叠加模式";
  return QString("%1").arg(m, 2, 16, QChar('0')).toUpper();
}

// The argument of the frame that goes with a download: a protocol plus 0x10 (switch mode) or
// 0x02 (overlay), so 11, 12, 03 or 04.
QString downloadSettingsName(std::uint8_t both) {
  for (const bool old : {true, false}) {
    for (const bool switchMode : {true, false}) {
      if (protocolAndRunModeArgument(old, switchMode) == both) {
        return protocolName(old ? f::kOldProtocol : f::kNewProtocol) + " " +
               runModeName(switchMode ? 0x10 : 0x20);
      }
    }
  }
  return QString("%1").arg(both, 2, 16, QChar('0')).toUpper();
}

QString selectorText(const sim::ReplySelector& s) {
  constexpr std::string_view kKinds[] = {"any",      "handshake", "version",
                                         "download", "upload",    "service"};
  if (s.kind == sim::ReplyKind::Any) return s.ordinal == 0 ? "any" : QString::number(s.ordinal);
  QString t = text(kKinds[static_cast<std::size_t>(s.kind)]);
  if (s.argument >= 0) {
    t += ":" + (s.kind == sim::ReplyKind::Service
                    ? QString("%1").arg(s.argument, 2, 16, QChar('0')).toUpper()
                    : QString::number(s.argument));
  }
  return t;
}

QString ruleText(const sim::FaultRule& r) {
  constexpr std::string_view kNames[] = {"--drop",  "--duplicate",   "--corrupt",
                                         "--extra", "--ack-earlier", "--merge",
                                         "--twice", "--hangup-at"};
  QString t = text(kNames[static_cast<std::size_t>(r.action)]) + " ";
  if (r.action == sim::FaultAction::AckEarlier) {
    t += QString("%1=%2").arg(r.which.argument).arg(r.named);
    return r.count == 1 ? t : t + QString("/%1").arg(r.count);
  }
  t += selectorText(r.which);
  if (r.action == sim::FaultAction::Corrupt && r.offset != 0) t += QString("@%1").arg(r.offset);
  if (r.count > 0) t += QString("/%1").arg(r.count);
  if (r.action == sim::FaultAction::Extra) t += "=" + text(sim::hexBytes(r.extra));
  return t;
}

}  // namespace

QString faultsText(const sim::Options& options) {
  const sim::Faults& faults = options.faults;
  QStringList parts;
  if (faults.silent) parts << "--silent";
  if (faults.answerFrom > 1) parts << QString("--answer-from %1").arg(faults.answerFrom);
  if (faults.hangupAfter > 0) parts << QString("--hangup-after %1").arg(faults.hangupAfter);
  if (faults.wrongRow >= 0) parts << QString("--store-wrong %1").arg(faults.wrongRow);
  for (const sim::FaultRule& r : faults.rules) parts << ruleText(r);
  if (options.echo == sim::Echo::Whole) parts << "--echo";
  if (options.echo == sim::Echo::ByteByByte) parts << "--echo=bytes";
  return parts.isEmpty() ? "无" : parts.join("  ");
}

SimView::SimView(sim::PtyServer& server, sim::Options options, QWidget* parent)
    : QWidget(parent), server_(server), options_(std::move(options)) {
  const int model = options_.model;
  setWindowTitle(QString("qzsim %1  %2").arg(text(modelName(model)), text(server_.comName())));
  setAccessibleName("qzsim");
  auto* layout = new QVBoxLayout(this);

  auto* channels = new QGroupBox(QString("通道 %1").arg(text(modelName(model))), this);
  auto* grid = new QGridLayout(channels);
  const int s = switchCount(model);
  for (int c = 0; c < kRowBytes; ++c) {
    auto* lamp = new QLabel(channels);
    lamp->setAlignment(Qt::AlignCenter);
    lamp->setMinimumSize(96, 56);
    lamp->setFocusPolicy(Qt::StrongFocus);
    lamp->setAccessibleName(c < s ? QString("开关通道%1").arg(c + 1)
                                  : QString("调光%1").arg(c - s + 1));
    // Two rows of six, switch channels first, as on the editor's panel.
    grid->addWidget(lamp, c / 6, c % 6);
    lamps_[static_cast<std::size_t>(c)] = lamp;
  }
  layout->addWidget(channels);

  auto* front = new QGroupBox("控制器按键", this);
  auto* keys = new QGridLayout(front);
  for (int row = 0; row < kSceneKeys; ++row) {
    auto* key = new QPushButton(text(sceneKeyName(row)), front);
    QObject::connect(key, &QPushButton::clicked, this, [this, row] {
      server_.press(row);
      refresh();
    });
    // 场景1..7, 场景8..13, then the four special keys, as on the editor.
    const int place = row < 13 ? row : row + 1;
    keys->addWidget(key, place / 7, place % 7);
    keys_[static_cast<std::size_t>(row)] = key;
  }
  power_ = new QPushButton("开机", front);
  power_->setAccessibleDescription("重新启动模拟控制器");
  QObject::connect(power_, &QPushButton::clicked, this, [this] {
    server_.powerOn();
    refresh();
  });
  keys->addWidget(power_, 2, 6);
  layout->addWidget(front);

  auto* settingsRow = new QHBoxLayout;
  auto* settingsCaption = new QLabel("设置:", this);
  settings_ = new QLabel(this);
  settings_->setWordWrap(true);
  settings_->setFocusPolicy(Qt::StrongFocus);
  settings_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  settingsCaption->setBuddy(settings_);
  settings_->setAccessibleName("设置");
  settingsRow->addWidget(settingsCaption);
  settingsRow->addWidget(settings_, 1);
  layout->addLayout(settingsRow);

  auto* lineBox = new QGroupBox("线路", this);
  auto* lineLayout = new QGridLayout(lineBox);
  auto* transferCaption = new QLabel("传输:", lineBox);
  transfer_ = new QProgressBar(lineBox);
  transfer_->setRange(0, kRows);
  transfer_->setAccessibleName("传输");
  transferCaption->setBuddy(transfer_);
  auto* faultsCaption = new QLabel("故障:", lineBox);
  faults_ = new QLabel(lineBox);
  faults_->setWordWrap(true);
  faults_->setFocusPolicy(Qt::StrongFocus);
  faults_->setAccessibleName("故障");
  faultsCaption->setBuddy(faults_);
  line_ = new QListWidget(lineBox);
  line_->setAccessibleName("最近的帧");
  line_->setMinimumHeight(150);
  lineLayout->addWidget(transferCaption, 0, 0);
  lineLayout->addWidget(transfer_, 0, 1);
  lineLayout->addWidget(faultsCaption, 1, 0);
  lineLayout->addWidget(faults_, 1, 1);
  lineLayout->addWidget(line_, 2, 0, 1, 2);
  layout->addWidget(lineBox, 1);

  refresh();
  QObject::connect(&poll_, &QTimer::timeout, this, [this] { refresh(); });
  poll_.start(100);
}

void SimView::refresh() {
  const sim::Controller c = server_.snapshot();
  showLamps(c);
  showSettings(c);
  showLine(c);
}

void SimView::showLamps(const sim::Controller& c) {
  const ConfigImage& image = c.image();
  const sim::ChannelUses uses = sim::channelUses(image, c.model());
  const int s = switchCount(c.model());
  for (int ch = 0; ch < kRowBytes; ++ch) {
    const auto i = static_cast<std::size_t>(ch);
    QLabel* lamp = lamps_[i];
    const std::uint8_t v = c.outputs()[i];
    QString state;
    int brightness = 0;
    if (ch >= s) {
      state = QString::number(v);
      brightness = v;
    } else {
      state = onOff(v != 0);
      brightness = v != 0 ? 255 : 0;
      if (uses[i] != sim::ChannelUse::Lamp) state = text(channelUseName(uses[i])) + " " + state;
    }
    const QString caption = lamp->accessibleName() + "\n" + state;
    if (lamp->text() == caption && lamp->accessibleDescription() == state) continue;
    lamp->setText(caption);
    lamp->setAccessibleDescription(state);
    lamp->setStyleSheet(lampStyle(brightness, ch < s && uses[i] != sim::ChannelUse::Lamp));
  }
}

void SimView::showSettings(const sim::Controller& c) {
  const ConfigImage& image = c.image();
  const int workMode = image(row17::kRow, row17::kWorkMode);
  const int sceneMode = image(row18::kRow, row18::kSceneMode);
  const int powerOnScene = image(row18::kRow, row18::kPowerOnScene);
  const int address = dmxAddress(image);
  QStringList parts;
  parts << "工作模式 " + (workMode == 0   ? QString("LINK模式")
                          : workMode == 1 ? QString("DMX512模式")
                                          : QString::number(workMode));
  parts << "DMX512地址 " + (address == 0 ? QString("未选") : QString::number(address));
  parts << "场景模式 " + (sceneMode == 0   ? QString("切换")
                          : sceneMode == 1 ? QString("叠加")
                                           : QString::number(sceneMode));
  const std::string_view powerOnName = sceneKeyName(powerOnScene);
  parts << "开机场景 " + (powerOnName.empty() ? QString::number(powerOnScene) : text(powerOnName));
  if (const auto both = c.protocolAndRunMode()) {
    parts << "下载时 " + downloadSettingsName(*both);
  }
  // The latest requests still in the log that the controller took: newest first.
  bool protocolSeen = false;
  bool runModeSeen = false;
  for (std::size_t i = c.log().size(); i-- > 0;) {
    const sim::LogEntry& e = c.log()[i];
    if (e.kind != sim::FrameKind::Service) continue;
    const std::uint8_t request = e.received[6];
    // A refusal (any other result code) changed nothing.
    if (e.sent.size() > 6 && e.sent[6] != request) continue;
    const bool runMode = request == 0x10 || request == 0x20;
    if (runMode && !runModeSeen) runModeRequest_ = request;
    if (!runMode && !protocolSeen) protocolRequest_ = request;
    (runMode ? runModeSeen : protocolSeen) = true;
  }
  if (protocolRequest_) parts << "485协议 " + protocolName(*protocolRequest_);
  if (runModeRequest_) parts << "场景运行模式 " + runModeName(*runModeRequest_);
  parts << "固件 \"" + text(options_.versionText).trimmed() + "\"";
  const QString line = parts.join("  ·  ");
  if (settings_->text() != line) settings_->setText(line);
}

void SimView::showLine(const sim::Controller& c) {
  const auto& log = c.log();
  // A transfer's progress: the rows the latest download row or upload request has reached.
  transfer_->setValue(0);
  transfer_->setFormat("无传输");
  for (std::size_t i = log.size(); i-- > 0;) {
    const sim::LogEntry& e = log[i];
    const bool down = e.kind == sim::FrameKind::DownloadRow;
    if (!down && e.kind != sim::FrameKind::UploadRequest) continue;
    const int row = std::min<int>(e.received[1], kRows);
    transfer_->setValue(std::min(kRows, e.sent.empty() ? row : row + 1));
    transfer_->setFormat(QString(down ? "下载 %v/%m" : "上传 %v/%m"));
    break;
  }
  QString state = faultsText(options_);
  state += server_.hungUp() ? "  ·  线路已断开" : "";
  if (faults_->text() != state) faults_->setText(state);

  constexpr std::size_t kShown = 12;
  QStringList lines;
  for (std::size_t i = log.size() > kShown ? log.size() - kShown : 0; i < log.size(); ++i) {
    lines << text(sim::describe(log[i]));
  }
  QStringList now;
  for (int i = 0; i < line_->count(); ++i) now << line_->item(i)->text();
  if (now == lines) return;
  line_->clear();
  line_->addItems(lines);
  line_->scrollToBottom();
}

}  // namespace qz::view

// The real window's receive notification against whatever the line brings, in every state of
// a connection: random bytes, cut and joined at random, arrive while the tool is idle,
// connecting, settling, collecting the version or moving the image, with the window's timers
// ticking and its buttons pressed in between. Whatever arrives, the tool writes only frames it
// knows; changes the image only through a model change or an upload, and an upload only with
// the scenes the controller sent; says a transfer succeeded only when every row of it was
// confirmed; sends no transfer more frames than its budget; never claims a connection on a
// closed port; and is never left locked with nothing running to unlock it.
//
// Building the window costs far more than most inputs, so an input that leaves the window as
// it was opened hands it on to the next; any other gets a new one. A crash input run on its own
// starts from a new window.

#include <fuzzer/FuzzedDataProvider.h>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <array>
#include <bitset>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "fuzz/check.h"
#include "link/fake_port.h"
#include "support/attempt.h"
#include "support/fake_platform.h"
#include "ui/form1.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::array<std::uint8_t, 5> kHead = {0xA1, 0xB2, 0xC3, 0xD4, 0xE5};
constexpr std::array<std::uint8_t, 5> kTail = {0x5E, 0x4D, 0x3C, 0x2B, 0x1A};
constexpr std::array<std::uint8_t, 3> kTrailer = {0xAA, 0xFE, 0xFF};

// A frame the tool may send: a long command it knows, a download row of the image, a scene
// preview, or a short command (switch test, dimming test, upload request).
bool knownFrame(const Bytes& b) {
  if (b.size() == 12) {
    if (!std::equal(kHead.begin(), kHead.end(), b.begin()) ||
        !std::equal(kTail.begin(), kTail.end(), b.begin() + 7)) {
      return false;
    }
    const std::uint8_t cmd = b[5];
    const std::uint8_t arg = b[6];
    return (cmd == 0xA1 && arg == 0xAE) || (cmd == 0xA2 && arg == 0xAD) ||
           (cmd == 0xA3 && arg == 0xAC) || cmd == 0xF5 || cmd == 0xF6;
  }
  if (b.size() == 15) {
    if (b[14] != 0x55) return false;
    return (b[0] == 0xD0 && b[1] < 19) || (b[0] == 0xD1 && b[1] == 0xD1);
  }
  if (b.size() == 6) {
    if (!std::equal(kTrailer.begin(), kTrailer.end(), b.begin() + 3)) return false;
    if (b[0] == 0xA0) return b[1] >= 1 && b[1] <= 12 && (b[2] == 0xD0 || b[2] == 0xD1);
    if (b[0] == 0xA1) return b[1] >= 1 && b[1] <= 12;
    // After the last row an upload asks for row 19, which no image has.
    if (b[0] == 0xA2) return b[1] <= 19 && b[1] == b[2];
  }
  return false;
}

enum class Start : std::uint8_t { Closed, Connecting, Settling, Version, Idle, Transferring };

struct Harness {
  qz::FakePort port;
  qz::test::FakePlatform platform;
  std::unique_ptr<qz::Form1> w;
  std::size_t checkedWrites = 0;
  qz::ConfigImage image;  // what the image must still be
  int model = 0;
  bool uploadStarted = false;
  // What waits at the port, as the harness put it there, and what the notifications handed
  // over: the rows since the latest upload start and the latest download acknowledgement.
  Bytes waiting;
  std::array<std::optional<qz::Row>, qz::kRows> uploadedRows{};
  bool uploading = false;
  int lastAck = -1;
  QString status;
  // Since the latest download start: the rows the controller confirmed (it named r + 1 while
  // row r was the last one sent), and the frames of each direction since its start.
  bool downloading = false;
  std::bitset<qz::kRows> confirmed;
  int downloadFrames = 0;
  int uploadFrames = 0;

  // What a window just opened holds.
  qz::ConfigImage freshImage;
  std::uint8_t freshModel = 0;
  std::uint8_t freshScene = 0;

  Harness() {
    port.ports[1] = qz::PortError::None;
    w = std::make_unique<qz::Form1>(port, platform);
    const std::function<void()> notify = port.onComm;
    port.onComm = [this, notify] {
      observe();
      notify();
      if (port.bytesWaiting() == 0) waiting.clear();
    };
    freshImage = w->SetData;
    freshModel = w->CurModel;
    freshScene = w->CurScene;
    begin();
  }

  void begin() {
    port.writes.clear();
    port.history.clear();
    platform.messages.clear();
    checkedWrites = 0;
    uploadStarted = false;
    waiting.clear();
    uploadedRows = {};
    uploading = false;
    lastAck = -1;
    downloading = false;
    confirmed.reset();
    downloadFrames = 0;
    uploadFrames = 0;
    status = w->Label提示->text();
    rebase();
  }

  // Ends the connection and picks the model the window opened with, as a user would, and
  // tells whether the window is then as it was opened (captions aside).
  [[nodiscard]] bool backToFresh() {
    if (anyTimer()) return false;
    if (w->Connected()) w->Command建立连接_Click();
    if (port.isOpen()) port.pull();
    port.deliver();
    // The user picks the model the window opened with.
    w->Combo机型->setCurrentIndex(freshModel);
    return !w->Connected() && !w->VersionMode() && w->isEnabled() && w->SetData == freshImage &&
           w->CurModel == freshModel && w->Combo机型->currentIndex() == freshModel &&
           w->CurScene == freshScene && w->Combo串口->isEnabled() && w->Combo机型->isEnabled() &&
           !w->Command下载->isEnabled() && !w->Command上传->isEnabled() &&
           !w->session.downloading().running() && !w->session.downloading().done() &&
           !w->session.uploading().running() && !w->session.uploading().done() &&
           w->session.uploading().received().none();
  }

  void rebase() {
    image = w->SetData;
    model = w->Combo机型->currentIndex();
  }

  void inject(const Bytes& b) {
    if (port.isOpen()) waiting.insert(waiting.end(), b.begin(), b.end());
    port.inject(b);
    port.deliver();  // the notification the event loop would run next
    if (port.bytesWaiting() == 0) waiting.clear();
  }

  // A notification is about to hand `waiting` to the window.
  void observe() {
    if (port.commEvent() != qz::CommEvent::Receive || w->VersionMode()) return;
    QZ_FUZZ_CHECK(waiting.size() == port.bytesWaiting());
    const Bytes& b = waiting;
    // Rows count whenever they come, also after an upload has given up: the next last row may
    // still complete it.
    if (b.size() == 14 && b[0] == 0xA2 && b[1] < qz::kRows) {
      qz::Row row{};
      std::copy(b.begin() + 2, b.end(), row.begin());
      uploadedRows[b[1]] = row;
    }
    if (b.size() == 3 && b[0] == 0xD0 && b[2] == 0x55) {
      lastAck = b[1];
      // The row last sent, as the line saw it.
      for (auto it = port.writes.rbegin(); it != port.writes.rend(); ++it) {
        if (it->size() != 15 || (*it)[0] != 0xD0) continue;
        if (lastAck == (*it)[1] + 1) confirmed.set((*it)[1]);
        break;
      }
    }
  }
  void handshakeReply(std::uint8_t m) { inject({0xAA, 0x55, m, 0x88, 0x66}); }

  [[nodiscard]] bool anyTimer() const {
    return w->session.ticking(qz::Tick::Link) || w->session.ticking(qz::Tick::VersionQuery) ||
           w->session.ticking(qz::Tick::VersionShown) || w->session.ticking(qz::Tick::Upload) ||
           w->session.ticking(qz::Tick::Download);
  }

  // One tick of a running timer, as the event loop would deliver it.
  bool tick(std::size_t which) {
    const qz::Tick ticks[] = {qz::Tick::Link, qz::Tick::VersionQuery, qz::Tick::VersionShown,
                              qz::Tick::Upload, qz::Tick::Download};
    std::vector<std::size_t> running;
    for (std::size_t i = 0; i < std::size(ticks); ++i) {
      if (w->session.ticking(ticks[i])) running.push_back(i);
    }
    if (running.empty()) return false;
    switch (running[which % running.size()]) {
      case 0:
        w->Timer2_Timer();
        break;
      case 1:
        w->Timer3_Timer();
        break;
      case 2:
        w->TimerGetVision_Timer();
        break;
      case 3:
        w->Timer上传超时_Timer();
        break;
      default:
        w->Timer下载超时_Timer();
        break;
    }
    return true;
  }

  void press(std::uint8_t which) {
    switch (which % 6) {
      case 0:
        w->Command建立连接->click();
        break;
      case 1:
        w->Command2->click();  // interface protocol "设置"
        break;
      case 2:
        w->Command3->click();  // "取消设置"
        break;
      case 3:
        w->Command8->click();  // scene run mode "设置"
        break;
      case 4:
        w->Command下载->click();
        break;
      default:
        if (w->Command上传->isEnabled() && w->isEnabled()) uploadStarted = true;
        w->Command上传->click();
        break;
    }
  }

  // Brings the window to a state the way a user and a controller would.
  void reach(Start start, FuzzedDataProvider& in) {
    if (start == Start::Closed) return;
    // Each step is the tick of the connection timer that runs, which stays running for the
    // fuzzed ticks that follow.
    const auto step = [this] { return qz::test::nextConnectionTick(*w, false); };
    w->Command建立连接->click();
    if (start == Start::Connecting) {
      const int ticks = in.ConsumeIntegralInRange<int>(0, 40);
      for (int t = 0; t < ticks; ++t) step();
      return;
    }
    step();
    handshakeReply(in.ConsumeIntegralInRange<std::uint8_t>(0, 4));
    if (start == Start::Settling) {
      const int ticks = in.ConsumeIntegralInRange<int>(0, 5);
      for (int t = 0; t < ticks; ++t) step();
      return;
    }
    while (!w->VersionMode() && step()) {
    }
    if (start == Start::Version) return;
    inject(Bytes(31, 'V'));
    step();
    if (start == Start::Idle) return;
    // Transferring: a download or an upload has sent its first frame.
    if (in.ConsumeBool()) {
      w->Command下载->click();
    } else {
      w->Command上传->click();
      uploadStarted = true;
    }
  }

  void checkInvariants() {
    if (port.bytesWaiting() == 0) waiting.clear();
    QZ_FUZZ_CHECK(waiting.size() == port.bytesWaiting());
    if (w->session.uploading().running() && !uploading) {
      uploadedRows = {};
      uploadFrames = 0;
    }
    uploading = w->session.uploading().running();
    if (w->session.downloading().running() && !downloading) {
      confirmed.reset();
      downloadFrames = 0;
    }
    downloading = w->session.downloading().running();
    for (; checkedWrites < port.writes.size(); ++checkedWrites) {
      const Bytes& frame = port.writes[checkedWrites];
      // No transfer goes past its frame budget, whatever the controller says.
      if (frame.size() == 15 && frame[0] == 0xD0) ++downloadFrames;
      if (frame.size() == 6 && frame[0] == 0xA2) ++uploadFrames;
      QZ_FUZZ_CHECK(downloadFrames <= qz::kTransferFrameBudget);
      QZ_FUZZ_CHECK(uploadFrames <= qz::kTransferFrameBudget);
      if (!knownFrame(frame)) {
        std::fprintf(stderr, "unknown frame on the line:");
        for (const std::uint8_t b : frame) std::fprintf(stderr, " %02X", b);
        std::fprintf(stderr, "\n");
      }
      QZ_FUZZ_CHECK(knownFrame(frame));
    }
    for (const qz::test::Message& m : platform.messages) {
      QZ_FUZZ_CHECK(m.title == QStringLiteral("接口协议配置") ||
                    m.title == QStringLiteral("场景模式配置"));
      QZ_FUZZ_CHECK(!m.text.isEmpty());
    }
    QZ_FUZZ_CHECK(!w->Connected() || port.isOpen());
    QZ_FUZZ_CHECK(!w->VersionMode() || w->session.ticking(qz::Tick::VersionShown));
    // A model change writes that model's scene pattern; nothing else that arrives may touch
    // the image outside an upload.
    if (w->Combo机型->currentIndex() != model || w->CurModel != model) {
      rebase();
    } else if (w->SetData != image) {
      // Only an upload replaces the image, and only with the scenes the controller sent.
      QZ_FUZZ_CHECK(uploadStarted);
      for (std::size_t r = 0; r < qz::kSceneKeys; ++r) {
        QZ_FUZZ_CHECK(uploadedRows[r] && w->SetData.rows[r] == *uploadedRows[r]);
      }
      rebase();
    }
    // Success is said only when it happened.
    if (w->Label提示->text() != status) {
      status = w->Label提示->text();
      if (status == QStringLiteral("  参数上传成功")) {
        for (const auto& row : uploadedRows) QZ_FUZZ_CHECK(row.has_value());
      }
      if (status == QStringLiteral("  参数下载成功")) {
        QZ_FUZZ_CHECK(lastAck == qz::kRows && confirmed.all());
      }
    }
    // No second start while a transfer runs.
    QZ_FUZZ_CHECK(!w->session.downloading().running() || !w->Command下载->isEnabled());
    QZ_FUZZ_CHECK(!w->session.uploading().running() || !w->Command上传->isEnabled());
    // A locked window always has a timer running that will unlock it.
    QZ_FUZZ_CHECK(w->isEnabled() || anyTimer());
  }
};

}  // namespace

// Fontconfig keeps what it has looked up for the life of the process; that is no leak of ours.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\n";
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char name[] = "fuzz_reply_dispatch";
  static char* argv[] = {name, nullptr};
  static QApplication app(argc, argv);
  const Harness warmUp;  // fonts and styles are loaded once, before the first input
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  static std::unique_ptr<Harness> window;
  if (!window || !window->backToFresh()) {
    window.reset();
    window = std::make_unique<Harness>();
  }
  window->begin();
  Harness& h = *window;
  const auto start = static_cast<Start>(in.ConsumeIntegralInRange<int>(0, 5));
  h.reach(start, in);
  h.checkInvariants();

  while (in.remaining_bytes() > 0) {
    switch (in.ConsumeIntegralInRange<int>(0, 7)) {
      case 0:
      case 1:
      case 2:
      case 3: {
        // The line brings a piece of anything.
        const auto piece =
            in.ConsumeBytes<std::uint8_t>(in.ConsumeIntegralInRange<std::size_t>(1, 40));
        h.inject(piece);
        break;
      }
      case 4:
      case 5:
        h.tick(in.ConsumeIntegral<std::uint8_t>());
        break;
      case 6:
        // The user presses a button (none does anything while the window is locked).
        h.press(in.ConsumeIntegral<std::uint8_t>());
        break;
      default:
        h.port.pull();
        break;
    }
    // Whatever a step queued (bytes that came, a lost line) runs before the next one.
    h.port.deliver();
    if (h.port.bytesWaiting() == 0) h.waiting.clear();
    h.checkInvariants();
  }

  // Left alone, every timer runs out and the window is the user's again.
  for (int t = 0; t < 200 && h.anyTimer(); ++t) {
    h.tick(static_cast<std::size_t>(t));
    h.checkInvariants();
  }
  QZ_FUZZ_CHECK(!h.anyTimer());
  QZ_FUZZ_CHECK(h.w->isEnabled());
  QZ_FUZZ_CHECK(!h.w->session.downloading().running() && !h.w->session.uploading().running());
  return 0;
}

#pragma once
// One controller on one port: open, connect as the window does, carry out the job, say
// goodbye and close. Event driven on the thread of the event loop, so any number of sessions
// run side by side and a silent controller holds up nobody but itself.

#include <QTimer>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "config/image.h"
#include "ctl/command_line.h"
#include "ctl/listing.h"
#include "link/qt_serial_port.h"

namespace qz {
struct TransferAction;
}

namespace qz::ctl {

// What every session does once its controller has answered.
struct Job {
  Command command = Command::Info;
  int baud = 9600;
  bool force = false;
  ProtocolChoice protocol = ProtocolChoice::Old1200;
  RunModeChoice runMode = RunModeChoice::Switch;
  // download, compare: the file's image and model (-1: the file names none).
  ConfigImage image;
  int model = -1;
  RowsPresent rows = kAllRows;  // compare: the rows the file holds; no other row is compared
  std::string file;             // as the user named it
};

struct PortResult {
  std::string port;    // as given: "COM3" or a device path
  std::string device;  // what was opened
  int code = kDone;
  std::string text;                     // the result line after the port name
  bool noController = false;            // --port all: nobody answered here, leave it out
  int model = -1;                       // the controller's, once it answered
  std::string firmware;                 // its version text, blanks at the end removed
  std::vector<Difference> differences;  // compare, download verification
  std::optional<ConfigImage> image;     // upload: what the controller holds
  std::optional<std::uint8_t> serviceCode;
};

class Session {
 public:
  Session(std::string port, std::string device, const Job& job);
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // quietNoAnswer: a port that gives no answer is not an error (--port all).
  void start(bool quietNoAnswer = false);
  // Ctrl+C: the disconnect frame goes out when the port is open, then the port is closed.
  void interrupt();

  [[nodiscard]] bool finished() const { return finished_; }
  [[nodiscard]] const PortResult& result() const { return result_; }
  // "handshake 3/30", "download 50%": what the progress line shows for this port.
  [[nodiscard]] std::string progress() const;

  std::function<void()> onFinished;
  std::function<void()> onProgress;

 private:
  enum class Phase {
    Idle,
    Handshake,
    Settling,
    VersionDelay,
    Version,
    Service,
    Download,
    Verify,
    Upload,
    Done,
  };

  void onComm();
  void tick();
  void connected();
  void versionDone();
  void runJob();
  void finish(int code, std::string text);
  void send(std::span<const std::uint8_t> bytes);
  void sendText(std::string_view hex);
  void progressChanged();

  // The transfers.
  void carryOut(const TransferAction& a);
  void startDownload();
  void startUpload(Phase purpose);
  void transferTick();
  void downloadAck(std::uint8_t next);
  void uploadRow(std::uint8_t row, const Row& data);
  void uploadComplete(const ConfigImage& image);

  Job job_;
  PortResult result_;
  bool quietNoAnswer_ = false;
  bool finished_ = false;
  bool linked_ = false;  // the controller answered the handshake
  Phase phase_ = Phase::Idle;
  int tick_ = 0;
  int progressRow_ = -1;
  std::string versionBytes_;
  std::uint8_t serviceRequest_ = 0;  // the argument of the service command sent
  QtSerialPort port_;
  QTimer ticker_;        // 200 ms: handshake, settling, transfer time-outs
  QTimer versionDelay_;  // 500 ms after settling, the version query
  QTimer versionWait_;   // 200 ms to collect the version text

  struct TransferState;
  std::unique_ptr<TransferState> transfer_;
};

}  // namespace qz::ctl

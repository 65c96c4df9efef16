#pragma once
// One controller on one port: open, connect as the window does, carry out the job, say
// goodbye and close. Event driven on the thread of the event loop, so any number of sessions
// run side by side and a silent controller holds up nobody but itself.

#include <array>
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
#include "session/port_driver.h"
#include "session/session.h"

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

// The window's conversation with a controller, carried out on a real port, and turned into a
// result line and an exit code.
class Session final {
 public:
  Session(std::string port, std::string device, const Job& job);
  // The same over a port the caller owns, which outlives the session.
  Session(std::string port, SerialPort& line, const Job& job);
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // quietNoAnswer: a port that gives no answer is not an error (--port all). The handshakes
  // count from `from`: sessions started together handshake together, however long opening
  // their ports takes.
  void start(bool quietNoAnswer = false, TransferClock::time_point from = TransferClock::now());
  // Ctrl+C: the disconnect frame goes out when the port is open, then the port is closed.
  void interrupt();

  [[nodiscard]] bool finished() const { return finished_; }
  [[nodiscard]] const PortResult& result() const { return result_; }
  // "handshake 3/30", "download 50%": what the progress line shows for this port.
  [[nodiscard]] std::string progress() const;

  std::function<void()> onFinished;
  std::function<void()> onProgress;

 private:
  // What the job is doing once connected; nothing while connecting.
  enum class Doing { Nothing, Service, Download, Verify, Upload };

  void wire();
  void happened(const SessionEvent& e);
  void portLost();
  void runJob();
  void finish(int code, std::string text);
  void progressChanged();
  void transferNews(const event::Transfer& t);
  void serviceAnswered(const event::ServiceAnswered& a);
  void uploadComplete(const ConfigImage& image);
  void readBack(const ConfigImage& image);

  Job job_;
  PortResult result_;
  bool quietNoAnswer_ = false;
  bool opened_ = false;
  bool finished_ = false;
  bool interrupted_ = false;
  Doing doing_ = Doing::Nothing;
  int progressRow_ = -1;
  std::unique_ptr<QtSerialPort> ownPort_;
  SerialPort& port_;
  qz::Session core_;
  PortDriver driver_{port_, core_};
};

}  // namespace qz::ctl

#include "ctl/command.h"

// The commands that talk to controllers; the sessions and what they print are in port_run.cpp.

namespace qz::ctl {

extern const CommandEntry kInfoCommand;
const CommandEntry kInfoCommand = {
    Command::Info,
    "info",
    0,
    "info",
    "connect; print model and firmware version",
    R"(Connects as the window does (a handshake every 200 ms, at most 30; then the
firmware version query) and prints the controller's model and firmware
version.

Example:
  qzctl --port COM1 info
)",
    true,
    &runOnPorts};

extern const CommandEntry kUploadCommand;
const CommandEntry kUploadCommand = {
    Command::Upload,
    "upload",
    1,
    "upload FILE",
    "controller -> parameter file",
    R"(Reads the controller's whole image (19 rows) and writes it with the
controller's model to the parameter file FILE. The file is replaced whole or
not at all, and a file that holds another image only with --force. A name
without an extension gets ".QZ". With several ports each gets its own file,
"backup-COM3.QZ"; ports whose files would have one name are refused before
anything is written.

Example:
  qzctl --port COM1 upload shop-floor-2.QZ
)",
    true,
    &runOnPorts,
    "backup"};

extern const CommandEntry kDownloadCommand;
const CommandEntry kDownloadCommand = {
    Command::Download,
    "download",
    1,
    "download FILE",
    "file -> controller, read back and verified",
    R"(Writes the image in the parameter file FILE to the controller, then reads the
image back and compares it byte for byte: the command succeeds only if every
byte arrived. The file must hold all rows 0 to 18. A file made for another
model is refused (exit 6) unless --force is given, since the controller would
read its scene bytes with another split.

Example:
  qzctl --port COM1 download shop-floor-2.QZ
)",
    true,
    &runOnPorts,
    "restore"};

extern const CommandEntry kCompareCommand;
const CommandEntry kCompareCommand = {
    Command::Compare,
    "compare",
    1,
    "compare FILE",
    "controller vs file: every byte that differs",
    R"(Reads the controller's image and lists every byte that differs from the
parameter file FILE, each setting with both values as the window shows them:
"开机场景: controller 场景1, file 灯光全关". --json gives the row, byte and raw
values as well. Exit code 1 when anything differs.

Example:
  qzctl --port COM1 compare shop-floor-2.QZ
)",
    true,
    &runOnPorts};

extern const CommandEntry kSetProtocolCommand;
const CommandEntry kSetProtocolCommand = {
    Command::SetProtocol,
    "set-protocol",
    1,
    "set-protocol 1200|19200|cancel",
    "set or cancel the RS-485 interface protocol",
    R"(Sets the controller's RS-485 interface protocol ("1200旧协议" or "19200协议"),
or cancels the setting, and prints the controller's answer. The change takes
effect when the controller restarts. Exit code 4 when the controller refuses
or does not answer.

Example:
  qzctl --port COM1 set-protocol 19200
)",
    true,
    &runOnPorts};

extern const CommandEntry kSetRunModeCommand;
const CommandEntry kSetRunModeCommand = {
    Command::SetRunMode,
    "set-run-mode",
    1,
    "set-run-mode switch|overlay",
    "set the scene run mode",
    R"(Sets the controller's scene run mode (switch or overlay) and prints the
controller's answer. The change takes effect when the controller restarts.
Exit code 4 when the controller refuses or does not answer.

Example:
  qzctl --port COM1 set-run-mode overlay
)",
    true,
    &runOnPorts};

}  // namespace qz::ctl

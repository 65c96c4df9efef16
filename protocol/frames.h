#pragma once
// Every fixed frame the tool sends, as the hex text it is kept in, and the replies it expects.

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace qz::frames {

inline constexpr std::string_view kHandshake = "A1 B2 C3 D4 E5 A1 AE 5E 4D 3C 2B 1A";
inline constexpr std::string_view kDisconnect = "A1 B2 C3 D4 E5 A2 AD 5E 4D 3C 2B 1A";
inline constexpr std::string_view kVersionQuery = "A1 B2 C3 D4 E5 A3 AC 5E 4D 3C 2B 1A";
inline constexpr std::string_view kProtocol1200 = "A1 B2 C3 D4 E5 F5 01 5E 4D 3C 2B 1A";
inline constexpr std::string_view kProtocol19200 = "A1 B2 C3 D4 E5 F5 02 5E 4D 3C 2B 1A";
inline constexpr std::string_view kProtocolCancel = "A1 B2 C3 D4 E5 F5 FF 5E 4D 3C 2B 1A";
inline constexpr std::string_view kRunModeSwitch = "A1 B2 C3 D4 E5 F5 10 5E 4D 3C 2B 1A";
inline constexpr std::string_view kRunModeOverlay = "A1 B2 C3 D4 E5 F5 20 5E 4D 3C 2B 1A";

// A long command frame: head, command byte, argument byte, tail.
inline constexpr std::size_t kCommandLength = 12;
inline constexpr std::uint8_t kHead[5] = {0xA1, 0xB2, 0xC3, 0xD4, 0xE5};
inline constexpr std::uint8_t kTail[5] = {0x5E, 0x4D, 0x3C, 0x2B, 0x1A};

inline constexpr std::uint8_t kCmdHandshake = 0xA1;
inline constexpr std::uint8_t kCmdDisconnect = 0xA2;
inline constexpr std::uint8_t kCmdVersion = 0xA3;
// The argument byte of each of these three: the command byte's complement to 0x4F.
inline constexpr std::uint8_t kArgHandshake = 0xAE;
inline constexpr std::uint8_t kArgDisconnect = 0xAD;
inline constexpr std::uint8_t kArgVersion = 0xAC;
inline constexpr std::uint8_t kCmdService = 0xF5;
inline constexpr std::uint8_t kCmdProtocolAndRunMode = 0xF6;

// Row frames (download row, scene preview): lead, second byte, 12 data bytes, 0x55.
inline constexpr std::size_t kRowFrameLength = 15;
inline constexpr std::uint8_t kDownloadRowLead = 0xD0;
inline constexpr std::uint8_t kPreviewLead = 0xD1;
inline constexpr std::uint8_t kRowFrameEnd = 0x55;

// Short commands: command, two arguments, then this trailer.
inline constexpr std::size_t kShortLength = 6;
inline constexpr std::uint8_t kShortTrailer[3] = {0xAA, 0xFE, 0xFF};
inline constexpr std::uint8_t kSwitchTest = 0xA0;
inline constexpr std::uint8_t kDimTest = 0xA1;
inline constexpr std::uint8_t kUploadRequest = 0xA2;
inline constexpr std::uint8_t kSwitchOn = 0xD1;
inline constexpr std::uint8_t kSwitchOff = 0xD0;

// The argument of the protocol and run-mode command that goes with every download: the
// protocol part plus the run-mode part.
inline constexpr std::uint8_t kOldProtocol = 0x01;  // 1200 baud
inline constexpr std::uint8_t kNewProtocol = 0x02;
inline constexpr std::uint8_t kSwitchRunMode = 0x10;
inline constexpr std::uint8_t kOverlayRunMode = 0x02;

// The handshake reply: these two bytes, the model number, these two bytes.
inline constexpr std::uint8_t kHandshakeReplyLead[2] = {0xAA, 0x55};
inline constexpr std::uint8_t kHandshakeReplyEnd[2] = {0x88, 0x66};

// Lengths of the replies; the receive threshold is set to the one expected.
inline constexpr int kHandshakeReplyLength = 5;
inline constexpr int kDownloadAckLength = 3;
inline constexpr int kUploadRowLength = 14;
inline constexpr int kServiceReplyLength = 8;
inline constexpr int kVersionTextLength = 31;

// What a download or an upload carries: the controller's whole image, rows of 12 bytes.
inline constexpr int kModelCount = 5;
inline constexpr int kImageRows = 19;
inline constexpr int kRowBytes = 12;

}  // namespace qz::frames

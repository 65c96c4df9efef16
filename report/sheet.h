#pragma once
// A configuration sheet: one printable A4 page per controller or parameter file, for the
// customer and the next technician. The same sheet as a PDF (vector, the Chinese font embedded)
// and as one self-contained HTML file.

#include <QByteArray>
#include <QString>
#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "config/image.h"

class QPagedPaintDevice;

namespace qz::report {

// What one page shows.
struct SheetInput {
  ConfigImage image;
  int model = -1;  // 0..4; anything else names no model, and the scene bytes are shown as such
  // The rows the image really holds; a row a file lacks is named on the page, never drawn.
  std::array<bool, kRows> rows = [] {
    std::array<bool, kRows> all{};
    all.fill(true);
    return all;
  }();
  std::string customer;            // whom the installation is handed to; empty when not given
  std::string site;                // the building or address
  std::string room;                // the room the controller serves
  std::string source;              // the file's name, or "COM3 (/dev/ttyUSB0)"
  std::string firmware;            // the controller's version text; empty for a file
  std::string date;                // as printed: "2026-12-07 23:40"
  std::string checksum;            // SHA-256 of the file, or of the image as a file would hold it
  std::string tool;                // "qzctl 1.0.0"
  std::vector<std::string> notes;  // what reading the file left out, in the reader's words
};

// The SHA-256 of some bytes as 64 lower-case hexadecimal digits.
[[nodiscard]] std::string sha256Hex(std::span<const std::uint8_t> bytes);

struct PdfSheet {
  QByteArray bytes;
  QString family;  // the font the Chinese text is set in; empty when none has the characters
};

// One page each. Needs a QGuiApplication (fonts); the offscreen platform will do.
[[nodiscard]] PdfSheet sheetPdf(std::span<const SheetInput> pages);

// The pages drawn on a paged device (a printer set to A4 and its full page), in millimetres
// from the page's corner; the font family used, as for sheetPdf.
QString paintSheet(QPagedPaintDevice& device, std::span<const SheetInput> pages);

// One HTML document with one section per page, styles inside, nothing fetched from outside.
[[nodiscard]] QByteArray sheetHtml(std::span<const SheetInput> pages);

}  // namespace qz::report

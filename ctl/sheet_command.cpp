// qzctl sheet: the handover sheet of a parameter file, or of each controller after an upload,
// as a PDF or one HTML file. The drawing is the report library's; this file only gathers the
// pages and writes the result whole.

#include <QDateTime>
#include <QFileInfo>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <algorithm>
#include <optional>
#include <sstream>
#include <vector>

#include "config/param_file.h"
#include "config/param_file_io.h"
#include "ctl/command.h"
#include "ctl/output.h"
#include "ctl/param_input.h"
#include "report/sheet.h"

namespace qz::ctl {

namespace {

// A page and what is said about it: one JSON object per file or port, as the other commands.
struct Page {
  QJsonObject result;
  std::optional<report::SheetInput> input;  // none: nothing to draw (the port failed)
};

// Now, or the moment SOURCE_DATE_EPOCH names, so that a sheet can be drawn again alike.
std::string sheetDate() {
  bool fixed = false;
  const qint64 epoch = qEnvironmentVariable("SOURCE_DATE_EPOCH").toLongLong(&fixed);
  const QDateTime when =
      fixed ? QDateTime::fromSecsSinceEpoch(epoch, Qt::UTC) : QDateTime::currentDateTime();
  return when.toString(QStringLiteral("yyyy-MM-dd HH:mm")).toStdString();
}

// What a file says, with the lines it left out named in the window's words.
report::SheetInput filePage(const ParamFile& f) {
  report::SheetInput in;
  // The file's own name: the folder it lay in on this computer means nothing on paper.
  in.source = QFileInfo(q(f.name)).fileName().toStdString();
  in.image = f.image;
  in.model = f.model;
  in.rows = f.rows;
  in.checksum = report::sha256Hex(f.bytes);
  const ParamFileRead read = readParamFile(f.bytes);
  if (!read.skippedLines.empty()) {
    in.notes.push_back("第 " + lineList(read.skippedLines) + " 行不是完整的场景行，没有读入。");
  }
  if (!read.ignoredModelLines.empty()) {
    in.notes.push_back("第 " + lineList(read.ignoredModelLines) +
                       " 行的机型不是 0 到 4，没有读入。");
  }
  return in;
}

// Every controller's image, uploaded as `qzctl --json upload` does into a scratch folder: this
// is the one place the sheet talks to controllers. Each page is drawn from the file its upload
// wrote, so its checksum is that of the file upload would leave.
std::vector<Page> controllerPages(const Invocation& inv, Streams& s, int& code) {
  const QTemporaryDir scratch;
  if (!scratch.isValid()) {
    s.err << "qzctl: cannot make a scratch folder: " << scratch.errorString().toStdString() << "\n";
    code = kFileFailed;
    return {};
  }
  Invocation upload = inv;
  upload.command = Command::Upload;
  upload.json = true;
  upload.quiet = false;
  upload.output.clear();
  upload.files = {scratch.filePath(QStringLiteral("controller.QZ")).toStdString()};
  std::ostringstream json;
  Streams collect{json, s.err, s.progress && !inv.quiet};
  code = runOnPorts(upload, collect);

  std::vector<Page> pages;
  std::istringstream lines(json.str());
  for (std::string line; std::getline(lines, line);) {
    Page p{QJsonDocument::fromJson(QByteArray::fromStdString(line)).object(), std::nullopt};
    const std::string file = p.result.take(QStringLiteral("file")).toString().toStdString();
    p.result[QStringLiteral("command")] = QStringLiteral("sheet");
    const ParamFile f =
        p.result[QStringLiteral("exit")].toInt() == kDone ? loadFile(file) : ParamFile{};
    if (!f.error.empty()) {  // the scratch folder let us down: say so for this port
      p.result[QStringLiteral("exit")] = kFileFailed;
      p.result[QStringLiteral("message")] = q(f.error);
      code = std::max(code, static_cast<int>(kFileFailed));
    } else if (p.result[QStringLiteral("exit")].toInt() == kDone) {
      report::SheetInput in = filePage(f);
      in.source = p.result[QStringLiteral("port")].toString().toStdString();
      const std::string device = p.result[QStringLiteral("device")].toString().toStdString();
      if (!device.empty() && device != in.source) in.source += " (" + device + ")";
      in.firmware = p.result[QStringLiteral("firmware")].toString().toStdString();
      p.input = in;
    }
    pages.push_back(p);
  }
  return pages;
}

QByteArray drawn(const std::string& output, std::vector<report::SheetInput>& inputs, Streams& s) {
  const QString suffix = QFileInfo(q(output)).suffix().toLower();
  if (suffix == QLatin1String("html") || suffix == QLatin1String("htm")) {
    return report::sheetHtml(inputs);
  }
  const report::PdfSheet pdf = report::sheetPdf(inputs);
  if (pdf.family.isEmpty()) {
    s.err << "qzctl: no font with Chinese characters is installed (fonts-wqy-microhei has "
             "them); the sheet's Chinese text will not show\n";
  }
  return pdf.bytes;
}

int runSheet(const Invocation& inv, Streams& s) {
  std::vector<Page> pages;
  int code = kDone;
  if (!inv.files.empty()) {
    const ParamFile f = loadFile(inv.files[0]);
    if (!f.error.empty()) return fileFailure(inv, s, f);
    if (std::find(f.rows.begin(), f.rows.end(), true) == f.rows.end()) {
      ParamFile empty = f;
      empty.error = f.name + " holds no valid scene line: there is nothing to draw";
      return fileFailure(inv, s, empty);
    }
    warn(inv, s, f);
    QJsonObject o{{"command", "sheet"},
                  {"file", q(f.name)},
                  {"model", q(modelText(f.model))},
                  {"missing_rows", missingJson(f.rows)}};
    pages.push_back({o, filePage(f)});
  } else {
    pages = controllerPages(inv, s, code);
  }

  std::vector<report::SheetInput> inputs;
  for (Page& p : pages) {
    if (!p.input) continue;
    p.input->date = sheetDate();
    p.input->customer = inv.customer;
    p.input->site = inv.site;
    p.input->room = inv.room;
    p.input->tool = std::string("qzctl ") + QZ_VERSION;
    inputs.push_back(*p.input);
    p.result[QStringLiteral("page")] = static_cast<int>(inputs.size());
  }
  // No page, no file: every port failed, and each says why below.
  FileProblem problem;
  if (!inputs.empty()) {
    const QByteArray bytes = drawn(inv.output, inputs, s);
    problem =
        saveParamFileBytes(q(inv.output), {reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                           static_cast<std::size_t>(bytes.size())});
  }
  const bool written = problem.kind == FileProblem::Kind::None;
  if (!written) code = kFileFailed;
  for (Page& p : pages) {
    QJsonObject& o = p.result;
    if (p.input) {
      o[QStringLiteral("exit")] = written ? kDone : kFileFailed;
      o[QStringLiteral("message")] = written
                                         ? QStringLiteral("page %1 of %2")
                                               .arg(o[QStringLiteral("page")].toInt())
                                               .arg(q(inv.output))
                                         : "cannot write " + q(inv.output) + ": " + problem.reason;
    }
    o[QStringLiteral("output")] = q(inv.output);
    const bool ok = o[QStringLiteral("exit")].toInt() == kDone;
    if (inv.json) {
      printJson(s.out, o);
    } else if (!inv.quiet || !ok) {
      const QString who = o.contains(QStringLiteral("port")) ? o[QStringLiteral("port")].toString()
                                                             : o[QStringLiteral("file")].toString();
      (inv.quiet ? s.err : s.out) << who.toStdString() << ": "
                                  << o[QStringLiteral("message")].toString().toStdString() << "\n";
    }
  }
  return code;
}

}  // namespace

extern const CommandEntry kSheetCommand;
const CommandEntry kSheetCommand = {
    Command::Sheet,
    "sheet",
    1,
    "sheet [FILE] -o SHEET",
    "a one-page A4 handover sheet, PDF or HTML",
    R"(Draws a configuration sheet for handover: one A4 page in Chinese, in the
window's own names, with the model, the source (the file, or the COM port and
device), the firmware version when read from a controller and the date; every
scene key's switches (a filled or empty mark) and dimming levels with the output
value each level gives; the channels that drive the exhaust fans and the air
conditioner, marked in their columns; power-on scene, work mode, DMX512 address
and scene mode; the dimming table; and in the footer qzctl's version and the
SHA-256 of the parameter file, so that a sheet and a file can be matched.

With FILE: the sheet of a parameter file, read as show reads it. Rows the file
lacks are named on the sheet, never filled in. Without FILE: each controller on
--port (as for upload, the first port the window would list when none is given)
is uploaded first, as upload does, and its page shows the firmware version; the
checksum is that of the file upload would write. Several --port give one page
per controller in one document.

-o SHEET names the output: a name ending in .html or .htm gives one
self-contained HTML file for e-mail, .pdf a PDF (vector, its Chinese font
embedded); a name without an ending gets .pdf, any other ending is refused.
--customer, --site and --room put whom and where the installation is handed
over on every page. The output is replaced whole or not at all: exit code 5 when it
cannot be written, and then no file is left behind.

Examples:
  qzctl sheet private-room-3.QZ -o private-room-3.pdf
  qzctl --port COM1 --port COM2 sheet -o site.pdf
  qzctl sheet private-room-3.QZ -o private-room-3.html
  qzctl sheet room3.QZ --customer 张先生 --site 滨江花园 --room 3号包间 -o room3.pdf
)",
    true,
    &runSheet,
    {},
    true};

}  // namespace qz::ctl

#pragma once
// qzconfig's command line: a parameter file to read at start, the port to select, --help and
// --version. It is read
// before the application object exists, so that help and version need no display. Qt's own
// options (-platform, -style, ...) pass through to the application.

#include <QString>
#include <QStringList>

namespace qz {

struct StartRequest {
  enum class Action {
    Run,      // open the window, then read `file` if there is one
    Help,     // print `text` to standard output, exit 0
    Version,  // likewise
    Usage,    // a wrong command line: print `text` to standard error, exit 2
  };
  Action action = Action::Run;
  QString file;
  QString port;  // the COM name to select, when the list has it
  QString text;
};

// `arguments` as the program got them, the program's name first.
[[nodiscard]] StartRequest parseCommandLine(const QStringList& arguments);

}  // namespace qz

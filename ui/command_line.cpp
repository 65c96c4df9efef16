#include "ui/command_line.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QCoreApplication>

#include "link/com_ports.h"

namespace qz {

namespace {

// QApplication's and QGuiApplication's documented options: accepted and left to Qt.
const char* const kQtValueOptions[] = {"platform",      "platformpluginpath",
                                       "platformtheme", "plugin",
                                       "qmljsdebugger", "qwindowgeometry",
                                       "geometry",      "qwindowicon",
                                       "icon",          "qwindowtitle",
                                       "title",         "display",
                                       "session",       "style",
                                       "stylesheet",    "name"};
const char* const kQtFlagOptions[] = {"reverse", "widgetcount", "nograb", "dograb", "sync"};

}  // namespace

StartRequest parseCommandLine(const QStringList& arguments) {
  QCommandLineParser parser;
  // Qt's options are written with one dash: "-platform offscreen".
  parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
  parser.setApplicationDescription(
      QStringLiteral("Configures QZ lighting-scene controllers through an RS-485 adapter."));
  const QCommandLineOption help = parser.addHelpOption();
  const QCommandLineOption version = parser.addVersionOption();
  const QCommandLineOption port(
      QStringLiteral("port"),
      QStringLiteral("Select this port (COM1..COM50) in the port list, once it is listed."),
      QStringLiteral("COMn"));
  parser.addOption(port);
  parser.addPositionalArgument(QStringLiteral("file"),
                               QStringLiteral("A parameter file to read at start, as "
                                              "\"读取参数\" reads it."),
                               QStringLiteral("[FILE.QZ]"));
  for (const char* name : kQtValueOptions) {
    QCommandLineOption option(QString::fromLatin1(name), QString(), QStringLiteral("value"));
    option.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(option);
  }
  for (const char* name : kQtFlagOptions) {
    QCommandLineOption option(QString::fromLatin1(name));
    option.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(option);
  }

  // Without an application object the parser does not know the program's name.
  QString usage = parser.helpText();
  usage.replace(QStringLiteral("<executable_name>"), QStringLiteral("qzconfig"));

  StartRequest request;
  const bool parsed = parser.parse(arguments);
  if (parsed && (parser.isSet(help) || parser.isSet(QStringLiteral("help-all")))) {
    request.action = StartRequest::Action::Help;
    request.text = usage;
  } else if (parsed && parser.isSet(version)) {
    request.action = StartRequest::Action::Version;
    request.text = QStringLiteral("qzconfig %1\n").arg(QStringLiteral(QZ_VERSION));
  } else if (!parsed || parser.positionalArguments().size() > 1 ||
             (parser.isSet(port) && !comNumber(parser.value(port).toStdString()))) {
    request.action = StartRequest::Action::Usage;
    const QString why = !parsed ? parser.errorText()
                        : parser.positionalArguments().size() > 1
                            ? QStringLiteral("One parameter file at most.")
                            : QStringLiteral("--port takes a COM name, COM1 to COM50.");
    request.text = QStringLiteral("qzconfig: %1\n\n%2").arg(why, usage);
  } else {
    if (!parser.positionalArguments().isEmpty()) {
      request.file = parser.positionalArguments().constFirst();
    }
    request.port = parser.value(port);
  }
  return request;
}

}  // namespace qz

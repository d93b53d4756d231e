#include "command_line.h"

#include <QCommandLineParser>

namespace sorvane::gui {
namespace {

constexpr const char* kUsage =
    "Usage: sorvane-gui [--data-dir DIR]\n"
    "The desktop window of Sorvane over a data folder.\n"
    "\n"
    "Options:\n"
    "  --data-dir DIR  Data folder (default: $SORVANE_HOME, or ~/Sorvane)\n"
    "  -h, --help      Show this help and end\n"
    "  -v, --version   Show the version and end\n";

}  // namespace

CommandLine ParseCommandLine(const QStringList& args) {
  QCommandLineParser parser;
  const QCommandLineOption data_dir("data-dir", "", "DIR");
  const QCommandLineOption help({"h", "help"}, "");
  const QCommandLineOption version({"v", "version"}, "");
  parser.addOptions({data_dir, help, version});

  CommandLine result;
  QString error;
  if (!parser.parse(args)) {
    error = parser.errorText();
  } else if (!parser.positionalArguments().isEmpty()) {
    error = QString("Unexpected argument '%1'.").arg(parser.positionalArguments().constFirst());
  } else if (parser.isSet(data_dir) && parser.value(data_dir).isEmpty()) {
    error = "--data-dir needs a folder.";
  }
  if (!error.isEmpty()) {
    result.exit_code = 2;
    result.err = "sorvane-gui: " + error.toStdString() + "\n\n" + kUsage;
  } else if (parser.isSet(help)) {
    result.out = kUsage;
  } else if (parser.isSet(version)) {
    result.out = std::string("sorvane-gui ") + SORVANE_VERSION + "\n";
  } else {
    result.run = true;
    result.data_dir = parser.value(data_dir).toStdString();
  }
  return result;
}

}  // namespace sorvane::gui

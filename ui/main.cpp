// The desktop program: the main window over the data folder (--data-dir,
// SORVANE_HOME or the default), shown before start-up runs. Exits with status 2
// when start-up ends the program (no work database, or one that cannot be
// used, after saying so), when its options are refused, when there is no
// display to show the window on, and when the system asked it to end (it
// ends then as Exit does).
#include <QApplication>
#include <clocale>
#include <cstdlib>
#include <iostream>

#include "command_line.h"
#include "core/paths.h"
#include "handler_guard.h"
#include "main_window.h"
#include "qt_ui.h"
#include "shell/frmCMain.h"
#include "termination_watch.h"

// Fontconfig and the desktop bus library keep caches for the life of the
// process that a sanitized build's leak checker cannot tell from leaks; the
// spreadsheet library loses a few bytes for each drop-down list of the empty
// workbooks (a copy of the list's range that it never frees).
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\nleak:libdbus-1.so\nleak:lxw_strdup\n";
}

namespace {

// Where no display can be opened (a remote shell without one, a display that
// has gone), the toolkit ends the process with abort() (a core dump, and the
// advice to reinstall the program). The program says what is wrong instead.
void WhileStarting(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  if (type != QtFatalMsg) {
    std::cerr << qPrintable(qFormatLogMessage(type, context, text)) << std::endl;
    return;
  }
  const char* display = std::getenv("DISPLAY");
  std::cerr << "sorvane-gui: the window cannot be shown: no display could be opened ("
            << (display != nullptr && *display != '\0' ? std::string("DISPLAY=") + display
                                                       : std::string("DISPLAY is not set"))
            << "). Start it on a desktop, or use the command line program sorvane." << std::endl;
  std::_Exit(2);
}

}  // namespace

int main(int argc, char** argv) {
  QStringList args;
  for (int i = 0; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);
  const sorvane::gui::CommandLine options = sorvane::gui::ParseCommandLine(args);
  if (!options.run) {
    std::cout << options.out << std::flush;
    std::cerr << options.err << std::flush;
    return options.exit_code;
  }

  const QtMessageHandler toolkit_messages = qInstallMessageHandler(WhileStarting);
  QApplication app(argc, argv);
  qInstallMessageHandler(toolkit_messages);
  // The toolkit takes the desktop's locale for the whole process, numbers
  // included; the program's files and texts write them with a decimal point
  // (with a decimal comma the libraries' printf would write "371,78" into a
  // workbook).
  std::setlocale(LC_NUMERIC, "C");
  QApplication::setApplicationName(sorvane::gui::kProgramTitle);
  // The program ends through its own shutdown, not when some window closes.
  QApplication::setQuitOnLastWindowClosed(false);

  sorvane::gui::QtUi ui;
  sorvane::frmCMain form(ui, sorvane::Paths::FromOption(options.data_dir));
  form.state().KeepsCheckHistory = true;
  ui.Attach(form);
  const sorvane::gui::TerminationWatch watch([&ui] { ui.EndOnRequest(); });
  ui.main_window()->show();
  bool loaded = false;
  {
    const sorvane::gui::HandlerRunning starting;
    loaded = form.Form_Load();
  }
  if (!loaded) return 2;
  if (form.unloaded()) return ui.ending() ? 2 : 0;
  const int status = app.exec();
  return ui.ending() ? 2 : status;
}

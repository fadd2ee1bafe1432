// merilog: the desktop program. Options are listed by --help (kUsage below).
#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <csignal>
#include <cstdio>
#include <optional>

#include "core/app/IoSetup.h"
#include "core/base/ConfigPaths.h"
#include "core/labserver/LabServerSettings.h"
#include "ui/app/DesktopSession.h"
#include "ui/app/MainWindow.h"

namespace {

constexpr char kUsage[] =
    "usage: merilog [OPTION]...\n"
    "Finds bench multimeters, logs and charts their readings.\n"
    "\n"
    "  --simulate           the built-in simulated bench before the real meters\n"
    "  --simulate=FILE      a simulated bench described in FILE\n"
    "  --resource R         also offer the LAN meter R (TCPIP0::host::port::SOCKET); repeatable\n"
    "  --transcript FILE    write every command and answer, with time stamps, to FILE\n"
    "  --from-menu          keep records in ~/MERILOG/DB (the desktop menu starts it so)\n"
    "  --server CONNINFO    forward every reading to this lab server (a libpq connection string;\n"
    "                       overrides MERILOG_SERVER and the [Server] setting; \"\" for none)\n"
    "  --help               show this text and exit\n"
    "  --version            show the version and exit\n";

struct Options {
  merilog::IoOptions io;
  std::optional<QString> server;
  bool fromMenu = false;
  bool help = false;
  bool version = false;
};

// Options take their value either as the next argument or after "=".
bool Parse(const QStringList& args, Options* options, QString* error) {
  for (int i = 1; i < args.size(); ++i) {
    const QString& a = args[i];
    auto value = [&](const QString& name, QString* out) {
      if (a == name) {
        if (i + 1 >= args.size()) {
          *error = QStringLiteral("%1 needs a value").arg(name);
          return false;
        }
        *out = args[++i];
        return true;
      }
      *out = a.mid(name.size() + 1);
      return true;
    };
    QString v;
    if (a == "--simulate") {
      options->io.simulate = true;
    } else if (a.startsWith("--simulate=")) {
      options->io.simulate = true;
      options->io.benchFile = a.mid(11).toStdString();
    } else if (a == "--resource" || a.startsWith("--resource=")) {
      if (!value("--resource", &v)) return false;
      options->io.lanResources.push_back(v.toStdString());
    } else if (a == "--transcript" || a.startsWith("--transcript=")) {
      if (!value("--transcript", &v)) return false;
      options->io.transcriptFile = v.toStdString();
    } else if (a == "--server" || a.startsWith("--server=")) {
      if (!value("--server", &v)) return false;
      options->server = v;
    } else if (a == "--from-menu") {
      options->fromMenu = true;
    } else if (a == "--help" || a == "-h") {
      options->help = true;
    } else if (a == "--version") {
      options->version = true;
    } else {
      *error = QStringLiteral("merilog: unknown option \"%1\" (see merilog --help)").arg(a);
      return false;
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  // A file-size limit makes writes fail (and be reported) instead of killing the program.
  std::signal(SIGXFSZ, SIG_IGN);
  // Read before the application object, so --help and --version need no display.
  QStringList args;
  for (int i = 0; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);
  Options options;
  QString error;
  if (!Parse(args, &options, &error)) {
    std::fprintf(stderr, "%s\n", qPrintable(error));
    return 2;
  }
  if (options.help) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (options.version) {
    std::printf("merilog %s\n", merilog::VersionText());
    return 0;
  }
  QApplication app(argc, argv);
  app.setApplicationName("MERILOG");
  merilog::ResolveConfigurationFile(options.io);
  if (options.fromMenu) {
    // Started from the desktop's menu: records go where the user can find them.
    const QString folder = merilog::MenuWorkingFolder(QDir::homePath());
    if (!folder.isEmpty()) QDir::setCurrent(folder);
  }

  std::string ioError;
  const auto session = merilog::ui::DesktopSession::Start(options.io, &ioError);
  if (!session) {
    QMessageBox::critical(
        nullptr, "Error",
        QStringLiteral("The instruments could not be set up:\n%1").arg(QString::fromStdString(ioError)));
    return 1;
  }
  session->Window().Model().UseLabServer(merilog::LabServerSettingsFor(options.server));
  return app.exec();
}

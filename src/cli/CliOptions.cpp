#include "cli/CliOptions.h"

namespace merilog::cli {

bool ParseGlobalOptions(const QStringList& args, CliOptions* options, QStringList* rest, std::string* error) {
  int i = 0;
  for (; i < args.size(); ++i) {
    const QString& a = args[i];
    if (a == "--simulate") {
      options->io.simulate = true;
    } else if (a.startsWith("--simulate=")) {
      options->io.simulate = true;
      options->io.benchFile = a.mid(11).toStdString();
    } else if (a == "--server") {
      if (i + 1 >= args.size()) {
        *error = "--server needs a value";
        return false;
      }
      options->server = args[++i];
    } else if (a.startsWith("--server=")) {
      options->server = a.mid(9);
    } else if (a == "--resource" || a == "--transcript") {
      if (i + 1 >= args.size()) {
        *error = a.toStdString() + " needs a value";
        return false;
      }
      const std::string value = args[++i].toStdString();
      if (a == "--resource")
        options->io.lanResources.push_back(value);
      else
        options->io.transcriptFile = value;
    } else if (a.startsWith("--resource=")) {
      options->io.lanResources.push_back(a.mid(11).toStdString());
    } else if (a.startsWith("--transcript=")) {
      options->io.transcriptFile = a.mid(13).toStdString();
    } else if (a.startsWith("--") && a != "--help" && a != "--version") {
      *error = "unknown option " + a.toStdString();
      return false;
    } else {
      break;
    }
  }
  *rest = args.mid(i);
  return true;
}

}  // namespace merilog::cli

// merilog-screenshots OUTDIR: takes the screenshot tour on the built-in
// simulated bench (the real main window and its dialogs, driven as a user
// would) and saves the pictures into OUTDIR. Built beside the programs, never
// installed; scripts/screenshots.sh runs it under a virtual display.
#include <QApplication>
#include <cstdio>

#include "core/app/IoSetup.h"
#include "screenshots/MainWindowScreenshots.h"
#include "sim/SimBackend.h"
#include "ui/app/DesktopSession.h"

int main(int argc, char** argv) {
  if (argc != 2 || argv[1][0] == '-') {
    std::fprintf(stderr, "usage: merilog-screenshots OUTDIR\n");
    return 2;
  }
  QApplication app(argc, argv);
  app.setApplicationName("MERILOG");
  merilog::IoOptions io;
  io.simulate = true;
  merilog::ResolveConfigurationFile(io);
  std::string error;
  const auto session = merilog::ui::DesktopSession::Start(io, &error);
  if (!session) {
    std::fprintf(stderr, "merilog-screenshots: %s\n", error.c_str());
    return 1;
  }
  merilog::ui::MainWindowScreenshots shots(session->Window(), QString::fromLocal8Bit(argv[1]));
  for (const auto& backend : session->Resources().Backends())
    if (auto* simulated = dynamic_cast<merilog::sim::SimBackend*>(backend.get())) shots.SetBench(simulated->Bench());
  QObject::connect(&shots, &merilog::ui::MainWindowScreenshots::Finished, &app, [&](bool ok) { app.exit(ok ? 0 : 1); });
  shots.Start();
  return app.exec();
}

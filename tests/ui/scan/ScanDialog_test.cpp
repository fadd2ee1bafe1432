// The scan window over its model: controls follow the model, clicks and edits
// reach it, the grid view shows the results; and the Tool menu opens it.
#include "ui/scan/ScanDialog.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTableView>
#include <QTimer>

#include "core/app/IoSetup.h"
#include "core/app/MainWindowModel.h"
#include "core/scan/ScanBench.h"
#include "core/scan/ScanFunctionTable.h"
#include "core/scan/ScanModel.h"
#include "support/PrintQString.h"
#include "ui/app/MainWindow.h"
#include "ui/widgets/UserInput.h"
#include "ui/widgets/WidgetTestApp.h"

namespace merilog {
namespace {

using ui::ChooseItem;
using ui::TypeText;

TEST(ScanDialog, RendersTheModelForwardsEditsAndShowsTheGrid) {
  ui::test::App();
  test::ScanBench b;
  b.Add(test::kScanner, "P7700A", 20);
  b.model = std::make_unique<ScanModel>(b.rm, b.lanResources, b.prompter, *b.clock, b.timers, b.opener);
  ui::ScanDialog d(*b.model);
  d.show();
  d.Open();
  b.Settle();

  ASSERT_EQ(d.DeviceList()->count(), 1);
  EXPECT_EQ(d.DeviceList()->item(0)->text(), "MODEL P7700A-USBTMC-SN04");
  EXPECT_EQ(d.ChannelChooser()->count(), 20);
  EXPECT_FALSE(d.ShuntRField()->isVisible());
  EXPECT_FALSE(d.ExportButton()->isEnabled());
  EXPECT_FALSE(d.StopButton()->isEnabled());
  EXPECT_EQ(d.Grid()->model()->columnCount(), 0);  // no header before a run

  // CH3 four-wire; CH1 DCI with its shunt.
  ChooseItem(d.ChannelChooser(), 2);
  ChooseItem(d.FunctionChooser(), kScan4W);
  ChooseItem(d.ChannelChooser(), 0);
  ChooseItem(d.FunctionChooser(), kScanDci);
  EXPECT_TRUE(d.ShuntRField()->isVisible());
  TypeText(d.ShuntRField(), "100");
  EXPECT_DOUBLE_EQ(b.model->Setup().Channel(0).shuntR, 100);

  // PerScan, three scans.
  d.PerScanBox()->click();
  EXPECT_FALSE(d.ScanCountField()->isEnabled());
  d.StopAfterNBox()->click();
  TypeText(d.NField(), "3");
  d.StartButton()->click();
  EXPECT_FALSE(d.StartButton()->isEnabled());
  EXPECT_FALSE(d.ChannelChooser()->isEnabled());
  EXPECT_EQ(d.StopButton()->text(), "Stop Reading");
  EXPECT_TRUE(d.StopButton()->isEnabled());
  ASSERT_TRUE(b.RunScan());

  EXPECT_TRUE(d.StartButton()->isEnabled());
  EXPECT_TRUE(d.ExportButton()->isEnabled());
  EXPECT_EQ(d.Progress()->text(), "2/2");    // two readings a scan
  EXPECT_EQ(b.model->Run().ScansDone(), 1);  // ready for the next run
  QTableView* grid = d.Grid();
  ASSERT_EQ(grid->model()->rowCount(), 3);
  ASSERT_EQ(grid->model()->columnCount(), 3);
  EXPECT_EQ(grid->model()->headerData(1, Qt::Horizontal).toString(), "CH1(DCI)");
  EXPECT_EQ(grid->model()->headerData(2, Qt::Horizontal).toString(), "CH3(4W)");
  EXPECT_EQ(grid->model()->headerData(2, Qt::Vertical).toString(), "3");
  EXPECT_EQ(grid->columnWidth(0), 1600 / 15);
  EXPECT_EQ(grid->columnWidth(1), 1580 / 15);

  d.ExitButton()->click();
  EXPECT_FALSE(d.isVisible());
  EXPECT_EQ(b.model->Devices().Count(), 0);
  EXPECT_EQ(d.DeviceList()->count(), 0);
}

TEST(ScanDialog, TheToolMenuOpensItOnTheSimulatedBench) {
  ui::test::App();
  test::WorkingFolder work;
  {
    IoOptions io;
    io.simulate = true;
    Instruments instruments;
    std::string error;
    ASSERT_TRUE(SetUpInstruments(io, &instruments, &error)) << error;
    test::ScriptedPrompter prompter;
    SystemClock clock;
    MainWindowModel model(*instruments.resources, prompter, clock, instruments.lanResources);
    ui::MainWindow window(model, prompter);
    model.Initialise();
    ASSERT_TRUE(test::RunUntil([&] { return model.Idle(); }));
    QAction* entry = window.MenuAction(MenuCommand::ChannelScan);
    ASSERT_NE(entry, nullptr);
    EXPECT_FALSE(entry->isEnabled());  // nowhere to search yet
    window.OfferScan(*instruments.resources, instruments.lanResources, prompter, clock);
    EXPECT_TRUE(entry->isEnabled());

    QStringList listed;
    QTimer::singleShot(0, [&] {
      ui::ScanDialog* d = window.Scan();
      EXPECT_EQ(QApplication::activeModalWidget(), d);
      EXPECT_TRUE(test::RunUntil([&] { return d->ChannelChooser()->isEnabled(); }));
      for (int i = 0; i < d->DeviceList()->count(); ++i) listed << d->DeviceList()->item(i)->text();
      d->ExitButton()->click();
    });
    entry->trigger();
    EXPECT_EQ(listed, QStringList{"MODEL P7700A-USBTMC-SN04"});
    EXPECT_FALSE(window.Scan()->isVisible());
  }
}

}  // namespace
}  // namespace merilog

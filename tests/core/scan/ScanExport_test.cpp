// The spreadsheet export: the file of a PerScan run is opened and read back
// by an independent reader, and the two failures leave the grid as it was.
#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <map>

#include "ScanBench.h"
#include "support/PrintQString.h"

namespace merilog {
namespace {

using test::ScanBench;
using test::TempFolder;

// Reads a workbook back with Debian's openpyxl, a reader of its own: one line per cell
// (reference, kind, value, number format, bold, alignment), then the widths.
constexpr char kReader[] = R"(
import datetime, sys, openpyxl
sheet = openpyxl.load_workbook(sys.argv[1]).worksheets[0]
for row in sheet.iter_rows():
    for c in row:
        v = c.value
        if v is None: continue
        if isinstance(v, datetime.time): kind, text = 'time', v.strftime('%H:%M:%S')
        elif isinstance(v, (int, float)): kind, text = 'number', repr(v)
        else: kind, text = 'text', v
        print(c.coordinate, kind, text, c.number_format, int(bool(c.font.b)), c.alignment.horizontal or '', sep='\t')
for letter, d in sheet.column_dimensions.items(): print('width', letter, d.width, sep='\t')
)";

struct SheetCell {
  QString kind, text, format;
  bool bold = false;
  QString align;
};

struct Sheet {
  std::map<QString, SheetCell> cells;
  std::map<QString, double> widths;  // by column letter

  explicit Sheet(const QString& xlsx) {
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), QString::fromUtf8(kReader), xlsx});
    EXPECT_TRUE(python.waitForFinished(30000));
    EXPECT_EQ(python.exitCode(), 0) << python.readAllStandardError().toStdString();
    for (const QString& line : QString::fromUtf8(python.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts)) {
      const QStringList f = line.split('\t');
      if (f[0] == "width")
        widths[f.value(1)] = f.value(2).toDouble();
      else if (f.size() == 6)
        cells[f[0]] = {f[1], f[2], f[3], f[4] == "1", f[5]};
    }
  }
};

// A PerScan run of three scans of a DCV and a DCI channel on a card that
// overloads now and then.
struct Export : ::testing::Test {
  ScanBench b;
  TempFolder folder;

  Export() {
    b.Add(test::kScanner, "P7700A", 10, {}, 2);
    ScanModel& m = b.Open();
    b.Channels({{1, kScanDcv}, {2, kScanDci}});
    m.ShuntREdited("100");
    m.PerScanIntervalToggled(true);
    m.IntervalChanged(QTime(0, 0, 1));
    m.StopAfterNToggled(true);
    m.NEdited("3");
    m.StartScan();
    EXPECT_TRUE(b.RunScan());
  }
  void ExportTo(const QString& path) {
    b.prompter.ExpectSaveName(path);
    b.model->ExportToSpreadsheet();
    EXPECT_TRUE(b.model->Exporting());
    EXPECT_FALSE(b.model->View().exportButton.enabled);  // until the file is done
    EXPECT_TRUE(test::RunUntil([&] { return !b.model->Exporting(); }));
    EXPECT_TRUE(b.model->View().exportButton.enabled);
  }
};

TEST_F(Export, APerScanRunReadsBackAsTimesNumbersAndOvldWithoutItsScanNumbers) {
  const QString path = folder.File("night");
  ExportTo(path);
  ASSERT_TRUE(QFile::exists(path + ".xlsx"));
  EXPECT_EQ(b.opener.opened, QStringList{path + ".xlsx"});
  const Sheet sheet(path + ".xlsx");

  const ScanResultsGrid::Cells& grid = b.model->Grid().AllCells();
  ASSERT_EQ(grid.size(), 4u);
  std::size_t written = 0, overloads = 0;
  for (std::size_t r = 0; r < grid.size(); ++r) {
    for (std::size_t c = 1; c < grid[r].size(); ++c) {
      const QString& text = grid[r][c];
      const QString ref = QChar(char('A' + c - 1)) + QString::number(r + 1);
      ASSERT_TRUE(sheet.cells.count(ref)) << ref.toStdString();
      const SheetCell& cell = sheet.cells.at(ref);
      ++written;
      EXPECT_EQ(cell.bold, r == 0) << ref.toStdString();
      EXPECT_EQ(cell.align, r == 0 ? "center" : "") << ref.toStdString();
      if (r == 0 || text == "OVLD") {
        EXPECT_EQ(cell.kind, "text") << ref.toStdString();
        EXPECT_EQ(cell.text, text);
        overloads += text == "OVLD";
      } else if (c == 1) {  // "14:3:27": a time a spreadsheet sorts and computes with
        EXPECT_EQ(cell.kind, "time") << ref.toStdString();
        EXPECT_EQ(cell.format, "h:mm:ss");
        EXPECT_EQ(cell.text, QTime::fromString(text, "H:m:s").toString("HH:mm:ss"));
      } else {
        EXPECT_EQ(cell.kind, "number") << ref.toStdString();
        EXPECT_DOUBLE_EQ(cell.text.toDouble(), text.toDouble()) << ref.toStdString();
      }
    }
  }
  EXPECT_EQ(sheet.cells.size(), written);  // no column for the scan number, no stray cell
  EXPECT_EQ(b.GridRow(0), (QStringList{"", "Time", "CH1(DCV)", "CH2(DCI)"}));
  EXPECT_GT(overloads, 0u);
  // Each column is wider than its longest text.
  EXPECT_GE(sheet.widths.at("A"), 7);
  EXPECT_GE(sheet.widths.at("B"), 10);
}

TEST_F(Export, AFileThatCannotBeWrittenOrOpenedIsReportedAndTheGridStays) {
  const auto before = b.model->Grid().AllCells();
  struct Case {
    QString path;
    bool opens;
    QString message;
  };
  const Case cases[] = {
      {folder.File("missing/scan.xlsx"), true, "The folder \"" + folder.File("missing") + "\" does not exist."},
      {folder.File("scan.xlsx"), false,
       "No application opens the spreadsheet file \"" + folder.File("scan.xlsx") + "\"."},
  };
  for (const Case& k : cases) {
    b.prompter.shown.clear();
    b.opener.opened.clear();
    b.opener.answer = k.opens;
    b.prompter.ExpectMessage(Prompter::Answer::Ok);
    ExportTo(k.path);
    ASSERT_EQ(b.prompter.shown.size(), 1u) << k.path.toStdString();
    EXPECT_TRUE(b.prompter.shown[0].text.startsWith(k.message)) << b.prompter.shown[0].text.toStdString();
    EXPECT_EQ(b.opener.opened.size(), k.opens ? 0 : 1);
    EXPECT_EQ(b.model->Grid().AllCells(), before);
  }
  EXPECT_FALSE(QFile::exists(folder.File("missing")));

  // Cancelled chooser: nothing happens.
  b.prompter.ExpectSaveName(QString());
  b.model->ExportToSpreadsheet();
  EXPECT_FALSE(b.model->Exporting());
}

}  // namespace
}  // namespace merilog

// The spreadsheet export: the file is opened and its cells read back (sheet,
// shared or inline strings, styles), and the two failures leave the grid as
// it was.
#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QXmlStreamReader>
#include <map>

#include "ScanBench.h"
#include "support/PrintQString.h"

namespace merilog {
namespace {

using test::ScanBench;
using test::TempFolder;

// One member of the .xlsx archive, read with the unzip program.
QByteArray Member(const QString& xlsx, const QString& member) {
  QProcess unzip;
  unzip.start(QStringLiteral("unzip"), {QStringLiteral("-p"), xlsx, member});
  if (!unzip.waitForFinished(10000)) return {};
  return unzip.readAllStandardOutput();
}

struct SheetCell {
  QString text;
  bool number = false;
  int style = 0;
};

// What a spreadsheet application would read: each cell's value and style, the
// column widths, and for each style whether it is bold and how it is aligned.
struct Sheet {
  std::map<QString, SheetCell> cells;
  std::map<int, double> widths;  // by column, from 1
  std::vector<std::pair<bool, QString>> styles;

  explicit Sheet(const QString& xlsx) {
    QStringList shared;
    for (QXmlStreamReader r(Member(xlsx, "xl/sharedStrings.xml")); !r.atEnd();)
      if (r.readNext() == QXmlStreamReader::StartElement && r.name() == u"t") shared << r.readElementText();

    QXmlStreamReader r(Member(xlsx, "xl/worksheets/sheet1.xml"));
    QString ref, type;
    while (!r.atEnd()) {
      if (r.readNext() != QXmlStreamReader::StartElement) continue;
      const auto a = r.attributes();
      if (r.name() == u"col") {
        for (int c = a.value("min").toInt(); c <= a.value("max").toInt(); ++c) widths[c] = a.value("width").toDouble();
      } else if (r.name() == u"c") {
        ref = a.value("r").toString();
        type = a.value("t").toString();
        cells[ref].style = a.value("s").toInt();
      } else if (r.name() == u"v") {
        const QString v = r.readElementText();
        cells[ref].number = type.isEmpty() || type == "n";
        cells[ref].text = type == "s" ? shared.value(v.toInt()) : v;
      } else if (r.name() == u"t" && type == "inlineStr") {
        cells[ref].text = r.readElementText();
      }
    }
    std::vector<bool> boldFonts;
    bool inCellXfs = false;
    for (QXmlStreamReader s(Member(xlsx, "xl/styles.xml")); !s.atEnd();) {
      const auto token = s.readNext();
      if (token == QXmlStreamReader::EndElement && s.name() == u"cellXfs") inCellXfs = false;
      if (token != QXmlStreamReader::StartElement) continue;
      if (s.name() == u"font") boldFonts.push_back(false);
      if (s.name() == u"b" && !boldFonts.empty()) boldFonts.back() = true;
      if (s.name() == u"cellXfs") inCellXfs = true;
      if (s.name() == u"xf" && inCellXfs)
        styles.emplace_back(boldFonts.at(s.attributes().value("fontId").toUInt()), QString());
      if (s.name() == u"alignment" && inCellXfs && !styles.empty())
        styles.back().second = s.attributes().value("horizontal").toString();
    }
  }
};

struct Export : ::testing::Test {
  ScanBench b;
  TempFolder folder;

  Export() {
    b.Open();  // no scanner on the bench: the grid is filled by hand
    ScanResultsGrid& g = b.model->Grid();
    g.SetColumns(4);
    g.SetRows(3);
    const QStringList rows[] = {{"", "Time", "CH1(DCV)", "CH2(DCI)"},
                                {"1", "14:3:27", "0.01500000", "OVLD"},
                                {"2", "14:3:28", "-1.25000000", "123456.78901234"}};
    for (int r = 0; r < 3; ++r)
      for (int c = 0; c < 4; ++c) g.SetCell(r, c, rows[r][c]);
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

TEST_F(Export, WritesTheGridWithoutItsScanNumbersAndOpensIt) {
  const QString path = folder.File("night");
  ExportTo(path);
  ASSERT_TRUE(QFile::exists(path + ".xlsx"));
  EXPECT_EQ(b.opener.opened, QStringList{path + ".xlsx"});
  const Sheet sheet(path + ".xlsx");

  struct Expected {
    const char* ref;
    QString text;
    bool number;
  };
  const Expected cells[] = {
      {"A1", "Time", false},    {"B1", "CH1(DCV)", false}, {"C1", "CH2(DCI)", false},
      {"A2", "14:3:27", false}, {"B2", "0.015", true},     {"C2", "OVLD", false},
      {"A3", "14:3:28", false}, {"B3", "-1.25", true},     {"C3", "123456.78901234", true},
  };
  EXPECT_EQ(sheet.cells.size(), std::size(cells));  // no column for the scan number, no stray cell
  for (const Expected& e : cells) {
    ASSERT_TRUE(sheet.cells.count(e.ref)) << e.ref;
    const SheetCell& c = sheet.cells.at(e.ref);
    EXPECT_EQ(c.number, e.number) << e.ref;
    if (e.number)
      EXPECT_DOUBLE_EQ(c.text.toDouble(), e.text.toDouble()) << e.ref;
    else
      EXPECT_EQ(c.text, e.text) << e.ref;
    const auto& [bold, align] = sheet.styles.at(static_cast<std::size_t>(c.style));
    const bool header = e.ref[1] == '1';
    EXPECT_EQ(bold, header) << e.ref;
    EXPECT_EQ(align, header ? "center" : "") << e.ref;
  }
  // Each column is wider than its longest text.
  EXPECT_GE(sheet.widths.at(1), 7);
  EXPECT_GE(sheet.widths.at(3), 15);
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

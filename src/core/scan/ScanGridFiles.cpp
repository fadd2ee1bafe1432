#include "core/scan/ScanGridFiles.h"

#include <xlsxwriter.h>

#include <QFile>
#include <QTemporaryDir>
#include <QTime>
#include <algorithm>
#include <charconv>

#include "core/base/JobRunner.h"
#include "core/base/OutputTarget.h"

namespace merilog {

namespace {

// The export leaves out column 0, the scan number.
constexpr std::size_t kFirstExportedColumn = 1;
// Room beside the longest text of a column, in character widths.
constexpr double kColumnPadding = 2;
constexpr double kDefaultColumnWidth = 8.43;

// A whole text that reads as a decimal number; times ("14:3:27") and "OVLD" do not.
bool AsNumber(const QString& text, double* value) {
  const QByteArray bytes = text.trimmed().toLatin1();
  const char* first = bytes.constData();
  const char* last = first + bytes.size();
  if (first != last && *first == '+') ++first;
  if (first == last) return false;
  const auto [end, ec] = std::from_chars(first, last, *value);
  return ec == std::errc() && end == last;
}

// The grid's time of day ("14:3:27", without leading zeros) as a fraction of
// a day, the value a spreadsheet keeps for a time.
bool AsTimeOfDay(const QString& text, double* dayFraction) {
  const QTime time = QTime::fromString(text, QStringLiteral("H:m:s"));
  if (!time.isValid()) return false;
  *dayFraction = time.msecsSinceStartOfDay() / 86'400'000.0;
  return true;
}

GridFileResult Failed(const QString& sentence) {
  GridFileResult r;
  r.error = sentence;
  return r;
}

GridFileResult Written() {
  GridFileResult r;
  r.written = true;
  return r;
}

// A workbook ends with the zip's end-of-directory record; one that does not
// was cut short (a full temporary folder the library did not notice).
bool EndsLikeAZip(const QByteArray& bytes) {
  constexpr qsizetype kEndRecordBytes = 22;  // the record without a comment, as the library writes it
  return bytes.size() >= kEndRecordBytes && bytes.right(kEndRecordBytes).startsWith(QByteArray("PK\x05\x06", 4));
}

// Copies the finished workbook to its place; the target changes only when the copy is whole.
GridFileResult Commit(const QString& from, const QString& to) {
  QFile in(from);
  const QByteArray bytes = in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
  if (in.error() != QFileDevice::NoError) return Failed(OutputTarget::Failure(to, in.errorString()));
  if (!EndsLikeAZip(bytes))
    return Failed(OutputTarget::Failure(to, QStringLiteral("the spreadsheet library left an incomplete workbook")));
  const QString error = WriteWholeFile(to, bytes);
  return error.isEmpty() ? Written() : Failed(error);
}

}  // namespace

QString SpreadsheetFileName(const QString& chosen) {
  return chosen.endsWith(QStringLiteral(".xlsx"), Qt::CaseInsensitive) ? chosen : chosen + QStringLiteral(".xlsx");
}

GridFileResult WriteScanSpreadsheet(const QString& path, const ScanResultsGrid::Cells& cells, JobProgress* progress) {
  // Said at once, before the workbook is built.
  if (const QString problem = OutputTarget::Problem(path); !problem.isEmpty()) return Failed(problem);
  QTemporaryDir work;
  if (!work.isValid())
    return Failed(OutputTarget::Failure(path, QStringLiteral("no temporary folder: %1").arg(work.errorString())));
  const QByteArray workbookPath = QFile::encodeName(work.filePath(QStringLiteral("export.xlsx")));
  const QByteArray tmpdir = QFile::encodeName(work.path());
  lxw_workbook_options options{};
  options.constant_memory = LXW_TRUE;  // rows go to disk as they are written: a full grid needs no memory
  options.tmpdir = const_cast<char*>(tmpdir.constData());
  lxw_workbook* workbook = workbook_new_opt(workbookPath.constData(), &options);
  if (!workbook)
    return Failed(OutputTarget::Failure(path, QStringLiteral("the spreadsheet library could not start a workbook")));
  lxw_worksheet* sheet = workbook_add_worksheet(workbook, nullptr);
  lxw_format* header = workbook_add_format(workbook);
  format_set_bold(header);
  format_set_align(header, LXW_ALIGN_CENTER);
  lxw_format* timeOfDay = workbook_add_format(workbook);
  format_set_num_format(timeOfDay, "h:mm:ss");

  const std::size_t columns = cells.empty() ? 0 : cells.front().size();
  for (std::size_t c = kFirstExportedColumn; c < columns; ++c) {
    qsizetype widest = 0;
    for (const auto& row : cells) widest = std::max(widest, c < row.size() ? row[c].size() : 0);
    const auto col = static_cast<lxw_col_t>(c - kFirstExportedColumn);
    worksheet_set_column(sheet, col, col, std::max(kDefaultColumnWidth, double(widest) + kColumnPadding), nullptr);
  }

  lxw_error error = LXW_NO_ERROR;
  const qint64 total = static_cast<qint64>(cells.size());
  for (std::size_t r = 0; r < cells.size() && error == LXW_NO_ERROR; ++r) {
    if (progress && progress->Cancelled()) break;
    const auto& row = cells[r];
    for (std::size_t c = kFirstExportedColumn; c < row.size() && error == LXW_NO_ERROR; ++c) {
      const QString& text = row[c];
      if (text.isEmpty()) continue;
      const auto sheetRow = static_cast<lxw_row_t>(r);
      const auto sheetCol = static_cast<lxw_col_t>(c - kFirstExportedColumn);
      double value = 0;
      if (r == 0)
        error = worksheet_write_string(sheet, sheetRow, sheetCol, text.toUtf8().constData(), header);
      else if (AsNumber(text, &value))
        error = worksheet_write_number(sheet, sheetRow, sheetCol, value, nullptr);
      else if (AsTimeOfDay(text, &value))
        error = worksheet_write_number(sheet, sheetRow, sheetCol, value, timeOfDay);
      else
        error = worksheet_write_string(sheet, sheetRow, sheetCol, text.toUtf8().constData(), nullptr);
    }
    if (progress) progress->Report(static_cast<qint64>(r) + 1, total);
  }
  const lxw_error closed = workbook_close(workbook);
  if (progress && progress->Cancelled()) {
    GridFileResult r;
    r.cancelled = true;
    return r;
  }
  if (error == LXW_NO_ERROR) error = closed;
  if (error != LXW_NO_ERROR) return Failed(OutputTarget::Failure(path, QString::fromUtf8(lxw_strerror(error))));
  return Commit(work.filePath(QStringLiteral("export.xlsx")), path);
}

GridFileResult WriteScanCsv(const QString& path, const ScanResultsGrid::Cells& cells) {
  QByteArray text;
  for (const auto& row : cells) {
    for (std::size_t c = kFirstExportedColumn; c < row.size(); ++c) {
      if (c > kFirstExportedColumn) text += ',';
      QByteArray cell = row[c].toUtf8();
      if (cell.contains(',') || cell.contains('"')) cell = '"' + cell.replace("\"", "\"\"") + '"';
      text += cell;
    }
    text += "\r\n";
  }
  const QString error = WriteWholeFile(path, text);
  return error.isEmpty() ? Written() : Failed(error);
}

}  // namespace merilog

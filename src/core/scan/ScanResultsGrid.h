#pragma once
#include <QAbstractTableModel>
#include <QString>
#include <vector>

namespace merilog {

// The results grid of the scan dialog: row 0 holds the headers, column 0 the
// scan number, column 1 the time, one column per active channel after them.
// As a table model for a view, row 0 is the horizontal header and column 0 the
// vertical one, so the view's rows are the scans.
class ScanResultsGrid : public QAbstractTableModel {
 public:
  using Cells = std::vector<std::vector<QString>>;

  // Column widths in twips, as the grid lays them out.
  static constexpr int kNumberColumnTwips = 600;
  static constexpr int kTimeColumnTwips = 1600;
  static constexpr int kChannelColumnTwips = 1580;

  ScanResultsGrid() = default;

  // The grid's own operations; a change made between BeginChange and
  // EndChange reaches the views once.
  int Rows() const { return static_cast<int>(cells_.size()); }
  int Columns() const { return columns_; }
  void SetRows(int rows);
  void SetColumns(int columns);
  QString Cell(int row, int column) const;
  void SetCell(int row, int column, const QString& text);
  void SetCentred(int column, bool centred);
  bool Centred(int column) const;
  static int ColumnWidthTwips(int column);
  // Rows written below the header.
  bool HasResults() const { return Rows() > 1; }
  const Cells& AllCells() const { return cells_; }
  void BeginChange();
  void EndChange();

  // QAbstractTableModel
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

 private:
  void Changed();

  Cells cells_{std::vector<QString>(2)};
  int columns_ = 2;
  std::vector<bool> centred_ = std::vector<bool>(2, false);
  int changing_ = 0;
};

}  // namespace merilog

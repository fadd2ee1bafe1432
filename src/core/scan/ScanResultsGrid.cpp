#include "core/scan/ScanResultsGrid.h"

#include <algorithm>

namespace merilog {

void ScanResultsGrid::BeginChange() {
  if (changing_++ == 0) beginResetModel();
}

void ScanResultsGrid::EndChange() {
  if (changing_ > 0 && --changing_ == 0) endResetModel();
}

void ScanResultsGrid::Changed() {
  // A change outside BeginChange/EndChange is its own change.
  if (changing_ == 0) {
    beginResetModel();
    endResetModel();
  }
}

void ScanResultsGrid::SetRows(int rows) {
  rows = std::max(rows, 1);  // the header row stays
  if (rows == Rows()) return;
  cells_.resize(static_cast<std::size_t>(rows), std::vector<QString>(static_cast<std::size_t>(columns_)));
  Changed();
}

void ScanResultsGrid::SetColumns(int columns) {
  columns = std::max(columns, 2);  // scan number and time
  if (columns == columns_) return;
  columns_ = columns;
  for (auto& row : cells_) row.resize(static_cast<std::size_t>(columns));
  centred_.resize(static_cast<std::size_t>(columns), false);
  Changed();
}

QString ScanResultsGrid::Cell(int row, int column) const {
  if (row < 0 || row >= Rows() || column < 0 || column >= columns_) return {};
  return cells_[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)];
}

void ScanResultsGrid::SetCell(int row, int column, const QString& text) {
  if (row < 0 || row >= Rows() || column < 0 || column >= columns_) return;
  cells_[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)] = text;
  Changed();
}

void ScanResultsGrid::SetCentred(int column, bool centred) {
  if (column < 0 || column >= columns_) return;
  centred_[static_cast<std::size_t>(column)] = centred;
  Changed();
}

bool ScanResultsGrid::Centred(int column) const {
  return column >= 0 && column < columns_ && centred_[static_cast<std::size_t>(column)];
}

int ScanResultsGrid::ColumnWidthTwips(int column) {
  if (column == 0) return kNumberColumnTwips;
  return column == 1 ? kTimeColumnTwips : kChannelColumnTwips;
}

int ScanResultsGrid::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : Rows() - 1;
}

int ScanResultsGrid::columnCount(const QModelIndex& parent) const {
  // No column shows before a run has written the header row.
  return parent.isValid() || Cell(0, 1).isEmpty() ? 0 : columns_ - 1;
}

QVariant ScanResultsGrid::data(const QModelIndex& index, int role) const {
  if (!index.isValid()) return {};
  if (role == Qt::DisplayRole) return Cell(index.row() + 1, index.column() + 1);
  if (role == Qt::TextAlignmentRole)
    return QVariant::fromValue(Qt::Alignment(index.column() == 0 ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter);
  return {};
}

QVariant ScanResultsGrid::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation == Qt::Horizontal) {
    if (role == Qt::DisplayRole) return Cell(0, section + 1);
    if (role == Qt::TextAlignmentRole)
      return QVariant::fromValue(Qt::Alignment(Centred(section + 1) ? Qt::AlignHCenter : Qt::AlignLeft) |
                                 Qt::AlignVCenter);
    return {};
  }
  if (role == Qt::DisplayRole) return Cell(section + 1, 0);
  return {};
}

}  // namespace merilog

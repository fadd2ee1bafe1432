#include "core/recordview/RecordGridModel.h"

#include <algorithm>

#include "core/recordview/RecordNumberText.h"

namespace merilog {

namespace {
constexpr int kColumns = 4;
const char* const kHeaders[kColumns] = {"", "Value", "Value_2ND", "Time"};
}  // namespace

GridRowTexts PageRowTexts(const RecordRow& row) {
  return {GridValueText(row.value), GridSecondValueText(row.value2nd), row.time};
}

RecordGridModel::RecordGridModel(QObject* parent) : QAbstractTableModel(parent) {}

void RecordGridModel::Reset(int rows, bool paged, long long firstPosition, std::vector<GridRowTexts> found) {
  beginResetModel();
  ++generation_;
  rows_ = std::max(0, rows);
  paged_ = paged;
  firstPosition_ = firstPosition;
  found_ = std::move(found);
  blocks_.clear();
  asked_.assign(paged ? static_cast<size_t>((rows_ + kBlockRows - 1) / kBlockRows) : 0, 0);
  endResetModel();
}

void RecordGridModel::ShowPage(long long firstPosition, int rows, std::vector<GridRowTexts> firstBlock) {
  Reset(rows, true, firstPosition, {});
  if (!firstBlock.empty() && !asked_.empty()) {
    asked_[0] = 1;
    blocks_[0] = std::move(firstBlock);
  }
}

void RecordGridModel::ShowRows(std::vector<GridRowTexts> rows) {
  const int count = static_cast<int>(rows.size());
  Reset(count, false, 0, std::move(rows));
}

void RecordGridModel::Clear() {
  Reset(0, false, 0, {});
}

void RecordGridModel::FillBlock(int generation, int block, std::vector<GridRowTexts> rows) {
  if (generation != generation_ || !paged_ || block < 0 || block >= static_cast<int>(asked_.size())) return;
  const int first = block * kBlockRows;
  const int last = std::min(rows_, first + kBlockRows) - 1;
  blocks_[block] = std::move(rows);
  emit dataChanged(index(first, 0), index(last, kColumns - 1));
}

const GridRowTexts* RecordGridModel::Find(int row) const {
  if (row < 0 || row >= rows_) return nullptr;
  if (!paged_) return &found_[static_cast<size_t>(row)];
  auto it = blocks_.find(row / kBlockRows);
  if (it == blocks_.end()) return nullptr;
  const size_t at = static_cast<size_t>(row % kBlockRows);
  return at < it->second.size() ? &it->second[at] : nullptr;
}

bool RecordGridModel::RowReady(int row) const {
  return Find(row) != nullptr;
}

GridRowTexts RecordGridModel::Row(int row) const {
  const GridRowTexts* r = Find(row);
  return r ? *r : GridRowTexts{};
}

void RecordGridModel::Want(int first, int last) const {
  if (!paged_ || !request_) return;
  first = std::max(first, 0);
  last = std::min(last, rows_ - 1);
  for (int block = first / kBlockRows; first <= last && block <= last / kBlockRows; ++block) {
    if (asked_[static_cast<size_t>(block)]) continue;
    asked_[static_cast<size_t>(block)] = 1;
    const int start = block * kBlockRows;
    request_(generation_, block, firstPosition_ + start, std::min(kBlockRows, rows_ - start));
  }
}

int RecordGridModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : rows_;
}

int RecordGridModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kColumns;
}

QVariant RecordGridModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid()) return {};
  if (role == Qt::TextAlignmentRole) {
    // Time cells are left-aligned, the numbers right-aligned.
    return QVariant::fromValue(Qt::AlignVCenter | (index.column() == 3 ? Qt::AlignLeft : Qt::AlignRight));
  }
  if (role != Qt::DisplayRole) return {};
  if (index.column() == 0) return QString::number(index.row() + 1);
  const GridRowTexts* r = Find(index.row());
  if (!r) {
    // A view shows this row: its block is fetched now and filled in when it comes.
    Want(index.row(), index.row());
    return {};
  }
  switch (index.column()) {
    case 1:
      return r->value;
    case 2:
      return r->value2nd;
    default:
      return r->time;
  }
}

QVariant RecordGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= kColumns) return {};
  return QString::fromLatin1(kHeaders[section]);
}

}  // namespace merilog

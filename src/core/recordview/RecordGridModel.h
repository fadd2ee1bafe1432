#pragma once
#include <QAbstractTableModel>
#include <QString>
#include <functional>
#include <map>
#include <vector>

#include "core/records/RecordRows.h"

namespace merilog {

// The texts of one grid row after its number.
struct GridRowTexts {
  QString value, value2nd, time;
  bool operator==(const GridRowTexts&) const = default;
};

// A row of a page by the number display rule.
GridRowTexts PageRowTexts(const RecordRow& row);

// The record viewer's grid: a header row ("", "Value", "Value_2ND", "Time")
// and rows numbered from 1 in column 0. It shows either a page of a record,
// whose rows are asked for block by block as a view shows them (so a page of
// a record of any size opens at once), or the rows a search found.
class RecordGridModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  static constexpr int kBlockRows = 200;
  // Asks for rows [position, position + count) of the record for block `block`
  // of the page shown as generation `generation`; the answer goes to FillBlock.
  using BlockRequest = std::function<void(int generation, int block, long long position, int count)>;

  explicit RecordGridModel(QObject* parent = nullptr);
  void SetBlockRequest(BlockRequest request) { request_ = std::move(request); }

  // `rows` rows of the record from `firstPosition` on; the texts of the
  // first block may come along.
  void ShowPage(long long firstPosition, int rows, std::vector<GridRowTexts> firstBlock = {});
  void ShowRows(std::vector<GridRowTexts> rows);
  // Only the header row.
  void Clear();
  // The rows of a block asked for; ignored when another page is shown by now.
  void FillBlock(int generation, int block, std::vector<GridRowTexts> rows);

  // Whether a row's texts are at hand, and the texts (empty until then).
  bool RowReady(int row) const;
  GridRowTexts Row(int row) const;
  // Asks for the blocks of rows first..last that are not at hand yet, as a view showing them would.
  void Want(int first, int last) const;

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 private:
  void Reset(int rows, bool paged, long long firstPosition, std::vector<GridRowTexts> found);
  const GridRowTexts* Find(int row) const;

  BlockRequest request_;
  int rows_ = 0;
  int generation_ = 0;
  bool paged_ = false;
  long long firstPosition_ = 0;
  std::vector<GridRowTexts> found_;                          // the rows of a search
  mutable std::map<int, std::vector<GridRowTexts>> blocks_;  // the blocks of a page at hand
  mutable std::vector<char> asked_;                          // per block: asked for already
};

}  // namespace merilog

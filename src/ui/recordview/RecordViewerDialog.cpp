#include "ui/recordview/RecordViewerDialog.h"

#include <QApplication>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include "core/recordview/RecordViewerModel.h"
#include "ui/widgets/DialogParts.h"

namespace merilog::ui {

namespace {

// Column widths of the grid in twips (1/1440 inch): the number column, then the other three.
constexpr int kNumberColumnTwips = 550;
constexpr int kColumnTwips = 2000;

// A figure's text, as wide as a cut figure.
QLabel* FigureLabel(QWidget* parent) {
  return ReadoutLabel(parent, QStringLiteral("-0000000.0000000"));
}

}  // namespace

class ViewerProgress : public QWidget {
 public:
  explicit ViewerProgress(QWidget* parent) : QWidget(parent) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    bar = new QProgressBar(this);
    cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setAutoDefault(false);
    row->addWidget(bar, 1);
    row->addWidget(cancel);
  }
  QProgressBar* bar;
  QPushButton* cancel;
};

RecordViewerDialog::RecordViewerDialog(RecordViewerModel& model, QWidget* parent) : ModelDialog(model, parent) {
  Build();
  Connect();
  Render();
}

RecordViewerDialog::~RecordViewerDialog() = default;

void RecordViewerDialog::Build() {
  auto* top = new QVBoxLayout(this);

  auto* listRow = new QHBoxLayout;
  auto* listColumn = new QVBoxLayout;
  listCaption_ = new QLabel(this);
  records_ = new QListWidget(this);
  records_->setMinimumWidth(records_->fontMetrics().horizontalAdvance(
                                QStringLiteral("Record 10            ( 24 / 03 / 05 -- 14 : 03 : 27 )  - DCV ACV")) +
                            30);
  records_->setFixedHeight(records_->fontMetrics().height() * 7 + 2 * records_->frameWidth() + 4);
  listColumn->addWidget(listCaption_);
  listColumn->addWidget(records_);
  listRow->addLayout(listColumn, 1);
  auto* buttons = new QVBoxLayout;
  refresh_ = new QPushButton(this);
  delete_ = new QPushButton(this);
  csv_ = new QPushButton(this);
  buttons->addSpacing(listCaption_->sizeHint().height());
  buttons->addWidget(refresh_);
  buttons->addWidget(delete_);
  buttons->addWidget(csv_);
  buttons->addStretch();
  listRow->addLayout(buttons);
  top->addLayout(listRow);

  contents_ = new QGroupBox(this);
  auto* contents = new QVBoxLayout(contents_);
  auto* figures = new QGridLayout;
  countCaption_ = new QLabel(contents_);
  maxCaption_ = new QLabel(contents_);
  minCaption_ = new QLabel(contents_);
  avgCaption_ = new QLabel(contents_);
  secondMaxCaption_ = new QLabel(contents_);
  secondMinCaption_ = new QLabel(contents_);
  secondAvgCaption_ = new QLabel(contents_);
  count_ = FigureLabel(contents_);
  max_ = FigureLabel(contents_);
  min_ = FigureLabel(contents_);
  avg_ = FigureLabel(contents_);
  secondMax_ = FigureLabel(contents_);
  secondMin_ = FigureLabel(contents_);
  secondAvg_ = FigureLabel(contents_);
  figures->addWidget(countCaption_, 0, 0);
  figures->addWidget(count_, 0, 1);
  figures->addWidget(maxCaption_, 1, 0);
  figures->addWidget(max_, 1, 1);
  figures->addWidget(minCaption_, 1, 2);
  figures->addWidget(min_, 1, 3);
  figures->addWidget(avgCaption_, 1, 4);
  figures->addWidget(avg_, 1, 5);
  figures->addWidget(secondMaxCaption_, 2, 0);
  figures->addWidget(secondMax_, 2, 1);
  figures->addWidget(secondMinCaption_, 2, 2);
  figures->addWidget(secondMin_, 2, 3);
  figures->addWidget(secondAvgCaption_, 2, 4);
  figures->addWidget(secondAvg_, 2, 5);
  gaps_ = new QLabel(contents_);
  figures->addWidget(gaps_, 3, 0, 1, 6);
  pageCaption_ = new QLabel(contents_);
  pages_ = new QComboBox(contents_);
  pages_->setMinimumContentsLength(22);
  figures->addWidget(pageCaption_, 0, 2);
  figures->addWidget(pages_, 0, 3, 1, 2);
  figures->setColumnStretch(6, 1);
  contents->addLayout(figures);

  grid_ = new QTableView(contents_);
  grid_->setModel(&model_.Grid());
  grid_->verticalHeader()->hide();
  // Rows of one height, so a page of ten thousand rows costs nothing to lay out.
  grid_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  grid_->verticalHeader()->setDefaultSectionSize(grid_->fontMetrics().height() + 6);
  grid_->setSelectionBehavior(QAbstractItemView::SelectRows);
  grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  grid_->setWordWrap(false);
  const int dpi = logicalDpiX();
  grid_->setColumnWidth(0, kNumberColumnTwips * dpi / 1440);
  for (int c = 1; c < 4; ++c) grid_->setColumnWidth(c, kColumnTwips * dpi / 1440);
  grid_->horizontalHeader()->setStretchLastSection(true);
  grid_->setMinimumHeight(grid_->verticalHeader()->defaultSectionSize() * 14);
  contents->addWidget(grid_, 1);
  top->addWidget(contents_, 1);

  band_ = new QGroupBox(this);
  auto* band = new QHBoxLayout(band_);
  highCaption_ = new QLabel(band_);
  high_ = new QLineEdit(band_);
  lowCaption_ = new QLabel(band_);
  low_ = new QLineEdit(band_);
  search_ = new QPushButton(band_);
  matchCaption_ = new QLabel(band_);
  match_ = FigureLabel(band_);
  for (QWidget* w :
       std::initializer_list<QWidget*>{highCaption_, high_, lowCaption_, low_, search_, matchCaption_, match_})
    band->addWidget(w);
  band->addStretch();
  top->addWidget(band_);

  auto* bottom = new QHBoxLayout;
  auto* progress = new ViewerProgress(this);
  progress->setObjectName(QStringLiteral("exportProgress"));
  bottom->addWidget(progress, 1);
  bottom->addStretch();
  exit_ = new QPushButton(this);
  bottom->addWidget(exit_);
  top->addLayout(bottom);

  // Enter belongs to the fields (the dialog never closes on it), not to a button.
  for (QPushButton* b : {refresh_, delete_, csv_, search_, exit_}) b->setAutoDefault(false);
}

void RecordViewerDialog::Connect() {
  // Every handler changes the model, then the whole dialog is drawn again from it.
  const auto forward = Forward(this, rendering_);
  RenderOnChange(model_.onChanged, this);
  // A record is chosen when one is selected (a click, the keys). The current row a
  // list takes by itself when it gets the focus is no choice of the user's.
  connect(records_, &QListWidget::itemSelectionChanged, this, forward([this] {
    const QList<QListWidgetItem*> chosen = records_->selectedItems();
    if (!chosen.isEmpty()) model_.RecordSelected(records_->row(chosen.first()));
  }));
  connect(refresh_, &QPushButton::clicked, this, forward([this](bool) { model_.Refresh(); }));
  connect(delete_, &QPushButton::clicked, this, forward([this](bool) { model_.DeleteRecord(); }));
  connect(csv_, &QPushButton::clicked, this, forward([this](bool) { model_.OutputToCsv(); }));
  connect(search_, &QPushButton::clicked, this, forward([this](bool) { model_.Search(); }));
  connect(pages_, &QComboBox::activated, this, forward([this](int page) { model_.PageSelected(page); }));
  connect(high_, &QLineEdit::textEdited, this, forward([this](const QString& t) { model_.HighTextEdited(t); }));
  connect(low_, &QLineEdit::textEdited, this, forward([this](const QString& t) { model_.LowTextEdited(t); }));
  auto* progress = findChild<ViewerProgress*>(QStringLiteral("exportProgress"));
  connect(progress->cancel, &QPushButton::clicked, this, [this] {
    if (model_.View().exporting)
      model_.CancelExport();
    else
      model_.CancelReading();
  });
  connect(exit_, &QPushButton::clicked, this, &QDialog::accept);
}

void RecordViewerDialog::Render() {
  rendering_ = true;
  const RecordViewerViewState& v = model_.View();
  setWindowTitle(v.title);
  listCaption_->setText(v.listCaption);
  refresh_->setText(v.refreshText);
  delete_->setText(v.deleteText);
  csv_->setText(v.csvText);
  exit_->setText(v.exitText);
  contents_->setTitle(v.contentsFrame);
  countCaption_->setText(v.countCaption);
  maxCaption_->setText(v.maxCaption);
  minCaption_->setText(v.minCaption);
  avgCaption_->setText(v.avgCaption);
  secondMaxCaption_->setText(v.secondMaxCaption);
  secondMinCaption_->setText(v.secondMinCaption);
  secondAvgCaption_->setText(v.secondAvgCaption);
  band_->setTitle(v.bandFrame);
  highCaption_->setText(v.highCaption);
  lowCaption_->setText(v.lowCaption);
  search_->setText(v.searchText);
  matchCaption_->setText(v.matchCaption);
  pageCaption_->setText(v.pageCaption);

  SetItems(records_, v.records);
  if (records_->currentRow() != v.selectedRecord) records_->setCurrentRow(v.selectedRecord);
  if (v.selectedRecord < 0) records_->clearSelection();
  ApplyControlState(delete_, v.deleteButton);
  ApplyControlState(csv_, v.csvButton);
  ApplyControlState(high_, v.highField);
  ApplyControlState(low_, v.lowField);
  SetText(high_, v.highText);
  SetText(low_, v.lowText);

  count_->setText(v.count);
  max_->setText(v.max);
  min_->setText(v.min);
  avg_->setText(v.avg);
  match_->setText(v.match);
  for (QWidget* w : std::initializer_list<QWidget*>{secondMaxCaption_, secondMinCaption_, secondAvgCaption_, secondMax_,
                                                    secondMin_, secondAvg_})
    ApplyControlState(w, v.secondFigures);
  secondMax_->setText(v.secondMax);
  secondMin_->setText(v.secondMin);
  secondAvg_->setText(v.secondAvg);
  ApplyControlState(gaps_, v.gapFigures);
  gaps_->setText(v.gapsText);
  ApplyControlState(pageCaption_, v.pageList);
  ApplyControlState(pages_, v.pageList);
  SetItems(pages_, v.pages);
  pages_->setCurrentIndex(v.selectedPage);

  if (v.lowFieldFocusRequests != lowFocusRequests_) {
    lowFocusRequests_ = v.lowFieldFocusRequests;
    low_->setFocus();
  }
  waitCursor_.Show(v.waitCursor);
  RenderProgress();
  rendering_ = false;
}

void RecordViewerDialog::RenderProgress() {
  const RecordViewerViewState& v = model_.View();
  auto* progress = findChild<ViewerProgress*>(QStringLiteral("exportProgress"));
  progress->setVisible(v.exporting || v.reading);
  // While the file is written nothing else may start; its cancel button stays. A record being
  // read leaves the rest usable: another choice, Exit or the close box stop the reading.
  for (QWidget* w : std::initializer_list<QWidget*>{records_, refresh_, delete_, csv_, contents_, band_, exit_})
    w->setEnabled(!v.exporting && (w != delete_ || v.deleteButton.enabled) && (w != csv_ || v.csvButton.enabled));
  const qint64 done = v.exporting ? v.exportDone : v.readDone, total = v.exporting ? v.exportTotal : v.readTotal;
  if (v.exporting || v.reading) {
    progress->bar->setRange(0, static_cast<int>(std::min<qint64>(total, INT_MAX)));
    progress->bar->setValue(static_cast<int>(std::min<qint64>(done, INT_MAX)));
  }
}

void RecordViewerDialog::Enter(const QWidget* focus) {
  model_.EnterPressed(focus == high_ ? ViewerField::High : focus == low_ ? ViewerField::Low : ViewerField::Other);
}

void RecordViewerDialog::done(int result) {
  if (model_.View().exporting) model_.CancelExport();
  ModelDialog::done(result);
}

}  // namespace merilog::ui

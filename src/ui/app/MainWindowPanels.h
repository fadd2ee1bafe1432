#pragma once
#include <QAbstractButton>
#include <QButtonGroup>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QWidget>
#include <array>

#include "core/measure/FrontPanelState.h"
#include "core/measure/FunctionButton.h"

namespace merilog::ui {

// The controls of one meter position: the main reading and its 2ND reading.
struct MeterRowWidgets {
  QRadioButton* trace = nullptr;  // "1" .. "4"
  QLabel* name = nullptr;         // "Multimeter Device -- n" or the meter's short name
  QLabel* tag = nullptr;          // function tag ("MAIN" at start for meter 1)
  QFrame* lamp = nullptr;
  QLabel* value = nullptr;
  QRadioButton* secondTrace = nullptr;  // "1_2" .. "4_2"
  QLabel* secondTag = nullptr;
  QLabel* secondMark = nullptr;  // the small "ND"
  QFrame* secondLamp = nullptr;
  QLabel* secondValue = nullptr;
};

// Builds and lays out the central area of the main window. Holds no state of
// its own beyond the widgets; the main window fills them from its model.
class MainWindowPanels : public QWidget {
  Q_OBJECT
 public:
  explicit MainWindowPanels(QWidget* parent = nullptr);

  // Puts the chart drawing surface into its place (left of the window).
  void SetChart(QWidget* chart);
  // Shows a reading in a value display, in a smaller face when it would not fit.
  static void SetValueText(QLabel* display, const QString& text);
  // How a value display looks: as usual, greyed (its meter is lost; the value
  // is the last one read) or in the warning colour (outside its limits).
  enum class ValueLook { Normal, Lost, Warning };
  static void SetValueLook(QLabel* display, ValueLook look);
  // The marker column at the chart's left edge; markers are children of it.
  QWidget* MarkerColumn() const { return markerColumn_; }

  QLabel* logo = nullptr;
  QLabel* xMaxCaption = nullptr;  // lower left of the chart
  QLabel* zeroCaption = nullptr;  // lower right: "0"
  QLabel* intervalCaption = nullptr;

  QListWidget* deviceList = nullptr;

  QGroupBox* statusBox = nullptr;  // "MAIN"
  QLabel* functionLine = nullptr;
  QLabel* rangeLine = nullptr;
  QLabel* measurementFunctionLabel = nullptr;
  QComboBox* secondChooser = nullptr;
  QLabel* secondMarkTwo = nullptr;  // "2"
  QLabel* secondMarkNd = nullptr;   // "ND"

  QGroupBox* chartControls = nullptr;
  QLabel* shiftLabel = nullptr;
  QPushButton* shiftUp = nullptr;
  QPushButton* shiftDown = nullptr;
  QLabel* yScaleLabel = nullptr;
  QLineEdit* yScaleBox = nullptr;
  QPushButton* scaleUp = nullptr;
  QPushButton* scaleDown = nullptr;
  QLabel* dataOffsetLabel = nullptr;
  QLineEdit* dataOffsetBox = nullptr;
  QPushButton* setOffset = nullptr;
  QLabel* readingSpeedLabel = nullptr;
  QComboBox* readingSpeed = nullptr;
  QLabel* xMaxLabel = nullptr;
  QComboBox* xMax = nullptr;

  QGroupBox* functionGroup = nullptr;  // "FUNCTION"
  // In the order of FunctionButtonTable().
  std::array<QAbstractButton*, kFunctionButtonCount> functionButtons{};

  QGroupBox* meterGroup = nullptr;
  std::array<MeterRowWidgets, kMeterPositions> meters{};
  // The eight trace radio buttons: ids 0..3 main traces, 4..7 2ND traces.
  QButtonGroup* traceButtons = nullptr;
  // The trace markers at the chart's left edge: 0..3 main traces, 4..7 2ND traces.
  std::array<QLabel*, 8> traceMarkers{};

 private:
  QWidget* BuildChartArea();
  QWidget* BuildStatusBox();
  QWidget* BuildChartControls();
  QWidget* BuildFunctionGroup();
  QWidget* BuildMeterRows();
  void BuildTraceMarkers();

  QWidget* chartSlot_ = nullptr;
  QWidget* markerColumn_ = nullptr;
};

}  // namespace merilog::ui

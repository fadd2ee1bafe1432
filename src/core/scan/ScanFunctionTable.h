#pragma once
#include <span>
#include <string>

namespace merilog {

// One function a scanner channel can measure: the label of the function
// selector and the function name sent to the meter.
struct ScanFunction {
  const char* label;
  const char* wireName;
};

// Positions in the table; a channel's function index is one of them.
enum ScanFunctionIndex {
  kScanNone = 0,
  kScanDcv = 1,
  kScanAcv = 2,
  kScanDci = 3,
  kScanAci = 4,
  kScanFreq = 5,
  kScan2W = 6,
  kScan4W = 7,
};
inline constexpr int kScanFunctionCount = 8;

// The eight functions in selector order. DCI and ACI are measured as DC and AC
// voltage across a shunt; the program turns them into a current.
std::span<const ScanFunction> ScanFunctionTable();
// The label at a position; "" outside the table.
std::string ScanFunctionLabel(int index);
bool IsCurrentFunction(int index);

// A channel's function from the meter's answer to "Rout:scan:func? %d": without
// double quotes and line feeds, a bare "VOLT" or "CURR" taken as its DC form,
// then the first table position whose function name matches, else None. DCI
// therefore reads back as DCV and ACI as ACV; "CURR" reads back as None.
int ScanFunctionFromAnswer(const std::string& answer);

}  // namespace merilog

#include "core/meterconfig/CoefficientPanel.h"

#include "core/meterconfig/SettingsCatalogue.h"

namespace merilog {

namespace {

const std::vector<CoefficientLayout>& Layouts() {
  static const std::vector<CoefficientLayout> kLayouts = {
      {kSensorUser,
       {
           {0, "Alpha", "SENS:TEMP:RTD:ALPH?\n", 0, 0.01, "1004", "ALPHA range is 0 - 0.01，please re-enter.",
            "SENS:TEMP:RTD:ALPH %g\n"},
           {1, "Beta", "SENS:TEMP:RTD:BETA?\n", 0, 1, "1005", "BETA range is 0 - 1，please re-enter.",
            "SENS:TEMP:RTD:BETA %g\n"},
           {2, "Delta", "SENS:TEMP:RTD:DELT?\n", 0, 5, "1006", "DELTA range is 0 - 5，please re-enter.",
            "SENS:TEMP:RTD:DELT %g\n"},
           {3, "R-zero", "SENS:TEMP:RTD:RZER?\n", 10, 1000, "1007", "R-ZERO range is 10 - 1000，please re-enter.",
            "SENS:TEMP:RTD:RZER %g\n"},
       }},
      {kSensorSprtd,
       {
           {0, "R-zero", "SENS:TEMP:SPRTD:RZER?\n", 10, 1000, "1007", "R-ZERO range is 10 - 1000，please re-enter.",
            "SENS:TEMP:SPRTD:RZER %g\n"},
           {1, "A4", "SENS:TEMP:SPRTD:A4?\n", -1, 1, "1008", "A4 range is (-1) - 1，please re-enter.",
            "SENS:TEMP:SPRTD:A4 %g\n"},
           {2, "B4", "SENS:TEMP:SPRTD:B4?\n", -1, 1, "1009", "B4 range is (-1) - 1，please re-enter.",
            "SENS:TEMP:SPRTD:B4 %g\n"},
           {3, "A7", "SENS:TEMP:SPRTD:AX?\n", -1, 1, "1010", "A7 range is (-1) - 1，please re-enter.",
            "SENS:TEMP:SPRTD:Ax %g\n"},
           {4, "B7", "SENS:TEMP:SPRTD:BX?\n", -1, 1, "1011", "B7 range is (-1) - 1，please re-enter.",
            "SENS:TEMP:SPRTD:Bx %g\n"},
           {5, "C7", "SENS:TEMP:SPRTD:CX?\n", -1, 1, "1012", "C7 range is (-1) - 1，please re-enter.",
            "SENS:TEMP:SPRTD:Cx %g\n"},
       }},
      {kSensorNtct,
       {
           {0, "A", "TEMP:NTCT:A?\n", 0, 0.01, "1035", "A range is 0.01 - 0，please re-enter.", "TEMP:NTCT:A %g\n"},
           {2, "B", "TEMP:NTCT:B?\n", 0, 0.01, "1036", "B range is 0.01 - 0，please re-enter.", "TEMP:NTCT:B %g\n"},
           {4, "C", "TEMP:NTCT:C?\n", 0, 0.01, "1037", "C range is 0.01 - 0，please re-enter.", "TEMP:NTCT:C %g\n"},
       }},
  };
  return kLayouts;
}

}  // namespace

const CoefficientLayout* CoefficientLayoutFor(int sensor) {
  for (const CoefficientLayout& l : Layouts())
    if (l.sensor == sensor) return &l;
  return nullptr;
}

const std::array<std::string, kCoefficientSlots>& InitialCoefficientLabels() {
  static const std::array<std::string, kCoefficientSlots> kLabels = {"Alpha", "Beta", "Delta", "Rezero", "B7", "C7"};
  return kLabels;
}

}  // namespace merilog

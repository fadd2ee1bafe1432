#include "core/measure/FunctionCatalogue.h"

#include <gtest/gtest.h>

#include "core/measure/ChartNumberText.h"
#include "core/measure/ModelClass.h"
#include "core/measure/ScaleStep.h"

using namespace merilog;

TEST(FunctionCatalogue, FuncAnswersMapToRowsByFirstPrefixMatch) {
  struct Case {
    std::string answer, normalised;
    int row;
  };
  const Case cases[] = {
      // FRES is row 5, not row 4: "RES" is not at the start.
      {"\"VOLT\"\n", "VOLT:DC", 0}, {"\"VOLT:AC\"", "VOLT:AC", 2}, {"FRES", "FRES", 5}, {"FREQ", "FREQ:VOLT", 6},
      {"\"PER\"\n", "PER:VOLT", 7}, {"VOLT:RAT", "VOLT:RAT", 11},  {"CAP", "CAP", 13},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.answer);
    EXPECT_EQ(NormaliseFunctionAnswer(c.answer), c.normalised);
    EXPECT_EQ(FindFunctionRow(c.normalised), c.row);
  }
  // Only whole answers are completed: "VOLT:AC" keeps its form, "VOLTS" is not "VOLT".
  EXPECT_EQ(NormaliseFunctionAnswer("VOLTS"), "VOLTS");
  EXPECT_EQ(FindFunctionRow("OHMS"), -1);
}

TEST(ModelClass, SubstringTestsOverlapAsTheModelsDo) {
  struct Case {
    std::string idn;
    bool dual, variant, basic, ratio, scanner;
  };
  const Case cases[] = {
      {"MAKER,MODEL 6081,SN1,1.0", false, false, true, false, false},
      {"MAKER,MODEL 6082,SN1,1.0", true, false, false, false, false},
      {"MAKER,MR6082,SN1,1.0", true, true, false, false, false},
      {"MAKER,P7711,SN1,1.0", false, false, false, true, false},
      {"MAKER,P7700A 6081,SN1,1.0", false, false, true, false, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.idn);
    EXPECT_EQ(IsModelClass(c.idn, ModelClass::DualFunction), c.dual);
    EXPECT_EQ(IsModelClass(c.idn, ModelClass::DualFunctionVariant), c.variant);
    EXPECT_EQ(IsModelClass(c.idn, ModelClass::Basic), c.basic);
    EXPECT_EQ(IsModelClass(c.idn, ModelClass::RatioCapable), c.ratio);
    EXPECT_EQ(IsModelClass(c.idn, ModelClass::ScannerCapable), c.scanner);
  }
}

TEST(ScaleStep, FactorsAreTheReciprocalsOfTheLabels) {
  for (const auto& step : ScaleStepTable())
    EXPECT_NEAR(step.factor * ScaleLabelValue(step.label), 1.0, 1e-9) << step.label;
  EXPECT_EQ(ScaleStep(-1).label, "100M");  // out of the table: its nearest end
  EXPECT_EQ(ScaleStep(48).label, "1 n");
}

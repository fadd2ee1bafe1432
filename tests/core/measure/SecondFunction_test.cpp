#include "core/measure/SecondFunction.h"

#include <gtest/gtest.h>

using namespace merilog;

TEST(SecondFunction, LabelsAndNamesTranslateBothWaysExactly) {
  EXPECT_EQ(SecondFunctionNameToLabel("FREQ:CURR"), "CURR FREQ");
  EXPECT_EQ(SecondFunctionNameToLabel("VOLT:DC"), "NONE");  // whole strings only
  EXPECT_EQ(SecondFunctionNameToLabel("volt"), "NONE");     // case matters
  EXPECT_EQ(SecondFunctionLabelToName("2W"), "NONE");
  EXPECT_EQ(SecondFunctionLabelIndex("bogus"), kSecondFunctionNone);
  EXPECT_EQ(SecondFunctionCommand("CURR FREQ"), "Function2 \"FREQ:CURR\"\n");
  EXPECT_EQ(SecondFunctionCommand("NONE"), "Function2 \"NONE\"\n");
}

TEST(SecondFunction, ChoicesPerPrimaryFunctionAndModel) {
  const std::string dual = "MAKER,MODEL 6082,SN1,1.0";
  const std::string variant = "MAKER,MR6082,SN1,1.0";
  using L = std::vector<std::string>;
  struct Case {
    std::string function, idn;
    int row;
    bool disabled;
    L labels;
  };
  const Case cases[] = {
      {"Function : DCV", variant, 0, false, L{"DCI", "ACV", "FREQ", "PERIOD", "NONE"}},
      {"Function : TEMP", variant, 10, true, L{}},
      {"Function : DC Ratio", dual, kSecondChoiceNoneRow, true, L{}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.function + " / " + c.idn);
    const SecondChoices got = SecondFunctionChoicesFor(c.function, c.idn);
    EXPECT_EQ(got.row, c.row);
    EXPECT_EQ(got.disabled, c.disabled);
    EXPECT_EQ(got.labels, c.labels);
  }
  EXPECT_TRUE(SecondFunctionChoicesFor("Function : DCV", variant).tcouplLeftOut);
  EXPECT_FALSE(SecondFunctionChoicesFor("Function : DCV", dual).tcouplLeftOut);
}

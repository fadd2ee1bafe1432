#include "core/readingconfig/ApplyReadingSettings.h"

#include <gtest/gtest.h>

#include "core/instrument/DeviceListModel.h"

using namespace merilog;

namespace {

ReadingSettings MultiChoice() {
  ReadingSettings s;
  s.mode = kMultiDeviceMode;
  s.chosenCount = 3;
  s.chosenDevice = {{0, "MODEL 6081-USBTMC-SN01"}, {2, "MODEL 6082-GPIB-16"}, {3, "MODEL 6081-GPIB-17"}};
  s.plotColour[7] = {1, 2, 3};
  return s;
}

}  // namespace

TEST(ApplyReadingSettings, SingleModeSelectsTheCurrentLineAndItsTrace) {
  ReadingSettings s = MultiChoice();
  s.mode = kSingleDeviceMode;
  const ReadingSettingsApplication a = ApplyReadingSettings(s, 2, 4);
  EXPECT_TRUE(a.singleDeviceMode && a.metersPresent);
  EXPECT_EQ(a.currentSlot, 2);
  EXPECT_EQ(a.plotColours[7], (Rgb{1, 2, 3}));
  EXPECT_EQ(a.rowShown, (std::array<bool, 4>{true, false, false, false}));
  EXPECT_TRUE(a.selectDeviceLine && a.resetTraceSelection && a.layoutDisplays && a.enableDeviceList);
  EXPECT_EQ(a.selectedTrace, 2);
  EXPECT_EQ(a.refreshStatusSlots, std::vector<int>{2});
  EXPECT_EQ(a.onDeviceSelectedCalls, 1);
}

TEST(ApplyReadingSettings, MultiModeShowsARowPerChosenMeterStillPresent) {
  const ReadingSettingsApplication a = ApplyReadingSettings(MultiChoice(), 1, 4);
  EXPECT_FALSE(a.singleDeviceMode);
  EXPECT_EQ(a.activeSlots, (std::vector<int>{0, 2, 3}));
  EXPECT_EQ(a.rowShown, (std::array<bool, 4>{true, true, true, false}));
  // Each row is labelled from its own chosen meter, shortened as the device list does.
  for (int i = 0; i < 3; ++i) EXPECT_EQ(a.rowLabel[i], ShortDeviceName(MultiChoice().chosenDevice[i].displayName));
  EXPECT_EQ(a.rowLabel[3], "");
  EXPECT_EQ(a.refreshStatusSlots, (std::vector<int>{0, 2, 3, 1}));
  EXPECT_FALSE(a.selectDeviceLine || a.resetTraceSelection);
  EXPECT_EQ(a.onDeviceSelectedCalls, 2);

  // A meter chosen before fewer were found takes no part.
  const ReadingSettingsApplication fewer = ApplyReadingSettings(MultiChoice(), 0, 3);
  EXPECT_EQ(fewer.activeSlots, (std::vector<int>{0, 2}));
  EXPECT_EQ(fewer.rowShown, (std::array<bool, 4>{true, true, false, false}));
}

TEST(ApplyReadingSettings, NoMeterStopsAfterTheColoursAndMode) {
  const ReadingSettingsApplication a = ApplyReadingSettings(MultiChoice(), 0, 0);
  EXPECT_FALSE(a.metersPresent || a.layoutDisplays);
  EXPECT_EQ(a.currentSlot, kNoDeviceSlot);
  EXPECT_EQ(a.plotColours[7], (Rgb{1, 2, 3}));
  EXPECT_TRUE(a.activeSlots.empty() && a.refreshStatusSlots.empty());
  EXPECT_EQ(a.onDeviceSelectedCalls, 0);
}

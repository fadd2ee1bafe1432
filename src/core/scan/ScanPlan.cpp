#include "core/scan/ScanPlan.h"

#include "core/measure/NumericText.h"
#include "core/scan/ScanFunctionTable.h"

namespace merilog {

namespace {

bool InCard(int channel, int channelCount) {
  return channel >= 0 && channel < channelCount && channel < kMaxScanChannels;
}

}  // namespace

bool IsSenseChannel(int channel, const ChannelFunctions& functions, int channelCount) {
  const int half = channelCount / 2;
  return InCard(channel, channelCount) && channel >= half &&
         functions[static_cast<std::size_t>(channel - half)] == kScan4W;
}

int ReadingsPerScan(const ChannelFunctions& functions, int channelCount) {
  const int half = channelCount / 2;
  int readings = 0;
  for (int c = 0; InCard(c, channelCount); ++c) {
    const int f = functions[static_cast<std::size_t>(c)];
    if (c < half) {
      if (f != kScan4W && f != kScanNone) ++readings;
    } else if (f != kScanNone || IsSenseChannel(c, functions, channelCount)) {
      ++readings;
    }
  }
  return readings;
}

ChannelSetup ScanChannelSetup(const ChannelFunctions& functions, int channelCount) {
  ChannelSetup setup;
  const auto table = ScanFunctionTable();
  for (int c = 0; InCard(c, channelCount); ++c) {
    if (IsSenseChannel(c, functions, channelCount)) continue;
    int f = functions[static_cast<std::size_t>(c)];
    if (f < 0 || f >= kScanFunctionCount) f = kScanNone;
    setup.commands.push_back("rout:scan:func " + std::to_string(c + 1) + ",\"" +
                             table[static_cast<std::size_t>(f)].wireName + "\"\n");
    if (f != kScanNone) setup.activeChannels.push_back(c);
  }
  return setup;
}

std::string ScanCountCommand(qint64 readings) {
  return "Rout:scan:count " + std::to_string(readings) + "\n";
}

std::string ScanTimerCommand(float seconds) {
  return "Rout:scan:timer " + FixedText(seconds, 6) + "\n";
}

std::string ScanStartCommand(bool stepMode) {
  return stepMode ? "route:scan:step\n" : "route:scan\n";
}

int FetchWaitMs(float timerSeconds, bool stepMode) {
  constexpr int kSettleMs = 1000;
  if (!stepMode || !(timerSeconds >= 0 && timerSeconds <= 60)) return kSettleMs;
  const int t = static_cast<int>(timerSeconds * 1000.0f);
  if (t >= 1000 && t <= 3000) return kSettleMs + 300 + (t - 1000);
  if (t > 3000 && t <= 10000) return kSettleMs + t;
  return kSettleMs;
}

}  // namespace merilog

#pragma once
#include <QtGlobal>
#include <array>
#include <string>
#include <vector>

namespace merilog {

// A scanner card has 10 or 20 channels; a channel c of the lower half forms a
// four-wire pair with channel c + count / 2.
inline constexpr int kMaxScanChannels = 20;
using ChannelFunctions = std::array<int, kMaxScanChannels>;  // function index per channel, channel 1 first

// True for an upper-half channel (0-based) whose lower-half pair is set to 4W:
// it carries the pair's sense leads, is not configured and gives no reading.
bool IsSenseChannel(int channel, const ChannelFunctions& functions, int channelCount);

// Readings one scan produces: every channel, less the lower-half channels set
// to 4W or None and the upper-half channels set to None whose pair is not 4W.
// A 4W pair thus counts once.
int ReadingsPerScan(const ChannelFunctions& functions, int channelCount);

// What is sent to configure the channels: one "rout:scan:func %d,"NAME"" line
// per channel that is not a sense channel, and the channels that give readings
// (function not None), in channel order: the columns of the results.
struct ChannelSetup {
  std::vector<std::string> commands;
  std::vector<int> activeChannels;  // 0-based
};
ChannelSetup ScanChannelSetup(const ChannelFunctions& functions, int channelCount);

std::string ScanCountCommand(qint64 readings);
// "Rout:scan:timer %f" with the timer in seconds.
std::string ScanTimerCommand(float seconds);
std::string ScanStartCommand(bool stepMode);

// How long to wait after the last reading was counted before asking for the
// readings: 1000 ms, and in STEP mode also the card's dwell (it counts a
// channel when it switches to it, and measures at the end of the dwell),
// 300 + (T - 1) x 1000 ms for 1 <= T <= 3 and T x 1000 ms for 3 < T <= 10
// (T the timer in seconds, to whole milliseconds).
int FetchWaitMs(float timerSeconds, bool stepMode);

}  // namespace merilog

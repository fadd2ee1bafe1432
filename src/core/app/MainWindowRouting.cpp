#include "core/app/MainWindowRouting.h"

#include <array>

namespace merilog {

std::span<const CommandRoute> MainWindowRoutes() {
  using C = MenuCommand;
  using A = CommandRoute::Action;
  //                                                  guard  avail  idle   reading
  static const std::array<CommandRoute, 15> kRoutes{{
      {C::DeviceSettings, A::Dialog, /*guarded*/ true, false, true, false},
      {C::ReadingSettings, A::Dialog, true, true, true, false},
      {C::Refresh, A::Refresh, false, true, true, false},
      {C::Exit, A::Exit, false, true, true, true},
      {C::ViewRecord, A::Dialog, false, false, true, false},
      {C::ChartRecord, A::Dialog, false, false, true, false},
      {C::MultipleReadings, A::Dialog, true, false, true, false},
      {C::StartReading, A::Start, false, true, true, false},
      {C::StopReading, A::Stop, false, true, false, true},
      {C::CommandControl, A::Dialog, true, false, true, false},
      {C::About, A::About, false, true, true, false},
      {C::ChannelScan, A::Dialog, false, false, true, false},
      {C::SearchLan, A::Toggle, false, true, true, false},
      {C::KeepReading, A::Toggle, false, true, true, false},
      {C::UnattendedRun, A::Dialog, false, false, true, false},
  }};
  return kRoutes;
}

const CommandRoute* FindRoute(MenuCommand command) {
  for (const CommandRoute& r : MainWindowRoutes())
    if (r.command == command) return &r;
  return nullptr;
}

}  // namespace merilog

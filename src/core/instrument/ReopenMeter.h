#pragma once
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/instrument/Session.h"

namespace merilog {

// True when two identifications name the same instrument: the same maker, model
// and serial (the first three fields of "*IDN?"), whatever its firmware says.
// An empty identification names nothing.
bool SameInstrument(std::string_view a, std::string_view b);

// A meter that dropped off and is looked for again.
struct MeterWanted {
  std::string resource;           // where it was
  std::string identification;     // what it answered then
  std::vector<std::string> held;  // resources the sessions hold, its own among them: tried only as its own
};

struct Reopened {
  bool found = false;
  std::string resource;  // where it answered (a USB meter may be back under another device node)
  std::string identification;
  std::string why;  // when not found: what the last try met
};

// Finding it: the resources to try after its own (a bus listing, or none), and
// how a resource is opened.
using ResourceLister = std::function<std::vector<std::string>()>;
using ResourceOpener = std::function<std::unique_ptr<Session>(const std::string&)>;

// On the meter's own session thread: closes the old session, then opens the
// resource the meter had and, when that is not the meter, each listed resource
// no other session holds; keeps the first session whose instrument answers
// "*IDN?\n" as the same instrument (read time-out 20000 ms, as after discovery).
// Each try is bounded by its backend's time-outs; nothing is retried here.
Reopened ReopenMeter(std::unique_ptr<Session>& session, const MeterWanted& wanted, const ResourceLister& list,
                     const ResourceOpener& open);

}  // namespace merilog

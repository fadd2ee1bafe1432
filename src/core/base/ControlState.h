#pragma once

namespace merilog {

// What a view does with one control of a presentation model.
struct ControlState {
  bool shown = true;
  bool enabled = true;
};

}  // namespace merilog

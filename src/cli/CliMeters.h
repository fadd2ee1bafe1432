#pragma once
#include <memory>
#include <string>
#include <vector>

#include "cli/CliOptions.h"
#include "core/instrument/DeviceHandOver.h"
#include "core/instrument/DeviceListModel.h"
#include "core/instrument/SessionWorker.h"

namespace merilog::cli {

// The meters of one discovery, each with the thread its exchanges run on, for
// the subcommands that drive a dialog's model.
class CliMeters {
 public:
  CliMeters() = default;
  ~CliMeters();
  CliMeters(const CliMeters&) = delete;
  CliMeters& operator=(const CliMeters&) = delete;

  // Finds the meters as the main window does; false with a message when the
  // instruments cannot be set up.
  bool Discover(const IoOptions& io, std::string* error);
  int Count() const { return static_cast<int>(table_.size()); }
  // What the dialog gets from the main window.
  DeviceHandOver HandOver(HandOverDialog dialog) const { return HandOverTo(dialog, table_); }

 private:
  Instruments instruments_;
  std::unique_ptr<DeviceListModel> devices_;
  DeviceTable table_;
  std::vector<std::unique_ptr<SessionWorker>> own_;
};

}  // namespace merilog::cli

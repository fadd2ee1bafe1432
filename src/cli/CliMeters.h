#pragma once
#include <memory>
#include <string>

#include "cli/CliOptions.h"
#include "core/instrument/DeviceHandOver.h"
#include "core/instrument/DeviceListModel.h"

namespace merilog::cli {

// The meters of one discovery, each with the thread its exchanges run on, for
// the subcommands that drive a dialog's model.
class CliMeters {
 public:
  CliMeters() = default;
  ~CliMeters();
  CliMeters(const CliMeters&) = delete;
  CliMeters& operator=(const CliMeters&) = delete;

  // Finds the meters as the main window does and waits for the search; false
  // with a message when the instruments cannot be set up.
  bool Discover(const IoOptions& io, std::string* error);
  int Count() const { return devices_ ? devices_->DeviceCount() : 0; }
  // What the dialog gets from the main window.
  DeviceHandOver HandOver(HandOverDialog dialog) const { return HandOverTo(dialog, devices_->Devices()); }

 private:
  Instruments instruments_;
  std::unique_ptr<DeviceListModel> devices_;
};

}  // namespace merilog::cli

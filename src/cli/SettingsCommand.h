#pragma once
#include <QStringList>

#include "cli/CliOptions.h"

namespace merilog::cli {

// The Device Settings dialog without a window:
//   settings get --device K
//   settings set --device K --function LABEL [--range LABEL] [--second LABEL] [--transducer 2W|4W]
//                [--coefficients V1,...] [--second-function LABEL --second-range LABEL --second-choice LABEL]
// Labels are those the dialog lists. Both print the dialog's state after its
// read-back, one "label: value" line per shown control; messages go to
// standard error. Exit 0, 1 when Set ends early or the meter stops answering,
// 2 for bad arguments.
int RunSettingsCommand(const CliOptions& options, const QStringList& args);

}  // namespace merilog::cli

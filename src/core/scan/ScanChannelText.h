#pragma once
#include <QString>

namespace merilog {

// One channel as the command line names it, "C=FUNC[:R[:I]]": the channel
// (from 1), a label of the function selector (any case), and for a DCI or ACI
// channel its shunt resistance R and offset I as they would be typed into the
// dialog's fields.
struct ScanChannelText {
  int channel = 0;
  int function = 0;
  QString shuntR, offset;  // null when not given
};

// Reads a channel text; an empty text when it is usable, else why not. A DCI or
// ACI channel needs an R that is a number other than 0 (its reading is divided
// by it); R and I are refused with the messages the dialog shows for them.
QString ParseScanChannelText(const QString& text, ScanChannelText* out);

}  // namespace merilog

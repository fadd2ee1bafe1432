#include "core/measure/MeterReading.h"

#include "core/instrument/QueryDevice.h"

namespace merilog {

MeterReading ReadMeter(Session* session, bool pipelined) {
  MeterReading r;
  if (!pipelined) {
    QueryAnswer a = QueryDevice(session, QueryForm::MainWindow, "read?\n");
    r.status = a.status;
    r.ok = IsSuccess(a.status);
    r.failed = a.text.empty() && !r.ok;
    r.answer = std::move(a.text);
    return r;
  }
  ReadResult raw = session ? session->Read(kQueryPieceBytes) : ReadResult{status::kErrorInvalidObject, {}, false};
  r.answer = std::move(raw.bytes);
  r.status = raw.status;
  r.ok = IsSuccess(raw.status);
  if (r.ok)
    session->Write("read?");
  else
    r.failed = r.answer.empty();
  return r;
}

}  // namespace merilog

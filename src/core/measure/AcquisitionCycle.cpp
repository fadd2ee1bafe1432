#include "core/measure/AcquisitionCycle.h"

#include <span>

#include "core/base/Clock.h"
#include "core/app/MainWindowModel.h"
#include "core/instrument/Session.h"
#include "core/measure/ChartModel.h"
#include "core/measure/ChartNumberText.h"
#include "core/measure/ReadingSession.h"
#include "core/measure/ValueDisplay.h"
#include "core/records/RecordAppender.h"
#include "core/records/RecordFormat.h"

namespace merilog {

AcquisitionCycle::AcquisitionCycle(MainWindowState& state, DeviceListModel& devices, ReadingSession& session,
                                   ChartModel& chart, const Clock& clock)
    : state_(state), devices_(devices), session_(session), chart_(chart), clock_(clock) {}

void AcquisitionCycle::ParseAnswer(const std::string& answer, const std::string& identification, double* main,
                                   double* second) {
  *second = kNoSecondValue;
  const auto comma = answer.find(',');
  const bool family =
      identification.find("6081") != std::string::npos || identification.find("6082") != std::string::npos;
  if (family && comma != std::string::npos) {
    *main = LeadingNumber(std::string_view(answer).substr(0, comma));
    *second = LeadingNumber(std::string_view(answer).substr(comma + 1));
  } else {
    *main = LeadingNumber(answer);
  }
}

AcquisitionCycle::TickOutcome AcquisitionCycle::OnReadingTimer() {
  session_.SetTickCount(session_.TickCount() + 1);
  const bool multi = session_.MultiDeviceMode();
  const bool pipelined = session_.SlowAcBandwidth();
  const int count = std::min(session_.ActiveCount(), 4);
  ChartBuffer& buffer = chart_.Buffer();

  for (int d = 0; d < count; ++d) mainTraces_[d] = ChartModel::MainTraceFor(multi, d);
  buffer.AdvanceWindow(std::span<const int>(mainTraces_.data(), static_cast<size_t>(count)), !pipelined);

  DeviceQuery& q = devices_.Query();
  DeviceListState& rows = devices_.MutableState();
  const auto& devices = devices_.Devices();
  const QTime timeOfDay = clock_.Now().time();
  bool grown = false;

  for (int d = 0; d < count; ++d) {
    const int s = session_.SlotOf(d);
    std::string answer;
    bool failed = false;
    if (!pipelined) {
      answer = q.Query(s, "read?\n");
      failed = answer.empty() && !IsSuccess(q.LastStatus());
    } else {
      Session* session = session_.MeterSession(s);
      ReadResult r = session ? session->Read(1024) : ReadResult{status::kErrorInvalidObject, {}, false};
      answer = std::move(r.bytes);
      if (IsSuccess(r.status)) {
        session->Write("read?");
        q.SetConnectionFlag(1);
        // Once per tick, and never past XMax, however many meters answered.
        if (!grown) buffer.GrowPoint();
        grown = true;
      } else {
        q.SetConnectionFlag(0);
        failed = answer.empty();
      }
    }
    if (failed) return TickOutcome::ReadFailed;

    const std::string& id = s >= 0 && s < static_cast<int>(devices.size()) ? devices[s].identification : answer;
    double main = 0, second = 0;
    ParseAnswer(answer, id, &main, &second);

    MeterDisplayTexts& texts = state_.meterTexts[d];
    texts.secondValueText = SecondDisplayText(second);

    const std::string& function = session_.Function(d);
    const int trace = ChartModel::MainTraceFor(multi, d);
    const ValueDisplay shown = DisplayValue(main, function);
    rows.meters[d].valueText = shown.text;
    if (shown.buffered) buffer.Store(trace, shown.value);
    if (state_.secondActive && rows.meters[d].hasSecond) {
      const ValueDisplay shown2 = DisplayValue(second, function);
      texts.secondValueText = shown2.text;
      if (shown2.buffered) buffer.Store(trace + 4, shown2.value);
    }

    if (session_.SaveEnabled(d) && q.ConnectionFlag() == 1) {
      if (RecordAppender* record = session_.Record(d)) {
        const double stored = main == kZeroSubstitute ? 0.0 : main;
        const double stored2 = second == kZeroSubstitute ? 0.0 : second;
        RecordStatus st = record->Append(stored, stored2, timeOfDay);
        if (st.ok()) st = record->FlushIfDue();
        if (!st.ok()) session_.ReportRecordError(d, st.error);
      }
    }
  }

  const int every = chart_.TicksPerRedraw();
  if (every > 0 && session_.TickCount() % every == 0) {
    session_.SetTickCount(0);
    return TickOutcome::Redraw;
  }
  return TickOutcome::Done;
}

}  // namespace merilog

#include "core/records/RecordVerdict.h"

#include "core/records/RecordTexts.h"

namespace merilog {

namespace {

enum class Comparison { Same, FunctionDiffers, SecondDiffers, BothDifferStored, BothDifferUnstored };

Comparison Compare(const QString& s1, const QString& s2, const QString& f1, const QString& f2) {
  const bool firstSame = s1 == f1, secondSame = s2 == f2;
  if (firstSame && secondSame) return Comparison::Same;
  if (!firstSame && secondSame) return Comparison::FunctionDiffers;
  if (firstSame && !secondSame) return Comparison::SecondDiffers;
  return s1.isEmpty() || s2.isEmpty() ? Comparison::BothDifferUnstored : Comparison::BothDifferStored;
}

QString ChangeMessage(Comparison c, const QString& s1, const QString& s2, const QString& f1, const QString& f2) {
  switch (c) {
    case Comparison::FunctionDiffers:
      return record_texts::FunctionChanged(s1, f1);
    case Comparison::SecondDiffers:
      return record_texts::SecondFunctionChanged(s2, f2);
    case Comparison::BothDifferStored:
      return record_texts::BothFunctionsChanged(s1, f1, s2, f2);
    default:
      return {};
  }
}

}  // namespace

RecordVerdict DecideRecordVerdict(const RecordCheck& check, const QString& f1, const QString& f2, int state) {
  RecordVerdict v;
  v.state = state;
  if (!check.folderFound || !check.error.isEmpty()) {
    v.state = state == kCheckPassed ? kBothChanged : state;
    v.blocked = true;
    v.message = check.error;
    return v;
  }
  const QString& s1 = check.storedFunction1;
  const QString& s2 = check.storedFunction2;
  const Comparison c = Compare(s1, s2, f1, f2);
  switch (c) {
    case Comparison::FunctionDiffers:
      v.state = kFunctionChanged;
      break;
    case Comparison::SecondDiffers:
      v.state = kSecondFunctionChanged;
      break;
    case Comparison::BothDifferStored:
      v.state = kBothChanged;
      break;
    case Comparison::BothDifferUnstored:
      if (check.onlyDBfile) {
        v.state = kRecordHasReadings;
        v.blocked = true;
      } else if (state != kCheckPassed) {
        v.state = kBothChanged;
        v.blocked = true;
      } else {
        v.action = RecordVerdict::Action::Prepare;
      }
      return v;
    case Comparison::Same:
      if (state == kCheckPassed)
        v.action = RecordVerdict::Action::AskToContinue;
      else
        v.blocked = true;
      return v;
  }
  v.blocked = true;
  v.message = ChangeMessage(c, s1, s2, f1, f2);
  return v;
}

BurstVerdict DecideBurstVerdict(const QString& s1, const QString& s2, const QString& f1, const QString& f2,
                                bool datedDBfileEntry) {
  BurstVerdict v;
  const Comparison c = Compare(s1, s2, f1, f2);
  switch (c) {
    case Comparison::Same:
      return v;
    case Comparison::BothDifferUnstored:
      if (datedDBfileEntry) {
        v.outcome = BurstVerdict::Outcome::HasReadings;
        v.message = record_texts::RecordHasReadings();
      }
      return v;
    default:
      v.outcome = BurstVerdict::Outcome::FunctionChanged;
      v.message = ChangeMessage(c, s1, s2, f1, f2);
      return v;
  }
}

}  // namespace merilog

#include "core/instrument/ReopenMeter.h"

#include "core/base/Text.h"
#include "core/instrument/DeviceDiscovery.h"
#include "core/instrument/QueryDevice.h"
#include "core/instrument/ResourceList.h"

namespace merilog {

namespace {

// Maker, model and serial: the text before the third comma.
std::string_view Fields(std::string_view idn) {
  std::size_t at = 0;
  for (int comma = 0; comma < 3; ++comma) {
    at = idn.find(',', at);
    if (at == std::string_view::npos) return idn;
    ++at;
  }
  return idn.substr(0, at - 1);
}

}  // namespace

bool SameInstrument(std::string_view a, std::string_view b) {
  const std::string_view fa = Fields(a), fb = Fields(b);
  return !fa.empty() && fa == fb;
}

Reopened ReopenMeter(std::unique_ptr<Session>& session, const MeterWanted& wanted, const ResourceLister& list,
                     const ResourceOpener& open) {
  if (session) session->Close();
  session.reset();
  Reopened r;
  // True when the instrument at resource is the one wanted; else r.why says what it met.
  const auto TryAt = [&](const std::string& resource) {
    std::unique_ptr<Session> s = open ? open(resource) : nullptr;
    if (!s) return false;
    s->SetTimeout(kDiscoveryTimeoutMs);
    QueryAnswer idn = QueryDevice(s.get(), QueryForm::MainWindow, "*IDN?\n");
    if (SameInstrument(idn.text, wanted.identification)) {
      session = std::move(s);
      r.found = true;
      r.resource = resource;
      r.identification = std::move(idn.text);
      r.why.clear();
      return true;
    }
    r.why = idn.text.empty() ? "no answer to *IDN?" : "another instrument answered (" + idn.text + ")";
    s->Close();
    return false;
  };
  r.why = "cannot be opened";
  if (TryAt(wanted.resource) || !list) return r;
  // Not where it was: it may be back under another name.
  const std::string own = Upper(wanted.resource);
  for (const std::string& other : list())
    if (Upper(other) != own && !ListsResource(wanted.held, other) && TryAt(other)) return r;
  return r;
}

}  // namespace merilog

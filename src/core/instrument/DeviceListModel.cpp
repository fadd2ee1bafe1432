#include "core/instrument/DeviceListModel.h"

#include <set>

#include "core/base/MessageTable.h"
#include "core/base/Text.h"
#include "core/instrument/ResourceManager.h"

namespace merilog {

std::string ShortDeviceName(std::string_view line) {
  if (FoundAfterFirstCharacter(line, "MODEL 6081")) return std::string(line.substr(line.find("6081")));
  if (FoundAfterFirstCharacter(line, "QDM-5963")) return std::string(line.substr(line.find("5963")));
  return std::string(line);
}

DeviceListModel::DeviceListModel(ResourceManager& rm, std::vector<std::string> lanResources) : rm_(rm), discovery_(rm) {
  discovery_.SetLanResources(std::move(lanResources));
}

void DeviceListModel::Discover(std::function<void()> done) {
  lines_.clear();
  selectedLine_ = -1;
  discovery_.DiscoverDevices([this, done = std::move(done)] {
    for (const auto& d : discovery_.Devices()) lines_.push_back(d.displayName);
    if (HasMeters()) {
      selectedLine_ = 0;
    } else {
      lines_ = {LookupMessage(u"1000", "No Device Connected").toStdString()};
      toolTip_ = lines_.front();
    }
    if (done) done();
  });
}

void DeviceListModel::Close() {
  discovery_.CloseDevices();
}

bool DeviceListModel::Select(int line) {
  if (line < 0 || line >= DeviceCount()) return false;
  selectedLine_ = line;
  return true;
}

void DeviceListModel::ShowSelectedIdentification() {
  if (const DeviceEntry* e = Entry(CurrentSlot())) toolTip_ = e->identification;
}

const DeviceEntry* DeviceListModel::Entry(int slot) const {
  const DeviceTable& d = discovery_.Devices();
  return slot >= 0 && slot < static_cast<int>(d.size()) ? &d[slot] : nullptr;
}

SessionWorker* DeviceListModel::Worker(int slot) const {
  const DeviceEntry* e = Entry(slot);
  return e ? e->worker : nullptr;
}

const std::string& DeviceListModel::Identification(int slot) const {
  static const std::string kNone;
  const DeviceEntry* e = Entry(slot);
  return e ? e->identification : kNone;
}

bool DeviceListModel::ConnectionGuardRefuses(bool checkBuses) {
  // The no-meter flag and a count of one never hold together after a discovery,
  // so only a change on the buses can refuse.
  if (!checkBuses) return false;
  std::multiset<std::string> now, before;
  for (const char* pattern : {kUsbSearchPattern, kGpibSearchPattern})
    for (const auto& r : rm_.Find(pattern)) now.insert(Upper(r));
  for (int i = 0; i < discovery_.BusCount(); ++i) before.insert(Upper(discovery_.RawResources()[i]));
  return now != before;
}

void DeviceListModel::Reconnect(int slot, std::function<void(Reopened)> done, std::weak_ptr<int> alive) {
  const DeviceEntry* entry = Entry(slot);
  if (!entry || !entry->worker) return;
  MeterWanted wanted;
  wanted.resource = entry->resource;
  wanted.identification = entry->identification;
  wanted.held = discovery_.RawResources();
  ResourceLister list;
  if (Upper(entry->resource).rfind("USB", 0) == 0) list = rm_.Finder(kUsbSearchPattern);
  ResourceOpener open = rm_.AnyOpener();
  entry->worker->Replace<Reopened>([wanted = std::move(wanted), list = std::move(list), open = std::move(open)](
                                       std::unique_ptr<Session>& s) { return ReopenMeter(s, wanted, list, open); },
                                   std::move(done), std::move(alive));
}

}  // namespace merilog

#include "core/instrument/DeviceDiscovery.h"

#include <QRegularExpression>
#include <algorithm>
#include <map>
#include <thread>

#include "core/base/IniFile.h"
#include "core/base/Text.h"
#include "core/instrument/ResourceList.h"
#include "core/instrument/ResourceManager.h"

namespace merilog {
bool IsSupportedIdentification(std::string_view identification) {
  return FoundAfterFirstCharacter(identification, "6081") || FoundAfterFirstCharacter(identification, "6082");
}

std::vector<std::string> ReadConfiguredResources(const QString& iniPath) {
  const IniFile ini = IniFile::Load(iniPath);
  static const QRegularExpression kKey(QStringLiteral("^Resource([0-9]{1,9})$"),
                                       QRegularExpression::CaseInsensitiveOption);
  std::map<int, std::string> byNumber;
  for (const QString& key : ini.Keys(u"Instruments")) {
    const auto m = kKey.match(key);
    const QString* value = ini.Find(u"Instruments", key);
    if (!m.hasMatch() || !value || value->trimmed().isEmpty()) continue;
    byNumber.emplace(m.captured(1).toInt(), value->trimmed().toStdString());
  }
  std::vector<std::string> resources;
  for (auto& [number, resource] : byNumber) resources.push_back(std::move(resource));
  return resources;
}

std::vector<std::string> DiscoveryLanResources(const QString& iniPath, const std::vector<std::string>& commandLine) {
  std::vector<std::string> resources = ReadConfiguredResources(iniPath);
  resources.insert(resources.end(), commandLine.begin(), commandLine.end());
  return resources;
}

DeviceDiscovery::DeviceDiscovery(ResourceManager& rm) : rm_(rm) {}

DeviceDiscovery::~DeviceDiscovery() {
  CloseDevices();
}

SessionWorker* DeviceDiscovery::RawWorker(int rawIndex) const {
  return rawIndex >= 0 && rawIndex < static_cast<int>(workers_.size()) ? workers_[rawIndex].get() : nullptr;
}

bool DeviceDiscovery::Quiet() const {
  return std::all_of(workers_.begin(), workers_.end(), [](const auto& w) { return w->Quiet(); });
}

void DeviceDiscovery::DiscoverDevices(std::function<void()> done) {
  CloseDevices();
  discovering_ = true;
  done_ = std::move(done);
  search_ = std::make_unique<CallbackGuard>();
  // Listing a bus can take a while (a GPIB scan asks every address): off this thread.
  lister_ = std::make_unique<WorkerThread>(WorkerThread::AtEnd::Abandon);
  auto usb = rm_.Finder(kUsbSearchPattern);
  auto gpib = rm_.Finder(kGpibSearchPattern);
  lister_->Run<Listed>(
      [usb, gpib, lanSearch = lanSearch_] {
        Listed listed;
        // The LAN search waits on the network for its whole time: the buses are listed meanwhile.
        std::thread lan;
        if (lanSearch) lan = std::thread([&listed, &lanSearch] { listed.lan = SearchLan(*lanSearch).resources; });
        listed.bus = usb();
        const std::vector<std::string> more = gpib();
        listed.bus.insert(listed.bus.end(), more.begin(), more.end());
        if (lan.joinable()) lan.join();
        return listed;
      },
      [this](Listed listed) { Found(std::move(listed)); }, search_->Watch());
}

void DeviceDiscovery::Found(Listed listed) {
  std::vector<std::string> found = std::move(listed.bus);
  busCount_ = static_cast<int>(found.size());
  // LAN instruments come last; one named twice, or already found on a bus, is opened once.
  AppendNewResources(found, lanResources_);
  AppendNewResources(found, listed.lan);
  rawResources_ = found;
  identifications_.assign(found.size(), {});
  answered_ = 0;
  for (std::size_t i = 0; i < found.size(); ++i) {
    workers_.push_back(std::make_unique<SessionWorker>(found[i], rm_.Opener(found[i])));
    // An instrument that could not be opened answers nothing and is simply not accepted.
    workers_.back()->Run<std::string>(
        [](Session* s) {
          if (s) s->SetTimeout(kDiscoveryTimeoutMs);
          return QueryDevice(s, QueryForm::MainWindow, "*IDN?\n").text;
        },
        [this, i](std::string identification) { Identified(static_cast<int>(i), std::move(identification)); },
        search_->Watch());
  }
  if (found.empty()) Identified(-1, {});
}

void DeviceDiscovery::Identified(int rawIndex, std::string identification) {
  if (rawIndex >= 0) {
    identifications_[rawIndex] = std::move(identification);
    ++answered_;
  }
  if (answered_ < static_cast<int>(rawResources_.size())) return;
  // Every instrument has answered or failed: the entries in bus order.
  devices_.clear();
  for (int i = 0; i < RawCount(); ++i) {
    if (!IsSupportedIdentification(identifications_[i])) continue;
    DeviceEntry entry;
    entry.worker = workers_[i].get();
    entry.rawIndex = i;
    entry.identification = identifications_[i];
    entry.displayName = MakeDeviceDisplayName(entry.identification, rawResources_[i]);
    entry.resource = rawResources_[i];
    devices_.push_back(std::move(entry));
  }
  discovering_ = false;
  lister_.reset();
  if (auto done = std::move(done_)) done();
}

void DeviceDiscovery::CloseDevices() {
  search_.reset();
  lister_.reset();
  devices_.clear();
  // Abandoned workers close their sessions on their own threads once a pending
  // answer has come or timed out; nothing here waits for a silent meter.
  workers_.clear();
  rawResources_.clear();
  identifications_.clear();
  answered_ = 0;
  busCount_ = 0;
  discovering_ = false;
  done_ = nullptr;
}

}  // namespace merilog

#include "core/instrument/DeviceDiscovery.h"

#include <QRegularExpression>
#include <algorithm>
#include <map>

#include "core/base/IniFile.h"
#include "core/base/Text.h"
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

int DeviceDiscovery::DiscoverDevices() {
  CloseDevices();

  std::vector<std::string> found = rm_.Find(kUsbSearchPattern);
  const std::vector<std::string> gpib = rm_.Find(kGpibSearchPattern);
  found.insert(found.end(), gpib.begin(), gpib.end());
  busCount_ = static_cast<int>(found.size());
  // LAN instruments come last; one named twice, or already found on a bus, is opened once.
  for (const auto& lan : lanResources_) {
    const std::string key = Upper(lan);
    if (std::none_of(found.begin(), found.end(), [&](const std::string& r) { return Upper(r) == key; }))
      found.push_back(lan);
  }

  std::vector<Session*> raw;
  std::vector<int> slotMap;
  for (std::size_t i = 0; i < found.size(); ++i) {
    Status st = status::kSuccess;
    std::unique_ptr<Session> session = rm_.Open(found[i], &st);
    if (session) session->SetTimeout(kDiscoveryTimeoutMs);
    raw.push_back(session.get());
    rawSessions_.push_back(std::move(session));
    rawResources_.push_back(found[i]);
    query_.SetSessions(raw);

    // An instrument that could not be opened answers nothing and is simply not accepted.
    const std::string identification = query_.Query(static_cast<int>(i), "*IDN?\n");
    if (!IsSupportedIdentification(identification)) continue;
    DeviceEntry entry;
    entry.session = raw.back();
    entry.rawIndex = static_cast<int>(i);
    entry.identification = identification;
    entry.displayName = MakeDeviceDisplayName(identification, found[i]);
    entry.resource = found[i];
    devices_.push_back(std::move(entry));
    slotMap.push_back(static_cast<int>(i));
  }
  query_.SetSlotMap(std::move(slotMap));
  return DeviceCount();
}

void DeviceDiscovery::CloseDevices() {
  for (auto& session : rawSessions_)
    if (session) session->Close();
  devices_.clear();
  query_.SetSessions({});
  query_.SetSlotMap({});
  rawSessions_.clear();
  rawResources_.clear();
  busCount_ = 0;
}

}  // namespace merilog

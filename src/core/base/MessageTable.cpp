#include "core/base/MessageTable.h"

#include <QFileInfo>
#include <memory>

namespace merilog {

QString LanguageSectionForIndex(int position) {
  switch (position) {
    case 1:
      return kTraditionalChineseSection;
    case 2:
      return kSimplifiedChineseSection;
    default:
      return kEnglishSection;
  }
}

MessageTable::MessageTable(QString path) : path_(std::move(path)) {
  Reload();
}

QString MessageTable::Lookup(QStringView section, QStringView key, const QString& englishDefault) const {
  const QString* text = ini_.Find(section, key);
  return text ? *text : englishDefault;
}

bool MessageTable::Write(const QString& section, const QString& key, const QString& value) {
  const bool ok = IniFile::WriteValue(path_, section, key, value);
  if (ok) Reload();
  return ok;
}

MessageTable::Stamp MessageTable::CurrentStamp() const {
  const QFileInfo info(path_);
  if (!info.exists()) return {};
  return {true, info.size(), info.lastModified()};
}

void MessageTable::Reload() {
  stamp_ = CurrentStamp();
  // No file handed over: the English defaults, without looking for one.
  ini_ = path_.isEmpty() ? IniFile() : IniFile::Load(path_);
}

void MessageTable::ReloadIfChanged() {
  if (CurrentStamp() != stamp_) Reload();
}

namespace {

struct ProcessLanguage {
  QString section = QStringLiteral("English(U.S)");
  QString file;  // the configuration file, as the program handed it over
  std::unique_ptr<MessageTable> table;
};

// The program has one user-interface thread; nothing here is touched elsewhere.
ProcessLanguage& Process() {
  static ProcessLanguage state;
  return state;
}

}  // namespace

MessageTable& ApplicationMessageTable() {
  ProcessLanguage& p = Process();
  if (!p.table) {
    p.table = std::make_unique<MessageTable>(p.file);
  }
  return *p.table;
}

void UseMessageFile(const QString& path) {
  Process().file = path;
  Process().table.reset();
}

QString MessageFilePath() {
  return Process().file;
}

QString CurrentLanguageSection() {
  return Process().section;
}

void SetCurrentLanguageSection(const QString& section) {
  Process().section = section;
}

void SetLanguageByIndex(int position) {
  SetCurrentLanguageSection(LanguageSectionForIndex(position));
}

QString LookupMessage(QStringView key, const QString& englishDefault) {
  return ApplicationMessageTable().Lookup(Process().section, key, englishDefault);
}

}  // namespace merilog

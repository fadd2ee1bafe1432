#pragma once
#include <QDateTime>
#include <QString>

#include "core/base/IniFile.h"

namespace merilog {

// The language sections the program knows, in the order of the About box's chooser.
inline const QString kEnglishSection = QStringLiteral("English(U.S)");
inline const QString kTraditionalChineseSection = QStringLiteral("Chinese(Traditional)");
inline const QString kSimplifiedChineseSection = QStringLiteral("Chinese(Simplify)");

// Chooser position to section name; any position but 1 and 2 gives English.
QString LanguageSectionForIndex(int position);

// The texts of one language file. The file is read once, when the table is
// made; Reload() reads it again. A missing file answers every lookup with
// its default.
class MessageTable {
 public:
  explicit MessageTable(QString path);

  const QString& Path() const { return path_; }
  // True when the file could be read when last loaded.
  bool FileLoaded() const { return ini_.loaded(); }
  const IniFile& Contents() const { return ini_; }

  // The key's text in section, or englishDefault when the file, the section or
  // the key is missing or unreadable. A key present with an empty value gives "".
  QString Lookup(QStringView section, QStringView key, const QString& englishDefault) const;

  // Writes key=value into section of the file, leaving the rest of it alone;
  // false when that fails. The table then holds what the file holds.
  bool Write(const QString& section, const QString& key, const QString& value);

  void Reload();
  // Reads the file again if its size or time stamp changed since the last read.
  void ReloadIfChanged();

 private:
  struct Stamp {
    bool exists = false;
    qint64 size = -1;
    QDateTime modified;
    bool operator==(const Stamp&) const = default;
  };
  Stamp CurrentStamp() const;

  QString path_;
  IniFile ini_;
  Stamp stamp_;
};

// The process-wide table over the configuration file, read on first use.
MessageTable& ApplicationMessageTable();
// Points the process-wide table at the configuration file: each program hands
// over the one it resolved at start-up (ConfigurationFilePath), so it is found
// once. The file is read on next use; until a file is given, every text is the
// English default.
void UseMessageFile(const QString& path);
// The file given last: the configuration file of this process.
QString MessageFilePath();

// The section every lookup uses; "English(U.S)" until changed.
QString CurrentLanguageSection();
void SetCurrentLanguageSection(const QString& section);
// The About box's language chooser: 0 English, 1 Traditional, 2 Simplified Chinese.
void SetLanguageByIndex(int position);

// A text of the user interface, in the current language.
QString LookupMessage(QStringView key, const QString& englishDefault);
inline QString LookupMessage(const char* key, const QString& englishDefault) {
  return LookupMessage(QString::fromLatin1(key), englishDefault);
}
inline QString LookupMessage(const char* key, const char* englishDefault) {
  return LookupMessage(QString::fromLatin1(key), QString::fromUtf8(englishDefault));
}

}  // namespace merilog

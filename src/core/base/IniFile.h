#pragma once
#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QString>
#include <QStringList>
#include <vector>

namespace merilog {

// A plain INI file read the way the profile functions read one: "[section]"
// lines, then "key=value" lines, UTF-8. Values are taken literally (no list
// splitting at commas, no escapes), trimmed, and lose one pair of enclosing
// double or single quotes. Section and key names compare case-insensitively;
// when a key appears twice in a section the first one counts.
//
// Damage never stops the reading: a line that is not valid UTF-8, longer than
// kMaxLineBytes or without "=" is passed over, and its key stays missing so the
// caller falls back to its default. A section header that cannot be read
// starts a section nobody can ask for, so its keys do not leak into the one
// before it.
class IniFile {
 public:
  static constexpr qsizetype kMaxFileBytes = 8 * 1024 * 1024;
  static constexpr qsizetype kMaxLineBytes = 4096;

  IniFile() = default;
  // A missing or unreadable file gives an empty IniFile with loaded() false.
  static IniFile Load(const QString& path);
  static IniFile Parse(QByteArrayView bytes);

  bool loaded() const { return loaded_; }
  // Null when the section or key is missing or its line could not be read.
  const QString* Find(QStringView section, QStringView key) const;
  QStringList SectionNames() const;
  // Keys of a section in file order (case as written).
  QStringList Keys(QStringView section) const;

  // Sets key=value in section of an existing file, leaving every other byte
  // as it was: the key's line is replaced where it stands, a new key goes
  // after the section's last entry, a new section at the end of the file.
  // Never creates the file. Returns false when the file is missing, too big
  // or cannot be written.
  static bool WriteValue(const QString& path, const QString& section, const QString& key, const QString& value);

 private:
  struct Section {
    QString name;
    QStringList keys;               // as written, file order
    QHash<QString, QString> values;  // case-folded key -> value
  };
  const Section* FindSection(QStringView name) const;

  std::vector<Section> sections_;
  bool loaded_ = false;
};

}  // namespace merilog

#include "core/base/IniFile.h"

#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>
#include <optional>
#include <string_view>

namespace merilog {
namespace {

std::string_view Trim(std::string_view s) {
  auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v'; };
  while (!s.empty() && blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && blank(s.back())) s.remove_suffix(1);
  return s;
}

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

// Strict UTF-8 decoding of one line; empty when the bytes are not UTF-8 or hold a NUL.
std::optional<QString> DecodeLine(std::string_view bytes) {
  if (bytes.find('\0') != std::string_view::npos) return std::nullopt;
  QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  QString text = decoder.decode(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
  if (decoder.hasError()) return std::nullopt;
  return text;
}

// Section name of a header line "[name]" (the closing bracket may be missing).
std::string_view HeaderName(std::string_view line) {
  line.remove_prefix(1);
  const size_t close = line.find(']');
  if (close != std::string_view::npos) line = line.substr(0, close);
  return Trim(line);
}

bool IsComment(std::string_view line) { return !line.empty() && (line.front() == ';' || line.front() == '#'); }

// Calls f(line, lineWithEnding) for every line of bytes.
template <typename F>
void ForEachLine(std::string_view bytes, F&& f) {
  size_t pos = 0;
  while (pos < bytes.size()) {
    const size_t nl = bytes.find('\n', pos);
    const size_t end = nl == std::string_view::npos ? bytes.size() : nl + 1;
    std::string_view whole = bytes.substr(pos, end - pos);
    std::string_view line = whole;
    if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
    f(line, whole);
    pos = end;
  }
}

}  // namespace

IniFile IniFile::Load(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  // A runaway file is read up to the limit; keys past it fall back to their defaults.
  const QByteArray bytes = file.read(kMaxFileBytes);
  return Parse(bytes);
}

IniFile IniFile::Parse(QByteArrayView raw) {
  IniFile ini;
  ini.loaded_ = true;
  std::string_view bytes(raw.data(), size_t(raw.size()));
  if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);

  constexpr int kNoSection = -1;
  int current = kNoSection;
  ForEachLine(bytes, [&](std::string_view rawLine, std::string_view) {
    const std::string_view line = Trim(rawLine);
    if (line.empty() || IsComment(line)) return;
    const bool readable = qsizetype(rawLine.size()) <= kMaxLineBytes;
    const std::optional<QString> text = readable ? DecodeLine(line) : std::nullopt;

    if (line.front() == '[') {
      current = kNoSection;
      if (!text) return;
      const QString name = QString::fromUtf8(HeaderName(line).data(), qsizetype(HeaderName(line).size()));
      for (size_t i = 0; i < ini.sections_.size(); ++i) {
        if (ini.sections_[i].name.compare(name, Qt::CaseInsensitive) == 0) current = int(i);
      }
      if (current == kNoSection) {
        ini.sections_.push_back({name, {}, {}});
        current = int(ini.sections_.size() - 1);
      }
      return;
    }
    if (current == kNoSection || !text) return;
    const qsizetype eq = text->indexOf(u'=');
    if (eq < 0) return;
    const QString key = text->left(eq).trimmed();
    if (key.isEmpty()) return;
    QString value = text->mid(eq + 1).trimmed();
    if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') && value.back() == value.front()) {
      value = value.mid(1, value.size() - 2);
    }
    Section& section = ini.sections_[size_t(current)];
    const QString folded = key.toCaseFolded();
    if (section.values.contains(folded)) return;
    section.values.insert(folded, value);
    section.keys.append(key);
  });
  return ini;
}

const IniFile::Section* IniFile::FindSection(QStringView name) const {
  for (const Section& s : sections_) {
    if (QStringView(s.name).compare(name, Qt::CaseInsensitive) == 0) return &s;
  }
  return nullptr;
}

const QString* IniFile::Find(QStringView section, QStringView key) const {
  const Section* s = FindSection(section);
  if (!s) return nullptr;
  const auto it = s->values.constFind(key.toString().toCaseFolded());
  return it == s->values.constEnd() ? nullptr : &it.value();
}

QStringList IniFile::SectionNames() const {
  QStringList names;
  for (const Section& s : sections_) names.append(s.name);
  return names;
}

QStringList IniFile::Keys(QStringView section) const {
  const Section* s = FindSection(section);
  return s ? s->keys : QStringList{};
}

bool IniFile::WriteValue(const QString& path, const QString& section, const QString& key, const QString& value) {
  QByteArray original;
  {
    QFile file(path);
    if (!file.exists() || !file.open(QIODevice::ReadOnly)) return false;
    original = file.read(kMaxFileBytes + 1);
    if (original.size() > kMaxFileBytes) return false;
  }
  const QByteArray sectionBytes = section.toUtf8();
  const QByteArray keyBytes = key.toUtf8();
  const QByteArray valueBytes = value.toUtf8();
  const std::string_view wantedSection(sectionBytes.constData(), size_t(sectionBytes.size()));
  const std::string_view wantedKey(keyBytes.constData(), size_t(keyBytes.size()));
  const std::string_view bytes(original.constData(), size_t(original.size()));
  const QByteArray eol = original.contains("\r\n") ? QByteArray("\r\n") : QByteArray("\n");

  // Find the key's line, or the end of the section's last entry.
  bool inSection = false;
  bool sectionSeen = false;
  std::optional<size_t> keyLineStart, keyLineEnd;
  std::optional<size_t> insertAt;  // just after the section's last non-blank line
  size_t offset = 0;
  ForEachLine(bytes, [&](std::string_view rawLine, std::string_view whole) {
    const size_t lineStart = offset;
    offset += whole.size();
    if (keyLineStart) return;
    const std::string_view line = Trim(rawLine);
    if (!line.empty() && line.front() == '[') {
      inSection = EqualsIgnoringAsciiCase(HeaderName(line), wantedSection);
      if (inSection && !sectionSeen) insertAt = offset;
      sectionSeen = sectionSeen || inSection;
      return;
    }
    if (!inSection || line.empty()) return;
    if (!IsComment(line)) {
      const size_t eq = line.find('=');
      if (eq != std::string_view::npos && EqualsIgnoringAsciiCase(Trim(line.substr(0, eq)), wantedKey)) {
        keyLineStart = lineStart;
        keyLineEnd = lineStart + rawLine.size();
        return;
      }
    }
    insertAt = offset;
  });

  QByteArray updated = original;
  const QByteArray entry = keyBytes + '=' + valueBytes;
  if (keyLineStart) {
    // Keep the line's own ending ("\r" stays when the file mixes endings).
    size_t end = *keyLineEnd;
    if (end > *keyLineStart && bytes[end - 1] == '\r') --end;
    updated.replace(qsizetype(*keyLineStart), qsizetype(end - *keyLineStart), entry);
  } else if (insertAt) {
    QByteArray insertion = entry + eol;
    // The section's last line may lack a line ending at the end of the file.
    if (*insertAt == size_t(original.size()) && !original.isEmpty() && !original.endsWith('\n')) {
      insertion = eol + entry;
    }
    updated.insert(qsizetype(*insertAt), insertion);
  } else {
    if (!updated.isEmpty() && !updated.endsWith('\n')) updated += eol;
    updated += '[' + sectionBytes + ']' + eol + entry + eol;
  }
  if (updated == original) return true;

  QSaveFile out(path);
  // A read-only folder with a writable file still gets the write.
  out.setDirectWriteFallback(true);
  if (!out.open(QIODevice::WriteOnly)) return false;
  // The flush is checked here: a flush that fails inside commit() does not stop
  // its rename, and a full disk would put a cut language file in place.
  if (out.write(updated) != updated.size() || !out.flush()) {
    out.cancelWriting();
    return false;
  }
  return out.commit();
}

}  // namespace merilog

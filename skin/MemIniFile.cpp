#include "skin/MemIniFile.h"

#include <cctype>
#include <climits>

#include "toolkit/SysUtils.h"

namespace {
bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

char Upper(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}
}  // namespace

std::size_t TMemIniFile::FoldedHash::operator()(std::string_view name) const {
  std::size_t h = 14695981039346656037ULL;  // FNV-1a over the upper-cased bytes
  for (const char c : name) h = (h ^ static_cast<unsigned char>(Upper(c))) * 1099511628211ULL;
  return h;
}

bool TMemIniFile::FoldedEqual::operator()(std::string_view a, std::string_view b) const {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (Upper(a[i]) != Upper(b[i])) return false;
  return true;
}

std::string Trim(std::string_view text) {
  std::size_t b = 0, e = text.size();
  while (b < e && IsBlank(text[b])) ++b;
  while (e > b && IsBlank(text[e - 1])) --e;
  return std::string(text.substr(b, e - b));
}

std::string UpperCase(std::string_view text) {
  std::string r(text);
  for (char& c : r) c = Upper(c);
  return r;
}

bool TryStrToInt(std::string_view text, int& value) {
  std::size_t i = 0, n = text.size();
  while (i < n && text[i] == ' ') ++i;
  while (n > i && text[n - 1] == ' ') --n;
  bool negative = false;
  if (i < n && (text[i] == '-' || text[i] == '+')) {
    negative = text[i] == '-';
    ++i;
  }
  int base = 10;
  if (i < n && text[i] == '$') {
    base = 16;
    ++i;
  } else if (i + 1 < n && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  if (i >= n) return false;
  long long v = 0;
  for (; i < n; ++i) {
    const char c = text[i];
    int d;
    if (c >= '0' && c <= '9') {
      d = c - '0';
    } else if (base == 16 && c >= 'a' && c <= 'f') {
      d = c - 'a' + 10;
    } else if (base == 16 && c >= 'A' && c <= 'F') {
      d = c - 'A' + 10;
    } else {
      return false;
    }
    v = v * base + d;
    // Hexadecimal may spell the full 32 bits (as colours are written).
    if (v > (base == 16 ? 0xFFFFFFFFLL : static_cast<long long>(INT_MAX) + 1)) return false;
  }
  if (negative) v = -v;
  if (base == 16 && !negative && v > INT_MAX) v -= 0x100000000LL;
  if (v < INT_MIN || v > INT_MAX) return false;
  value = static_cast<int>(v);
  return true;
}

int StrToInt(std::string_view text) {
  int v = 0;
  if (!TryStrToInt(text, v)) {
    throw EConvertError(
        Format("'%.*s' is not a valid integer value", static_cast<int>(text.size()), text.data()));
  }
  return v;
}

void TMemIniFile::Clear() {
  sections_.clear();
  index_.clear();
}

void TMemIniFile::SetText(std::string_view text) {
  Clear();
  Section* current = nullptr;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    const std::string line = Trim(text.substr(pos, end - pos));
    pos = end + 1;
    if (line.empty() || line[0] == ';') continue;
    if (line.front() == '[' && line.back() == ']') {
      const std::string name = Trim(std::string_view(line).substr(1, line.size() - 2));
      const auto [it, added] = index_.emplace(UpperCase(name), sections_.size());
      if (added) sections_.push_back({name, {}});
      current = &sections_[it->second];
      continue;
    }
    if (current == nullptr) continue;
    const std::size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    std::string key = Trim(std::string_view(line).substr(0, eq));
    std::string upper = UpperCase(key);
    bool known = false;
    for (const Key& k : current->keys) {
      if (k.upper == upper) known = true;
    }
    if (!known) current->keys.push_back({std::move(key), std::move(upper), line.substr(eq + 1)});
  }
}

const TMemIniFile::Section* TMemIniFile::Find(std::string_view section) const {
  const auto it = index_.find(section);
  return it == index_.end() ? nullptr : &sections_[it->second];
}

const TMemIniFile::Key* TMemIniFile::FindKey(std::string_view section, std::string_view key) const {
  const Section* s = Find(section);
  if (s == nullptr) return nullptr;
  for (const Key& k : s->keys) {
    if (FoldedEqual{}(k.upper, key)) return &k;
  }
  return nullptr;
}

std::vector<std::string> TMemIniFile::ReadSections() const {
  std::vector<std::string> r;
  r.reserve(sections_.size());
  for (const Section& s : sections_) r.push_back(s.name);
  return r;
}

std::vector<std::string> TMemIniFile::ReadSection(std::string_view section) const {
  std::vector<std::string> r;
  if (const Section* s = Find(section)) {
    r.reserve(s->keys.size());
    for (const Key& k : s->keys) r.push_back(k.name);
  }
  return r;
}

bool TMemIniFile::SectionExists(std::string_view section) const {
  return Find(section) != nullptr;
}

bool TMemIniFile::ValueExists(std::string_view section, std::string_view key) const {
  return FindKey(section, key) != nullptr;
}

std::string TMemIniFile::ReadString(std::string_view section, std::string_view key,
                                    const std::string& def) const {
  const Key* k = FindKey(section, key);
  return k != nullptr ? k->value : def;
}

int TMemIniFile::ReadInteger(std::string_view section, std::string_view key, int def) const {
  const Key* k = FindKey(section, key);
  if (k == nullptr) return def;
  int v = 0;
  return TryStrToInt(k->value, v) ? v : def;
}

// An in-memory INI reader: the format of the skin's options text.
#pragma once

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// Sections and keys keep their file order; names are compared without regard
// to case (as the options files are written by hand). Lines are separated by
// CR LF or LF; a line in square brackets starts a section, "key=value" lines
// follow, blank lines and lines starting with ";" are ignored. Lines before
// the first section and lines without "=" are ignored. A section named twice
// continues the first one; a key given twice keeps its first value.
class TMemIniFile {
 public:
  TMemIniFile() = default;
  explicit TMemIniFile(std::string_view text) { SetText(text); }

  void SetText(std::string_view text);
  void Clear();
  bool Empty() const { return sections_.empty(); }

  // Section names in file order.
  std::vector<std::string> ReadSections() const;
  std::size_t SectionCount() const { return sections_.size(); }
  // Key names of `section` in file order (empty when there is no such section).
  std::vector<std::string> ReadSection(std::string_view section) const;
  bool SectionExists(std::string_view section) const;
  bool ValueExists(std::string_view section, std::string_view key) const;

  std::string ReadString(std::string_view section, std::string_view key,
                         const std::string& def) const;
  // A value that is not a whole number (decimal, or hexadecimal after "$" or
  // "0x") that fits 32 bits yields `def`.
  int ReadInteger(std::string_view section, std::string_view key, int def) const;

 private:
  struct Key {
    std::string name;
    std::string upper;
    std::string value;
  };
  struct Section {
    std::string name;
    std::vector<Key> keys;
  };
  // Names are looked up as given, case folded on the fly: the skin's
  // model asks thousands of times while it is built.
  struct FoldedHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view name) const;
  };
  struct FoldedEqual {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const;
  };
  const Section* Find(std::string_view section) const;
  const Key* FindKey(std::string_view section, std::string_view key) const;

  std::vector<Section> sections_;
  std::unordered_map<std::string, std::size_t, FoldedHash, FoldedEqual> index_;  // -> section
};

// Whole-number conversion with the run-time's rules: optional blanks around,
// optional sign, decimal digits or "$"/"0x" hexadecimal, 32-bit range.
bool TryStrToInt(std::string_view text, int& value);
// Raises EConvertError ("'<text>' is not a valid integer value") on failure.
int StrToInt(std::string_view text);
std::string UpperCase(std::string_view text);
std::string Trim(std::string_view text);

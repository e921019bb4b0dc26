#pragma once
// A profile file ("[section]" lines followed by "key=value" lines, as settings.ini is written),
// read by the rules of the system's own profile-file reader: section and key names compared
// without regard to case, the first section and the first key of a name winning, blanks around
// names and values dropped, one pair of enclosing quotes taken off a value, values cut at 2047
// characters.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kv::app {

class TProfileFile {
 public:
  // The longest value a read returns, in characters (UTF-16 code units).
  static constexpr size_t kMaxValueLength = 2047;

  // The file's content; a file that cannot be read reads as an empty one.
  static TProfileFile Load(const std::string& fileName);
  // Text in UTF-16 of either byte order after its byte-order mark, else in the system's ANSI
  // code page.
  static TProfileFile Parse(std::string_view bytes);

  // The key names of the section, in file order; comment lines (";") and lines without "=" are
  // not listed.
  std::vector<std::string> ReadSection(const std::string& section) const;
  std::string ReadString(const std::string& section, const std::string& key,
                         const std::string& defaultValue) const;
  // A decimal integer, or a hexadecimal one after "0x" or "$", with an optional sign; the default
  // when the key is absent or its value is not such an integer of 32 bits.
  int32_t ReadInteger(const std::string& section, const std::string& key,
                      int32_t defaultValue) const;
  // An integer other than 0 is true.
  bool ReadBool(const std::string& section, const std::string& key, bool defaultValue) const;

 private:
  struct TKey {
    std::string Name;
    std::string Value;
    bool HasValue = false;  // a line without "=" names a key without a value
  };
  struct TSection {
    std::string Name;
    std::vector<TKey> Keys;
  };

  const TSection* FindSection(const std::string& section) const;
  const TKey* FindKey(const std::string& section, const std::string& key) const;

  // Keys above the first section line belong to a section without a name.
  std::vector<TSection> FSections;
};

}  // namespace kv::app

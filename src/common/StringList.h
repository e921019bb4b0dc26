#pragma once
// An ordered list of texts, each with an optional object attached, and the delimited-text rules
// (quote character, delimiter) by which such lists are written and read as one line.

#include <any>
#include <string>
#include <string_view>
#include <vector>

namespace kv {

class TStringList {
 public:
  struct TItem {
    std::string Text;
    std::any Object;
  };

  int Count() const { return static_cast<int>(FItems.size()); }
  bool IsEmpty() const { return FItems.empty(); }
  // Appends a text with its object; returns its index.
  int Add(std::string text, std::any object = {});
  void Clear() { FItems.clear(); }
  // Raises EListError "List index out of bounds (%d)" for an index outside the list.
  const std::string& operator[](int index) const;
  const std::any& Objects(int index) const;
  // Replace the text of an item, keeping its object; remove an item. Both raise EListError for
  // an index outside the list.
  void Put(int index, std::string text);
  void Delete(int index);
  // The first index of the text, compared without regard to case in the user's locale; -1 if
  // absent.
  int IndexOf(std::string_view text) const;

  // The items joined by the delimiter; an item holding a space, the quote character, the
  // delimiter or a character below a space is quoted, inner quotes doubled.
  std::string DelimitedText(char delimiter = ',', char quoteChar = '"') const;
  // Replaces the items with the pieces of the text: items may be quoted (a doubled quote inside
  // stands for one); outside quotes, the delimiter separates items, and unless strict, so does
  // a space or any character below a space.
  void SetDelimitedText(std::string_view text, char delimiter = ',', char quoteChar = '"',
                        bool strictDelimiter = false);

  std::vector<TItem>::const_iterator begin() const { return FItems.begin(); }
  std::vector<TItem>::const_iterator end() const { return FItems.end(); }

 private:
  std::vector<TItem> FItems;
};

}  // namespace kv

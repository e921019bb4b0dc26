#include "common/StringList.h"

#include <utility>

#include "base/Exceptions.h"
#include "platform/Text.h"

namespace kv {

int TStringList::Add(std::string text, std::any object) {
  FItems.push_back({std::move(text), std::move(object)});
  return Count() - 1;
}

const std::string& TStringList::operator[](int index) const {
  if (index < 0 || index >= Count()) {
    throw EListError(Format("List index out of bounds (%d)", index));
  }
  return FItems[static_cast<size_t>(index)].Text;
}

const std::any& TStringList::Objects(int index) const {
  (void)(*this)[index];
  return FItems[static_cast<size_t>(index)].Object;
}

void TStringList::Put(int index, std::string text) {
  (void)(*this)[index];
  FItems[static_cast<size_t>(index)].Text = std::move(text);
}

void TStringList::Delete(int index) {
  (void)(*this)[index];
  FItems.erase(FItems.begin() + index);
}

int TStringList::IndexOf(std::string_view text) const {
  for (int i = 0; i < Count(); ++i) {
    if (platform::SameTextLocale(FItems[static_cast<size_t>(i)].Text, text)) {
      return i;
    }
  }
  return -1;
}

std::string TStringList::DelimitedText(char delimiter, char quoteChar) const {
  std::string result;
  for (size_t i = 0; i < FItems.size(); ++i) {
    const std::string& text = FItems[i].Text;
    bool quote = false;
    for (unsigned char c : text) {
      quote = quote || c <= ' ' || c == static_cast<unsigned char>(quoteChar) ||
              c == static_cast<unsigned char>(delimiter);
    }
    if (i > 0) {
      result += delimiter;
    }
    if (!quote) {
      result += text;
      continue;
    }
    result += quoteChar;
    for (char c : text) {
      result += c;
      if (c == quoteChar) {
        result += c;
      }
    }
    result += quoteChar;
  }
  return result;
}

void TStringList::SetDelimitedText(std::string_view text, char delimiter, char quoteChar,
                                   bool strictDelimiter) {
  const auto separates = [&](char c) {
    return c == delimiter || (!strictDelimiter && static_cast<unsigned char>(c) <= ' ');
  };
  Clear();
  size_t pos = 0;
  const auto skipSpaces = [&] {
    while (!strictDelimiter && pos < text.size() && static_cast<unsigned char>(text[pos]) <= ' ') {
      ++pos;
    }
  };
  skipSpaces();
  while (pos < text.size()) {
    std::string item;
    if (text[pos] == quoteChar) {
      ++pos;
      while (pos < text.size()) {
        if (text[pos] == quoteChar) {
          if (pos + 1 < text.size() && text[pos + 1] == quoteChar) {
            item += quoteChar;
            pos += 2;
            continue;
          }
          ++pos;
          break;
        }
        item += text[pos++];
      }
      // Text after the closing quote up to the next separator belongs to the item.
      while (pos < text.size() && !separates(text[pos])) {
        item += text[pos++];
      }
    } else {
      while (pos < text.size() && !separates(text[pos])) {
        item += text[pos++];
      }
    }
    Add(std::move(item));
    skipSpaces();
    if (pos < text.size() && text[pos] == delimiter) {
      ++pos;
      skipSpaces();
      // A delimiter at the very end leaves one empty item.
      if (pos == text.size()) {
        Add({});
      }
    }
  }
}

}  // namespace kv

#pragma once
// printf-style formatting into std::string, in which the message formats are written ("%s",
// "%d"). std::string arguments may be passed as they are.

#include <cstdio>
#include <string>
#include <type_traits>

namespace kv {

namespace format_detail {
template <class T>
decltype(auto) Arg(const T& value) {
  if constexpr (std::is_same_v<T, std::string>) {
    return value.c_str();
  } else {
    return value;
  }
}
}  // namespace format_detail

template <class... Args>
std::string Format(const char* format, const Args&... args) {
  const int size = std::snprintf(nullptr, 0, format, format_detail::Arg(args)...);
  if (size <= 0) {
    return {};
  }
  std::string result(static_cast<size_t>(size), '\0');
  std::snprintf(result.data(), result.size() + 1, format, format_detail::Arg(args)...);
  return result;
}

}  // namespace kv

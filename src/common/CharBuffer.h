#pragma once
// The growing character buffer behind the joins and the text replacement: UTF-16 text written
// into a target string whose length serves as the capacity.

#include <cstddef>
#include <string>
#include <string_view>

namespace kv {

class TCharBuffer {
 public:
  // Starts writing at the beginning of the target; its present length is the capacity.
  explicit TCharBuffer(std::u16string& target) : FText(target) {}
  TCharBuffer(const TCharBuffer&) = delete;
  TCharBuffer& operator=(const TCharBuffer&) = delete;

  // Makes room for at least `wanted` characters, doubling to keep appends cheap.
  void Grow(size_t wanted);
  // Appends UTF-16 data given by its size in bytes, which must be even.
  void Append(const void* data, size_t byteCount);
  void Append(std::u16string_view text);
  // Cuts the target to the characters written.
  void Finish() { FText.resize(FCount); }

  size_t Count() const { return FCount; }
  size_t Capacity() const { return FText.size(); }

 private:
  std::u16string& FText;
  size_t FCount = 0;
};

}  // namespace kv

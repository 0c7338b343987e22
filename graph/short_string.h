// Short texts: byte strings with a fixed maximum length, as the library and the reader keep
// every text. Assigning a longer value keeps its first bytes up to the maximum; joining cuts
// the result at the maximum; two texts are equal when their lengths and bytes are equal.
// The bytes are never interpreted here (code page 1250 or 852 alike); a zero byte after the
// last one keeps the text usable as a C string.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

template <size_t Max>
class ShortString {
 public:
  static constexpr size_t kMaxLength = Max;

  ShortString() = default;
  ShortString(std::string_view s) { Assign(s); }
  ShortString(const char* s) { Assign(s ? std::string_view(s) : std::string_view()); }
  template <size_t M>
  ShortString(const ShortString<M>& other) {
    Assign(other.View());
  }

  ShortString& operator=(std::string_view s) {
    Assign(s);
    return *this;
  }

  void Assign(std::string_view s) {
    length_ = s.size() < Max ? s.size() : Max;
    if (length_) std::memmove(bytes_, s.data(), length_);  // an empty view may hold no pointer
    bytes_[length_] = 0;
  }
  // Appends as much of `s` as fits.
  ShortString& Append(std::string_view s) {
    size_t n = s.size() < Max - length_ ? s.size() : Max - length_;
    if (n) std::memmove(bytes_ + length_, s.data(), n);
    length_ += n;
    bytes_[length_] = 0;
    return *this;
  }
  ShortString& Append(char c) { return Append(std::string_view(&c, 1)); }
  ShortString& operator+=(std::string_view s) { return Append(s); }
  ShortString& operator+=(char c) { return Append(c); }

  size_t Length() const { return length_; }
  bool Empty() const { return length_ == 0; }
  void Clear() { Assign({}); }
  const char* CStr() const { return bytes_; }
  char* Data() { return bytes_; }
  std::string_view View() const { return {bytes_, length_}; }
  operator std::string_view() const { return View(); }
  char operator[](size_t i) const { return bytes_[i]; }
  char& operator[](size_t i) { return bytes_[i]; }

  friend bool operator==(const ShortString& a, const ShortString& b) { return a.View() == b.View(); }
  friend bool operator==(const ShortString& a, std::string_view b) { return a.View() == b; }

 private:
  size_t length_ = 0;
  char bytes_[Max + 1] = {};
};

// The library's and the reader's ordinary text: at most 255 bytes.
using ShortText = ShortString<255>;

// Joins two texts, cutting the result at 255 bytes.
inline ShortText Join(std::string_view a, std::string_view b) {
  ShortText t(a);
  t.Append(b);
  return t;
}

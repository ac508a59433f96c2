// Code page 936 literals and the one crossing between code page 936 and UTF-8.
#pragma once

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>

#include "core/text.h"

namespace tarnwick {

// Bytes that code page 936 cannot hold become '?'.
Text utf8_to_cp936(std::string_view utf8);
std::string cp936_to_utf8(const Text& text);

namespace detail {
template <std::size_t N>
struct Utf8Literal {
  constexpr Utf8Literal(const char (&literal)[N]) { std::copy_n(literal, N, bytes); }  // NOLINT
  char bytes[N];
};
}  // namespace detail

inline namespace literals {
// "签名"_cp936: the literal's code page 936 bytes, converted once per literal. Never destroyed, so
// that a worker thread still running while the program ends can go on reading it.
template <detail::Utf8Literal literal>
const Text& operator""_cp936() {
  static const Text* const converted =
      new Text(utf8_to_cp936({literal.bytes, sizeof(literal.bytes) - 1}));
  return *converted;
}
}  // namespace literals

}  // namespace tarnwick

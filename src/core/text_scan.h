// The character-stepping search that every text operation shares.
#pragma once

#include <cstddef>
#include <string_view>

namespace tarnwick {

inline unsigned char fold_case(unsigned char byte) {
  return byte >= 'A' && byte <= 'Z' ? static_cast<unsigned char>(byte + 0x20) : byte;
}

// First position at or after from, reached by stepping characters from from, where sought
// matches wholly inside bytes; npos when there is none. sought must not be empty.
size_t scan_first(std::string_view bytes, size_t from, std::string_view sought, bool ignore_case);

// Whether position (at or after from) is reached by stepping characters from from.
bool starts_character(std::string_view bytes, size_t from, size_t position);

}  // namespace tarnwick

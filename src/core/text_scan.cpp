#include "core/text_scan.h"

#include <cstring>

namespace tarnwick {

namespace {

bool matches_at(const unsigned char* at, std::string_view sought, bool ignore_case) {
  if (!ignore_case) return std::memcmp(at, sought.data(), sought.size()) == 0;
  for (size_t i = 0; i < sought.size(); ++i) {
    if (fold_case(at[i]) != fold_case(static_cast<unsigned char>(sought[i]))) return false;
  }
  return true;
}

}  // namespace

size_t scan_first(std::string_view bytes, size_t from, std::string_view sought, bool ignore_case) {
  const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
  for (size_t at = from; at + sought.size() <= bytes.size(); at += data[at] >= 0x80 ? 2 : 1) {
    if (matches_at(data + at, sought, ignore_case)) return at;
  }
  return std::string_view::npos;
}

}  // namespace tarnwick

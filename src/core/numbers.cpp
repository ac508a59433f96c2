#include "core/numbers.h"

#include <time.h>

#include <string>

namespace tarnwick {

namespace {

// The one-byte form of a two-byte character that reads as a digit, sign or space, or 0.
char one_byte_form(unsigned char first, unsigned char second) {
  if (first == 0xA3 && second >= 0xA1 && second <= 0xFE) return static_cast<char>(second - 0x80);
  if (first != 0xA1) return 0;
  switch (second) {
    case 0xA1:
      return ' ';
    case 0xAB:
      return '~';
    case 0xEE:
    case 0xEF:
      return '*';
    default:
      return 0;
  }
}

std::string to_one_byte_forms(std::string_view bytes) {
  std::string mapped;
  mapped.reserve(bytes.size());
  for (size_t at = 0; at < bytes.size();) {
    const auto first = static_cast<unsigned char>(bytes[at]);
    if (first < 0x80) {
      mapped.push_back(static_cast<char>(first));
      ++at;
      continue;
    }
    if (at + 1 == bytes.size()) break;  // a dangling lead byte is dropped
    const auto second = static_cast<unsigned char>(bytes[at + 1]);
    const char form = one_byte_form(first, second);
    if (form != 0) {
      mapped.push_back(form);
    } else {
      mapped.append(bytes.substr(at, 2));
    }
    at += 2;
  }
  return mapped;
}

}  // namespace

int32_t text_to_int(const Text& text) {
  const std::string mapped = to_one_byte_forms(text.view());
  size_t at = 0;
  while (at < mapped.size() && (mapped[at] == ' ' || (mapped[at] >= '\t' && mapped[at] <= '\r'))) {
    ++at;
  }
  bool negative = false;
  if (at < mapped.size() && (mapped[at] == '+' || mapped[at] == '-')) {
    negative = mapped[at] == '-';
    ++at;
  }
  uint32_t value = 0;  // unsigned so that wrapping past 32 bits is defined
  for (; at < mapped.size() && mapped[at] >= '0' && mapped[at] <= '9'; ++at) {
    value = value * 10u + static_cast<uint32_t>(mapped[at] - '0');
  }
  if (negative) value = 0u - value;
  return static_cast<int32_t>(value);
}

Text int_to_text(int32_t value) { return Text(std::to_string(value)); }

int32_t uptime_ms() {
  timespec now{};
  if (clock_gettime(CLOCK_BOOTTIME, &now) != 0) clock_gettime(CLOCK_MONOTONIC, &now);
  const uint64_t ms =
      static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
  return static_cast<int32_t>(static_cast<uint32_t>(ms));
}

}  // namespace tarnwick

// Conversions between texts and 32-bit numbers, bitwise or, and the uptime counter.
#pragma once

#include <cstdint>

#include "core/text.h"

namespace tarnwick {

// Full-width digits and signs count as their one-byte forms; wraps past 32 bits.
int32_t text_to_int(const Text& text);
Text int_to_text(int32_t value);

template <typename... More>
int32_t bitwise_or(int32_t first, More... more) {
  return static_cast<int32_t>((static_cast<uint32_t>(first) | ... | static_cast<uint32_t>(more)));
}

// Milliseconds since the system started, as 32 bits that wrap.
int32_t uptime_ms();

}  // namespace tarnwick

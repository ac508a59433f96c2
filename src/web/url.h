// Taking web addresses and response header lines apart.
#pragma once

#include <cstdint>
#include <optional>

#include "core/text.h"

namespace tarnwick {

// The text between the first left_marker at or after start_position and the next right_marker;
// empty when either is missing. "#引号" in a marker stands for one double quote.
Text text_between(const Text& source, const Text& left_marker, const Text& right_marker,
                  int32_t start_position = 1, bool ignore_case = false);

// The trimmed text after the first colon of a header line; empty without a colon.
Text header_value(const Text& line);

// The host in lower case. main_domain keeps the last two labels; keep_port keeps ":port".
// A supplied dot_count, whatever its value, selects the mode that keeps the last
// dot_count + 1 labels (main_domain) or dot_count + 2 labels.
Text url_host(const Text& url, bool main_domain = false, bool keep_port = false,
              std::optional<int32_t> dot_count = std::nullopt);

// The port after the host, or 443 for https and 80 otherwise when none is written.
int32_t url_port(const Text& url);

// The object name from the first "/" after the host, query included; "/" when there is none.
Text url_path(const Text& url);

}  // namespace tarnwick

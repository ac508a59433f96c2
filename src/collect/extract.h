// Cutting the texts between two markers out of a page, and cleaning one signature.
#pragma once

#include <cstdint>

#include "core/array.h"
#include "core/text.h"

namespace tarnwick {

struct ExtractOptions {
  bool case_sensitive = false;
  int32_t max_length = 0;  // 0: no limit; a longer trimmed entry ends the extraction
  Text prefix{};
  Text suffix{};
  bool keep_left_marker = false;
  bool keep_right_marker = false;
  int32_t start_position = 0;  // 0 and 1 both mean the beginning of the source
};

// Replaces results with the trimmed texts between left_marker and the next right_marker, in
// order, until a marker is missing or an entry is empty or too long; returns their number.
int32_t extract_all_between(const Text& source, const Text& left_marker, const Text& right_marker,
                            TextArray& results, const ExtractOptions& options = {});

// The signature without "<STRONG>", "个性签名", "超拽", "<BR>" and "<&nbsp>", removed in that
// order.
Text clean_signature(const Text& signature);

}  // namespace tarnwick

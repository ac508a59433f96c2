#include "collect/extract.h"

#include "core/cp936.h"

namespace tarnwick {

int32_t extract_all_between(const Text& source, const Text& left_marker, const Text& right_marker,
                            TextArray& results, const ExtractOptions& options) {
  results.clear();
  // An empty marker would be found at the same place again and again.
  if (left_marker.empty() || right_marker.empty()) return 0;

  const bool ignore_case = !options.case_sensitive;
  const int32_t left_length = left_marker.length();
  int32_t search_from = options.start_position;
  for (;;) {
    const int32_t left = find_text(source, left_marker, search_from, ignore_case);
    if (left < 1) break;
    const int32_t inner = left + left_length;
    const int32_t right = find_text(source, right_marker, inner, ignore_case);
    if (right < 1) break;

    const Text entry = trim_both(text_mid(source, inner, right - inner));
    if (entry.empty()) break;
    if (options.max_length != 0 && entry.length() > options.max_length) break;

    results.append(concat_text(options.keep_left_marker ? left_marker : Text(), options.prefix,
                               entry, options.suffix,
                               options.keep_right_marker ? right_marker : Text()));
    // The right marker just found may itself begin the next left marker.
    search_from = right;
  }
  return results.size();
}

Text clean_signature(const Text& signature) {
  static const Text fragments[] = {"<STRONG>", "个性签名"_cp936, "超拽"_cp936, "<BR>", "<&nbsp>"};
  Text cleaned = signature;
  for (const Text& fragment : fragments) cleaned = replace_text(cleaned, fragment, Text(), true);
  return cleaned;
}

}  // namespace tarnwick

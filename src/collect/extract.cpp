#include "collect/extract.h"

#include <functional>

#include "core/cp936.h"

namespace tarnwick {

namespace {

bool held_by(const TextArray& array, const Text& text) {
  if (array.size() == 0) return false;
  const Text* first = &*array.begin();
  return std::less_equal<const Text*>()(first, &text) &&
         std::less<const Text*>()(&text, first + array.size());
}

int32_t extract_into(const Text& source, const Text& left_marker, const Text& right_marker,
                     TextArray& results, const ExtractOptions& options) {
  // The texts results held are overwritten in place and the rest released at the end: reusing
  // their room keeps a large page from churning the allocator.
  int32_t count = 0;
  // An empty marker would be found at the same place again and again.
  const bool searchable = !left_marker.empty() && !right_marker.empty();
  const bool ignore_case = !options.case_sensitive;
  const bool decorated = options.keep_left_marker || options.keep_right_marker ||
                         !options.prefix.empty() || !options.suffix.empty();
  const int32_t left_length = left_marker.length();
  int32_t search_from = options.start_position;
  while (searchable) {
    const int32_t left = find_text(source, left_marker, search_from, ignore_case);
    if (left < 1) break;
    const int32_t inner = left + left_length;
    const int32_t right = find_text(source, right_marker, inner, ignore_case);
    if (right < 1) break;

    const std::string_view entry = trim_both_view(
        source.view().substr(static_cast<size_t>(inner) - 1, static_cast<size_t>(right - inner)));
    if (entry.empty()) break;
    if (options.max_length != 0 && static_cast<int64_t>(entry.size()) > options.max_length) break;

    const Text whole = decorated ? concat_text(options.keep_left_marker ? left_marker : Text(),
                                               options.prefix, Text(entry), options.suffix,
                                               options.keep_right_marker ? right_marker : Text())
                                 : Text();
    const std::string_view bytes = decorated ? whole.view() : entry;
    if (count < results.size()) {
      results.at(count + 1).assign(bytes);
    } else {
      results.append(Text(bytes));
    }
    ++count;
    // The right marker just found may itself begin the next left marker.
    search_from = right;
  }
  results.truncate(count);
  return count;
}

}  // namespace

int32_t extract_all_between(const Text& source, const Text& left_marker, const Text& right_marker,
                            TextArray& results, const ExtractOptions& options) {
  // The inputs are read while results is overwritten, so members of results are copied first.
  if (held_by(results, source) || held_by(results, left_marker) || held_by(results, right_marker) ||
      held_by(results, options.prefix) || held_by(results, options.suffix)) {
    const Text source_copy = source;
    const Text left_copy = left_marker;
    const Text right_copy = right_marker;
    const ExtractOptions options_copy = options;
    return extract_into(source_copy, left_copy, right_copy, results, options_copy);
  }
  return extract_into(source, left_marker, right_marker, results, options);
}

Text clean_signature(const Text& signature) {
  Text cleaned = signature;
  for (const Text* fragment :
       {&"<STRONG>"_cp936, &"个性签名"_cp936, &"超拽"_cp936, &"<BR>"_cp936, &"<&nbsp>"_cp936}) {
    // Every fragment is longer than one byte, so a text without it comes back unchanged.
    if (find_text(cleaned, *fragment, false) > 0) {
      cleaned = replace_text(cleaned, *fragment, Text(), true);
    }
  }
  return cleaned;
}

}  // namespace tarnwick

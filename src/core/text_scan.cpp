#include "core/text_scan.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tarnwick {

namespace {

unsigned char other_case(unsigned char byte) {
  if (byte >= 'A' && byte <= 'Z') return static_cast<unsigned char>(byte + 0x20);
  if (byte >= 'a' && byte <= 'z') return static_cast<unsigned char>(byte - 0x20);
  return byte;
}

bool matches_at(const unsigned char* at, std::string_view sought, bool ignore_case) {
  if (!ignore_case) return std::memcmp(at, sought.data(), sought.size()) == 0;
  for (size_t i = 0; i < sought.size(); ++i) {
    if (fold_case(at[i]) != fold_case(static_cast<unsigned char>(sought[i]))) return false;
  }
  return true;
}

// Position of the last byte below 0x80 in [low, high), or high when every byte there is 0x80 or
// above.
size_t last_one_byte_character(const unsigned char* data, size_t low, size_t high) {
  size_t end = high;
#if defined(__SSE2__)
  while (end - low >= 16) {
    const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + end - 16));
    const unsigned below = ~static_cast<unsigned>(_mm_movemask_epi8(chunk)) & 0xFFFFu;
    if (below != 0) return end - 16 + static_cast<size_t>(31 - __builtin_clz(below));
    end -= 16;
  }
#endif
  while (end > low) {
    --end;
    if (data[end] < 0x80) return end;
  }
  return high;
}

// Tells whether a position is reached by stepping characters from the start of the scan. The
// known boundary only moves forwards, so the bytes between candidates are read once.
class CharacterBoundaries {
 public:
  CharacterBoundaries(const unsigned char* data, size_t from) : data_(data), boundary_(from) {}

  bool starts_character(size_t position) {
    if (position == boundary_) return true;
    // Behind a byte below 0x80 a character always begins; after it only lead bytes follow, two
    // bytes a character.
    const size_t last = last_one_byte_character(data_, boundary_, position);
    const size_t run_start = last == position ? boundary_ : last + 1;
    const bool starts = (position - run_start) % 2 == 0;
    boundary_ = starts ? position : position + 1;
    return starts;
  }

 private:
  const unsigned char* data_;
  size_t boundary_;
};

size_t scan_stepwise(const unsigned char* data, size_t size, size_t from, std::string_view sought,
                     bool ignore_case) {
  const auto first = static_cast<unsigned char>(sought.front());
  const unsigned char wanted = ignore_case ? fold_case(first) : first;
  for (size_t at = from; at + sought.size() <= size; at += data[at] >= 0x80 ? 2 : 1) {
    const unsigned char head = ignore_case ? fold_case(data[at]) : data[at];
    if (head == wanted && matches_at(data + at, sought, ignore_case)) return at;
  }
  return std::string_view::npos;
}

}  // namespace

size_t scan_first(std::string_view bytes, size_t from, std::string_view sought, bool ignore_case) {
  const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
  const size_t size = bytes.size();
  const size_t length = sought.size();
  if (from >= size || size - from < length) return std::string_view::npos;
  const size_t last_start = size - length;  // the last position where a match can begin
#if defined(__SSE2__)
  // A short stretch, such as one entry of a page, is copied into a padded block so that it too is
  // tried sixteen positions at once.
  constexpr size_t longest_padded_sought = 48;
  const bool short_stretch = last_start - from < 16;
  if (short_stretch && length > longest_padded_sought) {
    return scan_stepwise(data, size, from, sought, ignore_case);
  }
  // Candidates are the positions whose first and last bytes match those of the sought text; each
  // one is then checked whole and for lying on a character boundary.
  const auto first = static_cast<unsigned char>(sought.front());
  const auto last = static_cast<unsigned char>(sought.back());
  const __m128i first_a = _mm_set1_epi8(static_cast<char>(first));
  const __m128i first_b = _mm_set1_epi8(static_cast<char>(ignore_case ? other_case(first) : first));
  const __m128i last_a = _mm_set1_epi8(static_cast<char>(last));
  const __m128i last_b = _mm_set1_epi8(static_cast<char>(ignore_case ? other_case(last) : last));
  const auto candidates_in = [&](const unsigned char* block) {
    const __m128i heads = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block));
    const __m128i tails = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + length - 1));
    const __m128i head_hits =
        _mm_or_si128(_mm_cmpeq_epi8(heads, first_a), _mm_cmpeq_epi8(heads, first_b));
    const __m128i tail_hits =
        _mm_or_si128(_mm_cmpeq_epi8(tails, last_a), _mm_cmpeq_epi8(tails, last_b));
    return static_cast<unsigned>(_mm_movemask_epi8(_mm_and_si128(head_hits, tail_hits)));
  };
  CharacterBoundaries boundaries(data, from);
  const auto first_match = [&](size_t at, unsigned candidates) {
    for (; candidates != 0; candidates &= candidates - 1) {
      const size_t position = at + static_cast<size_t>(__builtin_ctz(candidates));
      if (matches_at(data + position, sought, ignore_case) &&
          boundaries.starts_character(position)) {
        return position;
      }
    }
    return std::string_view::npos;
  };
  const auto candidates_at = [&](size_t at) { return candidates_in(data + at); };
  if (short_stretch) {
    // Starts past last_start would read the padding; they are masked off.
    unsigned char padded[16 + longest_padded_sought] = {};
    std::memcpy(padded, data + from, size - from);
    const unsigned starts = (2u << (last_start - from)) - 1;
    return first_match(from, candidates_in(padded) & starts);
  }
  size_t at = from;
  for (; at + 15 <= last_start; at += 16) {
    const size_t found = first_match(at, candidates_at(at));
    if (found != std::string_view::npos) return found;
  }
  if (at > last_start) return std::string_view::npos;
  // The last block ends at the last possible start and overlaps positions already tried.
  const size_t block = last_start - 15;
  return first_match(block, candidates_at(block) & (~0u << (at - block)));
#else
  return scan_stepwise(data, size, from, sought, ignore_case);
#endif
}

bool starts_character(std::string_view bytes, size_t from, size_t position) {
  return CharacterBoundaries(reinterpret_cast<const unsigned char*>(bytes.data()), from)
      .starts_character(position);
}

}  // namespace tarnwick

#include "core/text_scan.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tarnwick {

namespace {

bool is_letter(unsigned char byte) {
  return fold_case(byte) != byte || (byte >= 'a' && byte <= 'z');
}

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
  for (size_t at = from; at + sought.size() <= size; at += data[at] >= 0x80 ? 2 : 1) {
    if (matches_at(data + at, sought, ignore_case)) return at;
  }
  return std::string_view::npos;
}

}  // namespace

size_t scan_first(std::string_view bytes, size_t from, std::string_view sought, bool ignore_case) {
  const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
  const size_t size = bytes.size();
  const size_t length = sought.size();
  if (from >= size || size - from < length) return std::string_view::npos;
#if defined(__SSE2__)
  // Candidates are the positions whose first and last bytes match those of the sought text; each
  // one is then checked whole and for lying on a character boundary.
  const auto first = static_cast<unsigned char>(sought.front());
  const auto last = static_cast<unsigned char>(sought.back());
  const bool fold_first = ignore_case && is_letter(first);
  const bool fold_last = ignore_case && is_letter(last);
  const __m128i first_a = _mm_set1_epi8(static_cast<char>(first));
  const __m128i first_b = _mm_set1_epi8(static_cast<char>(fold_first ? other_case(first) : first));
  const __m128i last_a = _mm_set1_epi8(static_cast<char>(last));
  const __m128i last_b = _mm_set1_epi8(static_cast<char>(fold_last ? other_case(last) : last));
  CharacterBoundaries boundaries(data, from);
  size_t at = from;
  for (; at + length - 1 + 16 <= size; at += 16) {
    const __m128i heads = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + at));
    const __m128i tails = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + at + length - 1));
    const __m128i head_hits =
        _mm_or_si128(_mm_cmpeq_epi8(heads, first_a), _mm_cmpeq_epi8(heads, first_b));
    const __m128i tail_hits =
        _mm_or_si128(_mm_cmpeq_epi8(tails, last_a), _mm_cmpeq_epi8(tails, last_b));
    auto candidates = static_cast<unsigned>(_mm_movemask_epi8(_mm_and_si128(head_hits, tail_hits)));
    while (candidates != 0) {
      const size_t position = at + static_cast<size_t>(__builtin_ctz(candidates));
      candidates &= candidates - 1;
      if (matches_at(data + position, sought, ignore_case) &&
          boundaries.starts_character(position)) {
        return position;
      }
    }
  }
  if (at >= size || size - at < length) return std::string_view::npos;
  // The last few positions: resume the character stepping from a known boundary.
  if (!boundaries.starts_character(at)) ++at;
  return scan_stepwise(data, size, at, sought, ignore_case);
#else
  return scan_stepwise(data, size, from, sought, ignore_case);
#endif
}

}  // namespace tarnwick

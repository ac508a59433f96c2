#include "core/cp936.h"

#include <iconv.h>

#include <cerrno>

namespace tarnwick {

namespace {

// One conversion descriptor per thread and direction, so that conversions need no lock.
class Converter {
 public:
  Converter(const char* to, const char* from) : descriptor_(iconv_open(to, from)) {}
  ~Converter() {
    if (usable()) iconv_close(descriptor_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  // Converts all of input; a sequence that cannot be converted becomes one '?'.
  std::string convert(std::string_view input, size_t (*unconvertible_length)(std::string_view)) {
    std::string output;
    if (input.empty()) return output;
    if (!usable()) {
      output.assign(input.size(), '?');
      return output;
    }
    iconv(descriptor_, nullptr, nullptr, nullptr, nullptr);
    output.resize(input.size() * 2 + 16);
    char* in = const_cast<char*>(input.data());
    size_t in_left = input.size();
    size_t written = 0;
    while (in_left > 0) {
      char* out = output.data() + written;
      size_t out_left = output.size() - written;
      const size_t result = iconv(descriptor_, &in, &in_left, &out, &out_left);
      written = output.size() - out_left;
      if (result != static_cast<size_t>(-1)) break;
      if (errno == E2BIG) {
        output.resize(output.size() * 2);
        continue;
      }
      // EILSEQ or EINVAL: replace the offending sequence and go on behind it.
      if (written == output.size()) output.resize(output.size() * 2);
      output[written++] = '?';
      const size_t skip = std::min(in_left, unconvertible_length({in, in_left}));
      in += skip;
      in_left -= skip;
      iconv(descriptor_, nullptr, nullptr, nullptr, nullptr);
    }
    output.resize(written);
    return output;
  }

 private:
  bool usable() const { return descriptor_ != reinterpret_cast<iconv_t>(-1); }

  iconv_t descriptor_;
};

bool is_continuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// A whole well-formed UTF-8 character, or one stray byte.
size_t utf8_sequence_length(std::string_view bytes) {
  const auto lead = static_cast<unsigned char>(bytes[0]);
  size_t length = 1;
  if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
  } else if (lead >= 0xE0) {
    length = 3;
  } else if (lead >= 0xC2) {
    length = 2;
  }
  if (lead >= 0xF5 || length > bytes.size()) return 1;
  for (size_t i = 1; i < length; ++i) {
    if (!is_continuation(static_cast<unsigned char>(bytes[i]))) return 1;
  }
  return length;
}

// A two-byte character that has no UTF-8 form, or a stray byte.
size_t cp936_sequence_length(std::string_view bytes) {
  return static_cast<unsigned char>(bytes[0]) >= 0x80 && bytes.size() >= 2 ? 2 : 1;
}

}  // namespace

Text utf8_to_cp936(std::string_view utf8) {
  thread_local Converter converter("CP936", "UTF-8");
  return Text(converter.convert(utf8, utf8_sequence_length));
}

std::string cp936_to_utf8(const Text& text) {
  thread_local Converter converter("UTF-8", "CP936");
  return converter.convert(text.view(), cp936_sequence_length);
}

}  // namespace tarnwick

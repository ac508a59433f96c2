// Checks the searching text operations against their byte-by-byte reference forms on inputs laid
// out as: four parameter bytes, then text, sought text and replacement separated by zero bytes.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/text_differential.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  tarnwick::DifferentialCase c;
  c.flag = (data[0] & 1) != 0;
  if ((data[0] & 2) != 0) c.max_pieces = static_cast<int8_t>(data[3]);
  c.start = static_cast<int8_t>(data[1]);
  c.count = static_cast<int8_t>(data[2]);
  std::string* fields[] = {&c.text, &c.sought, &c.replacement};
  size_t field = 0;
  for (size_t i = 4; i < size; ++i) {
    if (data[i] == 0) {
      if (++field == 3) break;
    } else {
      fields[field]->push_back(static_cast<char>(data[i]));
    }
  }
  const std::string difference = tarnwick::first_difference(c);
  if (!difference.empty()) {
    std::fprintf(stderr, "%s differs: %s\n", difference.c_str(), tarnwick::describe(c).c_str());
    std::abort();
  }
  return 0;
}

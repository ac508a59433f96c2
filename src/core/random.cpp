#include "core/random.h"

#include <algorithm>
#include <mutex>

#include "core/numbers.h"

namespace tarnwick {

namespace {

struct Generator {
  std::mutex mutex;
  uint32_t state = 1;
  uint32_t seed_offset = 0;

  int32_t draw() {
    state = state * 214013u + 2531011u;
    return static_cast<int32_t>((state >> 16) & 0x7FFFu);
  }
};

Generator& generator() {
  static Generator instance;
  return instance;
}

}  // namespace

int32_t random_between(int32_t lower, int32_t upper) {
  const int64_t lo = std::max(std::min(lower, upper), 0);
  const int64_t hi = std::max(std::max(lower, upper), 0);
  if (lo == hi) return static_cast<int32_t>(lo);
  const int64_t span = std::min<int64_t>(hi - lo, 2147483646);
  Generator& g = generator();
  std::lock_guard lock(g.mutex);
  return static_cast<int32_t>(lo + g.draw() % (span + 1));
}

void seed_random(uint32_t seed) {
  Generator& g = generator();
  std::lock_guard lock(g.mutex);
  g.state = seed;
}

void seed_random() {
  const auto now = static_cast<uint32_t>(uptime_ms());
  Generator& g = generator();
  std::lock_guard lock(g.mutex);
  const uint32_t seed = now + g.seed_offset;
  g.seed_offset += (seed & 0xFFu) + 100u;
  g.state = seed;
}

}  // namespace tarnwick

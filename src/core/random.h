// The program's one random generator, shared by all threads under one lock.
#pragma once

#include <cstdint>

namespace tarnwick {

// lo + r mod (span + 1) with r from 0 to 32767; the bounds may come in either order.
int32_t random_between(int32_t lower, int32_t upper);

// With a seed the state becomes the seed; without, it is drawn from the uptime and the seed offset.
void seed_random(uint32_t seed);
void seed_random();

}  // namespace tarnwick

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>
#include <vector>

#include "core/random.h"

namespace tarnwick {
namespace {

// With the bounds 0 and 32767 a draw is returned as it is.
int32_t draw() { return random_between(0, 32767); }

std::vector<int32_t> draws(int count) {
  std::vector<int32_t> out;
  for (int i = 0; i < count; ++i) out.push_back(draw());
  return out;
}

TEST(Random, DrawsFollowTheLinearCongruentialSequence) {
  seed_random(1);
  EXPECT_EQ(draws(5), (std::vector<int32_t>{41, 18467, 6334, 26500, 19169}));
  seed_random(1);
  std::vector<int32_t> pages;
  for (int i = 0; i < 5; ++i) pages.push_back(random_between(100, 9000));
  EXPECT_EQ(pages, (std::vector<int32_t>{141, 765, 6434, 8798, 1467}));
}

TEST(Random, SameSeedSameNumbers) {
  seed_random(7);
  const auto first = draws(4);
  seed_random(7);
  EXPECT_EQ(draws(4), first);
}

struct BoundsCase {
  const char* name;
  int32_t lower;
  int32_t upper;
  int32_t expected;     // from the state 1
  bool draws_a_number;  // whether the generator moves on
};

class RandomBounds : public testing::TestWithParam<BoundsCase> {};

TEST_P(RandomBounds, GivesLowPlusDrawModuloSpan) {
  const BoundsCase& c = GetParam();
  seed_random(1);
  EXPECT_EQ(random_between(c.lower, c.upper), c.expected);
  EXPECT_EQ(draw(), c.draws_a_number ? 18467 : 41);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RandomBounds,
    testing::Values(BoundsCase{"Equal", 5, 5, 5, false},
                    BoundsCase{"Reversed", 9, 3, 3 + 41 % 7, true},
                    BoundsCase{"BothNegative", -3, -9, 0, false},
                    BoundsCase{"NegativeLowerCountsAsZero", -3, 9, 41 % 10, true},
                    BoundsCase{"WidestRange", 0, 2147483647, 41, true},
                    BoundsCase{"WidestFromNegative", -2147483647 - 1, 2147483647, 41, true},
                    BoundsCase{"HighRange", 2147483547, 2147483647, 2147483547 + 41, true}),
    [](const auto& tested) { return tested.param.name; });

TEST(Random, WideRangeYieldsOnlyItsLowest32768Values) {
  seed_random(3);
  for (int i = 0; i < 2000; ++i) ASSERT_LE(random_between(0, 100000), 32767);
}

TEST(Random, SeedingFromTheClockTwiceGivesDifferentStates) {
  seed_random();
  const auto first = draws(3);
  seed_random();
  EXPECT_NE(draws(3), first);
}

TEST(Random, ThreadsShareOneSequenceWithoutLosingDraws) {
  constexpr int kThreads = 4;
  constexpr int kEach = 2000;
  seed_random(11);
  auto expected = draws(kThreads * kEach);
  seed_random(11);
  std::vector<std::vector<int32_t>> seen(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&seen, t] { seen[static_cast<size_t>(t)] = draws(kEach); });
  }
  for (std::thread& thread : threads) thread.join();
  std::vector<int32_t> all;
  for (const auto& part : seen) all.insert(all.end(), part.begin(), part.end());
  std::sort(all.begin(), all.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(all, expected);
}

}  // namespace
}  // namespace tarnwick

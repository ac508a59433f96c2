#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <ostream>
#include <thread>
#include <vector>

#include "collect/locks.h"

namespace tarnwick {
namespace {

class LocksTest : public ::testing::Test {
 protected:
  void SetUp() override { create_lock_registry(); }
  void TearDown() override { release_lock_registry(); }
};

bool other_thread_can_enter(const Lock& lock) {
  bool entered = false;
  std::thread([&] {
    entered = try_enter_lock(lock);
    if (entered) leave_lock(lock);
  }).join();
  return entered;
}

TEST_F(LocksTest, OwnerEntersAgainAndHoldsUntilLeftAsOftenAsEntered) {
  Lock lock = create_lock();
  enter_lock(lock);
  enter_lock(lock);  // must not wait on itself
  EXPECT_FALSE(other_thread_can_enter(lock));
  leave_lock(lock);
  EXPECT_FALSE(other_thread_can_enter(lock)) << "left once of twice: still owned";
  leave_lock(lock);
  EXPECT_TRUE(other_thread_can_enter(lock));
}

TEST_F(LocksTest, CopiesReferToTheSameLock) {
  Lock lock = create_lock();
  Lock copy = lock;
  enter_lock(copy);
  EXPECT_FALSE(other_thread_can_enter(lock));
  leave_lock(lock);
  EXPECT_TRUE(other_thread_can_enter(copy));
}

TEST_F(LocksTest, RegistryRecordsEveryLockInOrderAndDeleteKeepsTheEntry) {
  EXPECT_EQ(lock_registry_size(), 0);
  Lock first = create_lock();
  Lock second = create_lock();
  ASSERT_EQ(lock_registry_size(), 2);
  EXPECT_EQ(lock_registry_entry(1), first);
  EXPECT_EQ(lock_registry_entry(2), second);
  EXPECT_FALSE(lock_registry_entry(3).valid());
  EXPECT_FALSE(lock_registry_entry(0).valid());

  delete_lock(first);
  EXPECT_EQ(lock_registry_size(), 2);
  EXPECT_TRUE(lock_registry_entry(1).deleted());
  EXPECT_FALSE(lock_registry_entry(2).deleted());
}

TEST_F(LocksTest, DeleteAllAfterAPartialDeleteEndsTheRestAndEmptiesTheList) {
  delete_all_locks();  // on an empty registry: nothing happens
  EXPECT_EQ(lock_registry_size(), 0);

  Lock first = create_lock();
  Lock second = create_lock();
  delete_lock(first);
  delete_all_locks();
  EXPECT_EQ(lock_registry_size(), 0);
  EXPECT_TRUE(first.deleted());
  EXPECT_TRUE(second.deleted());
  // Locks made afterwards start a fresh list.
  Lock third = create_lock();
  EXPECT_EQ(lock_registry_size(), 1);
  EXPECT_FALSE(third.deleted());
}

TEST_F(LocksTest, ThreadsAppendingAtTheSameMomentLoseNoEntry) {
  constexpr int threads = 4;
  constexpr int per_thread = 500;
  std::vector<std::thread> makers;
  for (int t = 0; t < threads; ++t) {
    makers.emplace_back([] {
      for (int i = 0; i < per_thread; ++i) delete_lock(create_lock());
    });
  }
  for (auto& maker : makers) maker.join();
  ASSERT_EQ(lock_registry_size(), threads * per_thread);
  for (int i = 1; i <= threads * per_thread; ++i) EXPECT_TRUE(lock_registry_entry(i).deleted());
}

struct Handoff {
  std::mutex mutex;
  std::condition_variable changed;
  bool done = false;
  intptr_t parameter = -1;
  std::thread::id thread;
};
Handoff* handoff = nullptr;

uint32_t record_parameter(intptr_t parameter) {
  std::lock_guard guard(handoff->mutex);
  handoff->parameter = parameter;
  handoff->thread = std::this_thread::get_id();
  handoff->done = true;
  handoff->changed.notify_all();
  return 0;
}

struct StartCase {
  const char* name;
  bool give_parameter;
  intptr_t parameter;
  intptr_t expected;
};

void PrintTo(const StartCase& c, std::ostream* os) { *os << c.name; }

class StartThreadTest : public ::testing::TestWithParam<StartCase> {};

TEST_P(StartThreadTest, RunsTheRoutineAtOnceOnANewThreadWithItsParameter) {
  Handoff seen;
  handoff = &seen;
  std::thread::id started;
  bool ok = GetParam().give_parameter
                ? start_thread(record_parameter, GetParam().parameter, &started)
                : start_thread(record_parameter);
  ASSERT_TRUE(ok);
  std::unique_lock wait(seen.mutex);
  seen.changed.wait(wait, [&] { return seen.done; });  // the thread is detached: nothing joins it
  EXPECT_EQ(seen.parameter, GetParam().expected);
  EXPECT_NE(seen.thread, std::this_thread::get_id());
  if (GetParam().give_parameter) {
    EXPECT_EQ(seen.thread, started);
  }
  wait.unlock();
  handoff = nullptr;
}

INSTANTIATE_TEST_SUITE_P(Parameters, StartThreadTest,
                         ::testing::Values(StartCase{"omitted", false, 0, 0},
                                           StartCase{"given", true, 4711, 4711},
                                           StartCase{"negative", true, -3, -3}),
                         [](const auto& test_info) { return std::string(test_info.param.name); });

TEST(StartThread, WithoutARoutineStartsNothing) { EXPECT_FALSE(start_thread(nullptr)); }

}  // namespace
}  // namespace tarnwick

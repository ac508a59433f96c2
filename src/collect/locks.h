// Locks that one thread owns at a time and its owner may enter again, the process-wide list of
// every lock made, and the start of detached worker threads.
#pragma once

#include <cstdint>
#include <memory>
#include <thread>

namespace tarnwick {

namespace detail {
struct LockSection;
}

// A reference to one lock; every copy refers to the same lock. A default Lock refers to none,
// and the operations below do nothing with it.
class Lock {
 public:
  Lock() = default;
  bool valid() const { return section_ != nullptr; }
  // True once delete_lock or delete_all_locks has deleted the lock.
  bool deleted() const;
  friend bool operator==(const Lock& a, const Lock& b) { return a.section_ == b.section_; }

 private:
  explicit Lock(std::shared_ptr<detail::LockSection> section) : section_(std::move(section)) {}
  std::shared_ptr<detail::LockSection> section_;
  friend Lock create_lock();
  friend void enter_lock(const Lock&);
  friend bool try_enter_lock(const Lock&);
  friend void leave_lock(const Lock&);
  friend void delete_lock(const Lock&);
  friend void delete_all_locks();
};

// The lock registry: every lock create_lock made since the registry was (re)made, in order.
// Its list is guarded, so threads may make locks at the same moment.
void create_lock_registry();   // start-up: an empty registry
void release_lock_registry();  // clean-up at a normal end: drops the list, deletes no lock
int32_t lock_registry_size();
// Entry i, numbered from 1; an index outside 1..size gives a Lock that refers to none.
Lock lock_registry_entry(int32_t index);

Lock create_lock();
// Returns once the calling thread owns the lock; its owner may enter it again, and must then
// leave it as often as it entered it.
void enter_lock(const Lock& lock);
// Enters the lock when no other thread owns it; false, without waiting, when one does.
bool try_enter_lock(const Lock& lock);
void leave_lock(const Lock& lock);
// Marks the lock deleted; its registry entry stays. A lock is deleted at most once.
void delete_lock(const Lock& lock);
// Deletes every registered lock not yet deleted, in list order, then empties the list.
void delete_all_locks();

using ThreadRoutine = uint32_t (*)(intptr_t parameter);

// Runs routine(parameter) at once on a new detached thread that nothing waits for. Writes the
// new thread's id into *thread_id when given. False when the thread could not be created.
bool start_thread(ThreadRoutine routine, intptr_t parameter = 0,
                  std::thread::id* thread_id = nullptr);

}  // namespace tarnwick

#include "collect/locks.h"

#include <mutex>
#include <system_error>
#include <vector>

namespace tarnwick {

namespace detail {
struct LockSection {
  std::recursive_mutex mutex;
  bool deleted = false;  // guarded by the registry's guard
};
}  // namespace detail

namespace {

struct LockRegistry {
  std::mutex guard;
  std::vector<Lock> entries;
};

LockRegistry& registry() {
  static LockRegistry* const the_registry = new LockRegistry;  // lives until the process ends
  return *the_registry;
}

}  // namespace

bool Lock::deleted() const {
  if (!section_) return false;
  std::lock_guard guard(registry().guard);
  return section_->deleted;
}

void create_lock_registry() {
  std::lock_guard guard(registry().guard);
  registry().entries.clear();
}

void release_lock_registry() {
  std::lock_guard guard(registry().guard);
  std::vector<Lock>().swap(registry().entries);
}

int32_t lock_registry_size() {
  std::lock_guard guard(registry().guard);
  return static_cast<int32_t>(registry().entries.size());
}

Lock lock_registry_entry(int32_t index) {
  std::lock_guard guard(registry().guard);
  auto& entries = registry().entries;
  if (index < 1 || index > static_cast<int32_t>(entries.size())) return Lock();
  return entries[static_cast<size_t>(index - 1)];
}

Lock create_lock() {
  Lock lock(std::make_shared<detail::LockSection>());
  std::lock_guard guard(registry().guard);
  registry().entries.push_back(lock);
  return lock;
}

void enter_lock(const Lock& lock) {
  if (lock.section_) lock.section_->mutex.lock();
}

bool try_enter_lock(const Lock& lock) { return lock.section_ && lock.section_->mutex.try_lock(); }

void leave_lock(const Lock& lock) {
  if (lock.section_) lock.section_->mutex.unlock();
}

// The mutex itself goes with the last reference to it, so a stale copy never points at freed
// memory; deleting only marks the lock as ended.
void delete_lock(const Lock& lock) {
  if (!lock.section_) return;
  std::lock_guard guard(registry().guard);
  lock.section_->deleted = true;
}

void delete_all_locks() {
  std::lock_guard guard(registry().guard);
  for (const Lock& lock : registry().entries) lock.section_->deleted = true;
  registry().entries.clear();
}

bool start_thread(ThreadRoutine routine, intptr_t parameter, std::thread::id* thread_id) {
  if (routine == nullptr) return false;
  try {
    std::thread thread([routine, parameter] { routine(parameter); });
    if (thread_id != nullptr) *thread_id = thread.get_id();
    thread.detach();
    return true;
  } catch (const std::system_error&) {
    return false;
  }
}

}  // namespace tarnwick

// Growable one-dimensional arrays whose members are numbered from 1.
#pragma once

#include <cstdint>
#include <vector>

#include "core/fatal.h"
#include "core/text.h"

namespace tarnwick {

// Reports an index outside 1..size and stops the program.
[[noreturn]] void array_index_error(int32_t index, int32_t size);

template <typename Member>
class Array {
 public:
  Array() = default;

  int32_t size() const { return static_cast<int32_t>(members_.size()); }

  // Member i, numbered from 1; an index outside 1..size stops the program.
  const Member& at(int32_t index) const { return members_[checked(index)]; }
  Member& at(int32_t index) { return members_[checked(index)]; }

  void append(Member member) { members_.push_back(std::move(member)); }
  void clear() { members_.clear(); }
  // Keeps the first count members and releases the rest.
  void truncate(int32_t count) {
    if (count >= 0 && count < size()) members_.erase(members_.begin() + count, members_.end());
  }
  void reserve(int32_t count) { members_.reserve(static_cast<size_t>(count)); }

  auto begin() const { return members_.begin(); }
  auto end() const { return members_.end(); }

  friend bool operator==(const Array& a, const Array& b) { return a.members_ == b.members_; }

 private:
  size_t checked(int32_t index) const {
    if (index < 1 || index > size()) array_index_error(index, size());
    return static_cast<size_t>(index - 1);
  }

  std::vector<Member> members_;
};

class TextArray : public Array<Text> {};
using IntArray = Array<int32_t>;

template <typename Member>
int32_t array_size(const Array<Member>& array) {
  return array.size();
}

// Amortised O(1): the members already there are not copied.
template <typename Member, typename Value>
void array_append(Array<Member>& array, Value&& member) {
  array.append(Member(std::forward<Value>(member)));
}

}  // namespace tarnwick

#include "core/array.h"

#include "core/cp936.h"

namespace tarnwick {

void array_index_error(int32_t index, int32_t size) {
  if (index < 1) fatal_error(4, "数组成员引用下标必须大于等于1"_cp936);
  (void)size;
  fatal_error(1, "数组成员引用下标超出定义范围"_cp936);
}

}  // namespace tarnwick

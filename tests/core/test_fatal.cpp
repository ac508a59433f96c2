#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <new>
#include <string>
#include <thread>

#include "core/array.h"
#include "core/cp936.h"
#include "core/fatal.h"

namespace tarnwick {
namespace {

struct ReportCase {
  const char* name;
  int32_t code;
  Text message;
  std::string expected;
};

class FatalReport : public testing::TestWithParam<ReportCase> {};

TEST_P(FatalReport, HoldsTheCodeAndMessageLinesInCodePage936) {
  EXPECT_EQ(fatal_report(GetParam().code, GetParam().message).str(), GetParam().expected);
}

const std::string kHeading = "\xD4\xCB\xD0\xD0\xCA\xB1\xB3\xF6\xB4\xED!\r\n\r\n";  // 运行时出错!
const std::string kCodeLabel = "\xB4\xED\xCE\xF3\xB4\xFA\xC2\xEB\xA3\xBA";     // 错误代码：
const std::string kMessageLabel = "\xB4\xED\xCE\xF3\xD0\xC5\xCF\xA2\xA3\xBA";  // 错误信息：

INSTANTIATE_TEST_SUITE_P(
    Cases, FatalReport,
    testing::Values(ReportCase{"Bare", 0, Text(), kHeading},
                    ReportCase{"CodeOnly", -7, Text(), kHeading + kCodeLabel + "-7\r\n\r\n"},
                    ReportCase{"MessageOnly", 0, "x", kHeading + kMessageLabel + "x\r\n"},
                    ReportCase{
                        "Both", 1, "\xC7\xA9",
                        kHeading + kCodeLabel + "1\r\n\r\n" + kMessageLabel + "\xC7\xA9\r\n"}),
    [](const auto& tested) { return tested.param.name; });

// Writes the report's bytes in hexadecimal, so that the death test can match them exactly, and
// registers a normal-end clean-up that would change the exit status if it ran.
void present_in_hex() {
  set_fatal_presenter([](const Text& report) {
    static const char digits[] = "0123456789abcdef";
    std::string out = "report:";
    for (unsigned char c : report.view()) {
      out += digits[c >> 4];
      out += digits[c & 15];
    }
    out += ":end\n";
    (void)!::write(STDERR_FILENO, out.data(), out.size());
  });
  std::atexit([] { std::_Exit(7); });
}

std::string hex(const std::string& bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) {
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

std::string expected_report(int32_t code, const std::string& message) {
  return "report:" + hex(fatal_report(code, Text(message)).str()) + ":end";
}

TEST(FatalErrorDeathTest, PresentsTheReportAndEndsWithStatus255WithoutCleanUps) {
  EXPECT_EXIT(
      {
        present_in_hex();
        fatal_error(3, "boom");
      },
      testing::ExitedWithCode(255), expected_report(3, "boom"));
}

TEST(FatalErrorDeathTest, StopsFromAWorkerThreadToo) {
  EXPECT_EXIT(
      {
        present_in_hex();
        std::thread([] { fatal_error(0, Text()); }).join();
      },
      testing::ExitedWithCode(255), expected_report(0, ""));
}

TEST(FatalErrorDeathTest, DefaultPresenterWritesUtf8ToStandardError) {
  EXPECT_EXIT(fatal_error(2, "x"), testing::ExitedWithCode(255),
              "运行时出错!\r\n\r\n错误代码：2\r\n\r\n错误信息：x");
}

struct IndexCase {
  const char* name;
  int32_t index;
  int32_t code;
  const char* message;
};

class ArrayIndexDeathTest : public testing::TestWithParam<IndexCase> {};

TEST_P(ArrayIndexDeathTest, StopsWithTheIndexReport) {
  const IndexCase& c = GetParam();
  TextArray array;
  array_append(array, "a");
  array_append(array, "b");
  EXPECT_EXIT(
      {
        present_in_hex();
        (void)array.at(c.index);
      },
      testing::ExitedWithCode(255), expected_report(c.code, utf8_to_cp936(c.message).str()));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ArrayIndexDeathTest,
    testing::Values(IndexCase{"Zero", 0, 4, "数组成员引用下标必须大于等于1"},
                    IndexCase{"Negative", -1, 4, "数组成员引用下标必须大于等于1"},
                    IndexCase{"PastTheEnd", 3, 1, "数组成员引用下标超出定义范围"}),
    [](const auto& tested) { return tested.param.name; });

TEST(ArrayIndexDeathTest, EmptyIntArrayReportsIndexOneAsOutOfRange) {
  IntArray empty;
  EXPECT_EXIT(
      {
        present_in_hex();
        (void)empty.at(1);
      },
      testing::ExitedWithCode(255),
      expected_report(1, utf8_to_cp936("数组成员引用下标超出定义范围").str()));
}

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define SANITIZER_ALLOCATOR 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define SANITIZER_ALLOCATOR 1
#endif
#endif

TEST(OutOfMemoryDeathTest, StopsWithTheAllocationReport) {
#ifdef SANITIZER_ALLOCATOR
  GTEST_SKIP() << "the sanitizer's allocator reports failed allocations itself";
#else
  volatile std::size_t huge = std::size_t{1} << 62;
  EXPECT_EXIT(
      {
        present_in_hex();
        void* memory = ::operator new(huge);
        ::operator delete(memory);
      },
      testing::ExitedWithCode(255),
      expected_report(0, utf8_to_cp936("分配 4611686018427387904 字节内存失败!").str()));
#endif
}

TEST(OutOfMemory, NothrowAllocationStillReturnsNull) {
#ifdef SANITIZER_ALLOCATOR
  GTEST_SKIP() << "the sanitizer's allocator reports failed allocations itself";
#else
  volatile std::size_t huge = std::size_t{1} << 62;
  EXPECT_EQ(::operator new(huge, std::nothrow), nullptr);
#endif
}

}  // namespace
}  // namespace tarnwick

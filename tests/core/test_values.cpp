#include <gtest/gtest.h>
#include <time.h>

#include <algorithm>
#include <iterator>
#include <string>

#include "core/array.h"
#include "core/bytes.h"
#include "core/cp936.h"
#include "core/numbers.h"

namespace tarnwick {
namespace {

ByteString raw(std::string_view bytes) { return ByteString(bytes); }

TEST(ByteStrings, ConvertCutAndJoin) {
  using namespace std::string_view_literals;
  EXPECT_EQ(bytes_to_text(raw("ab\0c"sv)), Text("ab"));
  EXPECT_EQ(bytes_to_text(raw("\0a"sv)), Text());
  EXPECT_EQ(bytes_left(raw("xyz"), 5), raw("xyz"));
  EXPECT_EQ(bytes_left(raw("xyz"), 2), raw("xy"));
  EXPECT_EQ(bytes_left(raw("xyz"), 0), ByteString());
  EXPECT_EQ(bytes_left(raw("xyz"), -2), ByteString());
  EXPECT_EQ(blank_bytes(4), raw("\0\0\0\0"sv));
  EXPECT_EQ(bytes_length(blank_bytes(0)), 0);
  EXPECT_EQ(bytes_length(blank_bytes(-1)), 0);
  EXPECT_EQ(concat_bytes(ByteString(), ByteString()), ByteString());
  EXPECT_EQ(concat_bytes(raw("x\0"sv), ByteString(), raw("y")), raw("x\0y"sv));
  EXPECT_EQ(text_to_bytes(Text()), ByteString());
  EXPECT_EQ(bytes_to_text(text_to_bytes("\xC7\xA9 ok")), Text("\xC7\xA9 ok"));
}

TEST(ByteStrings, AppendKeepsZeroBytesAndIgnoresEmptyChunks) {
  ByteString body;
  body.append("a\0b", 3);
  body.append("zzz", 0);
  body.append("zzz", -1);
  body.append("c", 1);
  EXPECT_EQ(body, ByteString(std::string_view("a\0bc", 4)));
}

TEST(ByteStrings, AppendOfItsOwnBytesSurvivesTheGrowth) {
  ByteString body(std::string_view("abc"));
  for (int i = 0; i < 12; ++i) body.append(body.data(), body.length());
  ASSERT_EQ(body.length(), 3 << 12);
  EXPECT_EQ(body.view().substr(body.view().size() - 6), "abcabc");
}

TEST(ByteStrings, LargeBodyKeepsEveryChunkInOrder) {
  ByteString body;
  std::string expected;
  char chunk[1000];
  for (int i = 0; i < 6000; ++i) {  // past the size from which bodies ask for huge pages
    std::fill(std::begin(chunk), std::end(chunk), static_cast<char>(i % 251));
    body.append(chunk, static_cast<int32_t>(sizeof chunk));
    expected.append(chunk, sizeof chunk);
  }
  EXPECT_TRUE(body.view() == expected);
}

TEST(Texts, AssignCutsAtTheFirstZeroByte) {
  Text text("a long text that already holds some room");
  text.assign(std::string_view("xy\0z", 4));
  EXPECT_EQ(text, Text("xy"));
}

TEST(Arrays, AppendAndReadMembersFromOne) {
  TextArray texts;
  EXPECT_EQ(array_size(texts), 0);
  array_append(texts, Text("a"));
  array_append(texts, "b");
  ASSERT_EQ(array_size(texts), 2);
  EXPECT_EQ(texts.at(1), Text("a"));
  EXPECT_EQ(texts.at(2), Text("b"));

  texts.truncate(5);
  EXPECT_EQ(array_size(texts), 2);
  texts.truncate(1);
  ASSERT_EQ(array_size(texts), 1);
  EXPECT_EQ(texts.at(1), Text("a"));

  IntArray numbers;
  array_append(numbers, 7);
  numbers.at(1) = 9;
  EXPECT_EQ(numbers.at(1), 9);
}

struct ToIntCase {
  const char* name;
  Text text;
  int32_t expected;
};

class TextToInt : public testing::TestWithParam<ToIntCase> {};

TEST_P(TextToInt, ReadsTheLeadingDecimalNumber) {
  EXPECT_EQ(text_to_int(GetParam().text), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, TextToInt,
                         testing::Values(ToIntCase{"LeadingSpaces", "  12abc", 12},
                                         ToIntCase{"Letters", "abc", 0}, ToIntCase{"Empty", "", 0},
                                         ToIntCase{"Minus", "-5", -5}, ToIntCase{"Plus", "+7", 7},
                                         ToIntCase{"SpaceAfterSign", " - 5", 0},
                                         ToIntCase{"ControlWhiteSpace", "\t\n\v\f\r3", 3},
                                         ToIntCase{"FullWidthDigits", "\xA3\xB1\xA3\xB2", 12},
                                         ToIntCase{"FullWidthSpace",
                                                   "\xA1\xA1"
                                                   "8",
                                                   8},
                                         ToIntCase{"FullWidthMinus", "\xA3\xAD\xA3\xB3", -3},
                                         ToIntCase{"OtherCharacterStops",
                                                   "4\xB0\xA1"
                                                   "5",
                                                   4},
                                         ToIntCase{"DanglingByteDropped", "9\xA3", 9},
                                         ToIntCase{"Overflow", "2147483648", -2147483648},
                                         ToIntCase{"WrapsPast32Bits", "4294967297", 1},
                                         ToIntCase{"Lowest", "-2147483648", -2147483648}),
                         [](const auto& tested) { return tested.param.name; });

TEST(Numbers, IntToTextAndBitwiseOr) {
  EXPECT_EQ(int_to_text(-12), Text("-12"));
  EXPECT_EQ(int_to_text(0), Text("0"));
  EXPECT_EQ(int_to_text(-2147483647 - 1), Text("-2147483648"));
  EXPECT_EQ(bitwise_or(1, 4, 0x10), 0x15);
  EXPECT_EQ(bitwise_or(static_cast<int32_t>(0x80000000u), 1), static_cast<int32_t>(0x80000001u));
}

uint32_t boot_clock_ms() {
  timespec now{};
  clock_gettime(CLOCK_BOOTTIME, &now);
  return static_cast<uint32_t>(static_cast<uint64_t>(now.tv_sec) * 1000u +
                               static_cast<uint64_t>(now.tv_nsec) / 1000000u);
}

TEST(Numbers, UptimeCountsMillisecondsSinceBoot) {
  const uint32_t before = boot_clock_ms();
  const auto uptime = static_cast<uint32_t>(uptime_ms());
  const uint32_t after = boot_clock_ms();
  EXPECT_LE(uptime - before, after - before);  // wrapping differences
}

TEST(Cp936, ConvertsBothWaysAndMarksWhatCannotBeHeld) {
  EXPECT_EQ(utf8_to_cp936("签名 ok").str(), "\xC7\xA9\xC3\xFB ok");
  EXPECT_EQ(cp936_to_utf8(Text("\xC7\xA9\xC3\xFB ok")), "签名 ok");
  EXPECT_EQ(utf8_to_cp936("a\xF0\x9F\x98\x80"
                          "b")
                .str(),
            "a?b");
  EXPECT_EQ(utf8_to_cp936("a\xFF"
                          "b")
                .str(),
            "a?b");
  EXPECT_EQ(cp936_to_utf8(Text("a\xC7")), "a?");
  EXPECT_EQ(utf8_to_cp936("").str(), "");
}

}  // namespace
}  // namespace tarnwick

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "core/cp936.h"
#include "core/text.h"
#include "core/text_differential.h"

namespace tarnwick {
namespace {

Text bytes(std::string_view raw) { return Text(raw); }

std::vector<std::string> pieces_of(const TextArray& array) {
  std::vector<std::string> pieces;
  for (const Text& piece : array) pieces.push_back(piece.str());
  return pieces;
}

TEST(TextValue, CutsAtTheFirstZeroByteAndNullEqualsEmpty) {
  EXPECT_EQ(Text(std::string_view("ab\0cd", 5)).str(), "ab");
  EXPECT_EQ(Text(std::string("\0a", 2)).length(), 0);
  EXPECT_EQ(Text(static_cast<const char*>(nullptr)), Text(""));
  EXPECT_EQ(text_length(bytes("\xB0\xA1\xC7\xA9")), 4);
}

struct FindCase {
  const char* name;
  Text text;
  Text sought;
  std::optional<int32_t> start;
  bool ignore_case;
  int32_t expected;
};

class FindText : public testing::TestWithParam<FindCase> {};

TEST_P(FindText, GivesThePositionOfTheFirstOccurrence) {
  const FindCase& c = GetParam();
  const int32_t found = c.start ? find_text(c.text, c.sought, *c.start, c.ignore_case)
                                : find_text(c.text, c.sought, c.ignore_case);
  EXPECT_EQ(found, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FindText,
    testing::Values(
        FindCase{"EmptyInText", "abc", "", {}, false, 1},
        FindCase{"EmptyInEmpty", "", "", {}, false, -1},
        FindCase{"EmptyFromInside", "abcdef", "", 4, false, 1},
        FindCase{"EmptyPastEnd", "abcdef", "", 7, false, -1},
        FindCase{"FromThree", "abcabc", "bc", 3, false, 5},
        FindCase{"FromPastEnd", "abcabc", "bc", 7, false, -1},
        FindCase{"FromZero", "abcabc", "bc", 0, false, 2},
        FindCase{"FromNegative", "abcabc", "bc", -5, false, 2},
        FindCase{"SecondByteIsNotACharacter", bytes("\xB0\x41\x42"), "A", {}, false, -1},
        FindCase{"SecondByteIgnoringCase", bytes("\xB0\x41\x42"), "a", {}, true, -1},
        FindCase{"AfterTwoByteCharacter", bytes("\xB0\x41\x42"), "B", {}, false, 3},
        FindCase{"CaseFoldsSecondBytes", bytes("\x81\x61"), bytes("\x81\x41"), {}, true, 1},
        FindCase{"SecondBytesExact", bytes("\x81\x61"), bytes("\x81\x41"), {}, false, -1},
        FindCase{"IgnoringCase", "Hello", "hello", {}, true, 1},
        FindCase{"ExactCase", "Hello", "hello", {}, false, -1},
        FindCase{"StartInsideCharacter", bytes("\xB0\x41\x42"), "A", 2, false, 2},
        FindCase{"MatchAtDanglingByte", bytes("a\xB0"), bytes("\xB0"), {}, false, 2},
        FindCase{"LongerThanText", "ab", "abc", {}, false, -1},
        FindCase{"LeadByteFF", bytes("\xFF<a"), "<", {}, false, -1},
        FindCase{"FromLargestStart", "abc", "c", 2147483647, false, -1},
        FindCase{"FromLowestStart", "abc", "c", -2147483647 - 1, false, 3}),
    [](const auto& tested) { return tested.param.name; });

struct ReverseCase {
  const char* name;
  Text text;
  Text sought;
  std::optional<int32_t> start;
  int32_t expected;
};

class FindTextReverse : public testing::TestWithParam<ReverseCase> {};

TEST_P(FindTextReverse, GivesTheLastOccurrenceBeforeTheStart) {
  const ReverseCase& c = GetParam();
  const int32_t found = c.start ? find_text_reverse(c.text, c.sought, *c.start, false)
                                : find_text_reverse(c.text, c.sought, false);
  EXPECT_EQ(found, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FindTextReverse,
    testing::Values(ReverseCase{"WholeText", "a.b.c", ".", {}, 4},
                    ReverseCase{"BeforeFour", "a.b.c", ".", 4, 2},
                    ReverseCase{"BeforeTwo", "a.b.c", ".", 2, -1},
                    ReverseCase{"AtTheEnd", "abc.", ".", {}, 4},
                    ReverseCase{"EndingOnLastByte", "abc.", ".", 4, -1},
                    ReverseCase{"Empty", "abc", "", {}, 1},
                    ReverseCase{"EmptyBeforeOne", "abc", "", 1, -1},
                    ReverseCase{"FromLargestStart", "a.b.", ".", 2147483647, 4},
                    ReverseCase{"SkipsSecondBytes", bytes("\xB0.a."), ".", 4, -1}),
    [](const auto& tested) { return tested.param.name; });

TEST(TextCuts, CountBytesAndClampToTheText) {
  EXPECT_EQ(text_left("abc", 5), Text("abc"));
  EXPECT_EQ(text_left("abc", 0), Text());
  EXPECT_EQ(text_right("abc", 2), Text("bc"));
  EXPECT_EQ(text_right("abc", 9), Text("abc"));
  EXPECT_EQ(text_right("abc", -1), Text());
  EXPECT_EQ(text_mid("abcdef", 3, 2), Text("cd"));
  EXPECT_EQ(text_mid("abcdef", 5, 10), Text("ef"));
  EXPECT_EQ(text_mid("abc", 0, 2), Text());
  EXPECT_EQ(text_mid("abc", 4, 1), Text());
  EXPECT_EQ(text_mid("abc", 2, 0), Text());
  EXPECT_EQ(text_mid("abc", 2, 2147483647), Text("bc"));
  EXPECT_EQ(text_left(bytes("\xC7\xA9"), 1), bytes("\xC7"));
}

struct ReplaceCase {
  const char* name;
  Text text;
  Text sought;
  Text replacement;
  int32_t start;
  int32_t count;
  bool case_sensitive;
  Text expected;
};

class ReplaceText : public testing::TestWithParam<ReplaceCase> {};

TEST_P(ReplaceText, ReplacesFromTheStartUpToTheCount) {
  const ReplaceCase& c = GetParam();
  EXPECT_EQ(replace_text(c.text, c.sought, c.replacement, c.start, c.count, c.case_sensitive),
            c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReplaceText,
    testing::Values(
        ReplaceCase{"Every", "aXbXc", "X", "--", 1, -1, true, "a--b--c"},
        ReplaceCase{"NoSecondPass", "aaa", "aa", "a", 1, -1, true, "aa"},
        ReplaceCase{"IgnoringCase", "ABab", "ab", "x", 1, -1, false, "xx"},
        ReplaceCase{"ExactCase", "ABab", "ab", "x", 1, -1, true, "ABx"},
        ReplaceCase{"FromThree", "aXbXcX", "X", "-", 3, -1, true, "aXb-c-"},
        ReplaceCase{"TwoOnly", "aXbXcX", "X", "-", 1, 2, true, "a-b-cX"},
        ReplaceCase{"NoneAllowed", "aXbXcX", "X", "-", 1, 0, true, "aXbXcX"},
        ReplaceCase{"FromPastEnd", "aXbXcX", "X", "-", 9, -1, true, "aXbXcX"},
        ReplaceCase{"EmptySought", "abc", "", "-", 1, -1, true, "abc"},
        ReplaceCase{"EmptyText", "", "a", "-", 1, -1, true, ""},
        ReplaceCase{"NotInsideCharacter", bytes("\xB0XX"), "X", "-", 1, -1, true, bytes("\xB0X-")},
        ReplaceCase{"DanglingByteReached", bytes("aX\xB0"), "X", "-", 1, -1, true, "a-"},
        ReplaceCase{"DanglingByteBeyondScan", bytes("aXb\xB0"), "Xb", "-", 1, -1, true,
                    bytes("a-\xB0")}),
    [](const auto& tested) { return tested.param.name; });

TEST(ReplaceText, DefaultsReplaceEveryOccurrence) {
  EXPECT_EQ(replace_text("a,b,c", ",", ";", true), Text("a;b;c"));
}

struct SpacesCase {
  const char* name;
  Text text;
  Text trimmed;
  Text without_spaces;
};

class Spaces : public testing::TestWithParam<SpacesCase> {};

TEST_P(Spaces, TrimAndRemoveTreatOnlySpaceAndFullWidthSpaceAsSpaces) {
  EXPECT_EQ(trim_both(GetParam().text), GetParam().trimmed);
  EXPECT_EQ(remove_all_spaces(GetParam().text), GetParam().without_spaces);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Spaces,
    testing::Values(SpacesCase{"Ascii", "  a b  ", "a b", "ab"},
                    SpacesCase{"TabsStay", "\ta\t", "\ta\t", "\ta\t"},
                    SpacesCase{"FullWidth",
                               bytes("\xA1\xA1"
                                     "a\xA1\xA1"),
                               "a", "a"},
                    SpacesCase{"OnlySpaces", "   ", "", ""},
                    SpacesCase{"MixedControls", " a b\tc ", "a b\tc", "ab\tc"},
                    SpacesCase{"DanglingByteCutSpacesStay", bytes("a \xB0"), "a ", "a"},
                    SpacesCase{"A1NotSpaceWhenSecondByteDiffers", bytes(" \xA1\xA2 "),
                               bytes("\xA1\xA2"), bytes("\xA1\xA2")},
                    SpacesCase{"SpaceAsSecondByteIsNoSpace", bytes("\xB0  "), bytes("\xB0 "),
                               bytes("\xB0 ")}),
    [](const auto& tested) { return tested.param.name; });

TEST(ToLower, FoldsOneByteCapitalsOnly) {
  EXPECT_EQ(to_lower("ABC-def"), Text("abc-def"));
  EXPECT_EQ(to_lower(bytes("\xB0\x41")), bytes("\xB0\x41"));
  EXPECT_EQ(to_lower(bytes("A\xB0")), bytes("a\xB0"));
}

struct SplitCase {
  const char* name;
  Text text;
  Text separator;
  std::optional<int32_t> max_pieces;
  std::vector<std::string> expected;
};

class SplitText : public testing::TestWithParam<SplitCase> {};

TEST_P(SplitText, CutsAtEverySeparator) {
  const SplitCase& c = GetParam();
  EXPECT_EQ(pieces_of(split_text(c.text, c.separator, c.max_pieces)), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SplitText,
    testing::Values(SplitCase{"EmptyPieceKeptLastDropped", "a;b;;c;", ";", {}, {"a", "b", "", "c"}},
                    SplitCase{"LeadingSeparator", ";a", ";", {}, {"", "a"}},
                    SplitCase{"EmptyText", "", ";", {}, {}},
                    SplitCase{"OnlySeparator", ";", ";", {}, {""}},
                    SplitCase{"EmptySeparator", "abc", "", {}, {"abc"}},
                    SplitCase{"MaximumOne", "a;b;c", ";", 1, {"a"}},
                    SplitCase{"MaximumTwo", "a;b;c", ";", 2, {"a", "b"}},
                    SplitCase{"NegativeMaximum", "a;b", ";", -3, {}},
                    SplitCase{"LineBreaks", "a\r\nb\r\n", "\r\n", {}, {"a", "b"}},
                    SplitCase{"NotInsideCharacter", bytes("\xB0;a;b"), ";", {}, {"\xB0;a", "b"}},
                    SplitCase{"CaseMatters", "aXbxc", "x", {}, {"aXb", "c"}}),
    [](const auto& tested) { return tested.param.name; });

TEST(SplitText, DefaultSeparatorIsComma) {
  EXPECT_EQ(pieces_of(split_text("a,b")), (std::vector<std::string>{"a", "b"}));
}

TEST(SmallTexts, CompareCharFromCodeBlankAndConcat) {
  EXPECT_EQ(compare_text(Text(static_cast<const char*>(nullptr)), ""), 0);
  EXPECT_EQ(compare_text("ab", "abc"), -1);
  EXPECT_EQ(compare_text("b", "a"), 1);
  EXPECT_EQ(compare_text(bytes("\x80"), "\x7F"), 1);
  EXPECT_EQ(char_from_code(0), Text());
  EXPECT_EQ(char_from_code(65), Text("A"));
  EXPECT_EQ(char_from_code(321), Text("A"));
  EXPECT_EQ(char_from_code(256), Text());
  EXPECT_EQ(blank_text(3), Text("   "));
  EXPECT_EQ(blank_text(0), Text());
  EXPECT_EQ(blank_text(-1), Text());
  EXPECT_EQ(concat_text(Text(), "a", Text("")), Text("a"));
}

TEST(Cp936Literals, HoldTheirCodePage936Bytes) {
  EXPECT_EQ("签名"_cp936.str(), "\xC7\xA9\xC3\xFB");
  EXPECT_EQ("超拽"_cp936.str(), "\xB3\xAC\xD7\xA7");
  EXPECT_EQ("个性签名"_cp936.str(), "\xB8\xF6\xD0\xD4\xC7\xA9\xC3\xFB");
}

// Draws texts from the bytes where the character stepping can go wrong: lead bytes at both ends
// of their range, second bytes that are letters or '<', full-width spaces and dangling bytes.
// Long texts, some made mostly of lead bytes, reach past the block-wise scan's 16-byte steps.
class Generator {
 public:
  explicit Generator(uint32_t seed) : engine_(seed) {}

  std::string text(size_t max_length, bool mostly_lead_bytes = false) {
    static constexpr unsigned char kBytes[] = {'a',  'b',  'A',  'B', '<', ' ',  0x80,
                                               0xFF, 0xA1, 0xB0, 'x', 'X', 0x41, 0x61};
    static constexpr unsigned char kLeadBytes[] = {0x80, 0xFF, 0xA1, 0xB0};
    std::string out(pick(max_length + 1), ' ');
    for (char& c : out) {
      c = static_cast<char>(mostly_lead_bytes && pick(8) != 0 ? kLeadBytes[pick(sizeof kLeadBytes)]
                                                              : kBytes[pick(sizeof kBytes)]);
    }
    return out;
  }

  // Often a stretch of the text itself, perhaps with its letters' case changed.
  std::string sought(const std::string& text) {
    if (text.empty() || pick(4) == 0) return this->text(3);
    const size_t from = pick(text.size());
    // Up to 60 bytes, past the longest text that a short stretch is padded for.
    const size_t longest = pick(8) == 0 ? 61 : pick(4) == 0 ? 30 : 5;
    std::string part = text.substr(from, pick(longest));
    if (pick(2) == 0) {
      for (char& c : part) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
      }
    }
    return part;
  }

  int32_t around(int32_t length) { return static_cast<int32_t>(pick(length + 5)) - 2; }
  size_t pick(size_t bound) { return std::uniform_int_distribution<size_t>(0, bound - 1)(engine_); }

 private:
  std::mt19937 engine_;
};

TEST(TextDifferential, AgreesWithTheByteByByteRulesOnGeneratedTexts) {
  Generator draw(20261211);
  for (int round = 0; round < 60000; ++round) {
    DifferentialCase c;
    static constexpr size_t kLengths[] = {6, 40, 150};
    c.text = draw.text(kLengths[round % 3], round % 5 == 0);
    c.sought = draw.sought(c.text);
    c.replacement = draw.text(3);
    c.start = draw.around(static_cast<int32_t>(c.text.size()));
    c.count = static_cast<int32_t>(draw.pick(5)) - 1;
    c.flag = draw.pick(2) == 0;
    if (draw.pick(3) == 0) c.max_pieces = static_cast<int32_t>(draw.pick(5)) - 1;
    const std::string difference = first_difference(c);
    ASSERT_EQ(difference, "") << describe(c);
  }
}

}  // namespace
}  // namespace tarnwick

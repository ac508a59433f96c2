#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "collect/extract.h"
#include "core/cp936.h"

namespace tarnwick {
namespace {

std::vector<std::string> entries_of(const TextArray& results) {
  std::vector<std::string> entries;
  for (const Text& entry : results) entries.push_back(entry.str());
  return entries;
}

struct ExtractCase {
  const char* name;
  Text source;
  Text left;
  Text right;
  ExtractOptions options;
  std::vector<std::string> expected;
};

class ExtractAllBetween : public testing::TestWithParam<ExtractCase> {};

TEST_P(ExtractAllBetween, CutsTheTrimmedEntriesInOrder) {
  const ExtractCase& c = GetParam();
  TextArray results;
  array_append(results, "left over from an earlier page");
  const int32_t count = extract_all_between(c.source, c.left, c.right, results, c.options);
  EXPECT_EQ(entries_of(results), c.expected);
  EXPECT_EQ(count, static_cast<int32_t>(c.expected.size()));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ExtractAllBetween,
    testing::Values(
        ExtractCase{"TwoEntries", "[a] [b]", "[", "]", {}, {"a", "b"}},
        ExtractCase{"EmptyEntryEndsTheRun", "[a] [   ] [z]", "[", "]", {}, {"a"}},
        ExtractCase{"LeftMarkerInsideEntry", "<<a<<b>>", "<<", ">>", {}, {"a<<b"}},
        ExtractCase{"SameMarkerBothSides", "|a|b|", "|", "|", {}, {"a", "b"}},
        ExtractCase{"NoRightMarkerBehind", "] [a", "[", "]", {}, {}},
        ExtractCase{"NothingBetween", "[]", "[", "]", {}, {}},
        ExtractCase{"TooLongEndsTheRun", "[abcd] [x]", "[", "]", {.max_length = 3}, {}},
        ExtractCase{"LongEnough", "[abc] [x]", "[", "]", {.max_length = 3}, {"abc", "x"}},
        ExtractCase{"NegativeMaximum", "[a]", "[", "]", {.max_length = -1}, {}},
        ExtractCase{
            "AllDecorations",
            "[a]",
            "[",
            "]",
            {.prefix = "P", .suffix = "S", .keep_left_marker = true, .keep_right_marker = true},
            {"[PaS]"}},
        ExtractCase{"CapitalMarkersFindSmall", "<p>a</p>", "<P>", "</P>", {}, {"a"}},
        ExtractCase{"SmallMarkersFindCapital", "<P>a</P>", "<p>", "</p>", {}, {"a"}},
        ExtractCase{
            "CaseSensitive", "<P>a</P><p>b</p>", "<p>", "</p>", {.case_sensitive = true}, {"b"}},
        ExtractCase{"SpacesTrimmed", "[   a ]", "[", "]", {}, {"a"}},
        ExtractCase{"FullWidthSpacesTrimmed",
                    "[\xA1\xA1"
                    "a\xA1\xA1]",
                    "[",
                    "]",
                    {},
                    {"a"}},
        ExtractCase{"StartPosition", "[a] [b]", "[", "]", {.start_position = 2}, {"b"}},
        ExtractCase{"StartPositionOne", "[a] [b]", "[", "]", {.start_position = 1}, {"a", "b"}},
        ExtractCase{"EmptySource", "", "[", "]", {}, {}},
        ExtractCase{"EmptyLeftMarker", "a] b]", "", "]", {}, {}},
        ExtractCase{"EmptyRightMarker", "[a [b", "[", "", {}, {}},
        ExtractCase{"MarkerNotInsideCharacter", "\xB0[a] [b]", "[", "]", {}, {"b"}},
        ExtractCase{"PageMarkers",
                    "<P style=\"TEXT-ALIGN: center\"> sig one </P>"
                    "<p STYLE=\"text-align: CENTER\">sig two</p>",
                    "style=\"TEXT-ALIGN: center\">",
                    "</P>",
                    {},
                    {"sig one", "sig two"}}),
    [](const auto& tested) { return tested.param.name; });

TEST(ExtractAllBetween, ManyEntriesRunInALoop) {
  std::string page;
  for (int i = 0; i < 200000; ++i) page += "[x]";
  TextArray results;
  EXPECT_EQ(extract_all_between(Text(page), "[", "]", results), 200000);
}

TEST(ExtractAllBetween, ReadsASourceHeldByTheResultsBeforeReplacingThem) {
  TextArray results;
  array_append(results, "[a] [b] [c]");
  array_append(results, "]");
  EXPECT_EQ(extract_all_between(results.at(1), "[", results.at(2), results), 3);
  EXPECT_EQ(entries_of(results), (std::vector<std::string>{"a", "b", "c"}));
}

TEST(ExtractAllBetween, ShorterRunReleasesTheEntriesOfTheLongerOne) {
  TextArray results;
  EXPECT_EQ(extract_all_between("[a] [b] [c]", "[", "]", results), 3);
  EXPECT_EQ(extract_all_between("[long entry]", "[", "]", results), 1);
  EXPECT_EQ(entries_of(results), (std::vector<std::string>{"long entry"}));
}

struct CleanCase {
  const char* name;
  Text signature;
  Text expected;
};

class CleanSignature : public testing::TestWithParam<CleanCase> {};

TEST_P(CleanSignature, RemovesTheFiveFragmentsInOrder) {
  EXPECT_EQ(clean_signature(GetParam().signature), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CleanSignature,
    testing::Values(
        CleanCase{"EveryFragment",
                  concat_text("<STRONG>a", "个性签名"_cp936, "b", "超拽"_cp936, "<BR>c<&nbsp>"),
                  "abc"},
        CleanCase{"SmallLettersStay", "<strong>a<br>", "<strong>a<br>"},
        CleanCase{"ClosingTagsStay", "</STRONG>a</BR>", "</STRONG>a</BR>"},
        CleanCase{"StrongInsideBr", "<B<STRONG>R>x", "x"},
        CleanCase{"StrongInsideSignatureWord",
                  concat_text(Text("\xB8\xF6\xD0\xD4"), "<STRONG>", Text("\xC7\xA9\xC3\xFB"), "y"),
                  "y"},
        CleanCase{"NbspStays", "a&nbsp;b", "a&nbsp;b"},
        CleanCase{"UncoveredSpaceStays", "<BR> word", " word"}, CleanCase{"Empty", "", ""}),
    [](const auto& tested) { return tested.param.name; });

}  // namespace
}  // namespace tarnwick

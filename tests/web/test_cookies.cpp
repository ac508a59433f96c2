#include <gtest/gtest.h>

#include <initializer_list>

#include "core/cp936.h"
#include "web/cookies.h"

namespace tarnwick {
namespace {

TextArray texts(std::initializer_list<const char*> members) {
  TextArray array;
  for (const char* member : members) array.append(member);
  return array;
}

struct MergeCase {
  const char* cookies;
  const char* new_cookies;
  const char* merged;
  const char* new_cookies_after;
};

class MergeCookiesTest : public testing::TestWithParam<MergeCase> {};

TEST_P(MergeCookiesTest, MergesIntoTheKeptList) {
  const MergeCase& c = GetParam();
  Text cookies = c.cookies;
  Text new_cookies = c.new_cookies;
  const Text returned = merge_cookies(cookies, new_cookies);
  EXPECT_EQ(returned, Text(c.merged));
  EXPECT_EQ(cookies, Text(c.merged));
  EXPECT_EQ(new_cookies, Text(c.new_cookies_after));
}

INSTANTIATE_TEST_SUITE_P(
    Lists, MergeCookiesTest,
    testing::Values(
        MergeCase{"a=1; b=2; c=3", "b=9; c=deleted; d=4", "b=9; d=4; a=1", "b=9;c=deleted;d=4"},
        MergeCase{"a=1; a=2; x", "a=5; a=5; e=deleted", "a=5; x", "a=5;a=5;e=deleted"},
        MergeCase{"a=1", "a=deleted", "", "a=deleted"}, MergeCase{"A=1", "a=2", "a=2; A=1", "a=2"},
        MergeCase{"", "a=1; a=2", "a=1; a=2", "a=1;a=2"}, MergeCase{"k=a b", "", "k=ab", ""},
        MergeCase{"a=1;", "", "a=1", ""}, MergeCase{"a=1;;b=2", "", "a=1; ; b=2", ""},
        MergeCase{"a=1;;;b=2;;", "", "a=1; ; b=2", ""},
        MergeCase{"deleted; x=deleted", "", "deleted", ""}, MergeCase{"", "", "", ""},
        MergeCase{"s=1", "n=1;n=2", "n=1; n=2; s=1", "n=1;n=2"},
        MergeCase{" p = 1 ; q=2", "p=3", "p=3; q=2", "p=3"}));

TEST(MergeCookiesTest, FullWidthSpacesAreRemovedToo) {
  Text cookies = concat_text("a=1;", "\u3000"_cp936, "b=2");
  Text new_cookies;
  EXPECT_EQ(merge_cookies(cookies, new_cookies), Text("a=1; b=2"));
}

struct NameCase {
  const char* entry;
  const char* name;
};

class CookieNameTest : public testing::TestWithParam<NameCase> {};

TEST_P(CookieNameTest, NameBeforeFirstEquals) {
  EXPECT_EQ(cookie_name(GetParam().entry), Text(GetParam().name));
}

INSTANTIATE_TEST_SUITE_P(Entries, CookieNameTest,
                         testing::Values(NameCase{"a=1", "a"}, NameCase{" a =1=2", "a"},
                                         NameCase{"bare ", "bare"}, NameCase{"=v", ""},
                                         NameCase{"", ""}));

TEST(HasCookieNamedTest, ComparesNamesExactly) {
  const TextArray entries = texts({"x=1", " Sid =2", "bare"});
  EXPECT_TRUE(has_cookie_named(entries, "Sid"));
  EXPECT_TRUE(has_cookie_named(entries, "bare"));
  EXPECT_FALSE(has_cookie_named(entries, "sid"));
  EXPECT_FALSE(has_cookie_named(entries, "1"));
  EXPECT_FALSE(has_cookie_named(TextArray{}, ""));
}

struct SegmentCase {
  const char* text;
  const char* separator;
  const char* expected;
};

class RemoveDuplicateSegmentsTest : public testing::TestWithParam<SegmentCase> {};

TEST_P(RemoveDuplicateSegmentsTest, KeepsFirstOccurrences) {
  const SegmentCase& c = GetParam();
  EXPECT_EQ(remove_duplicate_segments(c.text, c.separator), Text(c.expected));
}

INSTANTIATE_TEST_SUITE_P(Texts, RemoveDuplicateSegmentsTest,
                         testing::Values(SegmentCase{"a; b; a; c; b", "; ", "a; b; c"},
                                         SegmentCase{"a; ; b; ; c", "; ", "a; ; b; c"},
                                         SegmentCase{"a,A,a", ",", "a,A"},
                                         SegmentCase{"a,b,", ",", "a,b"}, SegmentCase{"", "; ", ""},
                                         SegmentCase{"ab", "", "ab"}));

TEST(TextArrayIndexOfTest, FirstExactMatch) {
  const TextArray array = texts({"a", "B", "b", "b"});
  EXPECT_EQ(text_array_index_of(array, "a"), 1);
  EXPECT_EQ(text_array_index_of(array, "b"), 3);
  EXPECT_EQ(text_array_index_of(array, "A"), -1);
  EXPECT_EQ(text_array_index_of(TextArray{}, "a"), -1);
}

}  // namespace
}  // namespace tarnwick

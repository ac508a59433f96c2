#include <gtest/gtest.h>

#include <optional>

#include "core/cp936.h"
#include "web/url.h"

namespace tarnwick {
namespace {

struct AddressCase {
  const char* url;
  const char* host;
  const char* main_domain;
  const char* with_port;
  int32_t port;
  const char* path;
};

class AddressTest : public testing::TestWithParam<AddressCase> {};

TEST_P(AddressTest, TakesTheAddressApart) {
  const AddressCase& c = GetParam();
  EXPECT_EQ(url_host(c.url), Text(c.host));
  EXPECT_EQ(url_host(c.url, true), Text(c.main_domain));
  EXPECT_EQ(url_host(c.url, false, true), Text(c.with_port));
  EXPECT_EQ(url_port(c.url), c.port);
  EXPECT_EQ(url_path(c.url), Text(c.path));
}

INSTANTIATE_TEST_SUITE_P(
    Addresses, AddressTest,
    testing::Values(AddressCase{"HTTP://W.A.B/d/p.html", "w.a.b", "a.b", "w.a.b", 80, "/d/p.html"},
                    AddressCase{"http://w.a.b:8080/x", "w.a.b", "a.b", "w.a.b:8080", 8080, "/x"},
                    AddressCase{"https://a.b/x?y=1", "a.b", "a.b", "a.b", 443, "/x?y=1"},
                    AddressCase{"w.a.b:81/x/", "w.a.b", "a.b", "w.a.b:81", 81, "/x/"},
                    AddressCase{"https://w.a.b:444", "w.a.b", "a.b", "w.a.b:444", 444, "/"},
                    AddressCase{"ftp://w.a.b/x", "ftp", "ftp", "ftp:", 0, "//w.a.b/x"},
                    AddressCase{"", "", "", "", 80, "/"},
                    AddressCase{"HTTPS://X.Y/Q", "x.y", "x.y", "x.y", 443, "/Q"},
                    AddressCase{"http://a..b/", "a..b", ".b", "a..b", 80, "/"},
                    AddressCase{"http://q:/", "q", "q", "q:", 0, "/"},
                    // The host "t" is found inside the scheme first.
                    AddressCase{"http://t/Path", "t", "t", "t", 80, "//t/Path"}));

struct DotCase {
  std::optional<int32_t> dot_count;
  const char* main_domain;
  const char* full;
  const char* main_domain_with_port;
};

class DotCountTest : public testing::TestWithParam<DotCase> {};

TEST_P(DotCountTest, KeepsTheCountedLabels) {
  const DotCase& c = GetParam();
  const Text url = "http://v.w.x.y:81/p:";
  EXPECT_EQ(url_host(url, true, false, c.dot_count), Text(c.main_domain));
  EXPECT_EQ(url_host(url, false, false, c.dot_count), Text(c.full));
  EXPECT_EQ(url_host(url, true, true, c.dot_count), Text(c.main_domain_with_port));
}

INSTANTIATE_TEST_SUITE_P(Counts, DotCountTest,
                         testing::Values(DotCase{0, "y", "x.y", "y:81"},
                                         DotCase{-3, "y", "x.y", "y:81"},
                                         DotCase{1, "x.y", "w.x.y", "x.y:81"},
                                         DotCase{2, "w.x.y", "v.w.x.y", "w.x.y:81"},
                                         DotCase{3, "v.w.x.y", "v.w.x.y", "v.w.x.y:81"},
                                         DotCase{2147483647, "v.w.x.y", "v.w.x.y", "v.w.x.y:81"},
                                         // Omitted: the standard mode, which drops the port early.
                                         DotCase{std::nullopt, "x.y", "v.w.x.y", "x.y:81"}));

struct DotEdgeCase {
  const char* url;
  int32_t dot_count;
  bool main_domain;
  const char* host;
};

class DotCountEdgeTest : public testing::TestWithParam<DotEdgeCase> {};

TEST_P(DotCountEdgeTest, Host) {
  const DotEdgeCase& c = GetParam();
  EXPECT_EQ(url_host(c.url, c.main_domain, false, c.dot_count), Text(c.host));
}

INSTANTIATE_TEST_SUITE_P(
    Edges, DotCountEdgeTest,
    testing::Values(DotEdgeCase{"HTTPS://A.B.C/x", 0, false, "b.c"},
                    DotEdgeCase{"a.b.c.", 0, true, "c."},  // a dot in the last byte is not counted
                    DotEdgeCase{"nodots", 0, true, "nodots"},
                    DotEdgeCase{"nodots", 0, false, "nodots"},
                    DotEdgeCase{"x.http://a.b", 1, false, "x.a.b"},  // removed anywhere
                    DotEdgeCase{"", 2, true, ""}));

struct BetweenCase {
  const char* source;
  const char* left;
  const char* right;
  int32_t start;
  bool ignore_case;
  const char* expected;
};

class TextBetweenTest : public testing::TestWithParam<BetweenCase> {};

TEST_P(TextBetweenTest, Cuts) {
  const BetweenCase& c = GetParam();
  EXPECT_EQ(text_between(c.source, c.left, c.right, c.start, c.ignore_case), Text(c.expected));
}

INSTANTIATE_TEST_SUITE_P(
    Markers, TextBetweenTest,
    testing::Values(BetweenCase{"a<b>c<d>", "<", ">", 1, false, "b"},
                    BetweenCase{"a<b>c<d>", "<", ">", 3, false, "d"},
                    BetweenCase{"a<b>c<d>", "<", ">", -4, false, "b"},
                    BetweenCase{"abc", "<", ">", 1, false, ""},    // left missing
                    BetweenCase{"a<bc", "<", ">", 1, false, ""},   // right missing
                    BetweenCase{"a>b<c", "<", ">", 1, false, ""},  // right only before left
                    BetweenCase{"a<b>c", "<", "", 1, false, ""},   // right empty
                    BetweenCase{"a<>c", "<", ">", 1, false, ""},   // adjacent markers
                    BetweenCase{"xLEFTvRIGHT", "left", "right", 1, true, "v"},
                    BetweenCase{"xLEFTvRIGHT", "left", "right", 1, false, ""}));

TEST(TextBetweenTest, QuoteTokenStandsForADoubleQuote) {
  const Text& quote = "#引号"_cp936;
  EXPECT_EQ(text_between("say \"hi\" now", quote, quote), Text("hi"));
  EXPECT_EQ(text_between("<a href=\"u\">", concat_text("href=", quote), concat_text(quote, ">")),
            Text("u"));
  // The token itself in the source is not a quote to the search.
  EXPECT_EQ(text_between(concat_text("x", quote, "y\"z"), "x", quote), concat_text(quote, "y"));
}

struct HeaderCase {
  const char* line;
  const char* value;
};

class HeaderValueTest : public testing::TestWithParam<HeaderCase> {};

TEST_P(HeaderValueTest, ValueAfterFirstColon) {
  EXPECT_EQ(header_value(GetParam().line), Text(GetParam().value));
}

INSTANTIATE_TEST_SUITE_P(Lines, HeaderValueTest,
                         testing::Values(HeaderCase{"Location: http://a.b:8/x", "http://a.b:8/x"},
                                         HeaderCase{"Name:   two words  ", "two words"},
                                         HeaderCase{"no colon here", ""}, HeaderCase{"Empty:", ""},
                                         HeaderCase{":v", "v"}, HeaderCase{"", ""}));

}  // namespace
}  // namespace tarnwick

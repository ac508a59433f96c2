#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "support/test_server.h"
#include "web/fetch.h"
#include "web/wininet.h"

namespace tarnwick {
namespace {

constexpr const char* kDefaultBlock =
    "Referer: {url}\r\nAccept: */*\r\nAccept-Language: zh-cn\r\n"
    "Content-Type: application/x-www-form-urlencoded";

std::string with_url(std::string text, const std::string& url) {
  for (size_t at = text.find("{url}"); at != std::string::npos; at = text.find("{url}")) {
    text.replace(at, 5, url);
  }
  return text;
}

// The request's header lines without those that the transport adds on its own.
std::vector<std::string> caller_lines(const RecordedRequest& request) {
  std::vector<std::string> lines;
  for (const std::string& line : request.header_lines()) {
    const std::string name = line.substr(0, line.find(':'));
    if (name == "Host" || name == "Content-Length") continue;
    lines.push_back(line);
  }
  std::sort(lines.begin(), lines.end());
  return lines;
}

template <typename Case>
std::string case_name(const testing::TestParamInfo<Case>& param) {
  return param.param.name;
}

std::vector<std::string> sorted_lines(const std::string& block) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (;;) {
    const size_t end = block.find("\r\n", start);
    std::string line = block.substr(start, end == std::string::npos ? end : end - start);
    if (!line.empty()) lines.push_back(line);
    if (end == std::string::npos) break;
    start = end + 2;
  }
  std::sort(lines.begin(), lines.end());
  return lines;
}

struct RequestCase {
  const char* name;
  int32_t method;
  const char* post_text;
  const char* extra_headers;
  std::optional<const char*> cookies;
  std::optional<std::string> post_bytes;
  const char* request_method;
  const char* sent_block;  // extra_headers afterwards; {url} stands for the address
  const char* wire_agent;  // the User-Agent line that the server sees, when not in the block
  std::string wire_body;
  std::string post_bytes_after;
};

class FetchRequestTest : public testing::TestWithParam<RequestCase> {};

TEST_P(FetchRequestTest, SendsTheCompletedRequest) {
  const RequestCase& c = GetParam();
  TestServer server = TestServer::answering(http_response("200 OK", "ok"));
  const std::string url = server.url("/d/Page.html?q=1");

  Text extra_headers = c.extra_headers;
  Text cookies = c.cookies.value_or("");
  ByteString post_bytes(c.post_bytes.value_or(""));
  const ByteString body = fetch_page(Text(url), {.method = c.method,
                                                 .post_text = c.post_text,
                                                 .cookies = c.cookies ? &cookies : nullptr,
                                                 .extra_headers = &extra_headers,
                                                 .post_bytes = &post_bytes});

  EXPECT_EQ(body.view(), "ok");
  const std::string block = with_url(c.sent_block, url);
  EXPECT_EQ(extra_headers.str(), block);
  EXPECT_EQ(std::string(post_bytes.view()), c.post_bytes_after);

  const std::vector<RecordedRequest> requests = server.requests();
  ASSERT_EQ(requests.size(), 1u);
  const RecordedRequest& sent = requests[0];
  EXPECT_EQ(sent.request_line(), std::string(c.request_method) + " /d/Page.html?q=1 HTTP/1.1");
  EXPECT_EQ(sent.header("Host"), server.host_port());
  std::string expected_wire = block;
  if (c.wire_agent != nullptr) expected_wire += std::string("\r\n") + c.wire_agent;
  EXPECT_EQ(caller_lines(sent), sorted_lines(expected_wire));
  EXPECT_EQ(sent.body, c.wire_body);
  const std::optional<std::string> length = sent.header("Content-Length");
  if (c.method == 0) {
    EXPECT_EQ(length, std::nullopt);
  } else {
    EXPECT_EQ(length, std::to_string(c.wire_body.size()));
  }
}

const std::string kDefaultAgentLine = std::string("User-Agent: ") + default_user_agent;

INSTANTIATE_TEST_SUITE_P(
    Requests, FetchRequestTest,
    testing::Values(
        RequestCase{"CollectionRunCall",
                    0,
                    "",
                    "",
                    {},
                    {},
                    "GET",
                    kDefaultBlock,
                    kDefaultAgentLine.c_str(),
                    "",
                    ""},
        RequestCase{"GetSendsNoBodyAndLeavesPostBytes",
                    0,
                    "a=1",
                    "",
                    {},
                    {},
                    "GET",
                    kDefaultBlock,
                    kDefaultAgentLine.c_str(),
                    "",
                    ""},
        RequestCase{"AgentAsLastLine",
                    0,
                    "",
                    "User-Agent: X",
                    {},
                    {},
                    "GET",
                    "User-Agent: X\r\nReferer: {url}\r\nAccept: */*\r\nAccept-Language: zh-cn\r\n"
                    "Content-Type: application/x-www-form-urlencoded",
                    nullptr,
                    "",
                    ""},
        RequestCase{"BlockEndingInCrLfGetsAnEmptyLine",
                    0,
                    "",
                    "X-A: 1\r\n",
                    {},
                    {},
                    "GET",
                    "X-A: 1\r\n\r\nReferer: {url}\r\nAccept: */*\r\nAccept-Language: zh-cn\r\n"
                    "Content-Type: application/x-www-form-urlencoded",
                    kDefaultAgentLine.c_str(),
                    "",
                    ""},
        RequestCase{"CallersAcceptKept",
                    0,
                    "",
                    "Accept: text/html",
                    {},
                    {},
                    "GET",
                    "Accept: text/html\r\nReferer: {url}\r\nAccept-Language: zh-cn\r\n"
                    "Content-Type: application/x-www-form-urlencoded",
                    kDefaultAgentLine.c_str(),
                    "",
                    ""},
        RequestCase{"LowerCaseAcceptGetsTheDefaultToo",
                    0,
                    "",
                    "accept: text/html",
                    {},
                    {},
                    "GET",
                    "accept: text/html\r\nReferer: {url}\r\nAccept: */*\r\n"
                    "Accept-Language: zh-cn\r\nContent-Type: application/x-www-form-urlencoded",
                    kDefaultAgentLine.c_str(),
                    "",
                    ""},
        RequestCase{"CallersRefererAndTypeKept",
                    0,
                    "",
                    "Referer: http://r/\r\nContent-Type: text/plain",
                    {},
                    {},
                    "GET",
                    "Referer: http://r/\r\nContent-Type: text/plain\r\nAccept: */*\r\n"
                    "Accept-Language: zh-cn",
                    kDefaultAgentLine.c_str(),
                    "",
                    ""},
        RequestCase{"CookieLineAndCookiesSendTwoLines",
                    0,
                    "",
                    "Cookie: z=9",
                    "a=1; b=2",
                    {},
                    "GET",
                    "Cookie: z=9\r\nReferer: {url}\r\nAccept: */*\r\nAccept-Language: zh-cn\r\n"
                    "Content-Type: application/x-www-form-urlencoded\r\nCookie: a=1; b=2",
                    kDefaultAgentLine.c_str(),
                    "",
                    ""},
        RequestCase{"EmptyCookiesSendNoLine",
                    0,
                    "",
                    "",
                    "",
                    {},
                    "GET",
                    kDefaultBlock,
                    kDefaultAgentLine.c_str(),
                    "",
                    ""},
        RequestCase{"PostText",
                    1,
                    "x=1&y=2",
                    "",
                    {},
                    {},
                    "POST",
                    kDefaultBlock,
                    kDefaultAgentLine.c_str(),
                    "x=1&y=2",
                    "x=1&y=2"},
        RequestCase{"PostBytesWinOverText",
                    1,
                    "ignored",
                    "",
                    {},
                    std::string("a\0b\0", 4),
                    "POST",
                    kDefaultBlock,
                    kDefaultAgentLine.c_str(),
                    std::string("a\0b\0", 4),
                    std::string("a\0b\0", 4)},
        RequestCase{"EmptyPost",
                    1,
                    "",
                    "",
                    {},
                    {},
                    "POST",
                    kDefaultBlock,
                    kDefaultAgentLine.c_str(),
                    "",
                    ""},
        RequestCase{"OtherMethodsGetWithABody",
                    2,
                    "m=2",
                    "",
                    {},
                    {},
                    "GET",
                    kDefaultBlock,
                    kDefaultAgentLine.c_str(),
                    "m=2",
                    "m=2"}),
    case_name<RequestCase>);

struct AgentCase {
  const char* extra_headers;
  const char* agent;
};

class RequestAgentTest : public testing::TestWithParam<AgentCase> {};

TEST_P(RequestAgentTest, FollowsTheFallbacks) {
  EXPECT_EQ(request_agent(GetParam().extra_headers), Text(GetParam().agent));
}

INSTANTIATE_TEST_SUITE_P(
    Blocks, RequestAgentTest,
    testing::Values(AgentCase{"", default_user_agent}, AgentCase{"Accept: x", default_user_agent},
                    AgentCase{"User-Agent: X", "X"},
                    AgentCase{"A: 1\r\nUser-Agent:  Y z \r\nB: 2", "Y z"},
                    // Found ignoring case, cut case-sensitively: falls back to the whole block.
                    AgentCase{"user-agent: y\r\nB: 2", "y\r\nB: 2"},
                    AgentCase{"A: 1\r\nUSER-AGENT: y", "1\r\nUSER-AGENT: y"},
                    AgentCase{"User-Agent:\r\nB: 2", "\r\nB: 2"}));

TEST(RequestFlagsTest, CombinesTheFlags) {
  EXPECT_EQ(request_flags("http://a/x", false, false), 0x80004010u);
  EXPECT_EQ(request_flags("HTTPS://a/x", false, false), 0x80800010u);
  EXPECT_EQ(request_flags("http://a/x", true, true), 0x80284010u);
}

struct ResponseCase {
  const char* name;
  std::vector<std::string> header_lines;
  std::optional<const char*> cookies;
  const char* location_before;
  const char* new_cookies;
  const char* cookies_after;
  const char* location;  // nullptr: the raw headers
};

class FetchResponseTest : public testing::TestWithParam<ResponseCase> {};

TEST_P(FetchResponseTest, ReportsHeadersCookiesAndLocation) {
  const ResponseCase& c = GetParam();
  TestServer server = TestServer::answering(http_response("200 OK", "body", c.header_lines));

  Text cookies = c.cookies.value_or("");
  Text new_cookies = "stale";
  Text location = c.location_before;
  Text raw_headers;
  const ByteString body =
      fetch_page(Text(server.url("/")), {.cookies = c.cookies ? &cookies : nullptr,
                                         .new_cookies = &new_cookies,
                                         .location = &location,
                                         .raw_headers = &raw_headers});

  EXPECT_EQ(body.view(), "body");
  std::string expected_raw = "HTTP/1.1 200 OK\r\n";
  for (const std::string& line : c.header_lines) expected_raw += line + "\r\n";
  expected_raw += "Content-Length: 4\r\n\r\n";
  EXPECT_EQ(raw_headers.str(), expected_raw);
  EXPECT_EQ(new_cookies, Text(c.new_cookies));
  EXPECT_EQ(cookies, Text(c.cookies_after));
  EXPECT_EQ(location, c.location != nullptr ? Text(c.location) : raw_headers);
}

INSTANTIATE_TEST_SUITE_P(
    Responses, FetchResponseTest,
    testing::Values(ResponseCase{"NoCookiesNoLocation", {}, {}, "", "", "", nullptr},
                    ResponseCase{"IncomingLocationSurvives", {}, {}, "kept", "", "", "kept"},
                    ResponseCase{"TwoSetCookieLines",
                                 {"Set-Cookie: a=1; path=/", "Set-Cookie: b=2; HttpOnly"},
                                 {},
                                 "",
                                 "a=1; b=2",
                                 "",
                                 nullptr},
                    ResponseCase{"CookieWithoutAttributesIsKept",
                                 {"Set-Cookie: sid=abc", "Set-Cookie: b=2; path=/"},
                                 {},
                                 "",
                                 "sid=abc; b=2",
                                 "",
                                 nullptr},
                    ResponseCase{"NameOnlyBeginningWithSetCookieGivesAnEmptyEntry",
                                 {"Set-Cookie2: z=1; path=/", "Set-Cookie: b=2; path=/"},
                                 {},
                                 "",
                                 "; b=2",
                                 "",
                                 nullptr},
                    ResponseCase{"LowerCaseNamesAreNotRecognised",
                                 {"set-cookie: q=1; path=/", "location: /l"},
                                 {},
                                 "",
                                 "",
                                 "",
                                 nullptr},
                    ResponseCase{"ContentLocationCountsAndTheLastWins",
                                 {"Location: /a", "Content-Location: /b"},
                                 {},
                                 "in",
                                 "",
                                 "",
                                 "/b"},
                    ResponseCase{"MergedIntoSuppliedCookies",
                                 {"Set-Cookie: a=2; path=/", "Set-Cookie: c=deleted; path=/"},
                                 "a=1; b=3; c=4",
                                 "",
                                 "a=2;c=deleted",
                                 "a=2; b=3",
                                 nullptr},
                    ResponseCase{"SuppliedEmptyCookies",
                                 {"Set-Cookie: a = 1 2; path=/"},
                                 "",
                                 "",
                                 "a=12",
                                 "a=12",
                                 nullptr}),
    case_name<ResponseCase>);

TEST(FetchTest, SuppliedCookiesAreSentAsTheyCame) {
  TestServer server = TestServer::answering(http_response("200 OK", ""));
  Text cookies = "a=1; b=2";
  fetch_page(Text(server.url("/")), {.cookies = &cookies});
  ASSERT_EQ(server.requests().size(), 1u);
  EXPECT_EQ(server.requests()[0].header("Cookie"), "a=1; b=2");
  EXPECT_EQ(cookies, Text("a=1; b=2"));
}

TEST(FetchTest, BodyArrivesWholeAcrossManyReads) {
  std::string page(50 * 1024 + 7, '\0');
  for (size_t i = 0; i < page.size(); ++i) page[i] = static_cast<char>(i * 31 % 251);
  TestServer server = TestServer::answering(http_response("200 OK", page));
  EXPECT_EQ(std::string(fetch_page(Text(server.url("/big"))).view()), page);
}

TEST(FetchTest, RedirectRefusedReturnsTheRedirectItself) {
  TestServer server = TestServer::responding([](const RecordedRequest& request) {
    if (request.target() == "/from") return http_response("302 Found", "moved", {"Location: /to"});
    return http_response("200 OK", "final");
  });
  Text location;
  Text raw_headers;
  const ByteString body =
      fetch_page(Text(server.url("/from")),
                 {.location = &location, .no_redirect = true, .raw_headers = &raw_headers});
  EXPECT_EQ(body.view(), "moved");
  EXPECT_EQ(location, Text("/to"));
  EXPECT_EQ(raw_headers.view().substr(0, 22), "HTTP/1.1 302 Found\r\nLo");
  EXPECT_EQ(server.requests().size(), 1u);
}

TEST(FetchTest, RedirectFollowedReportsTheFinalResponse) {
  TestServer server = TestServer::responding([](const RecordedRequest& request) {
    if (request.target() == "/from") {
      return http_response("302 Found", "moved", {"Location: /to", "Set-Cookie: r=1; path=/"});
    }
    return http_response("200 OK", "final", {"Set-Cookie: f=2; path=/"});
  });
  Text location;
  Text raw_headers;
  Text new_cookies;
  const ByteString body =
      fetch_page(Text(server.url("/from")),
                 {.new_cookies = &new_cookies, .location = &location, .raw_headers = &raw_headers});
  EXPECT_EQ(body.view(), "final");
  EXPECT_EQ(raw_headers.view().substr(0, 17), "HTTP/1.1 200 OK\r\n");
  EXPECT_EQ(raw_headers.view().find("302"), std::string_view::npos);
  EXPECT_EQ(new_cookies, Text("f=2"));
  EXPECT_EQ(location, raw_headers);
  ASSERT_EQ(server.requests().size(), 2u);
  EXPECT_EQ(server.requests()[1].target(), "/to");
}

TEST(FetchTest, ProxyForwardsTheRequest) {
  TestServer origin = TestServer::answering(http_response("200 OK", "via proxy"));
  TestServer proxy = TestServer::forwarding_proxy();
  const std::string url = origin.url("/p?x=1");
  const ByteString body = fetch_page(Text(url), {.proxy = Text(proxy.host_port())});
  EXPECT_EQ(body.view(), "via proxy");
  ASSERT_EQ(proxy.requests().size(), 1u);
  EXPECT_EQ(proxy.requests()[0].target(), url);
  ASSERT_EQ(origin.requests().size(), 1u);
  EXPECT_EQ(origin.requests()[0].target(), "/p?x=1");
  EXPECT_EQ(origin.requests()[0].header("Referer"), url);
}

TEST(FetchTest, EmptyProxyFetchesDirectly) {
  TestServer server = TestServer::answering(http_response("200 OK", "direct"));
  EXPECT_EQ(fetch_page(Text(server.url("/")), {.proxy = Text()}).view(), "direct");
}

class SecureFetchTest : public testing::Test {
 protected:
  void SetUp() override { wininet_settings().ca_file = test_ca_file(); }
  void TearDown() override { wininet_settings() = saved_; }

 private:
  WinInetSettings saved_ = wininet_settings();
};

TEST_F(SecureFetchTest, HttpsAddressUsesTls) {
  TestServer server = TestServer::answering(
      http_response("200 OK", "secret", {"Set-Cookie: t=1; Secure"}), {.tls = true});
  const std::string url = server.url("/s");
  ASSERT_EQ(url.substr(0, 8), "https://");
  Text new_cookies;
  Text extra_headers;
  EXPECT_EQ(
      fetch_page(Text(url), {.new_cookies = &new_cookies, .extra_headers = &extra_headers}).view(),
      "secret");
  EXPECT_EQ(new_cookies, Text("t=1"));
  EXPECT_EQ(extra_headers.str(), with_url(kDefaultBlock, url));
}

TEST(FetchTest, CallsOnSeveralThreadsShareNothing) {
  TestServer server = TestServer::responding([](const RecordedRequest& request) {
    return http_response("200 OK", request.target(), {"Set-Cookie: p=" + request.target() + ";"});
  });
  constexpr int kThreads = 3;
  constexpr int kCalls = 8;
  std::vector<int> mismatches(kThreads, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int call = 0; call < kCalls; ++call) {
        const std::string path = "/" + std::to_string(t) + "/" + std::to_string(call);
        Text new_cookies;
        const ByteString body = fetch_page(Text(server.url(path)), {.new_cookies = &new_cookies});
        if (body.view() != path || new_cookies != Text("p=" + path)) ++mismatches[t];
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(mismatches, std::vector<int>(kThreads, 0));
  EXPECT_EQ(server.requests().size(), static_cast<size_t>(kThreads * kCalls));
}

TEST(FetchTest, ErrorStatusStillReturnsTheBody) {
  TestServer server = TestServer::answering(http_response("404 Not Found", "no such page"));
  Text raw_headers;
  const ByteString body = fetch_page(Text(server.url("/missing")), {.raw_headers = &raw_headers});
  EXPECT_EQ(body.view(), "no such page");
  EXPECT_EQ(raw_headers.view().substr(0, 24), "HTTP/1.1 404 Not Found\r\n");
}

TEST(FetchTest, ConnectionClosedMidBodyReturnsWhatCame) {
  const std::string part(3000, 'p');
  TestServer server =
      TestServer::scripted(Script()
                               .read_request()
                               .send("HTTP/1.1 200 OK\r\nContent-Length: 10000\r\n\r\n" + part)
                               .close());
  EXPECT_EQ(std::string(fetch_page(Text(server.url("/"))).view()), part);
}

uint16_t closed_port() {
  TestServer server = TestServer::answering("");
  return server.port();
}

struct RefusedCase {
  const char* location_before;
  const char* location_after;  // nullptr: the 5000 spaces
};

class RefusedConnectionTest : public testing::TestWithParam<RefusedCase> {};

TEST_P(RefusedConnectionTest, ReportsAnEmptyAnswer) {
  const std::string url = "http://127.0.0.1:" + std::to_string(closed_port()) + "/x";
  Text location = GetParam().location_before;
  Text raw_headers = "old";
  Text new_cookies = "old";
  Text extra_headers;
  const ByteString body = fetch_page(Text(url), {.new_cookies = &new_cookies,
                                                 .extra_headers = &extra_headers,
                                                 .location = &location,
                                                 .raw_headers = &raw_headers});
  EXPECT_TRUE(body.empty());
  EXPECT_EQ(raw_headers, blank_text(header_buffer_size));
  EXPECT_EQ(new_cookies, Text());
  EXPECT_EQ(location, GetParam().location_after != nullptr ? Text(GetParam().location_after)
                                                           : blank_text(header_buffer_size));
  EXPECT_EQ(extra_headers.str(), with_url(kDefaultBlock, url));
}

INSTANTIATE_TEST_SUITE_P(Locations, RefusedConnectionTest,
                         testing::Values(RefusedCase{"", nullptr}, RefusedCase{"kept", "kept"}));

class PortOutOfRangeTest : public testing::TestWithParam<int> {};

TEST_P(PortOutOfRangeTest, OpensNoConnection) {
  TestServer server = TestServer::answering(http_response("200 OK", "wrong port"));
  // Cut to 16 bits, this port would land on the server's.
  const int port = static_cast<int>(server.port()) + GetParam();
  const std::string url = "http://127.0.0.1:" + std::to_string(port) + "/";
  Text extra_headers = "X-A: 1";
  Text raw_headers = "old";
  Text location = "old";
  const ByteString body = fetch_page(
      Text(url),
      {.extra_headers = &extra_headers, .location = &location, .raw_headers = &raw_headers});
  EXPECT_TRUE(body.empty());
  EXPECT_EQ(extra_headers, Text("X-A: 1"));
  EXPECT_EQ(raw_headers, Text("old"));
  EXPECT_EQ(location, Text("old"));
  EXPECT_EQ(server.connection_count(), 0);
}

INSTANTIATE_TEST_SUITE_P(Ports, PortOutOfRangeTest, testing::Values(65536, -65536));

struct HeaderSizeCase {
  size_t padding;
  bool fits;
};

class HeaderBufferTest : public testing::TestWithParam<HeaderSizeCase> {};

TEST_P(HeaderBufferTest, HeadersMustFitWithTheirTerminator) {
  const std::string pad(GetParam().padding, 'x');
  TestServer server =
      TestServer::answering(http_response("200 OK", "b", {"Set-Cookie: a=1; p", "X-Pad: " + pad}));
  Text raw_headers;
  Text new_cookies;
  Text location;
  EXPECT_EQ(
      fetch_page(Text(server.url("/")),
                 {.new_cookies = &new_cookies, .location = &location, .raw_headers = &raw_headers})
          .view(),
      "b");
  if (GetParam().fits) {
    EXPECT_EQ(raw_headers.length(), header_buffer_size - 1);
    EXPECT_EQ(new_cookies, Text("a=1"));
  } else {
    EXPECT_EQ(raw_headers, blank_text(header_buffer_size));
    EXPECT_EQ(new_cookies, Text());
  }
  EXPECT_EQ(location, raw_headers);
}

// The status line and the other lines take 67 bytes besides the padding.
INSTANTIATE_TEST_SUITE_P(Sizes, HeaderBufferTest,
                         testing::Values(HeaderSizeCase{4932, true}, HeaderSizeCase{4933, false}));

}  // namespace
}  // namespace tarnwick

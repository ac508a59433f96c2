#include <gtest/gtest.h>

#include <cstdlib>
#include <ostream>
#include <string>
#include <vector>

#include "support/closed_port.h"
#include "support/test_server.h"
#include "web/wininet.h"
#include "web/wininet_client.h"

namespace tarnwick {
namespace {

using namespace std::string_literals;
using std::chrono::milliseconds;

// Every test runs with short bounds and puts the process-wide settings back afterwards.
class WinInet : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = wininet_settings();
    wininet_settings().connect_timeout_ms = 2000;
    wininet_settings().stall_timeout_ms = 2000;
  }
  // The authority is made on first use; only the tests that talk TLS pay for it.
  static void trust_test_authority() { wininet_settings().ca_file = test_ca_file(); }
  void TearDown() override { wininet_settings() = saved_; }

  static WinInetResult round(const TestServer& server, const std::string& object,
                             const WinInetCall& call = {}) {
    return wininet_round("127.0.0.1", server.port(), object, call);
  }

 private:
  WinInetSettings saved_;
};

std::string replace_all(std::string text, const std::string& from, const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

const std::string kOk = http_response("200 OK", "ok");

struct RequestCase {
  const char* name;
  WinInetCall call;
  std::string expected;  // {host} stands for 127.0.0.1:<port>
};

void PrintTo(const RequestCase& c, std::ostream* os) { *os << c.name; }

class RequestBytes : public WinInet, public ::testing::WithParamInterface<RequestCase> {};

TEST_P(RequestBytes, GoOutExactlyAsWritten) {
  const RequestCase& c = GetParam();
  auto server = TestServer::answering(kOk);
  WinInetResult result = round(server, "/page", c.call);
  ASSERT_TRUE(result.sent);
  std::vector<RecordedRequest> requests = server.requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].raw(), replace_all(c.expected, "{host}", server.host_port()));
}

const std::string kFetchBlock =
    "Referer: http://x/\r\nAccept: */*\r\nAccept-Language: zh-cn\r\n"
    "Content-Type: application/x-www-form-urlencoded";

INSTANTIATE_TEST_SUITE_P(
    Layer, RequestBytes,
    ::testing::Values(
        RequestCase{"PlainGet",
                    {},
                    "GET /page HTTP/1.1\r\nHost: {host}\r\nUser-Agent: TestAgent/1\r\n\r\n"},
        RequestCase{"FetchDefaultsOnGet", WinInetCall().with_headers(kFetchBlock),
                    "GET /page HTTP/1.1\r\nHost: {host}\r\nUser-Agent: TestAgent/1\r\n" +
                        kFetchBlock + "\r\n\r\n"},
        RequestCase{"CallerUserAgentReplacesTheAgent",
                    WinInetCall().with_headers("User-Agent: Mine\r\nX-A: 1"),
                    "GET /page HTTP/1.1\r\nHost: {host}\r\nUser-Agent: Mine\r\nX-A: 1\r\n\r\n"},
        RequestCase{"CallerUserAgentInLowerCase", WinInetCall().with_headers("user-agent: mine"),
                    "GET /page HTTP/1.1\r\nHost: {host}\r\nuser-agent: mine\r\n\r\n"},
        RequestCase{"EmptyLinesDoNotEndTheHeaders",
                    WinInetCall().with_headers("X-A: 1\r\n\r\nX-B: 2\r\n"),
                    "GET /page HTTP/1.1\r\nHost: {host}\r\nUser-Agent: TestAgent/1\r\nX-A: "
                    "1\r\nX-B: 2\r\n\r\n"},
        RequestCase{
            "HeaderWithEmptyValueIsSent", WinInetCall().with_headers("X-Empty:\r\nX-A: 1"),
            "GET /page HTTP/1.1\r\nHost: {host}\r\nUser-Agent: TestAgent/1\r\nX-Empty:\r\nX-A: "
            "1\r\n\r\n"},
        RequestCase{"PostBodyWithZeroBytes", WinInetCall().with_verb("POST").with_body("a\0b\0c"s),
                    "POST /page HTTP/1.1\r\nHost: {host}\r\nUser-Agent: TestAgent/1\r\n"
                    "Content-Length: 5\r\n\r\na\0b\0c"s},
        RequestCase{"PostWithoutOptionalSendsAnEmptyBody", WinInetCall().with_verb("POST"),
                    "POST /page HTTP/1.1\r\nHost: {host}\r\nUser-Agent: TestAgent/1\r\n"
                    "Content-Length: 0\r\n\r\n"},
        RequestCase{"GetWithBody", WinInetCall().with_body("k=v"),
                    "GET /page HTTP/1.1\r\nHost: {host}\r\nUser-Agent: TestAgent/1\r\n"
                    "Content-Length: 3\r\n\r\nk=v"},
        RequestCase{"FetchDefaultsOnPost",
                    WinInetCall().with_verb("POST").with_headers(kFetchBlock).with_body("k=v"),
                    "POST /page HTTP/1.1\r\nHost: {host}\r\nUser-Agent: TestAgent/1\r\n" +
                        kFetchBlock + "\r\nContent-Length: 3\r\n\r\nk=v"},
        RequestCase{"LargeBodyWithoutExpect",
                    WinInetCall().with_verb("POST").with_body(std::string(200000, 'z')),
                    "POST /page HTTP/1.1\r\nHost: {host}\r\nUser-Agent: TestAgent/1\r\n"
                    "Content-Length: 200000\r\n\r\n" +
                        std::string(200000, 'z')},
        RequestCase{
            "CallerExpectIsHonoured",
            WinInetCall().with_verb("POST").with_headers("Expect: 100-continue").with_body("k=v"),
            "POST /page HTTP/1.1\r\nHost: {host}\r\nUser-Agent: TestAgent/1\r\n"
            "Expect: 100-continue\r\nContent-Length: 3\r\n\r\nk=v"}),
    [](const auto& param_info) { return std::string(param_info.param.name); });

struct HeaderCase {
  const char* name;
  std::string script;  // what the server sends after reading the request
  std::string raw_headers;
  std::string body;
};

void PrintTo(const HeaderCase& c, std::ostream* os) { *os << c.name; }

class RawHeaders : public WinInet, public ::testing::WithParamInterface<HeaderCase> {};

TEST_P(RawHeaders, AreThoseOfTheFinalResponse) {
  const HeaderCase& c = GetParam();
  auto server = TestServer::scripted(Script().read_request().send(c.script).close());
  WinInetResult result = round(server, "/", {});
  EXPECT_TRUE(result.sent);
  ASSERT_TRUE(result.raw_headers.has_value());
  EXPECT_EQ(*result.raw_headers, c.raw_headers);
  EXPECT_EQ(result.body, c.body);
}

INSTANTIATE_TEST_SUITE_P(
    Layer, RawHeaders,
    ::testing::Values(
        HeaderCase{"RepeatedSetCookieKeptInOrder",
                   "HTTP/1.1 200 OK\r\nSet-Cookie: a=1; path=/\r\nX: y\r\nSet-Cookie: b=2\r\n"
                   "Content-Length: 2\r\n\r\nok",
                   "HTTP/1.1 200 OK\r\nSet-Cookie: a=1; path=/\r\nX: y\r\nSet-Cookie: b=2\r\n"
                   "Content-Length: 2\r\n\r\n",
                   "ok"},
        HeaderCase{"InterimContinueDropped",
                   "HTTP/1.1 100 Continue\r\nX-Interim: 1\r\n\r\nHTTP/1.1 200 OK\r\n"
                   "Content-Length: 2\r\n\r\nok",
                   "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\n", "ok"},
        HeaderCase{"ChunkedTrailersLeftOut",
                   "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n2\r\nok\r\n0\r\n"
                   "X-Trailer: 1\r\n\r\n",
                   "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n", "ok"},
        HeaderCase{"BareLineFeedsBecomeCrLf", "HTTP/1.1 200 OK\nX: y\nContent-Length: 2\n\nok",
                   "HTTP/1.1 200 OK\r\nX: y\r\nContent-Length: 2\r\n\r\n", "ok"},
        HeaderCase{"BodyToCloseWithoutLength", "HTTP/1.1 200 OK\r\nX: y\r\n\r\nbody until close",
                   "HTTP/1.1 200 OK\r\nX: y\r\n\r\n", "body until close"}),
    [](const auto& param_info) { return std::string(param_info.param.name); });

TEST_F(WinInet, RawHeadersAfterRedirectAreTheTargetsOnly) {
  auto server = TestServer::responding([](const RecordedRequest& r) {
    if (r.target() == "/from") return http_response("302 Found", "moved", {"Location: /to"});
    return http_response("200 OK", "final", {"X-Final: 1"});
  });
  WinInetResult result = round(server, "/from");
  EXPECT_EQ(result.raw_headers, "HTTP/1.1 200 OK\r\nX-Final: 1\r\nContent-Length: 5\r\n\r\n");
  EXPECT_EQ(result.body, "final");
}

// A response whose header text is exactly `size` bytes long.
std::string response_with_header_size(size_t size) {
  std::string head = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nX-Pad: \r\n\r\n";
  head.insert(head.find("X-Pad: ") + 7, std::string(size - head.size(), 'p'));
  return head + "ok";
}

struct BufferCase {
  size_t header_size;
  bool fits;
};

class HeaderBuffer : public WinInet, public ::testing::WithParamInterface<BufferCase> {};

TEST_P(HeaderBuffer, HoldsTheHeadersWithTheirZeroByteOrIsLeftAlone) {
  const BufferCase& c = GetParam();
  auto server = TestServer::answering(response_with_header_size(c.header_size));
  HINTERNET internet = InternetOpenA("a", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
  HINTERNET connection = InternetConnectA(internet, "127.0.0.1", server.port(), nullptr, nullptr,
                                          INTERNET_SERVICE_HTTP, 0, 0);
  HINTERNET request = HttpOpenRequestA(connection, "GET", "/", "HTTP/1.1", nullptr, nullptr,
                                       INTERNET_FLAG_RELOAD, 0);
  ASSERT_TRUE(HttpSendRequestA(request, nullptr, 0, nullptr, 0));
  std::string buffer(5000, '#');
  uint32_t length = 5000;
  bool ok = HttpQueryInfoA(request, HTTP_QUERY_RAW_HEADERS_CRLF, buffer.data(), &length, nullptr);
  EXPECT_EQ(ok, c.fits);
  if (c.fits) {
    EXPECT_EQ(length, c.header_size);
    EXPECT_EQ(buffer[c.header_size], '\0');
    EXPECT_EQ(buffer.substr(0, 17), "HTTP/1.1 200 OK\r\n");
  } else {
    EXPECT_EQ(length, c.header_size + 1);
    EXPECT_EQ(buffer, std::string(5000, '#'));
  }
  char body[16];
  uint32_t count = 0;
  EXPECT_TRUE(InternetReadFile(request, body, sizeof body, &count));
  EXPECT_EQ(std::string(body, count), "ok");
  EXPECT_TRUE(InternetCloseHandle(request));
  EXPECT_TRUE(InternetCloseHandle(connection));
  EXPECT_TRUE(InternetCloseHandle(internet));
}

INSTANTIATE_TEST_SUITE_P(Layer, HeaderBuffer,
                         ::testing::Values(BufferCase{4998, true}, BufferCase{4999, true},
                                           BufferCase{5000, false}, BufferCase{20000, false}));

// Serves /hop/<n> as a redirect to /hop/<n-1>, and /hop/0 as the final page.
TestServer redirect_chain(const std::string& status) {
  return TestServer::responding([status](const RecordedRequest& r) {
    std::string target = r.target();
    if (target == "/hop/0") return http_response("200 OK", "end");
    int n = std::atoi(target.substr(5).c_str());
    return http_response(status, "hop", {"Location: /hop/" + std::to_string(n - 1)});
  });
}

TEST_F(WinInet, FollowsTenRedirectsAndReturnsTheEleventh) {
  struct Case {
    int hops;
    size_t requests;
    std::string status_line;
  };
  for (const Case& c : {Case{10, 11, "HTTP/1.1 200 OK"}, Case{11, 11, "HTTP/1.1 302 Found"}}) {
    auto server = redirect_chain("302 Found");
    WinInetResult result = round(server, "/hop/" + std::to_string(c.hops));
    EXPECT_EQ(server.requests().size(), c.requests) << c.hops;
    ASSERT_TRUE(result.raw_headers) << c.hops;
    EXPECT_EQ(result.raw_headers->substr(0, c.status_line.size()), c.status_line) << c.hops;
  }
}

struct MethodCase {
  std::string status;
  std::string verb;
  std::string second_method;
  std::string second_body;
};

class RedirectMethod : public WinInet, public ::testing::WithParamInterface<MethodCase> {};

TEST_P(RedirectMethod, ChangesToGetWithoutBodyWhereBrowsersDo) {
  const MethodCase& c = GetParam();
  auto server = redirect_chain(c.status);
  WinInetResult result = round(server, "/hop/1", WinInetCall().with_verb(c.verb).with_body("k=v"));
  EXPECT_EQ(result.body, "end");
  std::vector<RecordedRequest> requests = server.requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].body, "k=v");
  EXPECT_EQ(requests[1].method(), c.second_method);
  EXPECT_EQ(requests[1].body, c.second_body);
  EXPECT_EQ(requests[1].header("Content-Length"),
            c.second_body.empty() ? std::nullopt : std::optional<std::string>("3"));
}

INSTANTIATE_TEST_SUITE_P(Layer, RedirectMethod,
                         ::testing::Values(MethodCase{"301 Moved", "POST", "GET", ""},
                                           MethodCase{"302 Found", "POST", "GET", ""},
                                           MethodCase{"303 See Other", "POST", "GET", ""},
                                           MethodCase{"307 Temporary", "POST", "POST", "k=v"},
                                           MethodCase{"308 Permanent", "POST", "POST", "k=v"},
                                           MethodCase{"303 See Other", "GET", "GET", ""},
                                           MethodCase{"302 Found", "GET", "GET", "k=v"}));

TEST_F(WinInet, RedirectsThatAreNotFollowed) {
  struct Case {
    const char* name;
    std::string location;
    uint32_t flags;
  };
  for (const Case& c : {Case{"ftp scheme", "ftp://127.0.0.1/x", INTERNET_FLAG_RELOAD},
                        Case{"file scheme", "file:///etc/passwd", INTERNET_FLAG_RELOAD},
                        Case{"no auto redirect", "/elsewhere", INTERNET_FLAG_NO_AUTO_REDIRECT}}) {
    auto server = TestServer::answering(
        http_response("302 Found", "redirect body", {"Location: " + c.location}));
    WinInetResult result = round(server, "/", WinInetCall().with_flags(c.flags));
    EXPECT_EQ(server.requests().size(), 1u) << c.name;
    EXPECT_EQ(result.body, "redirect body") << c.name;
    EXPECT_EQ(result.raw_headers,
              "HTTP/1.1 302 Found\r\nLocation: " + c.location + "\r\nContent-Length: 13\r\n\r\n")
        << c.name;
  }
}

TEST_F(WinInet, CallerCredentialsStayWithTheFirstOrigin) {
  auto other = TestServer::answering(http_response("200 OK", "other"));
  auto first = TestServer::responding([&other](const RecordedRequest& r) {
    if (r.target() == "/here") return http_response("302 Found", "", {"Location: /landing"});
    if (r.target() == "/away") {
      return http_response("302 Found", "", {"Location: " + other.url("/landing")});
    }
    return http_response("200 OK", "first");
  });
  WinInetCall call =
      WinInetCall().with_headers("Cookie: s=1\r\nAuthorization: Basic eDp5\r\nX-Keep: 1");
  struct Case {
    std::string object;
    const TestServer& landing;
    int credential_lines;
  };
  for (const Case& c : {Case{"/here", first, 1}, Case{"/away", other, 0}}) {
    round(first, c.object, call);
    std::vector<RecordedRequest> landed = c.landing.requests();
    ASSERT_FALSE(landed.empty()) << c.object;
    EXPECT_EQ(landed.back().header_count("Cookie"), c.credential_lines) << c.object;
    EXPECT_EQ(landed.back().header_count("Authorization"), c.credential_lines) << c.object;
    EXPECT_EQ(landed.back().header("X-Keep"), "1") << c.object;
  }
}

TEST_F(WinInet, RedirectsBetweenSchemes) {
  trust_test_authority();
  auto secure = TestServer::answering(http_response("200 OK", "secure"), {.tls = true});
  auto plain = TestServer::answering(http_response("200 OK", "plain"));
  auto secure_to_plain = TestServer::answering(
      http_response("302 Found", "stays secure", {"Location: " + plain.url("/p")}), {.tls = true});
  auto plain_to_secure = TestServer::answering(
      http_response("302 Found", "stays plain", {"Location: " + secure.url("/s")}));
  struct Case {
    const char* name;
    const TestServer& first;
    uint32_t flags;
    std::string body;
  };
  const uint32_t to_https = INTERNET_FLAG_RELOAD | INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTPS;
  for (const Case& c :
       {Case{"http to https with its flag", plain_to_secure, to_https, "secure"},
        Case{"http to https without it", plain_to_secure, INTERNET_FLAG_RELOAD, "stays plain"},
        Case{"https to http", secure_to_plain, INTERNET_FLAG_SECURE, "stays secure"}}) {
    EXPECT_EQ(round(c.first, "/", WinInetCall().with_flags(c.flags)).body, c.body) << c.name;
  }
  EXPECT_EQ(secure.requests().size(), 1u);
  EXPECT_EQ(plain.requests().size(), 0u);
}

TEST_F(WinInet, HttpsAgainstTheLocalAuthority) {
  trust_test_authority();
  auto server = TestServer::answering(http_response("200 OK", "over tls"), {.tls = true});
  WinInetResult trusted = round(server, "/", WinInetCall().with_flags(INTERNET_FLAG_SECURE));
  EXPECT_TRUE(trusted.sent);
  EXPECT_EQ(trusted.body, "over tls");
  ASSERT_EQ(server.requests().size(), 1u);
  EXPECT_EQ(server.requests()[0].request_line(), "GET / HTTP/1.1");

  wininet_settings().ca_file.clear();
  WinInetResult untrusted = round(server, "/", WinInetCall().with_flags(INTERNET_FLAG_SECURE));
  EXPECT_FALSE(untrusted.sent);
  EXPECT_EQ(untrusted.body, "");
  EXPECT_FALSE(untrusted.raw_headers);
  EXPECT_EQ(server.requests().size(), 1u);
}

// /set stores a cookie and sends the client on to /check, which reports the Cookie line it got.
TestServer cookie_server() {
  return TestServer::responding([](const RecordedRequest& r) {
    if (r.target() == "/set") {
      return http_response("302 Found", "", {"Set-Cookie: a=1; path=/", "Location: /check"});
    }
    return http_response("200 OK", r.header("Cookie").value_or("none"));
  });
}

TEST_F(WinInet, CookieStoreIsPerInternetHandleAndOffWithNoCookies) {
  struct Case {
    uint32_t flags;
    std::string same_round;
    std::string next_request;
  };
  for (const Case& c : {Case{INTERNET_FLAG_RELOAD, "a=1", "a=1"},
                        Case{INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_COOKIES, "none", "none"}}) {
    auto server = cookie_server();
    HINTERNET internet = InternetOpenA("a", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    HINTERNET connection = InternetConnectA(internet, "127.0.0.1", server.port(), nullptr, nullptr,
                                            INTERNET_SERVICE_HTTP, 0, 0);
    std::vector<std::string> bodies;
    for (const char* object : {"/set", "/check"}) {
      HINTERNET request =
          HttpOpenRequestA(connection, "GET", object, "HTTP/1.1", nullptr, nullptr, c.flags, 0);
      HttpSendRequestA(request, nullptr, 0, nullptr, 0);
      char chunk[64];
      uint32_t count = 0;
      InternetReadFile(request, chunk, sizeof chunk, &count);
      bodies.emplace_back(chunk, count);
      InternetCloseHandle(request);
    }
    InternetCloseHandle(connection);
    InternetCloseHandle(internet);
    EXPECT_EQ(bodies[0], c.same_round) << c.flags;
    EXPECT_EQ(bodies[1], c.next_request) << c.flags;
    // A fresh internet handle starts with an empty store.
    EXPECT_EQ(round(server, "/check").body, "none");
  }
}

TEST_F(WinInet, ProxyListServesHttpOnly) {
  trust_test_authority();
  auto origin = TestServer::answering(http_response("200 OK", "origin"));
  auto secure = TestServer::answering(http_response("200 OK", "secure"), {.tls = true});
  auto proxy = TestServer::forwarding_proxy();
  WinInetCall call = WinInetCall().with_proxy("http=" + proxy.host_port());

  WinInetResult plain = round(origin, "/p?q=1", call);
  EXPECT_EQ(plain.body, "origin");
  std::vector<RecordedRequest> received = proxy.requests();
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received[0].request_line(), "GET " + origin.url("/p?q=1") + " HTTP/1.1");
  EXPECT_EQ(received[0].header_count("Proxy-Connection"), 0);
  ASSERT_EQ(origin.requests().size(), 1u);
  EXPECT_EQ(origin.requests()[0].request_line(), "GET /p?q=1 HTTP/1.1");

  call.flags |= INTERNET_FLAG_SECURE;
  EXPECT_EQ(round(secure, "/", call).body, "secure");
  EXPECT_EQ(proxy.requests().size(), 1u);
  EXPECT_EQ(secure.requests().size(), 1u);
}

// Sets the proxy variables of the environment for one test and removes them after it.
class EnvironmentProxies : public WinInet {
 protected:
  void SetUp() override {
    WinInet::SetUp();
    for (const char* name : kNames) unsetenv(name);
  }
  void TearDown() override {
    for (const char* name : kNames) unsetenv(name);
    WinInet::TearDown();
  }
  static constexpr const char* kNames[] = {"http_proxy", "HTTPS_PROXY", "ALL_PROXY",
                                           "all_proxy",  "no_proxy",    "NO_PROXY"};
};

TEST_F(EnvironmentProxies, AreIgnored) {
  trust_test_authority();
  auto origin = TestServer::answering(http_response("200 OK", "origin"));
  auto secure = TestServer::answering(http_response("200 OK", "secure"), {.tls = true});
  auto trap = TestServer::forwarding_proxy();
  std::string trap_url = "http://" + trap.host_port();
  setenv("http_proxy", trap_url.c_str(), 1);
  setenv("HTTPS_PROXY", trap_url.c_str(), 1);
  setenv("ALL_PROXY", trap_url.c_str(), 1);
  EXPECT_EQ(round(origin, "/").body, "origin");
  EXPECT_EQ(round(secure, "/", WinInetCall().with_flags(INTERNET_FLAG_SECURE)).body, "secure");
  EXPECT_EQ(trap.connection_count(), 0);

  auto proxy = TestServer::forwarding_proxy();
  setenv("no_proxy", "*", 1);
  EXPECT_EQ(round(origin, "/", WinInetCall().with_proxy("http=" + proxy.host_port())).body,
            "origin");
  EXPECT_EQ(proxy.requests().size(), 1u);
}

TEST_F(WinInet, UnreachableServersGiveNothing) {
  struct Case {
    std::string host;
    uint16_t port;
  };
  for (const Case& c : {Case{"127.0.0.1", closed_port()}, Case{"nowhere.invalid", 80}}) {
    WinInetResult result = wininet_round(c.host, c.port, "/", {});
    EXPECT_FALSE(result.sent) << c.host;
    EXPECT_FALSE(result.last_read_ok) << c.host;
    EXPECT_EQ(result.body, "") << c.host;
    EXPECT_FALSE(result.raw_headers) << c.host;
    EXPECT_EQ(result.header_length, 5000u) << c.host;
  }
}

struct FailureCase {
  const char* name;
  Script script;
  bool sent;
  std::string body;
  bool last_read_ok;
  std::optional<std::string> status_line;
};

void PrintTo(const FailureCase& c, std::ostream* os) { *os << c.name; }

class BrokenAnswers : public WinInet, public ::testing::WithParamInterface<FailureCase> {
 protected:
  void SetUp() override {
    WinInet::SetUp();
    wininet_settings().stall_timeout_ms = 500;
    wininet_settings().max_body_bytes = 64 * 1024;
  }
};

TEST_P(BrokenAnswers, KeepWhatArrived) {
  const FailureCase& c = GetParam();
  auto server = TestServer::scripted(c.script);
  WinInetResult result = round(server, "/", {});
  EXPECT_EQ(result.sent, c.sent);
  EXPECT_EQ(result.body, c.body);
  EXPECT_EQ(result.last_read_ok, c.last_read_ok);
  if (c.status_line) {
    ASSERT_TRUE(result.raw_headers);
    EXPECT_EQ(result.raw_headers->substr(0, c.status_line->size()), *c.status_line);
  } else {
    EXPECT_FALSE(result.raw_headers);
  }
}

const std::string kPartialHead = "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n";

INSTANTIATE_TEST_SUITE_P(
    Layer, BrokenAnswers,
    ::testing::Values(
        FailureCase{"NotFoundWithBody",
                    Script().read_request().send(http_response("404 Not Found", "no such page")),
                    true, "no such page", true, "HTTP/1.1 404 Not Found\r\n"},
        FailureCase{"ClosedMidBody",
                    Script().read_request().send(kPartialHead + "only ten.").close(), true,
                    "only ten.", false, "HTTP/1.1 200 OK\r\n"},
        FailureCase{"ClosedBeforeAnswering", Script().read_request().close(), false, "", false,
                    std::nullopt},
        FailureCase{"Silent", Script().read_request().stay_silent(), false, "", false,
                    std::nullopt},
        FailureCase{"StallsMidBody",
                    Script().read_request().send(kPartialHead + "first").stay_silent(), true,
                    "first", false, "HTTP/1.1 200 OK\r\n"},
        FailureCase{"StallsMidHeaders",
                    Script().read_request().send("HTTP/1.1 200 OK\r\nX: 1\r\n").stay_silent(),
                    false, "", false, std::nullopt},
        FailureCase{"DripsSlowerThanTheStallLimit",
                    Script()
                        .read_request()
                        .send(kPartialHead)
                        .drip(std::string(100, 'd'), 10, milliseconds(1000)),
                    true, "", false, "HTTP/1.1 200 OK\r\n"},
        FailureCase{"DripsFasterThanTheStallLimit",
                    Script()
                        .read_request()
                        .send(kPartialHead)
                        .drip(std::string(100, 'd'), 10, milliseconds(50)),
                    true, std::string(100, 'd'), true, "HTTP/1.1 200 OK\r\n"},
        FailureCase{"EndlessHeaders",
                    Script()
                        .read_request()
                        .send("HTTP/1.1 200 OK\r\n")
                        .stream_forever("X-Endless: 0123456789\r\n"),
                    false, "", false, std::nullopt},
        FailureCase{"EndlessBodyCutAtTheLimit",
                    Script()
                        .read_request()
                        .send("HTTP/1.1 200 OK\r\n\r\n")
                        .stream_forever(std::string(1000, 'e')),
                    true, std::string(64 * 1024, 'e'), false, "HTTP/1.1 200 OK\r\n"},
        FailureCase{
            "DeclaredBodyOverTheLimit",
            Script().read_request().send(http_response("200 OK", std::string(64 * 1024 + 1, 'x'))),
            true, std::string(64 * 1024, 'x'), false, "HTTP/1.1 200 OK\r\n"},
        FailureCase{
            "BodyExactlyAtTheLimit",
            Script().read_request().send(http_response("200 OK", std::string(64 * 1024, 'x'))),
            true, std::string(64 * 1024, 'x'), true, "HTTP/1.1 200 OK\r\n"}),
    [](const auto& param_info) { return std::string(param_info.param.name); });

TEST_F(WinInet, HandlesAreCheckedAndFreedOnce) {
  EXPECT_EQ(
      InternetConnectA(nullptr, "127.0.0.1", 80, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0),
      nullptr);
  HINTERNET internet = InternetOpenA("a", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
  ASSERT_NE(internet, nullptr);
  EXPECT_EQ(HttpOpenRequestA(internet, "GET", "/", "HTTP/1.1", nullptr, nullptr, 0, 0), nullptr);
  HINTERNET connection =
      InternetConnectA(internet, "127.0.0.1", 80, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0);
  ASSERT_NE(connection, nullptr);
  HINTERNET request = HttpOpenRequestA(connection, "GET", "/", "HTTP/1.1", nullptr, nullptr, 0, 0);
  ASSERT_NE(request, nullptr);
  uint32_t count = 7;
  char byte;
  EXPECT_FALSE(InternetReadFile(connection, &byte, 1, &count));
  EXPECT_EQ(count, 0u);
  uint32_t length = 10;
  EXPECT_FALSE(HttpQueryInfoA(request, HTTP_QUERY_RAW_HEADERS_CRLF, &byte, &length, nullptr));
  EXPECT_TRUE(InternetCloseHandle(request));
  EXPECT_FALSE(InternetCloseHandle(request));
  EXPECT_TRUE(InternetCloseHandle(connection));
  EXPECT_TRUE(InternetCloseHandle(internet));
  EXPECT_FALSE(InternetCloseHandle(nullptr));
}

TEST_F(WinInet, ObjectNameBytesOutsideAsciiAreEscaped) {
  auto server = TestServer::answering(kOk);
  round(server, "/a b/\xc7\xa9/../x?q=1", {});
  ASSERT_EQ(server.requests().size(), 1u);
  EXPECT_EQ(server.requests()[0].target(), "/a%20b/%C7%A9/../x?q=1");
}

}  // namespace
}  // namespace tarnwick

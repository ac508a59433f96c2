// One complete round through the WinInet-like layer, as the page fetch makes it, for tests.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "web/wininet.h"

namespace tarnwick {

struct WinInetCall {
  std::string verb = "GET";
  std::string headers;
  std::optional<std::string> body;  // nothing: no optional buffer
  uint32_t flags = INTERNET_FLAG_RELOAD;
  std::string agent = "TestAgent/1";
  std::optional<std::string> proxy;  // a proxy list for InternetOpenA
  uint32_t header_buffer = 5000;

  WinInetCall with_verb(std::string v) const {
    return with([&](WinInetCall& c) { c.verb = v; });
  }
  WinInetCall with_headers(std::string h) const {
    return with([&](WinInetCall& c) { c.headers = h; });
  }
  WinInetCall with_body(std::string b) const {
    return with([&](WinInetCall& c) { c.body = b; });
  }
  WinInetCall with_flags(uint32_t f) const {
    return with([&](WinInetCall& c) { c.flags = f; });
  }
  WinInetCall with_proxy(std::string p) const {
    return with([&](WinInetCall& c) { c.proxy = p; });
  }

 private:
  template <typename Change>
  WinInetCall with(Change change) const {
    WinInetCall copy = *this;
    change(copy);
    return copy;
  }
};

struct WinInetResult {
  bool sent = false;
  std::string body;
  bool last_read_ok = false;
  std::optional<std::string> raw_headers;  // nothing when the query failed
  uint32_t header_length = 0;              // as the query left it
};

inline WinInetResult wininet_round(const std::string& host, uint16_t port,
                                   const std::string& object, const WinInetCall& call) {
  WinInetResult result;
  HINTERNET internet =
      call.proxy
          ? InternetOpenA(call.agent.c_str(), INTERNET_OPEN_TYPE_PROXY, call.proxy->c_str(), "", 0)
          : InternetOpenA(call.agent.c_str(), INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
  HINTERNET connection =
      InternetConnectA(internet, host.c_str(), port, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0);
  HINTERNET request = HttpOpenRequestA(connection, call.verb.c_str(), object.c_str(), "HTTP/1.1",
                                       nullptr, nullptr, call.flags, 0);
  result.sent =
      HttpSendRequestA(request, call.headers.c_str(), static_cast<uint32_t>(call.headers.size()),
                       call.body ? call.body->data() : nullptr,
                       call.body ? static_cast<uint32_t>(call.body->size()) : 0);
  char chunk[1024];
  uint32_t count = 0;
  do {
    result.last_read_ok = InternetReadFile(request, chunk, sizeof chunk, &count);
    result.body.append(chunk, count);
  } while (count > 0);
  std::string buffer(call.header_buffer, '\0');
  result.header_length = call.header_buffer;
  if (HttpQueryInfoA(request, HTTP_QUERY_RAW_HEADERS_CRLF, buffer.data(), &result.header_length,
                     nullptr)) {
    result.raw_headers = buffer.substr(0, result.header_length);
  }
  InternetCloseHandle(request);
  InternetCloseHandle(connection);
  InternetCloseHandle(internet);
  return result;
}

}  // namespace tarnwick

#include "web/fetch.h"

#include <array>
#include <string>

#include "core/array.h"
#include "web/cookies.h"
#include "web/url.h"
#include "web/wininet.h"

namespace tarnwick {

namespace {

// Each default line is appended only when its name appears nowhere in the block, case-sensitively.
Text complete_request_headers(const Text& extra_headers, const Text& url, const Text& cookies) {
  Text block = extra_headers;
  if (find_text(block, "Referer:", false) == -1) {
    block =
        block.empty() ? concat_text("Referer: ", url) : concat_text(block, "\r\nReferer: ", url);
  }
  if (find_text(block, "Accept:", false) == -1) block = concat_text(block, "\r\nAccept: */*");
  if (find_text(block, "Accept-Language:", false) == -1) {
    block = concat_text(block, "\r\nAccept-Language: zh-cn");
  }
  if (find_text(block, "Content-Type:", false) == -1) {
    block = concat_text(block, "\r\nContent-Type: application/x-www-form-urlencoded");
  }
  if (!cookies.empty()) block = concat_text(block, "\r\nCookie: ", cookies);
  return block;
}

// The value runs to the first ";" after the name, or to the end of the line when the cookie has no
// attributes, so that such a cookie is kept rather than lost.
Text set_cookie_entry(const Text& line) {
  const Text name = "Set-Cookie:";
  const int32_t name_at = find_text(line, name, false);
  if (name_at == -1) return {};
  const int32_t value_at = name_at + text_length(name);
  const int32_t end = find_text(line, ";", value_at, false);
  return trim_both(text_mid(line, value_at, end == -1 ? text_length(line) : end - value_at));
}

Text query_raw_headers(HINTERNET request) {
  std::string buffer(header_buffer_size, ' ');  // the terminator follows the spaces
  uint32_t length = static_cast<uint32_t>(header_buffer_size);
  HttpQueryInfoA(request, HTTP_QUERY_RAW_HEADERS_CRLF, buffer.data(), &length, nullptr);
  return Text(std::string_view(buffer.c_str()));
}

ByteString read_body(HINTERNET request) {
  ByteString body;
  for (;;) {
    std::array<char, read_chunk_size> chunk;
    uint32_t count = 0;
    InternetReadFile(request, chunk.data(), read_chunk_size, &count);
    if (count == 0) break;
    body.append(chunk.data(), static_cast<int32_t>(count));
  }
  return body;
}

}  // namespace

Text request_agent(const Text& extra_headers) {
  if (find_text(extra_headers, "User-Agent:", true) == -1) return default_user_agent;
  const Text agent = trim_both(text_between(extra_headers, "User-Agent:", "\r\n"));
  return agent.empty() ? header_value(extra_headers) : agent;
}

uint32_t request_flags(const Text& url, bool cookies_supplied, bool no_redirect) {
  uint32_t flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NEED_FILE;
  if (cookies_supplied) flags |= INTERNET_FLAG_NO_COOKIES;
  if (no_redirect) flags |= INTERNET_FLAG_NO_AUTO_REDIRECT;
  flags |= to_lower(text_left(url, 5)) == Text("https") ? INTERNET_FLAG_SECURE
                                                        : INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTPS;
  return flags;
}

ByteString fetch_page(const Text& url, const FetchArgs& args) {
  Text scratch_new_cookies;
  Text scratch_extra_headers;
  Text scratch_location;
  ByteString scratch_post_bytes;
  Text scratch_raw_headers;
  Text& new_cookies = args.new_cookies ? *args.new_cookies : scratch_new_cookies;
  Text& extra_headers = args.extra_headers ? *args.extra_headers : scratch_extra_headers;
  Text& location = args.location ? *args.location : scratch_location;
  ByteString& post_bytes = args.post_bytes ? *args.post_bytes : scratch_post_bytes;
  Text& raw_headers = args.raw_headers ? *args.raw_headers : scratch_raw_headers;

  const char* verb = args.method == 1 ? "POST" : "GET";
  const Text agent = request_agent(extra_headers);

  const Text proxy_list = args.proxy ? concat_text("http=", *args.proxy) : Text();
  HINTERNET internet =
      args.proxy ? InternetOpenA(agent.c_str(), INTERNET_OPEN_TYPE_PROXY, proxy_list.c_str(), "", 0)
                 : InternetOpenA(agent.c_str(), INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
  if (internet == nullptr) return {};

  // A port outside 0..65535 would wrap into another port; such an address opens no connection.
  const int32_t port = url_port(url);
  HINTERNET connection =
      port < 0 || port > 0xFFFF
          ? nullptr
          : InternetConnectA(internet, url_host(url).c_str(), static_cast<uint16_t>(port), nullptr,
                             nullptr, INTERNET_SERVICE_HTTP, 0, 0);
  if (connection == nullptr) {
    InternetCloseHandle(internet);
    return {};
  }

  const uint32_t flags = request_flags(url, args.cookies != nullptr, args.no_redirect);
  HINTERNET request = HttpOpenRequestA(connection, verb, url_path(url).c_str(), "HTTP/1.1", nullptr,
                                       nullptr, flags, 0);
  if (request == nullptr) {
    InternetCloseHandle(connection);
    InternetCloseHandle(internet);
    return {};
  }

  extra_headers =
      complete_request_headers(extra_headers, url, args.cookies ? *args.cookies : Text());

  const auto header_length = static_cast<uint32_t>(text_length(extra_headers));
  if (args.method == 0) {
    HttpSendRequestA(request, extra_headers.c_str(), header_length, nullptr, 0);
  } else {
    if (post_bytes.empty()) post_bytes = text_to_bytes(args.post_text);
    HttpSendRequestA(request, extra_headers.c_str(), header_length,
                     post_bytes.empty() ? nullptr : post_bytes.data(),
                     static_cast<uint32_t>(bytes_length(post_bytes)));
  }

  ByteString body = read_body(request);
  raw_headers = query_raw_headers(request);

  InternetCloseHandle(request);
  InternetCloseHandle(connection);
  InternetCloseHandle(internet);

  std::string cookie_text;
  for (const Text& line : split_text(raw_headers, "\r\n")) {
    if (find_text(line, "Location:", false) != -1) location = header_value(line);
    if (find_text(line, "Set-Cookie", false) != -1) {
      cookie_text.append(set_cookie_entry(line).view());
      cookie_text.append("; ");
    }
  }
  const Text cookie_list(std::move(cookie_text));
  new_cookies = text_left(cookie_list, text_length(cookie_list) - 2);
  if (args.cookies) merge_cookies(*args.cookies, new_cookies);

  if (location.empty()) location = raw_headers;
  return body;
}

}  // namespace tarnwick

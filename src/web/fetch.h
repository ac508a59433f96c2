// One HTTP or HTTPS request through the WinInet-like layer: default request headers, an optional
// body, cookie list and proxy; returns the body and reports headers, cookies and redirect target.
#pragma once

#include <cstdint>
#include <optional>

#include "core/bytes.h"
#include "core/text.h"

namespace tarnwick {

inline constexpr const char* default_user_agent =
    "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1; VELQA; .NET CLR 2.0.50727; "
    ".NET CLR 3.0.04506.648; .NET CLR 3.5.21022)";
inline constexpr int32_t read_chunk_size = 1024;
// The raw response headers must fit in this with their terminating zero byte.
inline constexpr int32_t header_buffer_size = 5000;

// Pointers are the caller's variables (in/out or out); a null one is a scratch value.
struct FetchArgs {
  int32_t method = 0;       // 1 sends "POST"; any other value "GET"; every value but 0 sends a body
  Text post_text{};         // the body when post_bytes is empty
  Text* cookies = nullptr;  // supplied (even empty): sent, platform cookies off, response merged in
  Text* new_cookies = nullptr;    // out: name=value; name=value from the Set-Cookie lines
  Text* extra_headers = nullptr;  // in/out: lines joined by CR LF; becomes the block that was sent
  Text* location = nullptr;       // in/out: last "Location:" value, else the raw headers
  bool no_redirect = false;
  ByteString* post_bytes = nullptr;  // in/out: the body; filled from post_text when empty
  std::optional<Text> proxy{};       // supplied (even empty): proxy list "http=" + proxy
  Text* raw_headers = nullptr;       // out: status line and header lines, each ended by CR LF
};

// The response body, empty when nothing was read. When the request cannot be set up (also for a
// port outside 0..65535) the body is empty and no caller variable has been changed.
ByteString fetch_page(const Text& url, const FetchArgs& args = {});

// The agent that a request with these extra header lines announces.
Text request_agent(const Text& extra_headers);

// The request flags for this address.
uint32_t request_flags(const Text& url, bool cookies_supplied, bool no_redirect);

}  // namespace tarnwick

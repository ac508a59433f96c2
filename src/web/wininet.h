// The WinInet operations that the page fetch needs, with their WinInet names and argument order,
// carried out by libcurl. This header is the only face of the layer; curl stays in wininet.cpp.
//
// Handles are internet -> connection -> request; InternetCloseHandle frees one handle, and the
// handles may be closed in any order. What the layer does on its own:
// - The request carries the caller's header lines (empty lines dropped), Host, the body framing
//   and, unless the caller wrote a User-Agent line, the agent given to InternetOpenA. Nothing else.
// - A GET or HEAD without optional data has no body; every other request sends one (maybe empty).
// - Redirects are followed (at most 10 hops, http and https only; a POST on 301 or 302, and any
//   verb but HEAD on 303, turns into GET without its body; http -> https only with
//   INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTPS, https -> http never); a redirect that is not followed
//   is the final response. A redirect to another scheme, host or port carries no Cookie or
//   Authorization line of the caller's.
// - Cookies: each internet handle keeps a cookie store of its own that all its requests share;
//   requests with INTERNET_FLAG_NO_COOKIES neither send from it nor store into it. Nothing is
//   kept once the internet handle is closed.
// - Proxies come only from InternetOpenA ("http=host:port", "https=host:port", or a bare
//   "host:port" for both), never from the environment.
// - HttpSendRequestA returns true once a final response's headers are in; InternetReadFile then
//   hands the body out as it arrives and reports 0 at its end. After a failure (broken
//   connection, stall, abort flag, body limit) the bytes received come first, then a false read
//   of 0, and so forever after.
// - HttpQueryInfoA(HTTP_QUERY_RAW_HEADERS_CRLF) gives the final response's status and header
//   lines, each ended by CR LF, then CR LF; when they and the zero byte do not fit, it fails,
//   sets the length needed and leaves the buffer alone.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

namespace tarnwick {

using HINTERNET = void*;

inline constexpr uint32_t INTERNET_OPEN_TYPE_DIRECT = 1;
inline constexpr uint32_t INTERNET_OPEN_TYPE_PROXY = 3;
inline constexpr uint32_t INTERNET_SERVICE_HTTP = 3;
inline constexpr uint32_t HTTP_QUERY_RAW_HEADERS_CRLF = 22;

inline constexpr uint32_t INTERNET_FLAG_RELOAD = 0x80000000u;
inline constexpr uint32_t INTERNET_FLAG_NEED_FILE = 0x10u;
inline constexpr uint32_t INTERNET_FLAG_NO_COOKIES = 0x80000u;
inline constexpr uint32_t INTERNET_FLAG_NO_AUTO_REDIRECT = 0x200000u;
inline constexpr uint32_t INTERNET_FLAG_SECURE = 0x800000u;
inline constexpr uint32_t INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTPS = 0x4000u;

HINTERNET InternetOpenA(const char* agent, uint32_t access_type, const char* proxy,
                        const char* proxy_bypass, uint32_t flags);
HINTERNET InternetConnectA(HINTERNET internet, const char* server_name, uint16_t server_port,
                           const char* user_name, const char* password, uint32_t service,
                           uint32_t flags, uintptr_t context);
HINTERNET HttpOpenRequestA(HINTERNET connection, const char* verb, const char* object_name,
                           const char* version, const char* referrer, const char** accept_types,
                           uint32_t flags, uintptr_t context);
bool HttpSendRequestA(HINTERNET request, const char* headers, uint32_t headers_length,
                      const void* optional, uint32_t optional_length);
bool InternetReadFile(HINTERNET request, void* buffer, uint32_t bytes_to_read,
                      uint32_t* bytes_read);
bool HttpQueryInfoA(HINTERNET request, uint32_t info_level, void* buffer, uint32_t* buffer_length,
                    uint32_t* index);
bool InternetCloseHandle(HINTERNET handle);

}  // namespace tarnwick

namespace tarnwick {

// Bounds that keep a hostile server from hanging the program or exhausting its memory.
struct WinInetSettings {
  int32_t connect_timeout_ms = 30000;
  int32_t stall_timeout_ms = 30000;  // abort when no byte has arrived for this long
  int64_t max_body_bytes = 16 * 1024 * 1024;
  std::string ca_file;  // an extra trusted CA bundle (PEM); empty uses the system's store
};
// Read by every request when it is sent; tests shrink the bounds before they fetch.
WinInetSettings& wininet_settings();

// While a flag is set on a thread, a transfer on that thread ends soon after the flag turns true,
// as if the connection had broken. Pass nullptr to clear it.
void set_thread_abort_flag(const std::atomic<bool>* flag);

}  // namespace tarnwick

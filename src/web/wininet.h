// The WinInet operations that the page fetch needs, with their WinInet names and argument order,
// carried out by libcurl. This header is the only face of the layer; curl stays in wininet.cpp.
#pragma once

#include <atomic>
#include <cstdint>

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
};
// Read by every request when it is sent; tests shrink the bounds before they fetch.
WinInetSettings& wininet_settings();

// While a flag is set on a thread, a transfer on that thread ends soon after the flag turns true,
// as if the connection had broken. Pass nullptr to clear it.
void set_thread_abort_flag(const std::atomic<bool>* flag);

}  // namespace tarnwick

// The baseline that the fetch-bound benchmarks are measured against: one plain libcurl GET per
// page, with a fresh easy handle and a std::string body, as a bare client would fetch them.
#pragma once

#include <curl/curl.h>

#include <cstdint>
#include <string>
#include <vector>

namespace tarnwick::bench {

inline size_t append_to_string(char* data, size_t size, size_t count, void* body) {
  static_cast<std::string*>(body)->append(data, size * count);
  return size * count;
}

// One GET of url with a fresh easy handle; returns the body received.
inline std::string plain_curl_get(const std::string& url) {
  std::string body;
  CURL* easy = curl_easy_init();
  curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
  curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, append_to_string);
  curl_easy_setopt(easy, CURLOPT_WRITEDATA, &body);
  curl_easy_perform(easy);
  curl_easy_cleanup(easy);
  return body;
}

// Fetches every page of the sample site's numbering from host; returns the bytes received.
inline size_t plain_curl_pages(const std::string& host, const std::vector<int32_t>& pages) {
  const std::string prefix = "http://" + host + "/qqgexing/";
  size_t bytes = 0;
  for (int32_t page : pages) {
    bytes += plain_curl_get(prefix + std::to_string(page) + ".html").size();
  }
  return bytes;
}

}  // namespace tarnwick::bench

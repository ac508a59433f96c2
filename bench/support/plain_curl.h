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

// Fetches every page of the sample site's numbering from host; returns the bytes received.
inline size_t plain_curl_pages(const std::string& host, const std::vector<int32_t>& pages) {
  const std::string prefix = "http://" + host + "/qqgexing/";
  size_t bytes = 0;
  for (int32_t page : pages) {
    std::string body;
    const std::string url = prefix + std::to_string(page) + ".html";
    CURL* easy = curl_easy_init();
    curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, append_to_string);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &body);
    curl_easy_perform(easy);
    curl_easy_cleanup(easy);
    bytes += body.size();
  }
  return bytes;
}

}  // namespace tarnwick::bench

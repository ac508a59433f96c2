#include "web/url.h"

#include "core/array.h"
#include "core/cp936.h"
#include "core/numbers.h"

namespace tarnwick {

namespace {

Text with_quotes(const Text& marker) { return replace_text(marker, "#引号"_cp936, "\"", true); }

Text before_first_colon(const Text& host) {
  const int32_t colon = find_text(host, ":", false);
  return colon == -1 ? host : text_left(host, colon - 1);
}

Text standard_host(const Text& url, bool main_domain) {
  Text address = to_lower(url);
  if (text_right(address, 1) != Text("/")) address = concat_text(address, "/");

  Text host;
  if (text_left(address, 8) == Text("https://")) {
    host = text_between(address, "https://", "/");
  } else {
    if (find_text(address, "http://", false) == -1) address = concat_text("http://", address);
    host = text_between(address, "http://", "/");
  }

  if (main_domain) {
    const TextArray labels = split_text(host, ".");
    const int32_t count = labels.size();
    if (count > 1) host = concat_text(labels.at(count - 1), ".", labels.at(count));
  }
  return host;
}

Text dot_counted_host(const Text& url, bool main_domain, int32_t dot_count) {
  Text address = to_lower(url);
  address = replace_text(address, "http://", "", true);
  address = replace_text(address, "https://", "", true);
  const int32_t slash = find_text(address, "/", false);
  if (slash != -1) address = text_left(address, slash - 1);

  const int32_t length = text_length(address);
  int32_t mark = length;
  for (int32_t step = 0; step < dot_count && mark != -1; ++step) {
    mark = find_text_reverse(address, ".", mark, false);
  }
  const int32_t dot = find_text_reverse(address, ".", mark, false);

  if (main_domain) return text_right(address, length - dot);
  if (dot != -1) {
    const int32_t earlier_dot = find_text_reverse(address, ".", dot, false);
    if (earlier_dot != -1) return text_right(address, length - earlier_dot);
  }
  return address;
}

}  // namespace

Text text_between(const Text& source, const Text& left_marker, const Text& right_marker,
                  int32_t start_position, bool ignore_case) {
  const Text left = with_quotes(left_marker);
  const Text right = with_quotes(right_marker);

  const int32_t left_at = find_text(source, left, start_position, ignore_case);
  if (left_at == -1) return {};
  const int32_t content_start = left_at + text_length(left);
  const int32_t right_at = find_text(source, right, content_start, ignore_case);
  if (right_at == -1) return {};
  return text_mid(source, content_start, right_at - content_start);
}

Text header_value(const Text& line) {
  const int32_t colon = find_text(line, ":", false);
  if (colon == -1) return {};
  return trim_both(text_mid(line, colon + 1, text_length(line)));
}

Text url_host(const Text& url, bool main_domain, bool keep_port, std::optional<int32_t> dot_count) {
  const Text host =
      dot_count ? dot_counted_host(url, main_domain, *dot_count) : standard_host(url, main_domain);
  return keep_port ? host : before_first_colon(host);
}

int32_t url_port(const Text& url) {
  const Text host = url_host(url, false, true);
  const int32_t colon = find_text_reverse(host, ":", false);
  if (colon == -1) return to_lower(text_left(url, 5)) == Text("https") ? 443 : 80;
  return text_to_int(text_mid(host, colon + 1, text_length(host)));
}

Text url_path(const Text& url) {
  const int32_t host_at = find_text(url, url_host(url), true);
  const int32_t slash = find_text(url, "/", host_at, false);
  if (slash == -1) return "/";
  return text_mid(url, slash, text_length(url));
}

}  // namespace tarnwick

#include "sample_site/sample_site.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <charconv>
#include <chrono>
#include <string_view>

#include "sample_site/sample_pages.h"

namespace tarnwick {

namespace {

constexpr int request_timeout_ms = 5000;
constexpr size_t max_request_bytes = 16 * 1024;

// The page number of "/qqgexing/N.html", or 0 when the path names no page of the site.
int32_t page_number_of(std::string_view path) {
  constexpr std::string_view prefix = "/qqgexing/";
  constexpr std::string_view suffix = ".html";
  if (!path.starts_with(prefix) || !path.ends_with(suffix)) return 0;
  std::string_view digits = path.substr(prefix.size(), path.size() - prefix.size() - suffix.size());
  if (digits.empty() || digits.size() > 5 || digits.front() == '0') return 0;
  int32_t number = 0;
  auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
  if (error != std::errc() || end != digits.data() + digits.size()) return 0;
  return sample_page_exists(number) ? number : 0;
}

std::string response(std::string_view status, std::string_view body) {
  std::string r = "HTTP/1.1 ";
  r += status;
  r += "\r\nServer: tarnwick-sample-site\r\nContent-Type: text/html; charset=gb2312\r\n";
  r += "Content-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n";
  r += body;
  return r;
}

void send_all(int connection, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t sent = ::send(connection, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (sent <= 0) return;
    bytes.remove_prefix(static_cast<size_t>(sent));
  }
}

}  // namespace

SampleSite::~SampleSite() { stop(); }

bool SampleSite::start(const std::string& bind_address, uint16_t port) {
  if (listener_ >= 0) return false;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  if (::inet_pton(AF_INET, bind_address.c_str(), &address.sin_addr) != 1) return false;

  int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listener < 0) return false;
  int yes = 1;
  ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  socklen_t length = sizeof address;
  if (::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(listener, 64) != 0 ||
      ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
      ::pipe2(wake_pipe_, O_CLOEXEC) != 0) {
    ::close(listener);
    return false;
  }
  listener_ = listener;
  bind_address_ = bind_address;
  port_ = ntohs(address.sin_port);
  {
    std::lock_guard lock(mutex_);
    stopping_ = false;
  }
  server_ = std::thread([this] { serve(); });
  return true;
}

void SampleSite::stop() {
  if (listener_ < 0) return;
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  stop_signal_.notify_all();
  char wake = 1;
  [[maybe_unused]] ssize_t written = ::write(wake_pipe_[1], &wake, 1);
  server_.join();
  ::close(listener_);
  ::close(wake_pipe_[0]);
  ::close(wake_pipe_[1]);
  listener_ = -1;
  wake_pipe_[0] = wake_pipe_[1] = -1;
}

std::string SampleSite::host() const { return bind_address_ + ":" + std::to_string(port_); }

std::vector<std::string> SampleSite::request_paths() const {
  std::lock_guard lock(mutex_);
  return request_paths_;
}

bool SampleSite::stopped() const {
  std::lock_guard lock(mutex_);
  return stopping_;
}

// True when fd can be read; false on time-out or when stop() has been called.
bool SampleSite::wait_for_readable(int fd, int timeout_ms) const {
  pollfd watched[2] = {{fd, POLLIN, 0}, {wake_pipe_[0], POLLIN, 0}};
  int ready = ::poll(watched, 2, timeout_ms);
  if (ready <= 0 || (watched[1].revents & POLLIN) != 0) return false;
  return (watched[0].revents & (POLLIN | POLLHUP | POLLERR)) != 0;
}

void SampleSite::serve() {
  while (!stopped()) {
    if (!wait_for_readable(listener_, -1)) continue;
    int connection = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (connection < 0) continue;
    answer(connection);
    ::close(connection);
  }
}

void SampleSite::answer(int connection) {
  std::string request;
  char buffer[4096];
  while (request.find("\r\n\r\n") == std::string::npos) {
    if (request.size() > max_request_bytes || !wait_for_readable(connection, request_timeout_ms)) {
      return;
    }
    ssize_t received = ::recv(connection, buffer, sizeof buffer, 0);
    if (received <= 0) return;
    request.append(buffer, static_cast<size_t>(received));
  }

  // Request line: METHOD SP PATH SP VERSION
  std::string_view line = std::string_view(request).substr(0, request.find("\r\n"));
  size_t first_space = line.find(' ');
  size_t second_space = line.find(' ', first_space + 1);
  if (first_space == std::string_view::npos || second_space == std::string_view::npos) {
    send_all(connection, response("400 Bad Request", "<HTML><BODY>Bad Request</BODY></HTML>"));
    return;
  }
  std::string_view method = line.substr(0, first_space);
  std::string path(line.substr(first_space + 1, second_space - first_space - 1));
  {
    std::lock_guard lock(mutex_);
    request_paths_.push_back(path);
  }

  if (int32_t delay = delay_ms_; delay > 0) {
    std::unique_lock lock(mutex_);
    if (stop_signal_.wait_for(lock, std::chrono::milliseconds(delay),
                              [this] { return stopping_; })) {
      return;
    }
  }

  if (method != "GET") {
    send_all(connection, response("405 Method Not Allowed", ""));
  } else if (int32_t page = page_number_of(path); page != 0) {
    send_all(connection, response("200 OK", sample_page(page).view()));
  } else {
    send_all(connection,
             response("404 Not Found", "<HTML><BODY><H1>404 Not Found</H1></BODY></HTML>"));
  }
  ::shutdown(connection, SHUT_WR);
}

}  // namespace tarnwick

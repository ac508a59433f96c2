#include "support/test_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace tarnwick {
namespace {

constexpr milliseconds kIdleLimit{30000};
constexpr milliseconds kSlice{20};

bool same_name(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

std::string trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return std::string(s);
}

std::vector<std::string> lines_of_head(std::string_view head) {
  std::vector<std::string> lines;
  size_t start = head.find("\r\n");
  if (start == std::string_view::npos) return lines;
  start += 2;
  while (start < head.size()) {
    size_t end = head.find("\r\n", start);
    if (end == std::string_view::npos || end == start) break;
    lines.emplace_back(head.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

size_t content_length_of(std::string_view head) {
  for (const std::string& line : lines_of_head(head)) {
    size_t colon = line.find(':');
    if (colon != std::string::npos && same_name(trim(line.substr(0, colon)), "Content-Length")) {
      return static_cast<size_t>(std::strtoull(line.c_str() + colon + 1, nullptr, 10));
    }
  }
  return 0;
}

bool has_header(std::string_view head, std::string_view name) {
  for (const std::string& line : lines_of_head(head)) {
    size_t colon = line.find(':');
    if (colon != std::string::npos && same_name(trim(line.substr(0, colon)), name)) return true;
  }
  return false;
}

// Waits for `fd` to become readable in short slices so that a stopping server is noticed.
bool poll_readable(int fd, const TestServer* server, milliseconds limit) {
  auto deadline = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < deadline) {
    if (server != nullptr && server->stopping()) return false;
    pollfd p{fd, POLLIN, 0};
    int ready = ::poll(&p, 1, static_cast<int>(kSlice.count()));
    if (ready > 0) return true;
    if (ready < 0 && errno != EINTR) return false;
  }
  return false;
}

bool write_fd(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t sent = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (sent < 0 && errno == EINTR) continue;
    if (sent <= 0) return false;
    bytes.remove_prefix(static_cast<size_t>(sent));
  }
  return true;
}

void set_socket_time_limits(int fd) {
  timeval limit{static_cast<time_t>(kIdleLimit.count() / 1000), 0};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
  setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
  int one = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
}

struct CertificateFiles {
  std::filesystem::path folder;
  std::string ca_file;
  std::string server_cert;
  std::string server_key;

  CertificateFiles() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "tarnwick-test-ca-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    folder = pattern;
    ca_file = (folder / "ca.pem").string();
    server_cert = (folder / "server.pem").string();
    server_key = (folder / "server.key").string();
    std::ofstream(folder / "server.ext") << "subjectAltName=IP:127.0.0.1,DNS:localhost\n"
                                            "basicConstraints=CA:FALSE\n"
                                            "keyUsage=critical,digitalSignature\n"
                                            "extendedKeyUsage=serverAuth\n";
    std::string dir = folder.string();
    std::string commands =
        "cd '" + dir +
        "' && openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes"
        " -keyout ca.key -out ca.pem -days 2 -subj '/CN=Tarnwick Test CA'"
        " -addext basicConstraints=critical,CA:TRUE"
        " -addext keyUsage=critical,keyCertSign,cRLSign"
        " && openssl req -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes"
        " -keyout server.key -out server.csr -subj '/CN=127.0.0.1'"
        " && openssl x509 -req -in server.csr -CA ca.pem -CAkey ca.key -CAcreateserial"
        " -out server.pem -days 2 -extfile server.ext";
    std::string quiet = "( " + commands + " ) >/dev/null 2>&1";
    if (std::system(quiet.c_str()) != 0) throw std::runtime_error("openssl failed: " + commands);
  }
  ~CertificateFiles() {
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
  }
};

const CertificateFiles& certificate_files() {
  static const CertificateFiles files;
  return files;
}

void* make_server_context() {
  const CertificateFiles& files = certificate_files();
  SSL_CTX* context = SSL_CTX_new(TLS_server_method());
  if (context == nullptr ||
      SSL_CTX_use_certificate_chain_file(context, files.server_cert.c_str()) != 1 ||
      SSL_CTX_use_PrivateKey_file(context, files.server_key.c_str(), SSL_FILETYPE_PEM) != 1) {
    throw std::runtime_error("cannot load the test server certificate");
  }
  return context;
}

struct Origin {
  std::string host;
  uint16_t port = 80;
  std::string path;
};

std::optional<Origin> parse_absolute_target(std::string_view target) {
  constexpr std::string_view scheme = "http://";
  if (target.substr(0, scheme.size()) != scheme) return std::nullopt;
  target.remove_prefix(scheme.size());
  size_t slash = target.find('/');
  std::string_view authority = target.substr(0, slash);
  Origin origin;
  origin.path = slash == std::string_view::npos ? "/" : std::string(target.substr(slash));
  size_t colon = authority.rfind(':');
  origin.host = std::string(authority.substr(0, colon));
  if (colon != std::string_view::npos) {
    origin.port =
        static_cast<uint16_t>(std::atoi(std::string(authority.substr(colon + 1)).c_str()));
  }
  return origin;
}

int connect_to(const Origin& origin) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(origin.port);
  std::string host = origin.host == "localhost" ? "127.0.0.1" : origin.host;
  if (inet_pton(AF_INET, host.c_str(), &address.sin_addr) != 1) return -1;
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return -1;
  set_socket_time_limits(fd);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

// Reads one response from the origin: the head, then Content-Length bytes or all until close.
std::string read_origin_response(int fd, const TestServer& server, bool& origin_closed) {
  std::string response;
  char buffer[16384];
  size_t head_end = std::string::npos;
  size_t wanted = 0;
  origin_closed = false;
  while (true) {
    if (head_end == std::string::npos) {
      head_end = response.find("\r\n\r\n");
      if (head_end != std::string::npos) {
        head_end += 4;
        std::string_view head(response.data(), head_end);
        if (has_header(head, "Content-Length")) {
          wanted = head_end + content_length_of(head);
        } else {
          wanted = std::string::npos;
        }
      }
    }
    if (head_end != std::string::npos && wanted != std::string::npos && response.size() >= wanted) {
      return response;
    }
    if (!poll_readable(fd, &server, kIdleLimit)) break;
    ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
    if (got <= 0) break;
    response.append(buffer, static_cast<size_t>(got));
  }
  origin_closed = true;
  return response;
}

void forward(Connection& client) {
  TestServer& server = client.server();
  while (std::optional<RecordedRequest> request = client.read_request()) {
    std::optional<Origin> origin = parse_absolute_target(request->target());
    int fd = origin ? connect_to(*origin) : -1;
    if (fd < 0) {
      client.send(http_response("502 Bad Gateway", "", {"Connection: close"}));
      return;
    }
    RecordedRequest sent;
    size_t line_end = request->head.find("\r\n");
    sent.head =
        request->method() + " " + origin->path + " HTTP/1.1" + request->head.substr(line_end);
    sent.body = request->body;
    server.record_forwarded(sent);
    bool origin_closed = false;
    std::string response;
    if (write_fd(fd, sent.raw())) response = read_origin_response(fd, server, origin_closed);
    ::close(fd);
    if (!client.send(response) || origin_closed) return;
  }
}

}  // namespace

std::string RecordedRequest::request_line() const { return head.substr(0, head.find("\r\n")); }

std::string RecordedRequest::method() const {
  std::string line = request_line();
  return line.substr(0, line.find(' '));
}

std::string RecordedRequest::target() const {
  std::string line = request_line();
  size_t first = line.find(' ');
  if (first == std::string::npos) return {};
  size_t second = line.find(' ', first + 1);
  return line.substr(first + 1,
                     second == std::string::npos ? std::string::npos : second - first - 1);
}

std::vector<std::string> RecordedRequest::header_lines() const { return lines_of_head(head); }

std::optional<std::string> RecordedRequest::header(std::string_view name) const {
  for (const std::string& line : header_lines()) {
    size_t colon = line.find(':');
    if (colon != std::string::npos && same_name(line.substr(0, colon), name)) {
      return trim(std::string_view(line).substr(colon + 1));
    }
  }
  return std::nullopt;
}

int RecordedRequest::header_count(std::string_view name) const {
  int count = 0;
  for (const std::string& line : header_lines()) {
    size_t colon = line.find(':');
    if (colon != std::string::npos && same_name(line.substr(0, colon), name)) ++count;
  }
  return count;
}

Connection::Connection(TestServer& server, int fd, void* ssl)
    : server_(server), fd_(fd), ssl_(ssl) {}

Connection::~Connection() { close(); }

void Connection::close() {
  if (fd_ < 0) return;
  if (ssl_ != nullptr) {
    SSL_shutdown(static_cast<SSL*>(ssl_));
    SSL_free(static_cast<SSL*>(ssl_));
    ssl_ = nullptr;
  }
  {
    std::lock_guard lock(server_.mutex_);
    std::erase(server_.open_fds_, fd_);
  }
  ::close(fd_);
  fd_ = -1;
}

bool Connection::wait_readable(milliseconds limit) {
  if (fd_ < 0) return false;
  if (ssl_ != nullptr && SSL_pending(static_cast<SSL*>(ssl_)) > 0) return true;
  return poll_readable(fd_, &server_, limit);
}

long Connection::read_some(char* buffer, size_t size) {
  if (!wait_readable(kIdleLimit)) return -1;
  if (ssl_ != nullptr) {
    int got = SSL_read(static_cast<SSL*>(ssl_), buffer, static_cast<int>(size));
    return got > 0 ? got : -1;
  }
  ssize_t got = ::recv(fd_, buffer, size, 0);
  return got > 0 ? static_cast<long>(got) : -1;
}

bool Connection::write_all(std::string_view bytes) {
  if (fd_ < 0 || server_.stopping()) return false;
  if (ssl_ == nullptr) return write_fd(fd_, bytes);
  while (!bytes.empty()) {
    int sent = SSL_write(static_cast<SSL*>(ssl_), bytes.data(), static_cast<int>(bytes.size()));
    if (sent <= 0) return false;
    bytes.remove_prefix(static_cast<size_t>(sent));
  }
  return true;
}

std::optional<RecordedRequest> Connection::read_request() {
  char buffer[16384];
  size_t head_end;
  while ((head_end = pending_.find("\r\n\r\n")) == std::string::npos) {
    long got = read_some(buffer, sizeof buffer);
    if (got <= 0) return std::nullopt;
    pending_.append(buffer, static_cast<size_t>(got));
  }
  head_end += 4;
  RecordedRequest request;
  request.head = pending_.substr(0, head_end);
  size_t wanted = head_end + content_length_of(request.head);
  while (pending_.size() < wanted) {
    long got = read_some(buffer, sizeof buffer);
    if (got <= 0) break;
    pending_.append(buffer, static_cast<size_t>(got));
  }
  size_t body_end = std::min(wanted, pending_.size());
  request.body = pending_.substr(head_end, body_end - head_end);
  pending_.erase(0, body_end);
  server_.record(request);
  return request;
}

bool Connection::send(std::string_view bytes) { return write_all(bytes); }

bool Connection::pause(milliseconds duration) {
  auto deadline = std::chrono::steady_clock::now() + duration;
  while (std::chrono::steady_clock::now() < deadline) {
    if (server_.stopping() || fd_ < 0) return false;
    std::this_thread::sleep_for(std::min(kSlice, std::chrono::duration_cast<milliseconds>(
                                                     deadline - std::chrono::steady_clock::now())));
  }
  return fd_ >= 0;
}

bool Connection::drip(std::string_view bytes, size_t chunk, milliseconds delay) {
  chunk = std::max<size_t>(chunk, 1);
  while (!bytes.empty()) {
    if (!pause(delay)) return false;
    size_t piece = std::min(chunk, bytes.size());
    if (!write_all(bytes.substr(0, piece))) return false;
    bytes.remove_prefix(piece);
  }
  return true;
}

void Connection::stream_forever(std::string_view chunk) {
  auto deadline = std::chrono::steady_clock::now() + kIdleLimit;
  while (std::chrono::steady_clock::now() < deadline && write_all(chunk)) {
  }
}

void Connection::stay_silent() {
  auto deadline = std::chrono::steady_clock::now() + kIdleLimit;
  char buffer[4096];
  while (std::chrono::steady_clock::now() < deadline && !server_.stopping()) {
    if (!wait_readable(kSlice * 5)) continue;
    long got = ssl_ != nullptr ? SSL_read(static_cast<SSL*>(ssl_), buffer, sizeof buffer)
                               : static_cast<long>(::recv(fd_, buffer, sizeof buffer, 0));
    if (got <= 0) return;
  }
}

Script& Script::read_request() {
  steps_.push_back([](Connection& c) { return c.read_request().has_value(); });
  return *this;
}

Script& Script::send(std::string bytes) {
  steps_.push_back([bytes = std::move(bytes)](Connection& c) { return c.send(bytes); });
  return *this;
}

Script& Script::pause(milliseconds duration) {
  steps_.push_back([duration](Connection& c) { return c.pause(duration); });
  return *this;
}

Script& Script::drip(std::string bytes, size_t chunk, milliseconds delay) {
  steps_.push_back([bytes = std::move(bytes), chunk, delay](Connection& c) {
    return c.drip(bytes, chunk, delay);
  });
  return *this;
}

Script& Script::stream_forever(std::string chunk) {
  steps_.push_back([chunk = std::move(chunk)](Connection& c) {
    c.stream_forever(chunk);
    return false;
  });
  return *this;
}

Script& Script::stay_silent() {
  steps_.push_back([](Connection& c) {
    c.stay_silent();
    return false;
  });
  return *this;
}

Script& Script::close() {
  steps_.push_back([](Connection& c) {
    c.close();
    return false;
  });
  return *this;
}

void Script::play(Connection& connection) const {
  for (const auto& step : steps_) {
    if (!step(connection)) return;
  }
}

TestServer::TestServer(Handler handler, TestServerOptions options)
    : handler_(std::move(handler)), tls_(options.tls) {
  std::signal(SIGPIPE, SIG_IGN);
  if (tls_) ssl_context_ = make_server_context();
  listen_fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  socklen_t length = sizeof address;
  if (listen_fd_ < 0 ||
      ::bind(listen_fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(listen_fd_, 64) != 0 ||
      ::getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    throw std::runtime_error("the test server cannot listen on 127.0.0.1");
  }
  port_ = ntohs(address.sin_port);
  accept_thread_ = std::thread([this] { accept_loop(); });
}

TestServer::~TestServer() {
  stopping_ = true;
  accept_thread_.join();
  {
    std::lock_guard lock(mutex_);
    for (int fd : open_fds_) ::shutdown(fd, SHUT_RDWR);
  }
  for (std::thread& thread : connection_threads_) thread.join();
  ::close(listen_fd_);
  if (ssl_context_ != nullptr) SSL_CTX_free(static_cast<SSL_CTX*>(ssl_context_));
}

void TestServer::accept_loop() {
  while (!stopping_) {
    if (!poll_readable(listen_fd_, this, kSlice * 5)) continue;
    int fd = ::accept(listen_fd_, nullptr, nullptr);
    if (fd < 0) continue;
    set_socket_time_limits(fd);
    int index = connections_accepted_++;
    std::lock_guard lock(mutex_);
    open_fds_.push_back(fd);
    connection_threads_.emplace_back([this, fd, index] {
      SSL* ssl = nullptr;
      if (tls_) {
        ssl = SSL_new(static_cast<SSL_CTX*>(ssl_context_));
        SSL_set_fd(ssl, fd);
        if (SSL_accept(ssl) != 1) {
          Connection failed(*this, fd, ssl);
          ERR_clear_error();
          return;
        }
      }
      Connection connection(*this, fd, ssl);
      connection.index_ = index;
      handler_(connection);
      ERR_clear_error();
    });
  }
}

void TestServer::record(const RecordedRequest& request) {
  {
    std::lock_guard lock(mutex_);
    requests_.push_back(request);
  }
  recorded_.notify_all();
}

void TestServer::record_forwarded(const RecordedRequest& request) {
  std::lock_guard lock(mutex_);
  forwarded_.push_back(request);
}

TestServer TestServer::answering(std::string response, TestServerOptions options) {
  bool closes =
      response.substr(0, response.find("\r\n\r\n") + 2).find("\r\nConnection: close\r\n") !=
      std::string::npos;
  return TestServer(
      [response = std::move(response), closes](Connection& c) {
        while (c.read_request()) {
          if (!c.send(response) || closes) return;
        }
      },
      options);
}

TestServer TestServer::responding(Responder responder, TestServerOptions options) {
  return TestServer(
      [responder = std::move(responder)](Connection& c) {
        while (std::optional<RecordedRequest> request = c.read_request()) {
          if (!c.send(responder(*request))) return;
        }
      },
      options);
}

TestServer TestServer::scripted(Script script, TestServerOptions options) {
  return TestServer([script = std::move(script)](Connection& c) { script.play(c); }, options);
}

TestServer TestServer::forwarding_proxy() {
  return TestServer([](Connection& c) { forward(c); });
}

std::string TestServer::host_port() const { return "127.0.0.1:" + std::to_string(port_); }

std::string TestServer::url(std::string_view path) const {
  return std::string(tls_ ? "https://" : "http://") + host_port() + std::string(path);
}

std::vector<RecordedRequest> TestServer::requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

std::vector<RecordedRequest> TestServer::forwarded() const {
  std::lock_guard lock(mutex_);
  return forwarded_;
}

bool TestServer::wait_for_requests(size_t count, milliseconds limit) const {
  std::unique_lock lock(mutex_);
  return recorded_.wait_for(lock, limit, [&] { return requests_.size() >= count; });
}

const std::string& test_ca_file() { return certificate_files().ca_file; }

std::string http_response(std::string_view status, std::string_view body,
                          const std::vector<std::string>& header_lines) {
  std::string response = "HTTP/1.1 " + std::string(status) + "\r\n";
  for (const std::string& line : header_lines) response += line + "\r\n";
  response += "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n";
  response += body;
  return response;
}

}  // namespace tarnwick

// A local HTTP(S) server for tests and benchmarks: binds 127.0.0.1 on an ephemeral port, records
// every request byte for byte and plays a scripted answer on each connection. It stops and joins
// its threads when destroyed; every wait inside it also ends after a bounded time of its own.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace tarnwick {

using std::chrono::milliseconds;

// One request as it arrived: the head (request line, header lines and the empty line that ends
// them) and the body, read by Content-Length whatever the method.
struct RecordedRequest {
  std::string head;
  std::string body;

  std::string raw() const { return head + body; }
  std::string request_line() const;
  std::string method() const;
  std::string target() const;  // as written: origin form, or absolute form through a proxy
  // Header lines without their CR LF, in arrival order.
  std::vector<std::string> header_lines() const;
  // Value (trimmed) of the first line with this name, name compared without case.
  std::optional<std::string> header(std::string_view name) const;
  int header_count(std::string_view name) const;
};

class TestServer;

// The server's side of one accepted connection. Every call returns false (or nullopt) once the
// peer has gone or the server is stopping, so a handler simply runs to its end.
class Connection {
 public:
  Connection(TestServer& server, int fd, void* ssl);
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  // Reads one request and records it on the server; nullopt at end of stream or after 30 s idle.
  std::optional<RecordedRequest> read_request();
  bool send(std::string_view bytes);
  bool pause(milliseconds duration);
  // Sends the bytes `chunk` at a time with `delay` before each piece.
  bool drip(std::string_view bytes, size_t chunk, milliseconds delay);
  // Sends `chunk` over and over until the peer goes away (or 30 s pass).
  void stream_forever(std::string_view chunk);
  // Sends nothing and keeps the connection open until the peer goes away (or 30 s pass).
  void stay_silent();
  // Closes the connection at once (it is also closed when the handler returns).
  void close();
  int index() const { return index_; }  // 0 for the first connection the server accepted
  TestServer& server() const { return server_; }

 private:
  friend class TestServer;
  bool wait_readable(milliseconds limit);
  long read_some(char* buffer, size_t size);
  bool write_all(std::string_view bytes);

  TestServer& server_;
  int fd_;
  void* ssl_;
  int index_ = 0;
  std::string pending_;  // bytes read past the end of the last request
};

// A list of steps that each connection plays in order.
class Script {
 public:
  Script& read_request();
  Script& send(std::string bytes);
  Script& pause(milliseconds duration);
  Script& drip(std::string bytes, size_t chunk, milliseconds delay);
  Script& stream_forever(std::string chunk);
  Script& stay_silent();
  Script& close();
  void play(Connection& connection) const;

 private:
  std::vector<std::function<bool(Connection&)>> steps_;
};

struct TestServerOptions {
  bool tls = false;  // serve HTTPS with a certificate signed by test_ca_file()
};

class TestServer {
 public:
  using Handler = std::function<void(Connection&)>;
  using Responder = std::function<std::string(const RecordedRequest&)>;

  explicit TestServer(Handler handler, TestServerOptions options = {});
  ~TestServer();
  TestServer(const TestServer&) = delete;
  TestServer& operator=(const TestServer&) = delete;

  // Answers every request on every connection with these bytes (keeps the connection open unless
  // the response says "Connection: close").
  static TestServer answering(std::string response, TestServerOptions options = {});
  // Answers every request with what the function returns for it.
  static TestServer responding(Responder responder, TestServerOptions options = {});
  // Plays the script on every connection.
  static TestServer scripted(Script script, TestServerOptions options = {});
  // A forwarding proxy: takes absolute-form requests, sends them in origin form to the origin
  // (plain HTTP), records what it forwarded and relays the answer (by Content-Length, else to
  // the origin's close).
  static TestServer forwarding_proxy();

  uint16_t port() const { return port_; }
  std::string host_port() const;                 // "127.0.0.1:<port>"
  std::string url(std::string_view path) const;  // "http(s)://127.0.0.1:<port>" + path
  std::vector<RecordedRequest> requests() const;
  std::vector<RecordedRequest> forwarded() const;  // proxy mode: what went to the origins
  int connection_count() const { return connections_accepted_.load(); }
  // Waits (at most `limit`) until `count` requests have been recorded.
  bool wait_for_requests(size_t count, milliseconds limit) const;
  bool stopping() const { return stopping_.load(); }
  void record_forwarded(const RecordedRequest& request);

 private:
  friend class Connection;
  void accept_loop();
  void record(const RecordedRequest& request);

  Handler handler_;
  int listen_fd_ = -1;
  uint16_t port_ = 0;
  bool tls_ = false;
  void* ssl_context_ = nullptr;
  std::atomic<bool> stopping_{false};
  std::atomic<int> connections_accepted_{0};
  mutable std::mutex mutex_;
  mutable std::condition_variable recorded_;
  std::vector<RecordedRequest> requests_;
  std::vector<RecordedRequest> forwarded_;
  std::vector<int> open_fds_;
  std::vector<std::thread> connection_threads_;
  std::thread accept_thread_;
};

// Path of the PEM file of the certificate authority that signed the TLS server's certificate,
// made once per process in a temporary folder that is removed at exit.
const std::string& test_ca_file();

// "HTTP/1.1 <status>\r\n" + each header line + "\r\n" + "Content-Length: <n>\r\n\r\n" + body.
std::string http_response(std::string_view status, std::string_view body,
                          const std::vector<std::string>& header_lines = {});

}  // namespace tarnwick

#include "web/wininet.h"

#include <curl/curl.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace tarnwick {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kMaxRedirects = 10;
constexpr int kPollSliceMs = 50;

thread_local const std::atomic<bool>* thread_abort_flag = nullptr;

void initialise_curl_once() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

bool equal_ignoring_case(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
           return lower(x) == lower(y);
         });
}

bool starts_with_ignoring_case(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && equal_ignoring_case(text.substr(0, prefix.size()), prefix);
}

std::string_view trim_blanks(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// Cookies that the requests of one internet handle share; curl guards them through these locks.
class CookieStore {
 public:
  CookieStore() : share_(curl_share_init()) {
    curl_share_setopt(share_, CURLSHOPT_LOCKFUNC, &CookieStore::lock);
    curl_share_setopt(share_, CURLSHOPT_UNLOCKFUNC, &CookieStore::unlock);
    curl_share_setopt(share_, CURLSHOPT_USERDATA, this);
    curl_share_setopt(share_, CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE);
  }
  ~CookieStore() { curl_share_cleanup(share_); }
  CookieStore(const CookieStore&) = delete;
  CookieStore& operator=(const CookieStore&) = delete;
  CURLSH* share() const { return share_; }

 private:
  static void lock(CURL*, curl_lock_data data, curl_lock_access, void* self) {
    static_cast<CookieStore*>(self)->mutexes_[data].lock();
  }
  static void unlock(CURL*, curl_lock_data data, void* self) {
    static_cast<CookieStore*>(self)->mutexes_[data].unlock();
  }

  CURLSH* share_;
  std::array<std::mutex, CURL_LOCK_DATA_LAST> mutexes_;
};

enum class HandleKind { internet, connection, request };

struct Handle {
  explicit Handle(HandleKind k) : kind(k) {}
  virtual ~Handle() = default;
  HandleKind kind;
};

// What a request needs of its internet handle and connection, copied so that the handles may be
// closed in any order.
struct Session {
  std::string agent;
  std::string http_proxy;   // empty: direct
  std::string https_proxy;  // empty: direct
  std::shared_ptr<CookieStore> cookies;
  std::string host;
  uint16_t port = 0;
  std::string user_name;
  std::string password;
};

struct InternetHandle : Handle {
  InternetHandle() : Handle(HandleKind::internet) {}
  Session session;
};

struct ConnectionHandle : Handle {
  ConnectionHandle() : Handle(HandleKind::connection) {}
  Session session;
};

class ActiveTransfer;
struct ActiveTransferDeleter {
  void operator()(ActiveTransfer* transfer) const;
};

struct RequestHandle : Handle {
  RequestHandle() : Handle(HandleKind::request) {}
  Session session;
  std::string verb;
  std::string object;
  std::string referrer;
  std::string accept_line;
  uint32_t flags = 0;

  // Set by HttpSendRequestA; the body is then read from the running transfer.
  bool headers_received = false;
  std::string raw_headers;
  std::unique_ptr<ActiveTransfer, ActiveTransferDeleter> transfer;
};

class HandleRegistry {
 public:
  void add(Handle* handle) {
    std::lock_guard lock(mutex_);
    live_.insert(handle);
  }
  template <typename T>
  T* find(HINTERNET handle, HandleKind kind) {
    std::lock_guard lock(mutex_);
    auto* h = static_cast<Handle*>(handle);
    if (handle == nullptr || !live_.contains(h) || h->kind != kind) return nullptr;
    return static_cast<T*>(h);
  }
  bool remove(HINTERNET handle) {
    std::lock_guard lock(mutex_);
    return live_.erase(static_cast<Handle*>(handle)) == 1;
  }

 private:
  std::mutex mutex_;
  std::unordered_set<Handle*> live_;
};

HandleRegistry& registry() {
  static HandleRegistry instance;
  return instance;
}

// "http=host:port https=host:port" or a bare "host:port" for every scheme; entries are separated
// by blanks or semicolons.
void parse_proxy_list(std::string_view list, Session& session) {
  while (!list.empty()) {
    size_t end = list.find_first_of(" ;");
    std::string_view entry = list.substr(0, end);
    list = end == std::string_view::npos ? std::string_view() : list.substr(end + 1);
    if (entry.empty()) continue;
    size_t equals = entry.find('=');
    if (equals == std::string_view::npos) {
      session.http_proxy = session.https_proxy = std::string(entry);
    } else if (equal_ignoring_case(entry.substr(0, equals), "http")) {
      session.http_proxy = std::string(entry.substr(equals + 1));
    } else if (equal_ignoring_case(entry.substr(0, equals), "https")) {
      session.https_proxy = std::string(entry.substr(equals + 1));
    }
  }
}

// Bytes that may not stand in a request target are sent percent-encoded.
std::string escape_object(std::string_view object) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string escaped;
  if (object.empty() || object.front() != '/') escaped += '/';
  for (char c : object) {
    auto byte = static_cast<unsigned char>(c);
    if (byte <= 0x20 || byte >= 0x7f) {
      escaped += '%';
      escaped += kHex[byte >> 4];
      escaped += kHex[byte & 15];
    } else {
      escaped += c;
    }
  }
  return escaped;
}

std::string first_url(const RequestHandle& request) {
  bool secure = (request.flags & INTERNET_FLAG_SECURE) != 0;
  std::string host = request.session.host;
  if (host.find(':') != std::string::npos && host.front() != '[') host = "[" + host + "]";
  uint16_t port = request.session.port != 0 ? request.session.port : (secure ? 443 : 80);
  return (secure ? "https://" : "http://") + host + ":" + std::to_string(port) +
         escape_object(request.object);
}

struct HeaderList {
  curl_slist* list = nullptr;
  bool has_user_agent = false;
  HeaderList() = default;
  HeaderList(const HeaderList&) = delete;
  HeaderList& operator=(const HeaderList&) = delete;
  ~HeaderList() { curl_slist_free_all(list); }
  void append(const std::string& line) { list = curl_slist_append(list, line.c_str()); }
};

// The caller's lines go out as written; empty lines are dropped so that they cannot end the
// header section early. Headers that curl would add on its own are suppressed unless the caller
// wrote them. A redirect to another origin gets no Cookie or Authorization line of the caller's:
// they were written for the first server.
void build_header_list(std::string_view block, const RequestHandle& request, bool other_origin,
                       HeaderList& headers) {
  std::vector<std::string> names;
  std::vector<std::string> lines;
  if (!request.accept_line.empty()) lines.push_back(request.accept_line);
  while (!block.empty()) {
    size_t end = block.find("\r\n");
    std::string_view line = block.substr(0, end);
    block = end == std::string_view::npos ? std::string_view() : block.substr(end + 2);
    if (!trim_blanks(line).empty()) lines.emplace_back(line);
  }
  for (std::string& line : lines) {
    size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    std::string_view name = trim_blanks(std::string_view(line).substr(0, colon));
    if (other_origin &&
        (equal_ignoring_case(name, "Cookie") || equal_ignoring_case(name, "Authorization"))) {
      continue;
    }
    names.emplace_back(name);
    if (trim_blanks(std::string_view(line).substr(colon + 1)).empty()) {
      // curl reads "Name:" as "remove Name"; "Name;" is its spelling of an empty header.
      line = std::string(name) + ";";
    }
    headers.append(line);
  }
  auto caller_wrote = [&](std::string_view name) {
    return std::any_of(names.begin(), names.end(),
                       [&](const std::string& n) { return equal_ignoring_case(n, name); });
  };
  for (std::string_view own : {"Accept", "Content-Type", "Expect", "Proxy-Connection"}) {
    if (!caller_wrote(own)) headers.append(std::string(own) + ":");
  }
  headers.has_user_agent = caller_wrote("User-Agent");
}

// The state of one hop that curl's callbacks fill in.
struct Transfer {
  std::string header_block;
  bool in_headers = false;
  bool headers_complete = false;
  bool discard_body = false;  // the body of a redirect that is followed is read and dropped
  std::string pending;        // body bytes received and not yet handed out
  size_t pending_offset = 0;
  int64_t received = 0;
  int64_t body_limit = 0;
  Clock::time_point last_activity = Clock::now();

  int status() const {
    size_t space = header_block.find(' ');
    return space == std::string::npos ? 0 : std::atoi(header_block.c_str() + space + 1);
  }
  bool final_headers() const { return headers_complete && status() >= 200; }
  size_t available() const { return pending.size() - pending_offset; }

  static size_t on_header(char* data, size_t size, size_t count, void* self) {
    auto* t = static_cast<Transfer*>(self);
    size_t length = size * count;
    t->last_activity = Clock::now();
    std::string_view line(data, length);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
    if (!t->in_headers && line.starts_with("HTTP/")) {
      // A new response (after 100-continue or a proxy's reply) replaces what came before.
      t->header_block.assign(line);
      t->header_block += "\r\n";
      t->in_headers = true;
      t->headers_complete = false;
    } else if (t->in_headers && line.empty()) {
      t->header_block += "\r\n";
      t->in_headers = false;
      t->headers_complete = true;
    } else if (t->in_headers) {
      t->header_block.append(line);
      t->header_block += "\r\n";
    }
    return length;
  }

  static size_t on_body(char* data, size_t size, size_t count, void* self) {
    auto* t = static_cast<Transfer*>(self);
    size_t length = size * count;
    t->last_activity = Clock::now();
    auto room = static_cast<size_t>(std::max<int64_t>(0, t->body_limit - t->received));
    size_t taken = std::min(length, room);
    t->received += static_cast<int64_t>(taken);
    if (!t->discard_body) t->pending.append(data, taken);
    // Returning less than was given ends the transfer with a write error: the page is cut.
    return taken;
  }
};

struct Hop {
  std::string url;
  std::string verb;
  bool has_body = false;
  bool same_origin = true;  // scheme, host and port of the first address
};

// "scheme://host:port" of an address, or empty when it cannot be parsed.
std::string origin_of(const std::string& url) {
  CURLU* parsed = curl_url();
  std::string origin;
  char* scheme = nullptr;
  char* host = nullptr;
  char* port = nullptr;
  if (curl_url_set(parsed, CURLUPART_URL, url.c_str(), 0) == CURLUE_OK &&
      curl_url_get(parsed, CURLUPART_SCHEME, &scheme, 0) == CURLUE_OK &&
      curl_url_get(parsed, CURLUPART_HOST, &host, 0) == CURLUE_OK &&
      curl_url_get(parsed, CURLUPART_PORT, &port, CURLU_DEFAULT_PORT) == CURLUE_OK) {
    origin = std::string(scheme) + "://" + host + ":" + port;
    std::transform(origin.begin(), origin.end(), origin.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; });
  }
  curl_free(scheme);
  curl_free(host);
  curl_free(port);
  curl_url_cleanup(parsed);
  return origin;
}

bool aborted_by_caller(const std::atomic<bool>* flag) {
  return flag != nullptr && flag->load(std::memory_order_relaxed);
}

void configure(CURL* easy, const RequestHandle& request, const Hop& hop, const std::string& body,
               const HeaderList& headers_here, const HeaderList& headers_elsewhere,
               const WinInetSettings& settings, Transfer& transfer) {
  curl_easy_setopt(easy, CURLOPT_URL, hop.url.c_str());
  curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
  curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L);
  curl_easy_setopt(easy, CURLOPT_PATH_AS_IS, 1L);
  curl_easy_setopt(easy, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
  curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(settings.connect_timeout_ms));
  curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &Transfer::on_header);
  curl_easy_setopt(easy, CURLOPT_HEADERDATA, &transfer);
  curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &Transfer::on_body);
  curl_easy_setopt(easy, CURLOPT_WRITEDATA, &transfer);
  const HeaderList& headers = hop.same_origin ? headers_here : headers_elsewhere;
  curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers.list);
  if (!settings.ca_file.empty()) curl_easy_setopt(easy, CURLOPT_CAINFO, settings.ca_file.c_str());

  // Proxies come only from the internet handle, never from the environment.
  bool secure = starts_with_ignoring_case(hop.url, "https:");
  const std::string& proxy = secure ? request.session.https_proxy : request.session.http_proxy;
  curl_easy_setopt(easy, CURLOPT_PROXY, proxy.c_str());
  curl_easy_setopt(easy, CURLOPT_NOPROXY, "");

  if (!headers.has_user_agent) {
    curl_easy_setopt(easy, CURLOPT_USERAGENT, request.session.agent.c_str());
  }
  if (!request.referrer.empty()) curl_easy_setopt(easy, CURLOPT_REFERER, request.referrer.c_str());
  if (!request.session.user_name.empty() && hop.same_origin) {
    curl_easy_setopt(easy, CURLOPT_USERNAME, request.session.user_name.c_str());
    curl_easy_setopt(easy, CURLOPT_PASSWORD, request.session.password.c_str());
  }
  if ((request.flags & INTERNET_FLAG_NO_COOKIES) == 0) {
    curl_easy_setopt(easy, CURLOPT_SHARE, request.session.cookies->share());
    curl_easy_setopt(easy, CURLOPT_COOKIEFILE, "");
  }

  if (hop.has_body) {
    curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
    curl_easy_setopt(easy, CURLOPT_POSTFIELDS, body.data());
    if (hop.verb != "POST") curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, hop.verb.c_str());
  } else if (hop.verb == "HEAD") {
    curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
  } else {
    curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
    if (hop.verb != "GET") curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, hop.verb.c_str());
  }
}

// The origin of the request's first address, worked out when a redirect first needs it.
class FirstOrigin {
 public:
  explicit FirstOrigin(std::string url) : url_(std::move(url)) {}
  const std::string& get() {
    if (!origin_) origin_ = origin_of(url_);
    return *origin_;
  }

 private:
  std::string url_;
  std::optional<std::string> origin_;
};

// The next hop of a redirect, or nothing when the response is final.
std::optional<Hop> redirect_target(CURL* easy, const RequestHandle& request, const Hop& hop,
                                   FirstOrigin& first_origin) {
  if ((request.flags & INTERNET_FLAG_NO_AUTO_REDIRECT) != 0) return std::nullopt;
  long status = 0;
  curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
  if (status != 301 && status != 302 && status != 303 && status != 307 && status != 308) {
    return std::nullopt;
  }
  char* location = nullptr;
  curl_easy_getinfo(easy, CURLINFO_REDIRECT_URL, &location);
  if (location == nullptr) return std::nullopt;
  std::string next_url(location);
  std::string_view target(next_url);
  bool from_secure = starts_with_ignoring_case(hop.url, "https:");
  bool to_secure = starts_with_ignoring_case(target, "https://");
  if (!to_secure && !starts_with_ignoring_case(target, "http://")) return std::nullopt;
  if (from_secure && !to_secure) return std::nullopt;
  if (!from_secure && to_secure && (request.flags & INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTPS) == 0) {
    return std::nullopt;
  }
  Hop next{std::string(target), hop.verb, hop.has_body, origin_of(next_url) == first_origin.get()};
  bool becomes_get = (status == 303 && hop.verb != "HEAD") ||
                     ((status == 301 || status == 302) && hop.verb == "POST");
  if (becomes_get) {
    next.verb = "GET";
    next.has_body = false;
  }
  return next;
}

// One request on its way: the current hop's easy handle inside a multi handle of its own, which
// HttpSendRequestA drives up to the final response's headers and InternetReadFile drives on.
class ActiveTransfer {
 public:
  ActiveTransfer() : multi_(curl_multi_init()) {}
  ~ActiveTransfer() {
    release();
    curl_multi_cleanup(multi_);
  }
  ActiveTransfer(const ActiveTransfer&) = delete;
  ActiveTransfer& operator=(const ActiveTransfer&) = delete;

  HeaderList headers;            // for the first server's origin
  HeaderList headers_elsewhere;  // for a redirect to another origin, made for the first one
  bool headers_elsewhere_made = false;
  std::string body;  // the request body; curl sends it from here
  WinInetSettings settings;
  Hop hop;
  Transfer transfer;

  bool done() const { return done_; }
  bool succeeded() const { return done_ && result_ == CURLE_OK; }
  CURL* easy() const { return easy_; }

  void start(const RequestHandle& request) {
    release();
    transfer = Transfer{};
    transfer.body_limit = settings.max_body_bytes;
    done_ = false;
    result_ = CURLE_OK;
    uploaded_ = 0;
    easy_ = curl_easy_init();
    configure(easy_, request, hop, body, headers, headers_elsewhere, settings, transfer);
    curl_multi_add_handle(multi_, easy_);
  }

  // Frees the easy handle (and so the connection) once nothing more is wanted of it.
  void release() {
    if (easy_ == nullptr) return;
    curl_multi_remove_handle(multi_, easy_);
    curl_easy_cleanup(easy_);
    easy_ = nullptr;
  }

  // Drives the transfer until `enough()` holds or the transfer ends, polling often enough that
  // the abort flag and the stall limit take effect within a fraction of a second.
  template <typename Enough>
  void pump(Enough enough) {
    const std::atomic<bool>* abort_flag = thread_abort_flag;
    transfer.last_activity = Clock::now();
    while (!done_ && !enough()) {
      if (aborted_by_caller(abort_flag)) return finish(CURLE_ABORTED_BY_CALLBACK);
      int running = 0;
      if (curl_multi_perform(multi_, &running) != CURLM_OK) return finish(CURLE_FAILED_INIT);
      int queued = 0;
      std::optional<CURLcode> ended;
      while (CURLMsg* message = curl_multi_info_read(multi_, &queued)) {
        if (message->msg == CURLMSG_DONE) ended = message->data.result;
      }
      if (ended) return finish(*ended);
      if (enough()) return;
      curl_off_t uploaded = 0;
      curl_easy_getinfo(easy_, CURLINFO_SIZE_UPLOAD_T, &uploaded);
      if (uploaded != uploaded_) {
        uploaded_ = uploaded;
        transfer.last_activity = Clock::now();
      }
      if (Clock::now() - transfer.last_activity >
          std::chrono::milliseconds(settings.stall_timeout_ms)) {
        return finish(CURLE_OPERATION_TIMEDOUT);
      }
      curl_multi_poll(multi_, nullptr, 0, kPollSliceMs, nullptr);
    }
  }

 private:
  void finish(CURLcode result) {
    result_ = result;
    done_ = true;
  }

  CURLM* multi_;
  CURL* easy_ = nullptr;
  bool done_ = false;
  CURLcode result_ = CURLE_OK;
  curl_off_t uploaded_ = 0;
};

// Sends the request and follows redirects until a final response's headers are in.
void send_request(RequestHandle& request, std::string_view header_block, std::string body,
                  bool has_body) {
  request.transfer.reset(new ActiveTransfer);
  ActiveTransfer& active = *request.transfer;
  active.settings = wininet_settings();
  build_header_list(header_block, request, false, active.headers);
  active.body = std::move(body);
  active.hop = Hop{first_url(request), request.verb, has_body};
  FirstOrigin first_origin(active.hop.url);
  for (int hops = 0;; ++hops) {
    active.start(request);
    active.pump([&] { return active.transfer.final_headers(); });
    if (!active.transfer.final_headers() || hops == kMaxRedirects) break;
    std::optional<Hop> next = redirect_target(active.easy(), request, active.hop, first_origin);
    if (!next) break;
    if (!next->same_origin && !active.headers_elsewhere_made) {
      build_header_list(header_block, request, true, active.headers_elsewhere);
      active.headers_elsewhere_made = true;
    }
    active.transfer.discard_body = true;
    active.pump([] { return false; });
    if (!active.succeeded()) break;
    active.hop = std::move(*next);
  }
  request.headers_received = active.transfer.final_headers();
  request.raw_headers = request.headers_received ? active.transfer.header_block : "";
}

void ActiveTransferDeleter::operator()(ActiveTransfer* transfer) const { delete transfer; }

}  // namespace

WinInetSettings& wininet_settings() {
  static WinInetSettings settings;
  return settings;
}

void set_thread_abort_flag(const std::atomic<bool>* flag) { thread_abort_flag = flag; }

HINTERNET InternetOpenA(const char* agent, uint32_t access_type, const char* proxy,
                        const char* /*proxy_bypass*/, uint32_t /*flags*/) {
  initialise_curl_once();
  auto* internet = new InternetHandle;
  internet->session.agent = agent != nullptr ? agent : "";
  if (access_type == INTERNET_OPEN_TYPE_PROXY && proxy != nullptr) {
    parse_proxy_list(proxy, internet->session);
  }
  internet->session.cookies = std::make_shared<CookieStore>();
  registry().add(internet);
  return internet;
}

HINTERNET InternetConnectA(HINTERNET internet, const char* server_name, uint16_t server_port,
                           const char* user_name, const char* password, uint32_t service,
                           uint32_t /*flags*/, uintptr_t /*context*/) {
  auto* parent = registry().find<InternetHandle>(internet, HandleKind::internet);
  if (parent == nullptr || server_name == nullptr || *server_name == '\0' ||
      service != INTERNET_SERVICE_HTTP) {
    return nullptr;
  }
  auto* connection = new ConnectionHandle;
  connection->session = parent->session;
  connection->session.host = server_name;
  connection->session.port = server_port;
  connection->session.user_name = user_name != nullptr ? user_name : "";
  connection->session.password = password != nullptr ? password : "";
  registry().add(connection);
  return connection;
}

HINTERNET HttpOpenRequestA(HINTERNET connection, const char* verb, const char* object_name,
                           const char* /*version*/, const char* referrer, const char** accept_types,
                           uint32_t flags, uintptr_t /*context*/) {
  auto* parent = registry().find<ConnectionHandle>(connection, HandleKind::connection);
  if (parent == nullptr) return nullptr;
  auto* request = new RequestHandle;
  request->session = parent->session;
  request->verb = verb != nullptr && *verb != '\0' ? verb : "GET";
  request->object = object_name != nullptr ? object_name : "/";
  request->referrer = referrer != nullptr ? referrer : "";
  if (accept_types != nullptr && accept_types[0] != nullptr) {
    request->accept_line = "Accept: ";
    for (const char** type = accept_types; *type != nullptr; ++type) {
      if (type != accept_types) request->accept_line += ", ";
      request->accept_line += *type;
    }
  }
  request->flags = flags;
  registry().add(request);
  return request;
}

bool HttpSendRequestA(HINTERNET request, const char* headers, uint32_t headers_length,
                      const void* optional, uint32_t optional_length) {
  auto* r = registry().find<RequestHandle>(request, HandleKind::request);
  if (r == nullptr) return false;
  std::string_view header_block;
  if (headers != nullptr) {
    header_block = headers_length == UINT32_MAX ? std::string_view(headers)
                                                : std::string_view(headers, headers_length);
  }
  // A GET or HEAD without optional data has no body; any other verb sends one, possibly empty.
  bool has_body =
      (optional != nullptr && optional_length > 0) || (r->verb != "GET" && r->verb != "HEAD");
  std::string body;
  if (optional != nullptr) body.assign(static_cast<const char*>(optional), optional_length);
  send_request(*r, header_block, std::move(body), has_body);
  return r->headers_received;
}

bool InternetReadFile(HINTERNET request, void* buffer, uint32_t bytes_to_read,
                      uint32_t* bytes_read) {
  auto* r = registry().find<RequestHandle>(request, HandleKind::request);
  if (bytes_read == nullptr) return false;
  *bytes_read = 0;
  if (r == nullptr || r->transfer == nullptr || (buffer == nullptr && bytes_to_read > 0)) {
    return false;
  }
  ActiveTransfer& active = *r->transfer;
  Transfer& transfer = active.transfer;
  if (!r->headers_received) return false;
  if (transfer.available() == 0) active.pump([&] { return transfer.available() > 0; });
  size_t count = std::min<size_t>(bytes_to_read, transfer.available());
  if (count > 0) {
    std::memcpy(buffer, transfer.pending.data() + transfer.pending_offset, count);
    transfer.pending_offset += count;
    if (transfer.available() == 0) {
      transfer.pending.clear();
      transfer.pending_offset = 0;
    }
    *bytes_read = static_cast<uint32_t>(count);
    return true;
  }
  active.release();
  return active.succeeded();
}

bool HttpQueryInfoA(HINTERNET request, uint32_t info_level, void* buffer, uint32_t* buffer_length,
                    uint32_t* /*index*/) {
  auto* r = registry().find<RequestHandle>(request, HandleKind::request);
  if (r == nullptr || buffer_length == nullptr ||
      (info_level & 0xFFFF) != HTTP_QUERY_RAW_HEADERS_CRLF || !r->headers_received) {
    return false;
  }
  size_t needed = r->raw_headers.size() + 1;
  if (buffer == nullptr || *buffer_length < needed) {
    *buffer_length = static_cast<uint32_t>(needed);
    return false;
  }
  std::memcpy(buffer, r->raw_headers.c_str(), needed);
  *buffer_length = static_cast<uint32_t>(r->raw_headers.size());
  return true;
}

bool InternetCloseHandle(HINTERNET handle) {
  if (!registry().remove(handle)) return false;
  delete static_cast<Handle*>(handle);
  return true;
}

}  // namespace tarnwick

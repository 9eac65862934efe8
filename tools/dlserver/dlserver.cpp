// dlserver: the loopback download server of the tests, the benchmark and the
// demo. It serves the files of one folder over HTTP on 127.0.0.1 and can be
// told, per request path, to misbehave the way real download servers do.
//
// Usage:
//   dlserver --root DIR [--port N] [--port-file FILE] [--log FILE] [--sent-log FILE]
//            [--rules FILE] [--rule "PATH OPTIONS"]...
//
//   --root DIR        folder whose files are served (GET and HEAD); a path
//                     that names no file there answers 404
//   --port N          port to listen on; 0 or missing picks a free port
//   --port-file FILE  the chosen port is written there (atomically) once the
//                     server accepts connections; the port is also printed on
//                     standard output as "port=N"
//   --log FILE        every request is appended as one line, written when the
//                     request arrives (before any delay):
//                       METHOD<TAB>PATH<TAB>User-Agent<TAB>Cache-Control<TAB>Pragma<TAB>Range<TAB>If-Range
//                     so that a test can tell which requests were made
//   --sent-log FILE   when an answer's body ends, "PATH<TAB>BYTES" (the body
//                     bytes sent) is appended, so that a benchmark can count
//                     what a download cost
//   --rules FILE      a rules file, read again for every request, so that a
//                     running server can be re-configured by rewriting it
//   --rule "PATH OPTIONS"
//                     one rule on the command line (repeatable); the rules
//                     file wins over the command line for the same path
//
// A rule is one line "PATH OPTION..." (blank lines and lines starting with
// '#' are ignored). PATH is the request path as sent ("/pkg/a.msi"), or "*"
// for every path without a rule of its own. OPTIONs are key=value words:
//
// A file is served with an ETag and a Last-Modified date. A request for
// "Range: bytes=N-" (or N-M) gets a 206 answer with that part of the file and
// its Content-Range, unless an If-Range names another validator (then the
// whole file, 200).
//
//   status=N          answer with status N; with a 2xx status (except 204)
//                     the file is served as usual, otherwise the body is a
//                     short text (none for 204 and 304)
//   location=URL      a Location header (use it with status=301/302/307)
//   delay-ms=N        wait N ms before answering at all (before the headers)
//   hold-until=FILE   wait until FILE exists (at most 60 s) before answering,
//                     so that a test can order an answer after an event
//   announce=N        announce a Content-Length of N bytes whatever the file
//                     holds, written as given (leading zeros stay); when N
//                     exceeds what is sent, the connection is closed after
//                     the last byte that was sent
//   close-after=N     send only the first N bytes of each answer's body, then
//                     close the connection (the announced length stays the
//                     full one)
//   close-times=N     ... only for the first N requests of the path
//   ranges=0          ignore Range: always the whole file (200)
//   etag=none         no ETag (Last-Modified remains the validator)
//   etag=changes      a new ETag for every answer, as if the file changed
//   if-range=ignore   answer a Range with 206 whatever If-Range says
//   corrupt-ranges=1  the bytes of 206 answers are inverted
//   range-start=N     206 answers carry (and name) the part from byte N on,
//                     wherever the Range asked to start
//   stall-after=N     after N bytes of the body, stop sending for stall-ms
//   stall-ms=N        (default 60000) length of that pause
//   drip-bytes=N      send the body in pieces of N bytes ...
//   drip-ms=N         ... with N ms between two pieces (default 10)
//
// Hostile answers, as a broken or malicious server or proxy gives them:
//   etag=weak         the ETag is a weak one (W/"...")
//   always-206=N      every answer is a 206 of at most N bytes from where the
//                     Range asked (from 0 without one), with its Content-Range
//   short-206=N       a 206 announces and sends only N bytes, its
//                     Content-Range still naming the whole rest
//   long-206=N        a 206 has no Content-Length and sends N bytes past its
//                     range before it closes the connection
//   bare-206=1        a 206 carries neither ETag nor Last-Modified
//   no-length=1       no Content-Length: the body ends where the connection
//                     closes (close-after then cuts it without a trace)
//   head-drip-ms=N    the answer's head goes out one byte every N ms
//
// Example rules file:
//   /missing.bin   status=404
//   /old.bin       status=301 location=/good.bin
//   /big.bin       stall-after=4096 stall-ms=5000
//   /short.bin     announce=10000 close-after=1000
//   /slow.bin      drip-bytes=100 drip-ms=20
//
// The server runs until it is killed (SIGTERM or SIGINT end it cleanly).
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <httplib.h>

namespace {

struct Rule {
  int status = 0;
  std::string location;
  long long delayMs = 0;
  std::string holdUntil;
  long long announce = -1;
  std::string announceText;
  long long closeAfter = -1;
  long long closeTimes = -1;
  bool ranges = true;
  std::string etag;
  bool ifRangeIgnored = false;
  bool corruptRanges = false;
  long long rangeStart = -1;
  long long stallAfter = -1;
  long long stallMs = 60000;
  long long dripBytes = 0;
  long long dripMs = 10;
  long long always206 = -1;
  long long short206 = -1;
  long long long206 = -1;
  bool bare206 = false;
  bool noLength = false;
  long long headDripMs = 0;
};

struct Options {
  std::string root;
  int port = 0;
  std::string portFile;
  std::string logFile;
  std::string sentLogFile;
  std::string rulesFile;
  std::vector<std::string> rules;
};

std::mutex g_logLock;
httplib::Server* g_server = nullptr;
std::map<std::string, long long> g_requestsByPath;  // under g_logLock
long long g_answers = 0;                           // under g_logLock

void Usage() {
  std::fprintf(stderr,
               "usage: dlserver --root DIR [--port N] [--port-file FILE] [--log FILE] [--sent-log FILE]\n"
               "                [--rules FILE] [--rule \"PATH OPTIONS\"]...\n");
}

long long ToNumber(const std::string& text, bool* ok) {
  char* end = nullptr;
  long long value = std::strtoll(text.c_str(), &end, 10);
  *ok = !text.empty() && end && *end == '\0';
  return value;
}

// Parses "PATH OPTION..." into path and rule; false on a malformed line.
bool ParseRuleLine(const std::string& line, std::string* path, Rule* rule, std::string* error) {
  std::istringstream in(line);
  if (!(in >> *path)) return false;
  std::string word;
  while (in >> word) {
    size_t eq = word.find('=');
    if (eq == std::string::npos) {
      *error = "option without '=': " + word;
      return false;
    }
    std::string key = word.substr(0, eq);
    std::string value = word.substr(eq + 1);
    if (key == "location" || key == "hold-until") {
      (key == "location" ? rule->location : rule->holdUntil) = value;
      continue;
    }
    if (key == "etag" || key == "if-range") {
      if (key == "etag") rule->etag = value;
      else rule->ifRangeIgnored = value == "ignore";
      continue;
    }
    bool ok = false;
    long long number = ToNumber(value, &ok);
    if (!ok || number < 0) {
      *error = "not a number: " + word;
      return false;
    }
    if (key == "status") rule->status = static_cast<int>(number);
    else if (key == "delay-ms") rule->delayMs = number;
    else if (key == "announce") rule->announce = number, rule->announceText = value;
    else if (key == "close-after") rule->closeAfter = number;
    else if (key == "close-times") rule->closeTimes = number;
    else if (key == "ranges") rule->ranges = number != 0;
    else if (key == "corrupt-ranges") rule->corruptRanges = number != 0;
    else if (key == "range-start") rule->rangeStart = number;
    else if (key == "stall-after") rule->stallAfter = number;
    else if (key == "stall-ms") rule->stallMs = number;
    else if (key == "drip-bytes") rule->dripBytes = number;
    else if (key == "drip-ms") rule->dripMs = number;
    else if (key == "always-206") rule->always206 = number;
    else if (key == "short-206") rule->short206 = number;
    else if (key == "long-206") rule->long206 = number;
    else if (key == "bare-206") rule->bare206 = number != 0;
    else if (key == "no-length") rule->noLength = number != 0;
    else if (key == "head-drip-ms") rule->headDripMs = number;
    else {
      *error = "unknown option: " + key;
      return false;
    }
  }
  return true;
}

void AddRules(std::istream& in, std::map<std::string, Rule>* rules, const std::string& origin) {
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    size_t first = line.find_first_not_of(" \t");
    if (first == std::string::npos || line[first] == '#') continue;
    std::string path, error;
    Rule rule;
    if (!ParseRuleLine(line, &path, &rule, &error)) {
      std::fprintf(stderr, "dlserver: %s: ignored rule \"%s\" (%s)\n", origin.c_str(), line.c_str(),
                   error.c_str());
      continue;
    }
    (*rules)[path] = rule;
  }
}

// The rule for a path: the command line first, then the rules file, read
// anew so that a test can change the server's behaviour between requests.
bool FindRule(const Options& options, const std::string& path, Rule* rule) {
  std::map<std::string, Rule> rules;
  for (const std::string& line : options.rules) {
    std::istringstream in(line);
    AddRules(in, &rules, "--rule");
  }
  if (!options.rulesFile.empty()) {
    std::ifstream in(options.rulesFile);
    if (in) AddRules(in, &rules, options.rulesFile);
  }
  auto it = rules.find(path);
  if (it == rules.end()) it = rules.find("*");
  if (it == rules.end()) return false;
  *rule = it->second;
  return true;
}

void AppendLine(const std::string& file, const std::string& line) {
  std::lock_guard<std::mutex> hold(g_logLock);
  int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) return;
  ssize_t ignored = ::write(fd, line.data(), line.size());
  (void)ignored;
  ::close(fd);
}

void LogRequest(const Options& options, const httplib::Request& req) {
  if (options.logFile.empty()) return;
  std::string line = req.method + "\t" + req.path + "\t" + req.get_header_value("User-Agent") + "\t" +
                     req.get_header_value("Cache-Control") + "\t" + req.get_header_value("Pragma") + "\t" +
                     req.get_header_value("Range") + "\t" + req.get_header_value("If-Range") + "\n";
  AppendLine(options.logFile, line);
}

void SleepMs(long long ms) {
  if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// A served body: either a file (read piecewise, so that a 1 GiB file costs no
// memory) or a short text. With a sent log, what went out of it is written
// there when the answer is over.
struct Body {
  int fd = -1;
  std::string text;
  long long size = 0;
  long long mtime = 0;
  std::string sentLog, path;
  long long sent = 0;
  ~Body() {
    if (fd >= 0) ::close(fd);
    if (!sentLog.empty()) AppendLine(sentLog, path + "\t" + std::to_string(sent) + "\n");
  }
  bool Read(long long offset, char* buffer, size_t want, size_t* got) {
    if (fd < 0) {
      size_t n = std::min<size_t>(want, text.size() - static_cast<size_t>(offset));
      std::memcpy(buffer, text.data() + offset, n);
      *got = n;
      return true;
    }
    ssize_t n = ::pread(fd, buffer, want, offset);
    if (n <= 0) return false;
    *got = static_cast<size_t>(n);
    return true;
  }
};

bool SafePath(const std::string& path) {
  if (path.empty() || path[0] != '/') return false;
  std::istringstream in(path);
  std::string part;
  while (std::getline(in, part, '/')) {
    if (part == "..") return false;
  }
  return true;
}

std::shared_ptr<Body> OpenFileBody(const Options& options, const std::string& path) {
  if (!SafePath(path)) return nullptr;
  std::string full = options.root + path;
  int fd = ::open(full.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return nullptr;
  }
  auto body = std::make_shared<Body>();
  body->fd = fd;
  body->size = st.st_size;
  body->mtime = static_cast<long long>(st.st_mtime);
  return body;
}

std::string HttpDate(long long time) {
  char text[64];
  time_t t = static_cast<time_t>(time);
  struct tm tm;
  gmtime_r(&t, &tm);
  strftime(text, sizeof text, "%a, %d %b %Y %H:%M:%S GMT", &tm);
  return text;
}

// "bytes=N-" or "bytes=N-M" of a file of size bytes: the first and last byte.
bool ParseRange(const std::string& header, long long size, long long* first, long long* last) {
  if (header.compare(0, 6, "bytes=") != 0 || header.find(',') != std::string::npos) return false;
  const size_t dash = header.find('-', 6);
  if (dash == std::string::npos) return false;
  bool ok = false;
  *first = ToNumber(header.substr(6, dash - 6), &ok);
  if (!ok || *first < 0) return false;
  *last = size - 1;
  if (dash + 1 < header.size()) {
    *last = std::min(ToNumber(header.substr(dash + 1), &ok), size - 1);
    if (!ok || *last < *first) return false;
  }
  return true;
}

// The socket of the connection a request came on: the server library hides
// it, so it is found by the client's port.
int ClientSocket(int remotePort) {
  for (int fd = 3; fd < 4096; ++fd) {
    sockaddr_in peer{};
    socklen_t size = sizeof peer;
    if (::getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &size) == 0 && peer.sin_family == AF_INET &&
        ntohs(peer.sin_port) == remotePort) {
      return fd;
    }
  }
  return -1;
}

// Writes the whole answer itself, its head a byte at a time, then shuts the
// connection, so that the library's own answer goes nowhere.
void DripHead(const Rule& rule, int remotePort, Body& body) {
  const int fd = ClientSocket(remotePort);
  if (fd < 0) return;
  std::string head = "HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\nContent-Length: " +
                     std::to_string(body.size) + "\r\nConnection: close\r\n\r\n";
  bool open = true;
  for (size_t i = 0; open && i < head.size(); ++i) {
    open = ::send(fd, &head[i], 1, MSG_NOSIGNAL) == 1;
    SleepMs(rule.headDripMs);
  }
  std::vector<char> buffer(64 * 1024);
  for (long long at = 0; open && at < body.size;) {
    size_t got = 0;
    if (!body.Read(at, buffer.data(), buffer.size(), &got) || got == 0) break;
    open = ::send(fd, buffer.data(), got, MSG_NOSIGNAL) == static_cast<ssize_t>(got);
    at += static_cast<long long>(got);
  }
  ::shutdown(fd, SHUT_RDWR);
}

std::shared_ptr<Body> TextBody(const std::string& text) {
  auto body = std::make_shared<Body>();
  body->text = text;
  body->size = static_cast<long long>(text.size());
  return body;
}

void Handle(const Options& options, const httplib::Request& req, httplib::Response& res) {
  LogRequest(options, req);
  Rule rule;
  FindRule(options, req.path, &rule);
  SleepMs(rule.delayMs);
  for (int waited = 0; !rule.holdUntil.empty() && ::access(rule.holdUntil.c_str(), F_OK) != 0 && waited < 60000;
       waited += 20) {
    SleepMs(20);
  }

  std::shared_ptr<Body> body;
  int status = rule.status ? rule.status : 200;
  bool successStatus = status >= 200 && status < 300 && status != 204;
  if (successStatus) {
    body = OpenFileBody(options, req.path);
    if (!body) {
      if (rule.status == 0) {
        status = 404;
        body = TextBody("not found\n");
      } else {
        body = TextBody("");
      }
    }
  } else if (status != 204 && status != 304 && status >= 200) {
    body = TextBody("status " + std::to_string(status) + "\n");
  }
  res.status = status;
  if (!rule.location.empty()) res.set_header("Location", rule.location);
  if (!body) return;
  body->sentLog = options.sentLogFile;
  body->path = req.path;

  long long count = 0, answer = 0;
  {
    std::lock_guard<std::mutex> hold(g_logLock);
    count = ++g_requestsByPath[req.path];
    answer = ++g_answers;
  }
  // Validators, and the part of the file a Range asks for.
  long long from = 0, to = body->size - 1;
  bool ranged = false;
  if (body->fd >= 0) {
    std::string etag = "\"" + std::to_string(body->size) + "-" + std::to_string(body->mtime) + "\"";
    if (rule.etag == "changes") etag = "\"" + std::to_string(answer) + "-" + etag.substr(1);
    const std::string modified = HttpDate(body->mtime);
    if (rule.etag == "weak") etag = "W/" + etag;
    if (rule.etag != "none") res.set_header("ETag", etag);
    res.set_header("Last-Modified", modified);
    const std::string ifRange = req.get_header_value("If-Range");
    const bool sameFile = ifRange.empty() || ifRange == modified || (rule.etag != "none" && ifRange == etag);
    if (rule.ranges && status == 200 && req.has_header("Range") && (sameFile || rule.ifRangeIgnored)) {
      if (!ParseRange(req.get_header_value("Range"), body->size, &from, &to) || from >= body->size) {
        res.status = 416;
        res.set_header("Content-Range", "bytes */" + std::to_string(body->size));
        return;
      }
      if (rule.rangeStart >= 0 && rule.rangeStart < body->size) from = rule.rangeStart;
      ranged = true;
    }
    if (rule.always206 >= 0 && status == 200) {
      ranged = true;
      to = std::min(from + rule.always206, body->size) - 1;
    }
    if (ranged) {
      res.status = 206;
      res.set_header("Content-Range",
                     "bytes " + std::to_string(from) + "-" + std::to_string(to) + "/" + std::to_string(body->size));
      if (rule.bare206) {
        res.headers.erase("ETag");
        res.headers.erase("Last-Modified");
      }
      if (rule.short206 >= 0) rule.announce = rule.short206, rule.announceText = std::to_string(rule.short206);
    }
  }
  if (rule.headDripMs > 0 && body->fd >= 0) {
    DripHead(rule, req.remote_port, *body);
    return;
  }
  // The server slices nothing itself: the Range was answered above.
  const_cast<httplib::Request&>(req).ranges.clear();

  const long long length = to - from + 1;
  long long announced = rule.announce >= 0 ? rule.announce : length;
  long long limit = std::min(announced, length);
  const bool closeDelimited = rule.noLength || (ranged && rule.long206 >= 0);
  if (ranged && rule.long206 >= 0) limit = length + rule.long206;
  if (rule.closeAfter >= 0 && (rule.closeTimes < 0 || count <= rule.closeTimes)) {
    limit = std::min(limit, rule.closeAfter);
  }
  const bool corrupt = ranged && rule.corruptRanges;
  auto stalled = std::make_shared<std::atomic<bool>>(false);
  if (announced == 0) {
    res.set_content("", "application/octet-stream");
    return;
  }
  // Sends the body from offset on; false closes the connection.
  auto provide = [body, rule, limit, stalled, from, corrupt](size_t offset, size_t length, httplib::DataSink& sink) {
    long long at = static_cast<long long>(offset);
    if (rule.stallAfter >= 0 && at >= rule.stallAfter && !stalled->exchange(true)) {
      SleepMs(rule.stallMs);
    }
    if (at >= limit) return false;  // close early: the connection ends here
    long long want = std::min<long long>(static_cast<long long>(length), limit - at);
    want = std::min<long long>(want, 256 * 1024);
    if (rule.stallAfter >= 0 && at < rule.stallAfter) want = std::min(want, rule.stallAfter - at);
    if (rule.dripBytes > 0) want = std::min(want, rule.dripBytes);
    std::vector<char> buffer(static_cast<size_t>(want));
    size_t got = 0;
    if (from + at >= body->size) {
      std::fill(buffer.begin(), buffer.end(), 'x');  // past the file: bytes of no file at all
      got = buffer.size();
    } else if (!body->Read(from + at, buffer.data(), buffer.size(), &got) || got == 0) {
      return false;
    }
    if (corrupt) {
      for (char& c : buffer) c = static_cast<char>(~c);
    }
    if (!sink.write(buffer.data(), got)) return false;
    body->sent += static_cast<long long>(got);
    if (rule.dripBytes > 0) SleepMs(rule.dripMs);
    return true;
  };
  if (closeDelimited) {
    res.set_content_provider("application/octet-stream", [provide, limit](size_t offset, httplib::DataSink& sink) {
      if (static_cast<long long>(offset) >= limit) {
        sink.done();
        return true;
      }
      return provide(offset, static_cast<size_t>(limit) - offset, sink);
    });
    return;
  }
  if (rule.announceText.empty()) {
    res.set_content_provider(static_cast<size_t>(announced), "application/octet-stream", provide);
    return;
  }
  // The announced length goes out exactly as written in the rule.
  res.set_header("Content-Length", rule.announceText);
  res.set_content_provider("application/octet-stream",
                           [provide, announced](size_t offset, httplib::DataSink& sink) {
                             if (static_cast<long long>(offset) >= announced) {
                               sink.done();
                               return true;
                             }
                             return provide(offset, static_cast<size_t>(announced) - offset, sink);
                           });
}

void OnSignal(int) {
  if (g_server) g_server->stop();
}

bool WritePortFile(const std::string& path, int port) {
  std::string temp = path + ".tmp";
  {
    std::ofstream out(temp, std::ios::trunc);
    if (!out) return false;
    out << port << "\n";
    if (!out.flush()) return false;
  }
  return std::rename(temp.c_str(), path.c_str()) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    auto next = [&](std::string* value) {
      if (i + 1 >= argc) return false;
      *value = argv[++i];
      return true;
    };
    std::string value;
    if (arg == "--root" && next(&value)) options.root = value;
    else if (arg == "--port" && next(&value)) options.port = std::atoi(value.c_str());
    else if (arg == "--port-file" && next(&value)) options.portFile = value;
    else if (arg == "--log" && next(&value)) options.logFile = value;
    else if (arg == "--sent-log" && next(&value)) options.sentLogFile = value;
    else if (arg == "--rules" && next(&value)) options.rulesFile = value;
    else if (arg == "--rule" && next(&value)) options.rules.push_back(value);
    else {
      Usage();
      return 2;
    }
  }
  if (options.root.empty()) {
    Usage();
    return 2;
  }
  while (options.root.size() > 1 && options.root.back() == '/') options.root.pop_back();

  httplib::Server server;
  g_server = &server;
  signal(SIGTERM, OnSignal);
  signal(SIGINT, OnSignal);
  signal(SIGPIPE, SIG_IGN);

  auto handler = [&options](const httplib::Request& req, httplib::Response& res) { Handle(options, req, res); };
  server.Get(".*", handler);
  // A stall or a drip must not be cut short by the server's own write timeout.
  server.set_write_timeout(600, 0);

  int port = options.port;
  if (port == 0) {
    port = server.bind_to_any_port("127.0.0.1");
    if (port <= 0) {
      std::fprintf(stderr, "dlserver: cannot bind a port on 127.0.0.1\n");
      return 1;
    }
  } else if (!server.bind_to_port("127.0.0.1", port)) {
    std::fprintf(stderr, "dlserver: cannot bind 127.0.0.1:%d\n", port);
    return 1;
  }
  // The socket listens from bind on, so the port can be announced before the
  // accept loop starts: early connections wait in the backlog.
  if (!options.portFile.empty() && !WritePortFile(options.portFile, port)) {
    std::fprintf(stderr, "dlserver: cannot write %s\n", options.portFile.c_str());
    return 1;
  }
  std::printf("port=%d\n", port);
  std::fflush(stdout);
  server.listen_after_bind();
  return 0;
}

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

#include "body.h"
#include "rules.h"

namespace {

using dlserver::Body;
using dlserver::Rule;

struct Options {
  std::string root;
  int port = 0;
  std::string portFile;
  std::string logFile;
  std::string sentLogFile;
  std::string rulesFile;
  std::vector<std::string> rules;
};

std::mutex g_countLock;
httplib::Server* g_server = nullptr;
std::map<std::string, long long> g_requestsByPath;  // under g_countLock
long long g_answers = 0;                           // under g_countLock

void Usage() {
  std::fprintf(stderr,
               "usage: dlserver --root DIR [--port N] [--port-file FILE] [--log FILE] [--sent-log FILE]\n"
               "                [--rules FILE] [--rule \"PATH OPTIONS\"]...\n");
}

void LogRequest(const Options& options, const httplib::Request& req) {
  if (options.logFile.empty()) return;
  std::string line = req.method + "\t" + req.path + "\t" + req.get_header_value("User-Agent") + "\t" +
                     req.get_header_value("Cache-Control") + "\t" + req.get_header_value("Pragma") + "\t" +
                     req.get_header_value("Range") + "\t" + req.get_header_value("If-Range") + "\n";
  dlserver::AppendLine(options.logFile, line);
}

void SleepMs(long long ms) {
  if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
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

void Handle(const Options& options, const httplib::Request& req, httplib::Response& res) {
  LogRequest(options, req);
  Rule rule;
  dlserver::FindRule(options.rules, options.rulesFile, req.path, &rule);
  SleepMs(rule.delayMs);
  for (int waited = 0; !rule.holdUntil.empty() && ::access(rule.holdUntil.c_str(), F_OK) != 0 && waited < 60000;
       waited += 20) {
    SleepMs(20);
  }

  std::shared_ptr<Body> body;
  int status = rule.status ? rule.status : 200;
  bool successStatus = status >= 200 && status < 300 && status != 204;
  if (successStatus) {
    body = dlserver::OpenFileBody(options.root, req.path);
    if (!body) {
      if (rule.status == 0) {
        status = 404;
        body = dlserver::TextBody("not found\n");
      } else {
        body = dlserver::TextBody("");
      }
    }
  } else if (status != 204 && status != 304 && status >= 200) {
    body = dlserver::TextBody("status " + std::to_string(status) + "\n");
  }
  res.status = status;
  if (!rule.location.empty()) res.set_header("Location", rule.location);
  if (!body) return;
  body->sentLog = options.sentLogFile;
  body->path = req.path;

  long long count = 0, answer = 0;
  {
    std::lock_guard<std::mutex> hold(g_countLock);
    count = ++g_requestsByPath[req.path];
    answer = ++g_answers;
  }
  // Validators, and the part of the file a Range asks for.
  long long from = 0, to = body->size - 1;
  bool ranged = false;
  if (body->fd >= 0) {
    std::string etag = "\"" + std::to_string(body->size) + "-" + std::to_string(body->mtime) + "\"";
    if (rule.etag == "changes") etag = "\"" + std::to_string(answer) + "-" + etag.substr(1);
    const std::string modified = dlserver::HttpDate(body->mtime);
    if (rule.etag == "weak") etag = "W/" + etag;
    if (rule.etag != "none") res.set_header("ETag", etag);
    res.set_header("Last-Modified", modified);
    const std::string ifRange = req.get_header_value("If-Range");
    const bool sameFile = ifRange.empty() || ifRange == modified || (rule.etag != "none" && ifRange == etag);
    if (rule.ranges && status == 200 && req.has_header("Range") && (sameFile || rule.ifRangeIgnored)) {
      if (!dlserver::ParseRange(req.get_header_value("Range"), body->size, &from, &to) || from >= body->size) {
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

#pragma once
// What the download server sends: the bodies of its answers, the ranges asked
// of them, their dates, and the log lines written about them.
#include <cstddef>
#include <memory>
#include <string>

namespace dlserver {

// Appends a line to a log file; writers of all threads take turns.
void AppendLine(const std::string& file, const std::string& line);

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
  ~Body();
  bool Read(long long offset, char* buffer, size_t want, size_t* got);
};


// The file at the request path under root; null when the path leaves root or
// names no regular file.
std::shared_ptr<Body> OpenFileBody(const std::string& root, const std::string& path);
std::shared_ptr<Body> TextBody(const std::string& text);

// The date in the form of HTTP headers.
std::string HttpDate(long long time);

// "bytes=N-" or "bytes=N-M" of a file of size bytes: the first and last byte.
bool ParseRange(const std::string& header, long long size, long long* first, long long* last);

}  // namespace dlserver

#pragma once
#include <string>

// A pseudo-terminal standing in for the serial line. Its own handle on the
// client side stays open, so the terminal lives on while clients open and
// close it; that side is raw (no echo, no CR/LF changes) so every byte passes
// unchanged both ways.
class PtyLine {
 public:
  PtyLine() = default;
  PtyLine(const PtyLine&) = delete;
  PtyLine& operator=(const PtyLine&) = delete;
  ~PtyLine();

  bool Open(std::string& error);

  // Our end: reads what the client sends, writes what it receives. Non-blocking.
  int fd() const { return master_; }
  // The path a client opens as its serial port.
  const std::string& path() const { return path_; }
  // Bytes sent to the client that it has not read yet.
  int UnreadByClient() const;

 private:
  int master_ = -1;
  int client_side_ = -1;
  std::string path_;
};

#pragma once
#include <cstdio>
#include <mutex>
#include <string>

// korvel-serve's log: one line a thing that happened, with the time, on
// standard error (which the system's journal keeps for a service).
class ServeLog {
 public:
  explicit ServeLog(std::FILE* out) : out_(out) {}
  void Line(const std::string& text);

 private:
  std::mutex mutex_;
  std::FILE* out_;
};

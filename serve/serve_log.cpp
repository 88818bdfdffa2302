#include "serve/serve_log.h"

#include "serve/snapshot_json.h"

void ServeLog::Line(const std::string& text) {
  const std::string line = IsoTime(NowMs()) + " korvel-serve: " + text + "\n";
  std::lock_guard<std::mutex> lock(mutex_);
  std::fputs(line.c_str(), out_);
  std::fflush(out_);
}

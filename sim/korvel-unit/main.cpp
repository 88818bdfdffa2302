// korvel-unit: a simulated KORVEL unit on a pseudo-terminal, for running the
// programmer (under Wine) against something that answers like the real unit.
#include <sys/prctl.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "sim/korvel-unit/options.h"
#include "sim/korvel-unit/pty_line.h"
#include "sim/korvel-unit/unit_session.h"

namespace {

volatile std::sig_atomic_t g_stop = 0;

void OnStopSignal(int) { g_stop = 1; }

void CatchStopSignals() {
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;  // no restart: a blocked poll or sleep must end
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  std::signal(SIGPIPE, SIG_IGN);
}

// Opens a report file, or gives null when it was not asked for.
bool OpenReport(const std::string& path, const char* mode, std::FILE*& file) {
  file = nullptr;
  if (path.empty()) return true;
  file = std::fopen(path.c_str(), mode);
  if (file == nullptr) {
    std::fprintf(stderr, "korvel-unit: %s: %s\n", path.c_str(), std::strerror(errno));
    return false;
  }
  return true;
}

// Writes the path whole under a temporary name first, so a script polling
// for the file never reads half of it.
bool WritePathFile(const std::string& file, const std::string& path) {
  const std::string temporary = file + ".tmp";
  std::FILE* out = std::fopen(temporary.c_str(), "w");
  if (out == nullptr) {
    std::fprintf(stderr, "korvel-unit: %s: %s\n", temporary.c_str(), std::strerror(errno));
    return false;
  }
  const bool written = std::fprintf(out, "%s\n", path.c_str()) > 0;
  if (std::fclose(out) != 0 || !written || std::rename(temporary.c_str(), file.c_str()) != 0) {
    std::fprintf(stderr, "korvel-unit: %s: %s\n", file.c_str(), std::strerror(errno));
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  ToolOptions options;
  std::string error;
  if (!ParseOptions(std::vector<std::string>(argv + 1, argv + argc), options, error)) {
    std::fprintf(stderr, "korvel-unit: %s\nTry 'korvel-unit --help'.\n", error.c_str());
    return 2;
  }
  if (options.help) {
    std::fputs(UsageText(), stdout);
    return 0;
  }

  CatchStopSignals();
  // The kernel may let a timed sleep run 50 us late by default; an emulated
  // line sleeps twice a byte, so that would show as a slower line.
  prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
  PtyLine line;
  if (!line.Open(error)) {
    std::fprintf(stderr, "korvel-unit: %s\n", error.c_str());
    return 1;
  }
  std::FILE* log = nullptr;
  std::FILE* frames = nullptr;
  if (!OpenReport(options.log_file, "w", log) || !OpenReport(options.frames_file, "a", frames)) {
    return 1;
  }
  if (!options.path_file.empty()) {
    if (!WritePathFile(options.path_file, line.path())) return 1;
  } else {
    std::printf("%s\n", line.path().c_str());
    std::fflush(stdout);
  }

  UnitSession session(options, line, stdout, log, frames);
  const int status = session.Run(g_stop);
  if (log != nullptr) std::fclose(log);
  if (frames != nullptr) std::fclose(frames);
  return status;
}

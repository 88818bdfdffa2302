#include <unistd.h>

#include <atomic>
#include <csignal>
#include <initializer_list>

#include "cli/system.h"

namespace {

// Set from a signal handler, read by every run's thread.
std::atomic<bool> g_stop{false};
static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");

void OnStopRequest(int) { g_stop = true; }

}  // namespace

bool IsTerminal(std::FILE* stream) { return isatty(fileno(stream)) == 1; }

void CatchStopRequests() {
  struct sigaction action {};
  action.sa_handler = OnStopRequest;
  sigemptyset(&action.sa_mask);
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
}

bool StopRequested() { return g_stop; }

void UseUtf8Output() {}

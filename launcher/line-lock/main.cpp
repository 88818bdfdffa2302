// line-lock: holds serial lines for a program that takes no lock of its own,
// such as the utility under Wine, the way korvel-program takes them.
//
// It takes no TIOCEXCL: the program it holds the lines for opens them after
// it, and again each time it uses them.
#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "banner/run_result.h"
#include "unitrun/exit_status.h"
#include "unitrun/run_messages.h"
#include "options/option_reader.h"
#include "serial/line_lock.h"

namespace {

const char kUsage[] = R"(Usage: line-lock [--while PID] DEVICE...

Takes each serial device as korvel-program does (its lock file in /var/lock,
then an flock), prints "held" once all of them are, and holds them until
process PID ends or line-lock is told to stop (SIGTERM, SIGINT, SIGHUP); then
lets them go. A device that cannot be taken is said, naming its holder when
another program has it, and none is held: status 3.

  --while PID  hold the lines for as long as process PID runs, and name it in
               their lock files as their holder
  -h, --help   this text
)";

int Refuse(const std::string& why) {
  std::fprintf(stderr, "%s: %s\n", program_invocation_short_name, why.c_str());
  return kExitRefused;
}

}  // namespace

int main(int argc, char** argv) {
  pid_t watched = 0;
  bool help = false;
  std::vector<std::string> devices;
  std::string error;
  const std::vector<Option> options = {
      Once(Value("--while",
                 [&watched](const std::string& value, std::string* complaint) {
                   char* end = nullptr;
                   const long pid = std::strtol(value.c_str(), &end, 10);
                   if (value.empty() || *end != '\0' || pid <= 0 || pid > 0x7FFFFFFF) {
                     *complaint = "wants a process id, not '" + value + "'";
                     return false;
                   }
                   watched = static_cast<pid_t>(pid);
                   return true;
                 })),
      Flag("--help", "-h", &help),
  };
  if (!ReadOptions(std::vector<std::string>(argv + 1, argv + argc), options, &devices, &error)) {
    return Refuse(error);
  }
  if (help) {
    std::fputs(kUsage, stdout);
    return kExitOk;
  }
  if (devices.empty()) return Refuse("no device given");

  // Told to stop, or the watched process ending, ends the wait below: both
  // are read as descriptors.
  sigset_t stops;
  sigemptyset(&stops);
  for (int signal : {SIGTERM, SIGINT, SIGHUP}) sigaddset(&stops, signal);
  sigprocmask(SIG_BLOCK, &stops, nullptr);
  std::vector<pollfd> waits = {{signalfd(-1, &stops, SFD_CLOEXEC), POLLIN, 0}};
  if (watched != 0) {
    const int process = static_cast<int>(syscall(SYS_pidfd_open, watched, 0));
    if (process < 0) {
      return Refuse("process " + std::to_string(watched) + " cannot be watched (" +
                    SystemErrorText(errno) + ")");
    }
    waits.push_back({process, POLLIN, 0});
  }

  std::vector<std::unique_ptr<LineLock>> held;
  for (const std::string& device : devices) {
    DeviceError why;
    StaleLock removed;
    std::unique_ptr<LineLock> line = LineLock::Take(
        device, kLockDirectory, watched != 0 ? watched : getpid(), &why, &removed);
    if (removed.pid != 0) {
      std::fprintf(stderr, "%s: %s\n", program_invocation_short_name,
                   StaleLockText(removed).c_str());
    }
    if (line == nullptr) {
      const PortToProgram port{device, device, std::nullopt};
      std::fprintf(stderr, "%s: %s\n", program_invocation_short_name,
                   OutcomeText(port, PortFailure(why), 0).c_str());
      return kExitPortFailed;
    }
    held.push_back(std::move(line));
  }
  std::printf("held\n");
  std::fflush(stdout);

  while (poll(waits.data(), waits.size(), -1) < 0 && errno == EINTR) {
  }
  return kExitOk;
}

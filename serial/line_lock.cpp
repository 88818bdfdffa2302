#include "serial/line_lock.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/file.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace {

std::string RealPath(const std::string& device) {
  char path[PATH_MAX];
  return ::realpath(device.c_str(), path) != nullptr ? path : device;
}

}  // namespace

std::unique_ptr<LineLock> LineLock::Take(const std::string& device,
                                         const std::string& lock_directory, pid_t owner,
                                         DeviceError* why, StaleLock* removed) {
  const std::string path = RealPath(device);
  LockAttempt lock = TakeLockFile(lock_directory, path, owner);
  *removed = lock.removed;
  if (lock.outcome == LockOutcome::kHeld) {
    why->error = PortError{PortProblem::kInUse, 0};
    why->detail = HolderText(HolderOf(lock.holder));
    return nullptr;
  }
  if (lock.outcome == LockOutcome::kNotALock) {
    why->error = PortError{PortProblem::kOther, lock.system_code};
    why->detail = lock.problem;
    return nullptr;
  }

  // Non-blocking, so that neither the open nor a read waits for a carrier.
  UniqueFd fd(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
  if (!fd.valid()) {
    why->error = PortError{ProblemForOpenErrno(errno), errno};
    return nullptr;
  }
  // Programs that keep no lock file (picocom) flock the device instead.
  if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
    const int failure = errno;
    why->error = PortError{ProblemForOpenErrno(failure), failure};
    if (failure == EWOULDBLOCK) why->detail = HolderText(FlockHolder(fd.get()));
    return nullptr;
  }
  // A device that is no terminal (/dev/null) is no serial line.
  termios settings{};
  if (::tcgetattr(fd.get(), &settings) != 0) {
    why->error = PortError{ProblemForOpenErrno(errno), errno};
    return nullptr;
  }
  return std::unique_ptr<LineLock>(new LineLock(std::move(fd), std::move(lock.file)));
}

LineLock::LineLock(UniqueFd fd, LockFile file) : fd_(std::move(fd)), file_(std::move(file)) {}

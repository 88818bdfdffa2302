#include "serial/line_lock.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <utility>

namespace {

std::string RealPath(const std::string& device) {
  char path[PATH_MAX];
  return ::realpath(device.c_str(), path) != nullptr ? path : device;
}

// The process holding an flock on the open file fd, as far as the system says.
LineHolder FlockHolder(int fd) {
  struct stat status {};
  if (::fstat(fd, &status) != 0) return LineHolder{};
  std::ifstream file("/proc/locks");
  std::stringstream locks;
  locks << file.rdbuf();
  const pid_t pid = FlockHolderIn(locks.str(), status.st_dev, status.st_ino);
  return pid > 0 ? HolderOf(pid) : LineHolder{};
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
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    why->error = PortError{ProblemForOpenErrno(errno), errno};
    return nullptr;
  }
  // Programs that keep no lock file (picocom) flock the device instead.
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int failure = errno;
    why->error = PortError{ProblemForOpenErrno(failure), failure};
    if (failure == EWOULDBLOCK) why->detail = HolderText(FlockHolder(fd));
    ::close(fd);
    return nullptr;
  }
  // A device that is no terminal (/dev/null) is no serial line.
  termios settings{};
  if (::tcgetattr(fd, &settings) != 0) {
    why->error = PortError{ProblemForOpenErrno(errno), errno};
    ::close(fd);
    return nullptr;
  }
  return std::unique_ptr<LineLock>(new LineLock(fd, std::move(lock.file)));
}

LineLock::LineLock(int fd, LockFile file) : fd_(fd), file_(std::move(file)) {}

LineLock::~LineLock() {
  // The device first: while its lock file is there, nobody else opens it.
  ::close(fd_);
}

LineHolder HolderOf(pid_t pid) {
  LineHolder holder;
  holder.pid = pid;
  std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
  std::getline(comm, holder.name);
  // Any process may call itself anything: no control characters reach a terminal.
  for (char& c : holder.name) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
  }
  return holder;
}

std::string HolderText(const LineHolder& holder) {
  if (holder.pid <= 0) return std::string();
  const std::string pid = "pid " + std::to_string(holder.pid);
  if (holder.name.empty()) return "the program with " + pid + ", whose name could not be found out";
  return holder.name + " (" + pid + ")";
}

pid_t FlockHolderIn(const std::string& locks, dev_t device, ino_t inode) {
  // "1: FLOCK  ADVISORY  WRITE 4711 00:1a:3 0 EOF"; a lock waited for is
  // listed below the one that holds it as "1: -> FLOCK ...".
  std::istringstream lines(locks);
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream fields(line);
    std::string number, kind, mode, access, where;
    long pid = 0;
    if (!(fields >> number >> kind >> mode >> access >> pid >> where) || kind != "FLOCK") continue;
    unsigned int major_number = 0, minor_number = 0;
    unsigned long long inode_number = 0;
    if (std::sscanf(where.c_str(), "%x:%x:%llu", &major_number, &minor_number, &inode_number) !=
        3) {
      continue;
    }
    if (major_number == major(device) && minor_number == minor(device) && inode_number == inode &&
        pid > 0) {
      return static_cast<pid_t>(pid);
    }
  }
  return 0;
}

PortProblem ProblemForOpenErrno(int code) {
  switch (code) {
    case ENOENT:
    case ENOTDIR:
    case ENXIO:
    case ENODEV:
    case EIO:     // a serial device node without its hardware
    case ENOTTY:  // it opened, but is no terminal
      return PortProblem::kNoSuchPort;
    case EBUSY:        // TIOCEXCL, held by another program
    case EWOULDBLOCK:  // its flock
      return PortProblem::kInUse;
    case EACCES:
    case EPERM:
      return PortProblem::kAccessDenied;
    default:
      return PortProblem::kOther;
  }
}

#pragma once
#include <sys/types.h>

#include <memory>
#include <string>

#include "serial/lock_file.h"
#include "serial/port_error.h"

// Where serial programs on Linux keep their lines' lock files.
constexpr char kLockDirectory[] = "/var/lock";

// A serial line taken the way serial programs on Linux agree to: its lock file
// (LockFile) first, so that a line another program holds is never opened,
// then the device opened and flocked, and found to be a terminal. A device
// reached through a link is locked as the device it leads to. A lock
// directory we may not write leaves the flock alone, and nothing is said of
// it.
//
// Let go when destroyed: the device closed, then its lock file removed.
class LineLock {
 public:
  // The line of device taken for owner, the pid its lock file names. Null
  // with why when it cannot be: held by another program (kInUse, with the
  // holder in why->detail as HolderText words it), a lock file that is none
  // (its problem in why->detail), or an open that failed. A stale lock
  // removed on the way is told in removed (pid 0 when none was).
  static std::unique_ptr<LineLock> Take(const std::string& device,
                                        const std::string& lock_directory, pid_t owner,
                                        DeviceError* why, StaleLock* removed);

  LineLock(const LineLock&) = delete;
  LineLock& operator=(const LineLock&) = delete;
  ~LineLock();

  // The open device.
  int fd() const { return fd_; }

 private:
  LineLock(int fd, LockFile file);

  int fd_;
  LockFile file_;
};

// The program holding a line, as far as it could be found out: pid 0 when
// not at all, an empty name when only its pid is known.
struct LineHolder {
  pid_t pid = 0;
  std::string name;
};

// The process by its pid, named as the system names it (/proc/PID/comm).
LineHolder HolderOf(pid_t pid);

// "minicom (pid 4711)"; empty when nothing is known.
std::string HolderText(const LineHolder& holder);

// The pid holding an flock on a file (its file system's device and its inode)
// by the system's list of locks, as /proc/locks gives it; 0 when none is there.
pid_t FlockHolderIn(const std::string& locks, dev_t device, ino_t inode);

// What a failed open's errno means to the operator.
PortProblem ProblemForOpenErrno(int code);

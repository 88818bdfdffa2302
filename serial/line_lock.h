#pragma once
#include <sys/types.h>

#include <memory>
#include <string>

#include "serial/line_holder.h"
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

  // The open device.
  int fd() const { return fd_.get(); }

 private:
  LineLock(UniqueFd fd, LockFile file);

  // Let go in this order: the device first, for while its lock file is
  // there, nobody else opens it.
  UniqueFd fd_;
  LockFile file_;
};

#pragma once
#include <sys/types.h>

#include <string>

#include "serial/port_error.h"
#include "serial/unique_fd.h"

// A serial line's UUCP lock file, kept the way serial programs on Linux agree
// to: named LCK.. and the device's path below /dev with each "/" turned into
// "_" (/dev/ttyUSB0 -> LCK..ttyUSB0, /dev/pts/0 -> LCK..pts_0), holding the
// owner's pid as ten characters right-aligned and a newline. A lock whose pid
// no longer runs is stale.
//
// The lock directory is writable by everyone, and we often run as root: what
// is found there is never followed, waited on or written to. Only a regular
// file is read, and only its first bytes; only the file we created ourselves
// is written; only a regular file whose pid is dead is removed.
std::string LockFileName(const std::string& device);

// A lock file of ours, removed when this object goes, unless another file
// has taken its name meanwhile; it is kept open until then, so that its inode,
// by which it is told apart, cannot go to another file. Empty when no lock
// file was taken.
class LockFile {
 public:
  LockFile() = default;
  LockFile(UniqueFd directory, UniqueFd fd, std::string name);
  LockFile(LockFile&& other) noexcept;
  LockFile& operator=(LockFile&& other) noexcept;
  LockFile(const LockFile&) = delete;
  LockFile& operator=(const LockFile&) = delete;
  ~LockFile();

  bool taken() const { return fd_.valid(); }

 private:
  void Remove();

  UniqueFd directory_;
  UniqueFd fd_;
  std::string name_;
};

enum class LockOutcome {
  kTaken,     // the lock file is ours
  kNoFile,    // the directory is not ours to write, and no live lock is there:
              // the line is used without a lock file
  kHeld,      // a program that still runs holds it
  kNotALock,  // what has the lock's name is no lock a program keeps: see problem
};

struct LockAttempt {
  LockOutcome outcome = LockOutcome::kNoFile;
  LockFile file;     // kTaken
  pid_t holder = 0;  // kHeld
  // kNotALock: what is wrong with what is there, as a clause naming the file
  // ("/var/lock/LCK..ttyS0 is a symbolic link"); and the system's error code
  // behind it, where there is one.
  std::string problem;
  int system_code = 0;
  // A stale lock removed on the way: pid 0 when none was.
  StaleLock removed;
};

// Takes the lock file of device (the path it really has, links resolved) in
// directory for owner. Never waits: a lock held is reported at once.
LockAttempt TakeLockFile(const std::string& directory, const std::string& device, pid_t owner);

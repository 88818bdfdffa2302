#pragma once
#include <sys/types.h>

#include <string>

// Who holds a serial line, found out from what the system keeps of its
// processes and their locks.

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

// The process holding an flock on the open file fd, as far as the system says.
LineHolder FlockHolder(int fd);

#include "serial/line_holder.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cstdio>
#include <fstream>
#include <sstream>

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

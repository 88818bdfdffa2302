#include "serial/lock_file.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <utility>

namespace {

// Ten digits and a newline, give or take some spaces: anything longer is no lock.
constexpr std::size_t kLongestLock = 32;
// Tries at a free name for our temporary file, and at taking the lock while
// what has its name comes and goes.
constexpr int kAttempts = 8;
constexpr char kRemoveAdvice[] = "; remove it if no program uses the line";

// What has the lock's name when we look. A lock file found is kept open
// while it is judged, so that its inode, by which it is told apart, cannot go
// to another file meanwhile.
struct Found {
  enum Kind { kNothing, kLive, kStale, kNotALock } kind = kNothing;
  pid_t pid = 0;
  std::string problem;
  int system_code = 0;
  UniqueFd fd;
};

// Spaces, one to ten digits, then only spaces and line breaks.
bool ParsePid(const char* text, std::size_t length, pid_t* pid) {
  std::size_t i = 0;
  while (i < length && text[i] == ' ') ++i;
  long long value = 0;
  std::size_t digits = 0;
  for (; i < length && text[i] >= '0' && text[i] <= '9' && digits <= 10; ++i, ++digits) {
    value = value * 10 + (text[i] - '0');
  }
  for (; i < length; ++i) {
    if (text[i] != ' ' && text[i] != '\n' && text[i] != '\r') return false;
  }
  // Never 0: kill(0) would reach our own process group.
  if (digits == 0 || digits > 10 || value <= 0 || value > 0x7FFFFFFF) return false;
  *pid = static_cast<pid_t>(value);
  return true;
}

bool Running(pid_t pid) { return ::kill(pid, 0) == 0 || errno == EPERM; }

// What a file that is neither a regular file nor a link is.
std::string KindOf(mode_t mode) {
  if (S_ISFIFO(mode)) return "a named pipe";
  if (S_ISDIR(mode)) return "a directory";
  if (S_ISSOCK(mode)) return "a socket";
  return "a device";
}

void Examine(int directory, const std::string& name, const std::string& path, Found* found) {
  // Non-blocking, so that a named pipe put there does not hold the open up.
  found->fd.Reset(
      ::openat(directory, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  if (!found->fd.valid()) {
    if (errno == ENOENT) return;
    found->kind = Found::kNotALock;
    if (errno == ELOOP) {
      found->problem = path + " is a symbolic link, not a lock file" + kRemoveAdvice;
    } else {
      found->problem = path + " could not be read";
      found->system_code = errno;
    }
    return;
  }
  found->kind = Found::kNotALock;
  struct stat status {};
  if (::fstat(found->fd.get(), &status) != 0 || !S_ISREG(status.st_mode)) {
    found->problem = path + " is " + KindOf(status.st_mode) + ", not a lock file" + kRemoveAdvice;
    return;
  }
  char text[kLongestLock + 1];
  const ssize_t count = ::read(found->fd.get(), text, sizeof text);
  if (count < 0) {
    found->problem = path + " could not be read";
    found->system_code = errno;
  } else if (!ParsePid(text, static_cast<std::size_t>(count), &found->pid)) {
    found->problem = path + " holds no pid" + kRemoveAdvice;
  } else {
    found->kind = Running(found->pid) ? Found::kLive : Found::kStale;
  }
}

// Whether name in directory is the very file open as fd.
bool StillThere(int directory, const std::string& name, int fd) {
  struct stat there {};
  struct stat open {};
  return ::fstatat(directory, name.c_str(), &there, AT_SYMLINK_NOFOLLOW) == 0 &&
         ::fstat(fd, &open) == 0 && there.st_dev == open.st_dev && there.st_ino == open.st_ino;
}

enum class Removal { kRemoved, kChanged, kNotOurs };

// Only the very file that was found stale goes: one put in its place meanwhile stays.
Removal RemoveStale(int directory, const std::string& name, int fd) {
  if (!StillThere(directory, name, fd)) return Removal::kChanged;
  if (::unlinkat(directory, name.c_str(), 0) == 0) return Removal::kRemoved;
  return errno == ENOENT ? Removal::kChanged : Removal::kNotOurs;
}

// Our lock, complete, under a temporary name of its own, ready to be linked
// into place: its open file, or none when the directory is not ours to write.
UniqueFd CreateOwnLock(int directory, pid_t owner, std::string* name) {
  char text[16];
  const int length = std::snprintf(text, sizeof text, "%10d\n", static_cast<int>(owner));
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    // A name nobody can guess, so that nobody can put something there first.
    unsigned int random = 0;
    if (::getrandom(&random, sizeof random, GRND_NONBLOCK) != sizeof random) random = attempt;
    char temporary[40];
    std::snprintf(temporary, sizeof temporary, "LTMP.%d.%08x", static_cast<int>(::getpid()),
                  random);
    UniqueFd fd(
        ::openat(directory, temporary, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644));
    if (!fd.valid()) {
      if (errno == EEXIST) continue;
      return UniqueFd();
    }
    // Readable by every program that checks the line, whatever our umask.
    if (::fchmod(fd.get(), 0644) != 0 || ::write(fd.get(), text, length) != length) {
      ::unlinkat(directory, temporary, 0);
      return UniqueFd();
    }
    *name = temporary;
    return fd;
  }
  return UniqueFd();
}

}  // namespace

std::string LockFileName(const std::string& device) {
  const std::string dev = "/dev/";
  std::string name = device.compare(0, dev.size(), dev) == 0 ? device.substr(dev.size()) : device;
  for (char& c : name) {
    if (c == '/') c = '_';
  }
  return "LCK.." + name;
}

LockFile::LockFile(UniqueFd directory, UniqueFd fd, std::string name)
    : directory_(std::move(directory)), fd_(std::move(fd)), name_(std::move(name)) {}

LockFile::LockFile(LockFile&& other) noexcept { *this = std::move(other); }

LockFile& LockFile::operator=(LockFile&& other) noexcept {
  if (this != &other) {
    Remove();
    directory_ = std::move(other.directory_);
    fd_ = std::move(other.fd_);
    name_ = std::move(other.name_);
  }
  return *this;
}

LockFile::~LockFile() { Remove(); }

void LockFile::Remove() {
  if (!fd_.valid()) return;
  if (StillThere(directory_.get(), name_, fd_.get())) {
    ::unlinkat(directory_.get(), name_.c_str(), 0);
  }
  fd_.Reset();
  directory_.Reset();
}

LockAttempt TakeLockFile(const std::string& directory_path, const std::string& device,
                         pid_t owner) {
  LockAttempt attempt;
  UniqueFd directory_fd(::open(directory_path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!directory_fd.valid()) return attempt;  // no lock directory here: nothing to take or honour
  const int directory = directory_fd.get();
  const std::string name = LockFileName(device);
  const std::string path = directory_path + "/" + name;

  std::string own;
  UniqueFd own_fd = CreateOwnLock(directory, owner, &own);
  bool may_write = own_fd.valid();
  bool done = false;
  for (int tries = 0; tries < kAttempts && !done; ++tries) {
    // Linking fails rather than replace what is there: taking the lock and
    // finding it held are one step.
    if (may_write) {
      if (::linkat(directory, own.c_str(), directory, name.c_str(), 0) == 0) {
        attempt.outcome = LockOutcome::kTaken;
        attempt.file = LockFile(std::move(directory_fd), std::move(own_fd), name);
        break;
      }
      if (errno != EEXIST) may_write = false;
    }
    Found found;
    Examine(directory, name, path, &found);
    switch (found.kind) {
      case Found::kNothing:
        done = !may_write;
        break;
      case Found::kLive:
        attempt.outcome = LockOutcome::kHeld;
        attempt.holder = found.pid;
        done = true;
        break;
      case Found::kNotALock:
        attempt.outcome = LockOutcome::kNotALock;
        attempt.problem = found.problem;
        attempt.system_code = found.system_code;
        done = true;
        break;
      case Found::kStale:
        switch (RemoveStale(directory, name, found.fd.get())) {
          case Removal::kRemoved:
            attempt.removed = StaleLock{path, found.pid};
            break;
          case Removal::kChanged:
            break;
          case Removal::kNotOurs:  // and no program holds the line either
            done = true;
            break;
        }
        break;
    }
  }
  if (!own.empty()) ::unlinkat(directory, own.c_str(), 0);
  return attempt;
}

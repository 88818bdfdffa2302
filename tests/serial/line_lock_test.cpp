// The line lock's rules against a lock directory of the test's own: the lock
// file's name and contents, live and stale locks, what a stranger may have put
// in the directory, a directory we may not write, and whole lines taken on a
// pseudo-terminal of the test's own. Lines held by minicom and picocom, named
// as their holders, are line_locks_test's, with the real programs.
#include "serial/line_lock.h"

#include <dirent.h>
#include <fcntl.h>
#include <pty.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "serial/lock_file.h"

namespace {

std::string Padded(pid_t pid) {
  char text[16];
  std::snprintf(text, sizeof text, "%10d\n", static_cast<int>(pid));
  return text;
}

// A pid that ran a moment ago and runs no more.
pid_t DeadPid() {
  const pid_t child = fork();
  if (child == 0) _exit(0);
  waitpid(child, nullptr, 0);
  return child;
}

// A process of the test's own, called name, that does what it is given and
// then waits to be ended; it is ended when this object goes.
class Helper {
 public:
  Helper(const char* name, const std::function<void()>& work) {
    int ready[2];
    if (pipe(ready) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      prctl(PR_SET_NAME, name);
      work();
      if (write(ready[1], "x", 1) != 1) _exit(1);
      for (;;) pause();
    }
    close(ready[1]);
    char byte = 0;
    started_ = read(ready[0], &byte, 1) == 1;
    close(ready[0]);
  }
  ~Helper() { End(); }
  // Ended at once, without letting go of anything on its own.
  void End() {
    if (pid_ <= 0) return;
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = 0;
  }
  pid_t pid() const { return pid_; }
  bool started() const { return started_; }

 private:
  pid_t pid_ = 0;
  bool started_ = false;
};

// A scratch lock directory, in /tmp so that any user can reach it.
class LockDirectoryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char name[] = "/tmp/korvel-lock-test-XXXXXX";
    ASSERT_NE(mkdtemp(name), nullptr);
    dir_ = name;
  }
  void TearDown() override {
    chmod(dir_.c_str(), 0700);
    for (const std::string& name : Entries()) {
      const std::string path = Path(name);
      if (rmdir(path.c_str()) != 0) unlink(path.c_str());
    }
    rmdir(dir_.c_str());
  }

  std::string Path(const std::string& name) const { return dir_ + "/" + name; }
  void Write(const std::string& name, const std::string& contents) {
    std::ofstream(Path(name), std::ios::binary) << contents;
  }
  // A regular file's contents; where the name leads, or what it is, otherwise.
  std::string Read(const std::string& name) const {
    struct stat status {};
    if (lstat(Path(name).c_str(), &status) != 0) return "(nothing)";
    if (S_ISLNK(status.st_mode)) {
      char target[4096] = {};
      return "(a link to " + std::string(target, readlink(Path(name).c_str(), target, 4095)) + ")";
    }
    if (!S_ISREG(status.st_mode)) return "(mode " + std::to_string(status.st_mode) + ")";
    std::ifstream file(Path(name), std::ios::binary);
    std::stringstream contents;
    contents << file.rdbuf();
    return contents.str();
  }
  std::vector<std::string> Entries() const {
    std::vector<std::string> names;
    if (DIR* listing = opendir(dir_.c_str())) {
      while (const dirent* entry = readdir(listing)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") names.push_back(name);
      }
      closedir(listing);
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  std::string dir_;
};

using LockFileTest = LockDirectoryTest;
using Names = std::vector<std::string>;

TEST(LockFileNameTest, IsTheDevicesPathBelowDevWithEachSlashTurnedIntoAnUnderscore) {
  EXPECT_EQ(LockFileName("/dev/ttyUSB0"), "LCK..ttyUSB0");
  EXPECT_EQ(LockFileName("/dev/pts/0"), "LCK..pts_0");
  EXPECT_EQ(LockFileName("/dev/serial/by-id/usb-FTDI-if00"), "LCK..serial_by-id_usb-FTDI-if00");
  EXPECT_EQ(LockFileName("/srv/lines/tty1"), "LCK.._srv_lines_tty1");
}

TEST_F(LockFileTest, OursHoldsTheOwnersPidForAllToReadAndGoesWhenLetGo) {
  Helper owner("lock-owner", [] {});
  ASSERT_TRUE(owner.started());
  const mode_t mask = umask(077);
  {
    LockAttempt lock = TakeLockFile(dir_, "/dev/ttyUSB0", owner.pid());
    umask(mask);
    ASSERT_EQ(lock.outcome, LockOutcome::kTaken);
    EXPECT_EQ(lock.removed.pid, 0);
    // Nothing else is left: the temporary file it was made as is gone.
    EXPECT_EQ(Entries(), Names{"LCK..ttyUSB0"});
    EXPECT_EQ(Read("LCK..ttyUSB0"), Padded(owner.pid()));
    struct stat status {};
    ASSERT_EQ(lstat(Path("LCK..ttyUSB0").c_str(), &status), 0);
    EXPECT_TRUE(S_ISREG(status.st_mode));
    EXPECT_EQ(status.st_mode & 0777, 0644u);

    // Taken again meanwhile, by a program that honours it (this one).
    const LockAttempt again = TakeLockFile(dir_, "/dev/ttyUSB0", getpid());
    EXPECT_EQ(again.outcome, LockOutcome::kHeld);
    EXPECT_EQ(again.holder, owner.pid());
  }
  EXPECT_EQ(Entries(), Names{});
}

TEST_F(LockFileTest, OnlyOurOwnFileIsRemovedWhenLetGo) {
  LockAttempt lock = TakeLockFile(dir_, "/dev/ttyS0", getpid());
  ASSERT_EQ(lock.outcome, LockOutcome::kTaken);
  // Ours removed by someone, and the line taken by another program since.
  unlink(Path("LCK..ttyS0").c_str());
  Write("LCK..ttyS0", Padded(1));
  lock = LockAttempt{};
  EXPECT_EQ(Read("LCK..ttyS0"), Padded(1));
}

TEST_F(LockFileTest, ALiveLockIsHonouredHoweverItsPidIsWritten) {
  Helper holder("lock-holder", [] {});
  ASSERT_TRUE(holder.started());
  const std::string pid = std::to_string(holder.pid());
  for (const std::string& contents : {Padded(holder.pid()), pid + "\n", pid, "  " + pid + "  \n"}) {
    Write("LCK..ttyS0", contents);
    const LockAttempt lock = TakeLockFile(dir_, "/dev/ttyS0", getpid());
    EXPECT_EQ(lock.outcome, LockOutcome::kHeld) << contents;
    EXPECT_EQ(lock.holder, holder.pid()) << contents;
    EXPECT_EQ(Read("LCK..ttyS0"), contents);
    EXPECT_EQ(Entries(), Names{"LCK..ttyS0"});
  }
}

TEST_F(LockFileTest, AStaleLockIsRemovedSaidInOneLineAndTakenOver) {
  const pid_t dead = DeadPid();
  for (const std::string& contents : {Padded(dead), std::to_string(dead) + "\n"}) {
    Write("LCK..ttyACM0", contents);
    LockAttempt lock = TakeLockFile(dir_, "/dev/ttyACM0", getpid());
    ASSERT_EQ(lock.outcome, LockOutcome::kTaken) << contents;
    EXPECT_EQ(lock.removed.path, Path("LCK..ttyACM0"));
    EXPECT_EQ(lock.removed.pid, dead);
    EXPECT_EQ(Read("LCK..ttyACM0"), Padded(getpid()));
    EXPECT_EQ(Entries(), Names{"LCK..ttyACM0"});
  }
}

TEST_F(LockFileTest, WhatAStrangerPutThereIsNeitherFollowedNorWaitedOnNorTouched) {
  // A named pipe that held the open up would end the test here.
  alarm(20);
  const std::string dead = std::to_string(DeadPid()) + "\n";
  Write("victim", dead);  // a file the lock's name may lead to, holding a stale lock
  const std::string missing = Path("created-through-the-link");
  const struct {
    std::string what;
    std::function<void(const std::string& lock)> put;
    std::string said;
  } cases[] = {
      {"a link to a file that looks stale",
       [&](const std::string& lock) { symlink(Path("victim").c_str(), lock.c_str()); },
       "is a symbolic link, not a lock file; remove it if no program uses the line"},
      {"a link to nowhere",
       [&](const std::string& lock) { symlink(missing.c_str(), lock.c_str()); },
       "is a symbolic link"},
      {"a named pipe", [](const std::string& lock) { mkfifo(lock.c_str(), 0644); },
       "is a named pipe, not a lock file"},
      {"a directory", [](const std::string& lock) { mkdir(lock.c_str(), 0755); },
       "is a directory, not a lock file"},
      {"an empty file", [&](const std::string&) { Write("LCK..ttyS1", ""); }, "holds no pid"},
      {"words", [&](const std::string&) { Write("LCK..ttyS1", "locked by bob\n"); },
       "holds no pid; remove it if no program uses the line"},
      {"a pid and more", [&](const std::string&) { Write("LCK..ttyS1", dead + "x\n"); },
       "holds no pid"},
      {"pid 0", [&](const std::string&) { Write("LCK..ttyS1", Padded(0)); }, "holds no pid"},
      {"a negative pid", [&](const std::string&) { Write("LCK..ttyS1", "-1\n"); }, "holds no pid"},
      {"eleven digits", [&](const std::string&) { Write("LCK..ttyS1", "12345678901\n"); },
       "holds no pid"},
      {"a megabyte of digits",
       [&](const std::string&) { Write("LCK..ttyS1", std::string(1 << 20, '1')); }, "holds no pid"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string lock = Path("LCK..ttyS1");
    c.put(lock);
    const Names before = Entries();
    const std::string contents = Read("LCK..ttyS1");
    const LockAttempt attempt = TakeLockFile(dir_, "/dev/ttyS1", getpid());
    EXPECT_EQ(attempt.outcome, LockOutcome::kNotALock);
    EXPECT_EQ(attempt.problem.find(lock + " " + c.said), 0u) << attempt.problem;
    EXPECT_EQ(attempt.removed.pid, 0);
    EXPECT_EQ(Entries(), before);
    EXPECT_EQ(Read("LCK..ttyS1"), contents);
    EXPECT_EQ(Read("victim"), dead);
    EXPECT_NE(access(missing.c_str(), F_OK), 0) << "a file was made through the link";
    if (rmdir(lock.c_str()) != 0) unlink(lock.c_str());
  }
  alarm(0);
}

// The outcome of taking a lock in dir as a user who may not write it: as
// nobody when the test runs as root, else with the directory read-only.
LockOutcome TakeAsReader(const std::string& dir) {
  const bool root = geteuid() == 0;
  chmod(dir.c_str(), root ? 0755 : 0555);
  int result[2];
  if (pipe(result) != 0) return LockOutcome::kTaken;
  const pid_t child = fork();
  if (child == 0) {
    if (root && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(1);
    const LockOutcome outcome = TakeLockFile(dir, "/dev/ttyS2", getpid()).outcome;
    if (write(result[1], &outcome, sizeof outcome) != sizeof outcome) _exit(1);
    _exit(0);
  }
  close(result[1]);
  LockOutcome outcome = LockOutcome::kTaken;
  if (read(result[0], &outcome, sizeof outcome) != sizeof outcome) ADD_FAILURE() << "no answer";
  close(result[0]);
  waitpid(child, nullptr, 0);
  chmod(dir.c_str(), 0700);
  return outcome;
}

TEST_F(LockFileTest, ADirectoryWeMayNotWriteTakesNoFileButItsLocksAreStillHonoured) {
  EXPECT_EQ(TakeLockFile(Path("no-such-directory"), "/dev/ttyS2", getpid()).outcome,
            LockOutcome::kNoFile);

  EXPECT_EQ(TakeAsReader(dir_), LockOutcome::kNoFile);
  EXPECT_EQ(Entries(), Names{});

  Helper holder("lock-holder", [] {});
  ASSERT_TRUE(holder.started());
  Write("LCK..ttyS2", Padded(holder.pid()));
  EXPECT_EQ(TakeAsReader(dir_), LockOutcome::kHeld);
  // Stale, and not ours to remove: plainly no program holds the line.
  Write("LCK..ttyS2", Padded(DeadPid()));
  EXPECT_EQ(TakeAsReader(dir_), LockOutcome::kNoFile);
  EXPECT_EQ(Entries(), Names{"LCK..ttyS2"});
}

// The far end of a pseudo-terminal, the near end's path and a link to it.
class LineLockTest : public LockDirectoryTest {
 protected:
  void SetUp() override {
    LockDirectoryTest::SetUp();
    int near = -1;
    ASSERT_EQ(openpty(&master_, &near, nullptr, nullptr, nullptr), 0);
    device_ = ttyname(near);
    close(near);
    link_ = Path("by-id-link");
    ASSERT_EQ(symlink(device_.c_str(), link_.c_str()), 0);
    lock_name_ = LockFileName(device_);
  }
  void TearDown() override {
    close(master_);
    LockDirectoryTest::TearDown();
  }

  std::unique_ptr<LineLock> Take(DeviceError* why) {
    StaleLock removed;
    return LineLock::Take(link_, dir_, getpid(), why, &removed);
  }
  // Whether another open of the device may take its flock.
  bool FlockFree() {
    const int fd = open(device_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    const bool free = fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) == 0;
    if (fd >= 0) close(fd);
    return free;
  }

  int master_ = -1;
  std::string device_, link_, lock_name_;
};

TEST_F(LineLockTest, ALineReachedThroughALinkIsLockedAsTheDeviceItLeadsTo) {
  {
    DeviceError why;
    const std::unique_ptr<LineLock> line = Take(&why);
    ASSERT_NE(line, nullptr) << why.detail;
    EXPECT_EQ(Entries(), (Names{lock_name_, "by-id-link"}));
    EXPECT_EQ(Read(lock_name_), Padded(getpid()));
    EXPECT_FALSE(FlockFree());
  }
  EXPECT_EQ(Entries(), Names{"by-id-link"});
  EXPECT_TRUE(FlockFree());
}

TEST_F(LineLockTest, ALockFileThatIsNoneRefusesWithWhatIsWrongAndLeavesTheDeviceAlone) {
  Write(lock_name_, "garbage");
  DeviceError why;
  EXPECT_EQ(Take(&why), nullptr);
  EXPECT_EQ(why.error.problem, PortProblem::kOther);
  EXPECT_EQ(why.detail, Path(lock_name_) + " holds no pid; remove it if no program uses the line");
  EXPECT_TRUE(FlockFree());
  EXPECT_EQ(Read(lock_name_), "garbage");
}

TEST_F(LineLockTest, WithoutALockDirectoryTheFlockStillHoldsTheLine) {
  DeviceError why;
  StaleLock removed;
  const std::unique_ptr<LineLock> line =
      LineLock::Take(link_, Path("no-such-directory"), getpid(), &why, &removed);
  ASSERT_NE(line, nullptr);
  EXPECT_EQ(removed.pid, 0);
  EXPECT_FALSE(FlockFree());
}

TEST(LineHolderTest, IsFoundInTheSystemsListOfFlocksAndNamedAsFarAsItCanBe) {
  const std::string locks =
      "1: POSIX  ADVISORY  WRITE 100 00:1a:77 0 EOF\n"
      "2: FLOCK  ADVISORY  WRITE 200 00:1b:77 0 EOF\n"
      "3: FLOCK  ADVISORY  WRITE 300 00:1a:78 0 EOF\n"
      "3: -> FLOCK  ADVISORY  WRITE 400 00:1a:77 0 EOF\n"
      "4: FLOCK  ADVISORY  WRITE 500 00:1a:77 0 EOF\n"
      "5: FLOCK  ADVISORY  WRITE 600 fd:01:77 0 EOF\n";
  EXPECT_EQ(FlockHolderIn(locks, makedev(0, 0x1a), 77), 500);
  EXPECT_EQ(FlockHolderIn(locks, makedev(0xfd, 1), 77), 600);
  EXPECT_EQ(FlockHolderIn(locks, makedev(0, 0x1a), 79), 0);

  const pid_t dead = DeadPid();
  EXPECT_EQ(HolderText(HolderOf(dead)),
            "the program with pid " + std::to_string(dead) + ", whose name could not be found out");
  EXPECT_EQ(HolderText(LineHolder{}), "");
}

// A missing device (ENOENT), one that is no terminal (ENOTTY), a busy one
// (the flock's EWOULDBLOCK) and, as root, one without permission (EACCES) are
// korvel_program_test's; here the other reasons an open fails.
TEST(ProblemForOpenErrnoTest, SortsTheSystemsReasonsIntoWhatTheUserCanDo) {
  EXPECT_EQ(ProblemForOpenErrno(EIO), PortProblem::kNoSuchPort);  // a node without hardware
  EXPECT_EQ(ProblemForOpenErrno(EBUSY), PortProblem::kInUse);     // TIOCEXCL
  EXPECT_EQ(ProblemForOpenErrno(EPERM), PortProblem::kAccessDenied);
  EXPECT_EQ(ProblemForOpenErrno(ENOMEM), PortProblem::kOther);
}

}  // namespace

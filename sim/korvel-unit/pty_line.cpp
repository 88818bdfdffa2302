#include "sim/korvel-unit/pty_line.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

PtyLine::~PtyLine() {
  if (client_side_ >= 0) close(client_side_);
  if (master_ >= 0) close(master_);
}

bool PtyLine::Open(std::string& error) {
  master_ = posix_openpt(O_RDWR | O_NOCTTY);
  if (master_ < 0) {
    error = std::string("posix_openpt: ") + std::strerror(errno);
    return false;
  }
  char name[256];
  if (grantpt(master_) != 0 || unlockpt(master_) != 0 || ptsname_r(master_, name, sizeof name) != 0) {
    error = std::string("setting up the pseudo-terminal: ") + std::strerror(errno);
    return false;
  }
  path_ = name;

  client_side_ = open(name, O_RDWR | O_NOCTTY);
  if (client_side_ < 0) {
    error = "opening " + path_ + ": " + std::strerror(errno);
    return false;
  }
  termios settings{};
  if (tcgetattr(client_side_, &settings) != 0) {
    error = std::string("tcgetattr: ") + std::strerror(errno);
    return false;
  }
  cfmakeraw(&settings);
  settings.c_cflag |= CLOCAL | CREAD;
  cfsetispeed(&settings, B9600);
  cfsetospeed(&settings, B9600);
  if (tcsetattr(client_side_, TCSANOW, &settings) != 0) {
    error = std::string("tcsetattr: ") + std::strerror(errno);
    return false;
  }

  const int flags = fcntl(master_, F_GETFL);
  if (flags < 0 || fcntl(master_, F_SETFL, flags | O_NONBLOCK) != 0) {
    error = std::string("fcntl: ") + std::strerror(errno);
    return false;
  }
  return true;
}

int PtyLine::UnreadByClient() const {
  // Bytes written on our end reach the client's queue a moment later; a poll
  // of the client side pushes them through first, so the count is not
  // taken too early.
  pollfd probe{client_side_, POLLIN, 0};
  poll(&probe, 1, 0);
  int count = 0;
  if (ioctl(client_side_, TIOCINQ, &count) != 0) return 0;
  return count;
}

#include <cerrno>
#include <cstring>

#include "serial/port_error.h"

std::string SystemErrorText(int code) { return std::strerror(code); }

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

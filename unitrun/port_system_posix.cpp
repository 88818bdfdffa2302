#include <grp.h>
#include <limits.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "serial/posix_port_io.h"
#include "unitrun/port_system.h"

namespace {

// "crw-rw----", as ls shows it.
std::string ModeText(mode_t mode) {
  std::string text = S_ISCHR(mode) ? "c" : S_ISDIR(mode) ? "d" : "-";
  const char* letters = "rwx";
  for (int bit = 8; bit >= 0; --bit) {
    text.push_back((mode & (1u << bit)) ? letters[(8 - bit) % 3] : '-');
  }
  return text;
}

std::string UserName() {
  if (const passwd* user = getpwuid(getuid())) return user->pw_name;
  const char* name = std::getenv("USER");
  return name != nullptr ? name : "$USER";
}

}  // namespace

bool DeviceForPort(const std::string& port, std::string* device, std::string* refusal) {
  if (port.empty()) {
    *refusal = "'' names no device; a port is a device such as /dev/ttyUSB0";
    return false;
  }
  *device = port;
  return true;
}

std::unique_ptr<DevicePortIo> SerialDevicePortIo(std::uint16_t base, const std::string& device) {
  return std::make_unique<PosixPortIo>(std::vector<PosixPortIo::Line>{{base, device}});
}

std::string DeviceIdentity(const std::string& device) {
  char target[PATH_MAX];
  return realpath(device.c_str(), target) != nullptr ? target : device;
}

std::string PortNameHint(const std::string& port) {
  // COM1 is Windows' name for the first built-in port.
  if (port.size() > 3 && (port[0] == 'C' || port[0] == 'c') && (port[1] == 'O' || port[1] == 'o') &&
      (port[2] == 'M' || port[2] == 'm') &&
      port.find_first_not_of("0123456789", 3) == std::string::npos) {
    const int number = std::atoi(port.c_str() + 3);
    if (number < 1) return std::string();
    return "On Linux, " + port + " is /dev/ttyS" + std::to_string(number - 1) +
           ", and a USB adapter is /dev/ttyUSB0 or /dev/ttyACM0.";
  }
  if (port.find('/') == std::string::npos && DeviceExists("/dev/" + port)) {
    return "Did you mean /dev/" + port + "?";
  }
  return std::string();
}

bool DeviceExists(const std::string& device) {
  struct stat status {};
  return stat(device.c_str(), &status) == 0;
}

std::string AccessAdvice(const std::string& device) {
  struct stat status {};
  if (stat(device.c_str(), &status) != 0) return std::string();
  // Serial devices are usually shared with a group (dialout, uucp) that may
  // read and write them.
  const mode_t group_rw = S_IRGRP | S_IWGRP;
  const group* owners = getgrgid(status.st_gid);
  if ((status.st_mode & group_rw) == group_rw && owners != nullptr) {
    const std::string name = owners->gr_name;
    return "It belongs to the group '" + name + "'; add yourself with\n  sudo usermod -aG " + name +
           " " + UserName() + "\nthen log out and in again.";
  }
  const passwd* owner = getpwuid(status.st_uid);
  return "Only " + std::string(owner != nullptr ? owner->pw_name : "its owner") +
         " may use it (" + ModeText(status.st_mode) + ").";
}

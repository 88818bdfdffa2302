// korvel-floor: the fastest a client can program a unit over a line, for the
// benchmarks to measure against. It does the run's stop-and-wait exchange
// straight on the terminal (a blank frame, then a message frame of two full
// lines, 122 bytes, each answered before the next goes out), sleeping in
// poll() until each answer comes, and prints how long each run took.
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "banner/frame.h"

namespace {

constexpr int kAnswerLimitMs = 3000;
constexpr char kUsage[] =
    "Usage: korvel-floor --port DEVICE [--runs N]\n"
    "Sends a blank frame and a message frame of two full lines (122 bytes) on DEVICE,\n"
    "each byte answered before the next, N times (default 1), and prints each run's\n"
    "time in milliseconds, one a line. Exit status: 0, 1 when the line fails or a\n"
    "byte is not answered within 3 s, 2 for a usage mistake.\n";

// What a run sends: the frames up to and including their end bytes.
std::vector<std::uint8_t> RunBytes() {
  std::vector<std::uint8_t> bytes;
  const Frame message = MessageFrame("0123456789ABCDEFGHIJKLMNOPQR\r\nRQPONMLKJIHGFEDCBA9876543210");
  for (const Frame& frame : {BlankFrame(), message}) {
    bytes.insert(bytes.end(), frame.begin(), frame.begin() + SentLength(frame));
  }
  return bytes;
}

bool OpenRaw(const char* device, int* fd) {
  *fd = open(device, O_RDWR | O_NOCTTY);
  termios settings{};
  if (*fd < 0 || tcgetattr(*fd, &settings) != 0) return false;
  cfmakeraw(&settings);
  settings.c_cflag |= CLOCAL | CREAD;
  cfsetspeed(&settings, B9600);
  return tcsetattr(*fd, TCSANOW, &settings) == 0 && tcflush(*fd, TCIOFLUSH) == 0;
}

// One byte out, its answer in.
bool Exchange(int fd, std::uint8_t byte) {
  if (write(fd, &byte, 1) != 1) return false;
  pollfd answer{fd, POLLIN, 0};
  std::uint8_t reply = 0;
  return poll(&answer, 1, kAnswerLimitMs) == 1 && read(fd, &reply, 1) == 1;
}

}  // namespace

int main(int argc, char** argv) {
  const char* device = nullptr;
  int runs = 1;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--port" && i + 1 < argc) {
      device = argv[++i];
    } else if (arg == "--runs" && i + 1 < argc && std::atoi(argv[i + 1]) > 0) {
      runs = std::atoi(argv[++i]);
    } else {
      const bool help = arg == "--help";
      std::fputs(help ? kUsage : "korvel-floor: try --help\n", help ? stdout : stderr);
      return help ? 0 : 2;
    }
  }
  if (device == nullptr) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  int fd = -1;
  if (!OpenRaw(device, &fd)) {
    std::fprintf(stderr, "korvel-floor: %s: %s\n", device, std::strerror(errno));
    return 1;
  }
  const std::vector<std::uint8_t> bytes = RunBytes();
  for (int run = 0; run < runs; ++run) {
    const auto start = std::chrono::steady_clock::now();
    for (std::size_t i = 0; i < bytes.size(); ++i) {
      if (!Exchange(fd, bytes[i])) {
        std::fprintf(stderr, "korvel-floor: byte %zu of run %d was not answered\n", i + 1, run + 1);
        return 1;
      }
    }
    const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
    std::printf("%.3f\n", took.count());
    std::fflush(stdout);
  }
  close(fd);
  return 0;
}

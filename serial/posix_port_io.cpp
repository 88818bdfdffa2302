#include "serial/posix_port_io.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "serial/line_lock.h"
#include "serial/uart_registers.h"

namespace {

using namespace uart;

constexpr int kWriteTimeoutMs = 1000;

// The rates termios names; B0 for any other.
speed_t SpeedFor(std::uint32_t baud) {
  constexpr struct {
    std::uint32_t baud;
    speed_t speed;
  } kSpeeds[] = {{50, B50},     {75, B75},       {110, B110},     {134, B134},   {150, B150},
                 {200, B200},   {300, B300},     {600, B600},     {1200, B1200}, {1800, B1800},
                 {2400, B2400}, {4800, B4800},   {9600, B9600},   {19200, B19200},
                 {38400, B38400}, {57600, B57600}, {115200, B115200}};
  for (const auto& entry : kSpeeds) {
    if (entry.baud == baud) return entry.speed;
  }
  return B0;
}

tcflag_t CharacterSize(int data_bits) {
  switch (data_bits) {
    case 5:
      return CS5;
    case 6:
      return CS6;
    case 7:
      return CS7;
    default:
      return CS8;
  }
}

tcflag_t ParityFlags(Parity parity) {
  switch (parity) {
    case Parity::kEven:
      return PARENB;
    case Parity::kOdd:
      return PARENB | PARODD;
    case Parity::kSpace:
      return PARENB | CMSPAR;
    case Parity::kMark:
      return PARENB | CMSPAR | PARODD;
    case Parity::kNone:
      break;
  }
  return 0;
}

// Termios settings changed to a line's: raw, without flow control of their
// own, reads that never wait, and the line's rate and format unless termios
// has no name for the rate. Flags it does not speak of stay as they were.
void SetTermiosLine(const LineSettings& line, termios* settings) {
  // The driver does the handshake itself by polling; the terminal must not
  // hold bytes back, echo them or change any byte on its own, and a read
  // never waits.
  settings->c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF |
                         IXANY | INPCK);
  settings->c_oflag &= ~OPOST;
  settings->c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
  settings->c_cflag &= ~CRTSCTS;
  settings->c_cflag |= CLOCAL | CREAD;
  settings->c_cc[VMIN] = 0;
  settings->c_cc[VTIME] = 0;

  const speed_t speed = SpeedFor(line.baud);
  if (speed == B0) return;  // a rate termios cannot name leaves the line as it is
  settings->c_cflag &= ~(CSIZE | CSTOPB | PARENB | PARODD | CMSPAR);
  settings->c_cflag |= CharacterSize(line.data_bits) | ParityFlags(line.parity);
  if (line.long_stop) settings->c_cflag |= CSTOPB;  // one and a half counts as two
  ::cfsetispeed(settings, speed);
  ::cfsetospeed(settings, speed);
}

// A terminal that hung up answers with EIO; a device whose hardware is gone
// may also say ENXIO or ENODEV.
bool IsHangUp(int code) { return code == EIO || code == ENXIO || code == ENODEV; }

// An open terminal device.
class TerminalDevice : public SerialDevice {
 public:
  explicit TerminalDevice(std::unique_ptr<LineLock> line)
      : line_(std::move(line)), fd_(line_->fd()) {}
  ~TerminalDevice() override {
    // The exclusive mark belongs to the terminal, not to this handle: left
    // set, it would lock others out while anyone else holds the terminal.
    ::ioctl(fd_, TIOCNXCL);
  }
  TerminalDevice(const TerminalDevice&) = delete;
  TerminalDevice& operator=(const TerminalDevice&) = delete;

  bool Check() override {
    int waiting = 0;
    if (::ioctl(fd_, TIOCINQ, &waiting) == 0) return true;
    Gone(errno);
    return false;
  }

  void ApplyLineSettings(const LineSettings& line, std::uint8_t /*modem_control*/) override {
    // Read, change, write back: what the registers do not say stays as it was.
    termios settings{};
    if (::tcgetattr(fd_, &settings) != 0) return;
    SetTermiosLine(line, &settings);
    ::tcsetattr(fd_, TCSANOW, &settings);
  }

  void ApplyModemControl(std::uint8_t modem_control) override {
    // A line without modem signals refuses these; that is no fault.
    int dtr = TIOCM_DTR;
    int rts = TIOCM_RTS;
    ::ioctl(fd_, (modem_control & kDtr) ? TIOCMBIS : TIOCMBIC, &dtr);
    ::ioctl(fd_, (modem_control & kRts) ? TIOCMBIS : TIOCMBIC, &rts);
  }

  QueueFacts ReadQueues(int wait_ms) override {
    int waiting = 0;
    int unsent = 0;
    if (!Queues(&waiting, &unsent)) return QueueFacts{};
    if (wait_ms > 0 && waiting == 0 && unsent == 0) {
      // Waiting for an answer: sleep until a byte comes rather than spin, so
      // that the program wakes as soon as it does however busy the machine
      // is. A signal or a hang-up ends the wait too.
      pollfd input{fd_, POLLIN, 0};
      ::poll(&input, 1, wait_ms);
      if (!Queues(&waiting, &unsent)) return QueueFacts{};
    }
    // A terminal keeps no receive errors (overrun, parity, framing, break)
    // to read here; the driver does not look at them.
    QueueFacts facts;
    facts.byte_waiting = waiting > 0;
    facts.output_drained = unsent == 0;
    return facts;
  }

  // A change of the modem lines is not waited for: the driver asks again.
  ModemLines ReadModemLines(int /*wait_ms*/) override {
    ModemLines lines;
    if (modem_lines_unsupported_) {
      lines.present = false;
      return lines;
    }
    int bits = 0;
    if (::ioctl(fd_, TIOCMGET, &bits) == 0) {
      lines.clear_to_send = (bits & TIOCM_CTS) != 0;
      lines.data_set_ready = (bits & TIOCM_DSR) != 0;
      lines.ring = (bits & TIOCM_RNG) != 0;
      lines.carrier_detect = (bits & TIOCM_CAR) != 0;
      return lines;
    }
    if (IsHangUp(errno)) {
      Gone(errno);
      return lines;
    }
    // A pseudo-terminal has no modem lines. Asked once: the answer will not
    // change while the port is open.
    modem_lines_unsupported_ = true;
    lines.present = false;
    return lines;
  }

  std::uint8_t ReceiveByte() override {
    std::uint8_t value = 0;
    const ssize_t count = ::read(fd_, &value, 1);
    if (count == 1) return value;
    if (count < 0 && IsHangUp(errno)) Gone(errno);
    return 0;
  }

  void TransmitByte(std::uint8_t value) override {
    for (;;) {
      const ssize_t count = ::write(fd_, &value, 1);
      if (count >= 0) return;
      if (errno == EINTR) continue;
      if (errno == EAGAIN) {
        // The output queue is full: give it a moment, as a write time-out would.
        pollfd room{fd_, POLLOUT, 0};
        if (::poll(&room, 1, kWriteTimeoutMs) > 0) continue;
        return;
      }
      if (IsHangUp(errno)) Gone(errno);
      return;
    }
  }

  void Clear(bool receiver, bool transmitter) override {
    ::tcflush(fd_, receiver && transmitter ? TCIOFLUSH : receiver ? TCIFLUSH : TCOFLUSH);
  }

 private:
  // Bytes received and not yet read, and written and not yet sent.
  bool Queues(int* waiting, int* unsent) {
    if (::ioctl(fd_, TIOCINQ, waiting) == 0 && ::ioctl(fd_, TIOCOUTQ, unsent) == 0) return true;
    Gone(errno);
    return false;
  }

  std::unique_ptr<LineLock> line_;
  int fd_;
  bool modem_lines_unsupported_ = false;
};

}  // namespace

PosixPortIo::PosixPortIo(std::vector<Line> lines) : DevicePortIo(std::move(lines)) {}

std::unique_ptr<SerialDevice> PosixPortIo::OpenDevice(const std::string& name, DeviceError* why) {
  StaleLock removed;
  std::unique_ptr<LineLock> line = LineLock::Take(name, kLockDirectory, ::getpid(), why, &removed);
  if (removed.pid != 0) RemovedLock(removed);
  if (line == nullptr) return nullptr;
  // TIOCEXCL turns later opens away, also of programs that honour no lock,
  // but not root's: the lock file and the flock stop those that do.
  if (::ioctl(line->fd(), TIOCEXCL) != 0) {
    why->error = PortError{ProblemForOpenErrno(errno), errno};
    return nullptr;
  }
  return std::make_unique<TerminalDevice>(std::move(line));
}

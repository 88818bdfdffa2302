#include "serial/comm_port_io.h"

#include <windows.h>

#include <utility>

#include "serial/uart_registers.h"

namespace {

using namespace uart;

constexpr DWORD kWriteTimeoutMs = 1000;

BYTE DcbParity(Parity parity) {
  switch (parity) {
    case Parity::kOdd:
      return ODDPARITY;
    case Parity::kEven:
      return EVENPARITY;
    case Parity::kMark:
      return MARKPARITY;
    case Parity::kSpace:
      return SPACEPARITY;
    case Parity::kNone:
      break;
  }
  return NOPARITY;
}

// A serial port opened through the communications API.
class CommDevice : public SerialDevice {
 public:
  explicit CommDevice(HANDLE handle) : handle_(handle) {}
  ~CommDevice() override { CloseHandle(handle_); }
  CommDevice(const CommDevice&) = delete;
  CommDevice& operator=(const CommDevice&) = delete;

  // An open handle can outlive its device (an adapter pulled out).
  bool Check() override {
    DWORD errors = 0;
    COMSTAT status{};
    if (ClearCommError(handle_, &errors, &status)) return true;
    Gone(static_cast<int>(GetLastError()));
    return false;
  }

  void ApplyLineSettings(const LineSettings& line, std::uint8_t modem_control) override {
    if (line.baud == 0) return;  // no such rate: the port keeps the one it has

    // Read, change, write back: what the registers do not say stays as it was.
    DCB settings{};
    settings.DCBlength = sizeof settings;
    if (!GetCommState(handle_, &settings)) return;

    settings.BaudRate = line.baud;
    settings.ByteSize = static_cast<BYTE>(line.data_bits);
    if (line.long_stop) {
      settings.StopBits = line.data_bits == 5 ? ONE5STOPBITS : TWOSTOPBITS;
    } else {
      settings.StopBits = ONESTOPBIT;
    }
    settings.Parity = DcbParity(line.parity);
    settings.fParity = line.parity != Parity::kNone;

    // The driver does the handshake itself by polling; the port must not hold
    // bytes back or change any byte on its own.
    settings.fBinary = TRUE;
    settings.fOutxCtsFlow = FALSE;
    settings.fOutxDsrFlow = FALSE;
    settings.fDsrSensitivity = FALSE;
    settings.fOutX = FALSE;
    settings.fInX = FALSE;
    settings.fErrorChar = FALSE;
    settings.fNull = FALSE;
    settings.fAbortOnError = FALSE;
    settings.fDtrControl = (modem_control & kDtr) ? DTR_CONTROL_ENABLE : DTR_CONTROL_DISABLE;
    settings.fRtsControl = (modem_control & kRts) ? RTS_CONTROL_ENABLE : RTS_CONTROL_DISABLE;
    SetCommState(handle_, &settings);
  }

  void ApplyModemControl(std::uint8_t modem_control) override {
    // A line without modem signals refuses these; that is no fault.
    EscapeCommFunction(handle_, (modem_control & kDtr) ? SETDTR : CLRDTR);
    EscapeCommFunction(handle_, (modem_control & kRts) ? SETRTS : CLRRTS);
  }

  // wait_ms is the port's read time-out, set when it was opened.
  QueueFacts ReadQueues(int wait_ms) override {
    // One call gives both queues and the errors: the status register is
    // polled hard.
    DWORD errors = 0;
    COMSTAT status{};
    if (!ClearCommError(handle_, &errors, &status)) {
      Gone(static_cast<int>(GetLastError()));
      return QueueFacts{};
    }
    if (wait_ms > 0 && !pending_ && status.cbInQue == 0 && status.cbOutQue == 0) {
      // Waiting for the unit's answer: a read that waits for a byte wakes as
      // soon as one comes, and leaves the processor meanwhile to the unit's
      // end of the line and to Wine, which a spinning poll would keep from
      // them. The byte it brings is the receive buffer's.
      DWORD count = 0;
      pending_ = ReadFile(handle_, &pending_byte_, 1, &count, nullptr) && count == 1;
    }
    QueueFacts facts;
    facts.byte_waiting = pending_ || status.cbInQue > 0;
    facts.output_drained = status.cbOutQue == 0;
    facts.overrun = (errors & CE_OVERRUN) != 0;
    facts.parity_error = (errors & CE_RXPARITY) != 0;
    facts.framing_error = (errors & CE_FRAME) != 0;
    facts.break_received = (errors & CE_BREAK) != 0;
    return facts;
  }

  // A change of the modem lines is not waited for: the driver asks again.
  ModemLines ReadModemLines(int /*wait_ms*/) override {
    ModemLines lines;
    if (modem_lines_unsupported_) {
      lines.present = false;
      return lines;
    }
    DWORD bits = 0;
    if (GetCommModemStatus(handle_, &bits)) {
      lines.clear_to_send = (bits & MS_CTS_ON) != 0;
      lines.data_set_ready = (bits & MS_DSR_ON) != 0;
      lines.ring = (bits & MS_RING_ON) != 0;
      lines.carrier_detect = (bits & MS_RLSD_ON) != 0;
    } else if (GetLastError() == ERROR_NOT_SUPPORTED) {
      // Asked once: the answer will not change while the port is open.
      modem_lines_unsupported_ = true;
      lines.present = false;
    }
    return lines;
  }

  std::uint8_t ReceiveByte() override {
    if (pending_) {
      pending_ = false;
      return pending_byte_;
    }
    // Only a byte that is there: a read would otherwise wait for one.
    DWORD errors = 0;
    COMSTAT status{};
    if (!ClearCommError(handle_, &errors, &status) || status.cbInQue == 0) return 0;
    std::uint8_t value = 0;
    DWORD count = 0;
    if (!ReadFile(handle_, &value, 1, &count, nullptr) || count != 1) return 0;
    return value;
  }

  void TransmitByte(std::uint8_t value) override {
    DWORD count = 0;
    WriteFile(handle_, &value, 1, &count, nullptr);
  }

  void Clear(bool receiver, bool transmitter) override {
    if (receiver) pending_ = false;
    PurgeComm(handle_, (receiver ? PURGE_RXCLEAR : 0) | (transmitter ? PURGE_TXCLEAR : 0));
  }

 private:
  HANDLE handle_;
  bool modem_lines_unsupported_ = false;
  bool pending_ = false;  // a byte read while waiting, not yet taken
  std::uint8_t pending_byte_ = 0;
};

}  // namespace

PortProblem ProblemForOpenError(unsigned long code) {
  switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_UNIT:
    case ERROR_DEV_NOT_EXIST:
      return PortProblem::kNoSuchPort;
    case ERROR_SHARING_VIOLATION:
    case ERROR_BUSY:
      return PortProblem::kInUse;
    case ERROR_ACCESS_DENIED:
      return PortProblem::kAccessDenied;
    default:
      return PortProblem::kOther;
  }
}

CommPortIo::CommPortIo() : CommPortIo({{kCom1Base, "\\\\.\\COM1"}, {kCom2Base, "\\\\.\\COM2"}}) {}

CommPortIo::CommPortIo(std::vector<Line> lines) : DevicePortIo(std::move(lines)) {}

std::unique_ptr<SerialDevice> CommPortIo::OpenDevice(const std::string& name, DeviceError* why) {
  // Not shared: a second program gets a sharing violation.
  HANDLE handle = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              OPEN_EXISTING, 0, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD code = GetLastError();
    why->error = PortError{ProblemForOpenError(code), static_cast<int>(code)};
    return nullptr;
  }

  // Some systems hand out a handle for a port name that leads to no serial
  // line; only one that takes port settings counts as a port.
  DCB settings{};
  settings.DCBlength = sizeof settings;
  COMMTIMEOUTS timeouts{};
  // A read gives at once what has come; when nothing has, it waits up to
  // the idle wait for one byte.
  timeouts.ReadIntervalTimeout = MAXDWORD;
  timeouts.ReadTotalTimeoutMultiplier = MAXDWORD;
  timeouts.ReadTotalTimeoutConstant = kIdleWaitMs;
  timeouts.WriteTotalTimeoutConstant = kWriteTimeoutMs;
  if (!GetCommState(handle, &settings) || !SetCommTimeouts(handle, &timeouts)) {
    const DWORD code = GetLastError();
    CloseHandle(handle);
    why->error = PortError{PortProblem::kNoSuchPort, static_cast<int>(code)};
    return nullptr;
  }
  return std::make_unique<CommDevice>(handle);
}

#include "serial/comm_port_io.h"

#include <windows.h>

#include <utility>

#include "serial/uart_registers.h"

namespace {

using namespace uart;

// A line without modem signals (a pseudo-terminal, some adapters) counts as
// a unit that is always ready: CTS, DSR and carrier up.
constexpr std::uint8_t kLinesAssumedUp = kClearToSend | kDataSetReady | kCarrierDetect;

constexpr DWORD kWriteTimeoutMs = 1000;

HANDLE AsHandle(void* handle) { return static_cast<HANDLE>(handle); }

PortError ErrorOf(PortProblem problem, DWORD code) {
  return PortError{problem, static_cast<int>(code)};
}

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

CommPortIo::CommPortIo(std::vector<Line> lines) {
  for (Line& line : lines) {
    Port port;
    port.base = line.base;
    port.device = std::move(line.device);
    // Until it is programmed a port runs at 9600 baud, 8N1, DTR and RTS down.
    port.registers.Write(kLineControl, kDivisorLatch);
    port.registers.Write(kData, kBaudAtDivisorOne / 9600);
    port.registers.Write(kInterruptEnable, 0);
    port.registers.Write(kLineControl, kEightDataBits);
    ports_.push_back(std::move(port));
  }
}

CommPortIo::~CommPortIo() {
  for (Port& port : ports_) Close(port);
}

CommPortIo::Port* CommPortIo::PortAt(std::uint16_t address, int* offset) {
  for (Port& port : ports_) {
    if (address >= port.base && address < port.base + kRegisterCount) {
      *offset = address - port.base;
      return &port;
    }
  }
  return nullptr;
}

bool CommPortIo::Open(Port& port) {
  HANDLE handle = CreateFileA(port.device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              OPEN_EXISTING, 0, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD code = GetLastError();
    // An adapter pulled out stays reported as such until the port opens again.
    if (port.error.problem != PortProblem::kWentAway) {
      port.error = ErrorOf(ProblemForOpenError(code), code);
    }
    return false;
  }

  // Some systems hand out a handle for a port name that leads to no serial
  // line; only one that takes port settings counts as a port.
  DCB settings{};
  settings.DCBlength = sizeof settings;
  COMMTIMEOUTS timeouts{};
  timeouts.ReadIntervalTimeout = MAXDWORD;  // with both totals 0: reads never wait
  timeouts.WriteTotalTimeoutConstant = kWriteTimeoutMs;
  if (!GetCommState(handle, &settings) || !SetCommTimeouts(handle, &timeouts)) {
    const DWORD code = GetLastError();
    CloseHandle(handle);
    if (port.error.problem != PortProblem::kWentAway) {
      port.error = ErrorOf(PortProblem::kNoSuchPort, code);
    }
    return false;
  }

  port.handle = handle;
  port.error = PortError{};
  port.modem_lines_unsupported = false;
  port.receiver_seen_empty = false;
  // Opened halfway through programming the divisor: the line settings follow
  // when the latch closes.
  if (!port.registers.divisor_latch_open()) ApplyLineSettings(port);
  ApplyModemControl(port);
  return true;
}

void CommPortIo::Close(Port& port) {
  if (port.handle != nullptr) {
    CloseHandle(AsHandle(port.handle));
    port.handle = nullptr;
  }
}

void CommPortIo::WentAway(Port& port) {
  port.error = ErrorOf(PortProblem::kWentAway, GetLastError());
  Close(port);
}

// An open handle can outlive its device (an adapter pulled out); such a
// port is closed so that the next attempt opens it afresh.
bool CommPortIo::IsAlive(Port& port) {
  DWORD errors = 0;
  COMSTAT status{};
  if (ClearCommError(AsHandle(port.handle), &errors, &status)) return true;
  WentAway(port);
  return false;
}

bool CommPortIo::ApplyLineSettings(Port& port) {
  const DWORD divisor = port.registers.divisor();
  if (divisor == 0) return false;  // no such rate: the port keeps the one it has

  // Read, change, write back: what the registers do not say stays as it was.
  DCB settings{};
  settings.DCBlength = sizeof settings;
  if (!GetCommState(AsHandle(port.handle), &settings)) return false;

  const std::uint8_t line = port.registers.line_control();
  settings.BaudRate = kBaudAtDivisorOne / divisor;
  settings.ByteSize = static_cast<BYTE>(5 + (line & kWordLengthBits));
  if (line & kTwoStopBits) {
    settings.StopBits = settings.ByteSize == 5 ? ONE5STOPBITS : TWOSTOPBITS;
  } else {
    settings.StopBits = ONESTOPBIT;
  }
  if (line & kParityOn) {
    const bool even = (line & kEvenParity) != 0;
    if (line & kStickParity) {
      settings.Parity = even ? SPACEPARITY : MARKPARITY;
    } else {
      settings.Parity = even ? EVENPARITY : ODDPARITY;
    }
    settings.fParity = TRUE;
  } else {
    settings.Parity = NOPARITY;
    settings.fParity = FALSE;
  }

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
  const std::uint8_t control = port.registers.modem_control();
  settings.fDtrControl = (control & kDtr) ? DTR_CONTROL_ENABLE : DTR_CONTROL_DISABLE;
  settings.fRtsControl = (control & kRts) ? RTS_CONTROL_ENABLE : RTS_CONTROL_DISABLE;
  return SetCommState(AsHandle(port.handle), &settings) != FALSE;
}

void CommPortIo::ApplyModemControl(Port& port) {
  // A line without modem signals refuses these; that is no fault.
  HANDLE handle = AsHandle(port.handle);
  const std::uint8_t control = port.registers.modem_control();
  EscapeCommFunction(handle, (control & kDtr) ? SETDTR : CLRDTR);
  EscapeCommFunction(handle, (control & kRts) ? SETRTS : CLRRTS);
}

std::uint8_t CommPortIo::LineStatus(Port& port) {
  // One call gives both queues: the status register is polled hard.
  DWORD errors = 0;
  COMSTAT status{};
  if (!ClearCommError(AsHandle(port.handle), &errors, &status)) {
    WentAway(port);
    return kNothingThere;
  }
  std::uint8_t value = 0;
  port.receiver_seen_empty = status.cbInQue == 0;
  if (status.cbInQue > 0) value |= kDataReady;
  if (status.cbOutQue == 0) value |= kHoldingEmpty | kTransmitterEmpty;
  if (errors & CE_OVERRUN) value |= kOverrun;
  if (errors & CE_RXPARITY) value |= kParityError;
  if (errors & CE_FRAME) value |= kFramingError;
  if (errors & CE_BREAK) value |= kBreak;
  return value;
}

std::uint8_t CommPortIo::ModemStatus(Port& port) {
  if (port.modem_lines_unsupported) return kLinesAssumedUp;
  DWORD lines = 0;
  if (GetCommModemStatus(AsHandle(port.handle), &lines)) {
    // The signal bits have the same places as in the modem status register.
    return static_cast<std::uint8_t>(lines & (MS_CTS_ON | MS_DSR_ON | MS_RING_ON | MS_RLSD_ON));
  }
  if (GetLastError() == ERROR_NOT_SUPPORTED) {
    // Asked once: the answer will not change while the port is open.
    port.modem_lines_unsupported = true;
    return kLinesAssumedUp;
  }
  return 0;
}

std::uint8_t CommPortIo::ReceiveByte(Port& port, bool seen_empty) {
  // A read that finds nothing is by far the dearest call here, and the driver
  // reads the receive buffer once after every status read that found it
  // empty. A byte arriving in between stays for the next status read, as it
  // would had it come a moment later.
  if (seen_empty) return 0;
  std::uint8_t value = 0;
  DWORD count = 0;
  if (!ReadFile(AsHandle(port.handle), &value, 1, &count, nullptr) || count != 1) return 0;
  return value;
}

void CommPortIo::TransmitByte(Port& port, std::uint8_t value) {
  DWORD count = 0;
  WriteFile(AsHandle(port.handle), &value, 1, &count, nullptr);
}

std::uint8_t CommPortIo::In(std::uint16_t address) {
  int offset = 0;
  Port* port = PortAt(address, &offset);
  if (port == nullptr || port->handle == nullptr) return kNothingThere;

  // Only the access right after a status read may rely on what it saw.
  const bool seen_empty = port->receiver_seen_empty;
  port->receiver_seen_empty = false;

  std::uint8_t value = 0;
  if (port->registers.Read(offset, &value)) return value;
  switch (offset) {
    case kData:
      return ReceiveByte(*port, seen_empty);
    case kLineStatus:
      return LineStatus(*port);
    default:
      return ModemStatus(*port);
  }
}

void CommPortIo::Out(std::uint16_t address, std::uint8_t value) {
  int offset = 0;
  Port* port = PortAt(address, &offset);
  if (port == nullptr) return;
  port->receiver_seen_empty = false;

  // The registers are kept even while the port is closed, so that a port
  // opened later gets the settings last programmed.
  const bool open = port->handle != nullptr || Open(*port);
  const RegisterWrite effect = port->registers.Write(offset, value);
  if (!open) return;
  HANDLE handle = AsHandle(port->handle);
  if (effect.transmit) TransmitByte(*port, value);
  DWORD purge = 0;
  if (effect.clear_receiver) purge |= PURGE_RXCLEAR;
  if (effect.clear_transmitter) purge |= PURGE_TXCLEAR;
  if (purge != 0) PurgeComm(handle, purge);
  if (effect.line_settings) ApplyLineSettings(*port);
  if (effect.modem_control) ApplyModemControl(*port);
}

bool CommPortIo::Present(std::uint16_t base) {
  int offset = 0;
  Port* port = PortAt(base, &offset);
  if (port == nullptr || offset != 0) return false;
  if (port->handle != nullptr && IsAlive(*port)) return true;
  return Open(*port);
}

PortError CommPortIo::LastError(std::uint16_t base) const {
  for (const Port& port : ports_) {
    if (port.base == base) return port.error;
  }
  return PortError{PortProblem::kNoSuchPort, 0};
}
